# cmake -DTOOL=scenario_tool -DOUTPUT=FILE -P man_commands.cmake
#
# Writes a help2man include file whose COMMANDS section holds the --help of
# each of the tool's commands, as they print it.
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE top RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed")
endif()
# The commands are the indented words under "Subcommands:".
string(REGEX REPLACE ".*Subcommands:\n" "" listing "${top}")
string(REGEX MATCHALL "\n  [a-z]+ " words "\n${listing}")
set(text "[COMMANDS]\n")
foreach(word IN LISTS words)
  string(STRIP "${word}" command)
  execute_process(COMMAND ${TOOL} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${command} --help failed")
  endif()
  # roff: a backslash is written doubled, and no line may start with a dot.
  string(REPLACE "\\" "\\\\" help "${help}")
  string(REPLACE "\n." "\n\\&." help "${help}")
  string(APPEND text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
