# Cross-build for 32-bit Windows (i686) with Debian's MinGW-w64 (the POSIX-threads variant, which
# std::thread needs). Libraries cross-built by scripts/install-deps-windows.sh live in
# SX_MINGW32_PREFIX (default /opt/sxengine/mingw32); zlib comes with the toolchain's sysroot.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SX_MINGW_TRIPLET i686-w64-mingw32)
set(SX_MINGW_PREFIX_VARIABLE SX_MINGW32_PREFIX)
set(SX_MINGW_PREFIX_DEFAULT /opt/sxengine/mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
