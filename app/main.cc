// scenario_compiler: writes the built-in scenario's texts beside itself and
// compiles them into the three compiled files. With any argument it only
// answers (--help, --version) or refuses, and writes nothing.
#include <iostream>

#include "app/command_line.h"
#include "app/form_load.h"
#include "app/program.h"
#include "platform/standard_output.h"

int main(int argc, char** argv) {
  // A window nobody sees does not stop the compile: "Attendere" written to
  // a pipe without a reader fails quietly instead of ending the process.
  platform::report_broken_pipe_as_failure();
  if (std::optional<int> answered = app::answer_arguments(argc, argv, std::cout, std::cerr)) {
    return *answered;
  }
  return app::run_program(app::Form_Load);
}
