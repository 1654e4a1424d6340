# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers. The posix
# threads variant, so std::thread and std::mutex work; the runtime is linked
# statically, so the executables run under Wine (or on Windows) with no DLL
# copied beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLET_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLET_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLET_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLET_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLET_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12 warns falsely about overlapping or oversized copies inside the
# standard library's inlined string code once optimising (GCC bugs 105329,
# 105651); nothing of ours is at fault.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict -Wno-stringop-overread")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Tests run through Wine. Debian puts wine64 outside PATH on some releases.
find_program(QUILLET_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUILLET_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLET_WINE64})
endif()
