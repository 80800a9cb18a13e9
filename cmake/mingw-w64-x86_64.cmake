# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, for std::thread and friends), tested under Wine.
#
#   cmake --preset windows        (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
#
# Executables are static: no DLL of the compiler's run-time has to travel
# beside them. The optimised builds (Release, RelWithDebInfo, MinSizeRel) are
# linked stripped, ready to ship: the debugging information of the run-time
# and the libraries would make scenario_tool.exe twenty times larger. A
# Debug build keeps its symbols, for winedbg.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SCENARIO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SCENARIO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SCENARIO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SCENARIO_MINGW_TRIPLET}-windres)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
foreach(config IN ITEMS RELEASE RELWITHDEBINFO MINSIZEREL)
  set(CMAKE_EXE_LINKER_FLAGS_${config}_INIT "-s")
endforeach()

# Libraries and packages come from the cross environment only, never from the
# build machine's own /usr (its libraries are Linux ones).
set(CMAKE_FIND_ROOT_PATH /usr/${SCENARIO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The header-only libraries of the build machine (the command-line parser and
# the JSON library of the authoring tool) serve the cross build too. They are
# reached through a small prefix of links to their trees alone: the whole of
# /usr/include on the include path would put glibc's headers before
# mingw-w64's own.
set(SCENARIO_HOST_HEADERS "${CMAKE_BINARY_DIR}/host-headers")
if(NOT CMAKE_IN_TRY_COMPILE)
  foreach(entry IN ITEMS include/CLI include/nlohmann share/cmake/CLI11 share/cmake/nlohmann_json)
    if(EXISTS "/usr/${entry}" AND NOT EXISTS "${SCENARIO_HOST_HEADERS}/${entry}")
      get_filename_component(parent "${SCENARIO_HOST_HEADERS}/${entry}" DIRECTORY)
      file(MAKE_DIRECTORY "${parent}")
      file(CREATE_LINK "/usr/${entry}" "${SCENARIO_HOST_HEADERS}/${entry}" SYMBOLIC)
    endif()
  endforeach()
endif()
list(APPEND CMAKE_FIND_ROOT_PATH "${SCENARIO_HOST_HEADERS}")
set(CMAKE_CXX_FLAGS_INIT "-isystem ${SCENARIO_HOST_HEADERS}/include")

# CTest runs the Windows test executables under Wine, in a prefix of the
# build's own (cmake/wine_run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR sh "${CMAKE_CURRENT_LIST_DIR}/wine_run.sh"
    "${CMAKE_BINARY_DIR}/wine-prefix")

# CPack strips the programs it packs with the cross tools' own strip.
find_program(CMAKE_STRIP ${SCENARIO_MINGW_TRIPLET}-strip)
