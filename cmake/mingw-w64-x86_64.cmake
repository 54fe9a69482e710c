# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads variant, which
# std::thread needs). Libraries cross-built by scripts/install-deps-windows.sh live in
# SX_MINGW_PREFIX (default /opt/sxengine/mingw64); zlib comes with the toolchain's sysroot.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SX_MINGW_TRIPLET x86_64-w64-mingw32)
set(SX_MINGW_PREFIX_VARIABLE SX_MINGW_PREFIX)
set(SX_MINGW_PREFIX_DEFAULT /opt/sxengine/mingw64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
