# Cross build for Windows x86-64 with Debian's mingw-w64 (POSIX threads variant).
# The programs are linked statically, so Wine needs none of the compiler's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUENDRY_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUENDRY_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENDRY_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENDRY_MINGW_TRIPLET}-windres)

# Libraries and packages come from the mingw tree and from the prefixes given on the command
# line (the cross-built GoogleTest); programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${QUENDRY_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine.
find_program(QUENDRY_WINE NAMES wine64 wine)
if(QUENDRY_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUENDRY_WINE})
endif()
