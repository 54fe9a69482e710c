# Cross-build for 32-bit Windows (i686) with Debian's MinGW-w64 (the POSIX-threads variant, which
# std::thread needs). Libraries cross-built by scripts/install-deps-windows.sh live in
# SX_MINGW32_PREFIX (default /opt/sxengine/mingw32); zlib comes with the toolchain's sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SX_MINGW_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${SX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SX_MINGW_TRIPLET}-windres)
set(CMAKE_STRIP ${SX_MINGW_TRIPLET}-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${SX_MINGW_TRIPLET}-objdump CACHE FILEPATH "")

if(DEFINED ENV{SX_MINGW32_PREFIX})
  set(SX_MINGW_PREFIX $ENV{SX_MINGW32_PREFIX})
else()
  set(SX_MINGW_PREFIX /opt/sxengine/mingw32)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${SX_MINGW_TRIPLET} ${SX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs must start under Wine and on Windows without the toolchain's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
