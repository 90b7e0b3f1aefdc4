# The show through the Glide device.
add_executable(demo_glide $<TARGET_OBJECTS:platform_win32_main>)
target_link_libraries(demo_glide PRIVATE platform_win32_main navek device_glide)
