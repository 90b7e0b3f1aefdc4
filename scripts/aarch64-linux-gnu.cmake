# Cross-compiling for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu. scripts/test.sh uses it
# to build the libraries that need no third-party library for arm64, proving that they build
# without the x86-64 paths. The configure still reads the build machine's package data (the arm64
# development packages of SDL2, libopenmpt, FFmpeg and X11 are not installed), so only those
# libraries are built, never a program.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
