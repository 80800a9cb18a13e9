// scenario_compiler: writes the built-in scenario's texts beside itself and
// compiles them into the three compiled files.
#include "app/form_load.h"
#include "app/program.h"

int main() { return app::run_program(app::Form_Load); }
