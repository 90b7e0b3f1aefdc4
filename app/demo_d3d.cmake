# The show on the Direct3D device (DirectDraw/Direct3D stand-in over the software card).
add_executable(demo_d3d $<TARGET_OBJECTS:platform_win32_main>)
target_link_libraries(demo_d3d PRIVATE platform_win32_main navek device_d3d)
