# Installing and packaging the two programs.
#
#   cmake --install build/default --prefix DIR --strip
#       bin/scenario_compiler, bin/scenario_tool; the description format
#       reference under share/doc/scenario-compiler/; on Linux the man pages
#       scenario_compiler.1 and scenario_tool.1 (made from the programs'
#       --help and --version by help2man) under share/man/man1/.
#   cpack --config build/default/CPackConfig.cmake     a .deb
#   cpack --config build/windows/CPackConfig.cmake     a .zip of the stripped
#                                                      Windows programs
# Both need what they install built: the target installable builds it (the
# run workflow builds it too), so that they work after that alone.
include(GNUInstallDirs)

install(TARGETS scenario_compiler scenario_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET scenario_watch)
  install(TARGETS scenario_watch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/docs)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/scenario-compiler)
endif()

# Man pages: the programs describe themselves, so help2man runs them. Not in a
# cross build, whose programs do not run here.
if(NOT CMAKE_CROSSCOMPILING)
  find_program(SCENARIO_HELP2MAN help2man)
  if(SCENARIO_HELP2MAN)
    set(man_pages)
    foreach(program scenario_compiler scenario_tool)
      set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
      if(program STREQUAL "scenario_compiler")
        set(summary "write and compile the built-in scenario for the train-driving simulator")
      else()
        set(summary "write, check, compile, inspect, draw and compare scenarios")
      endif()
      # scenario_tool's page also holds each command's --help.
      set(include ${PROJECT_BINARY_DIR}/man/${program}.include)
      if(program STREQUAL "scenario_tool")
        set(write_include COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:${program}>
                          -DOUTPUT=${include} -P ${PROJECT_SOURCE_DIR}/cmake/man_commands.cmake)
        set(include_option --include=${include})
      else()
        set(write_include)
        set(include_option)
      endif()
      add_custom_command(
        OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        ${write_include}
        COMMAND ${SCENARIO_HELP2MAN} --no-info --no-discard-stderr --section=1
                "--name=${summary}" ${include_option} --output=${page}
                $<TARGET_FILE:${program}>
        DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/man_commands.cmake
        COMMENT "Writing the man page of ${program}"
        VERBATIM)
      list(APPEND man_pages ${page})
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
    set(SCENARIO_MAN_PAGES_TARGET man_pages)
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    message(STATUS "help2man not found: no man pages (Debian: apt-get install help2man)")
  endif()
endif()

# Everything the install takes, built.
add_custom_target(installable)
add_dependencies(installable scenario_compiler scenario_tool)
if(TARGET scenario_watch)
  add_dependencies(installable scenario_watch)
endif()
if(SCENARIO_MAN_PAGES_TARGET)
  add_dependencies(installable ${SCENARIO_MAN_PAGES_TARGET})
endif()

set(CPACK_PACKAGE_NAME scenario-compiler)
set(CPACK_PACKAGE_VENDOR "scenario compiler developers")
set(CPACK_PACKAGE_CONTACT "scenario compiler developers <scenario-compiler@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Scenario compiler for a train-driving simulator, and its authoring tool")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  # The shared libraries the programs link, found by dpkg-shlibdeps
  # (dpkg-dev); named by hand where it is missing.
  find_program(SCENARIO_SHLIBDEPS dpkg-shlibdeps)
  if(SCENARIO_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1, libcpp-httplib0.11")
  endif()
endif()
include(CPack)

if(SCENARIO_TESTS AND NOT CMAKE_CROSSCOMPILING AND SCENARIO_HELP2MAN)
  add_test(NAME packaging COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/packaging_test.sh
                                  ${PROJECT_BINARY_DIR})
  set_tests_properties(packaging PROPERTIES TIMEOUT 300 RUN_SERIAL ON)
endif()
