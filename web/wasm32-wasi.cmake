# Cross-compiling for wasm32-wasi with Debian's clang-19, wasi-libc and the
# wasm32 builds of libc++/libc++abi.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_AR llvm-ar-19 CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib-19 CACHE FILEPATH "")
# Only the wasm32 headers: the host's /usr/include stays out of the search path.
set(CMAKE_C_FLAGS_INIT "-nostdlibinc -idirafter /usr/include/wasm32-wasi")
set(CMAKE_CXX_FLAGS_INIT "-nostdlibinc -isystem /usr/include/wasm32-wasi/c++/v1 -idirafter /usr/include/wasm32-wasi")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
