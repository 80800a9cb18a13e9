# The unit tests of the Windows build. Included by the top CMakeLists before
# any warning flag is set, so that the test framework keeps its own.
#
# GoogleTest is built from Debian's source package with the cross compiler
# (the build machine's libgtest is a Linux library), and find_package(GTest)
# is pointed at the targets it defines. Test discovery runs when CTest starts,
# under Wine, so that building needs no Wine.
if(NOT (WIN32 AND SCENARIO_TESTS))
  return()
endif()

set(SCENARIO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
if(NOT EXISTS "${SCENARIO_GOOGLETEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${SCENARIO_GOOGLETEST_SOURCE} "
                      "(Debian: apt-get install googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory("${SCENARIO_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
file(WRITE "${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake"
     "# GTest::gtest and GTest::gtest_main are built by this project.\n")

set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
