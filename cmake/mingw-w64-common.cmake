# What the MinGW-w64 toolchain files share: each sets CMAKE_SYSTEM_PROCESSOR, SX_MINGW_TRIPLET,
# SX_MINGW_PREFIX_VARIABLE (the environment variable naming the cross-built libraries' folder)
# and SX_MINGW_PREFIX_DEFAULT, then includes this file.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${SX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SX_MINGW_TRIPLET}-windres)
set(CMAKE_STRIP ${SX_MINGW_TRIPLET}-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${SX_MINGW_TRIPLET}-objdump CACHE FILEPATH "")

if(DEFINED ENV{${SX_MINGW_PREFIX_VARIABLE}})
  set(SX_MINGW_PREFIX $ENV{${SX_MINGW_PREFIX_VARIABLE}})
else()
  set(SX_MINGW_PREFIX ${SX_MINGW_PREFIX_DEFAULT})
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
