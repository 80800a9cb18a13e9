// scenario_compiler: writes the built-in scenario's texts beside itself and
// compiles them into the three compiled files. With any argument it only
// answers (--help, --version) or refuses, and writes nothing.
#include <iostream>

#include "app/command_line.h"
#include "app/form_load.h"
#include "app/program.h"

int main(int argc, char** argv) {
  if (std::optional<int> answered = app::answer_arguments(argc, argv, std::cout, std::cerr)) {
    return *answered;
  }
  return app::run_program(app::Form_Load);
}
