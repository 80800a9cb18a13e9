#include "app/command_line.h"

#include <string_view>

#include "app/version.h"

namespace app {

namespace {

constexpr char kUsage[] =
    "usage: scenario_compiler\n"
    "\n"
    "Writes the built-in scenario, the line BRENTALVO and the train TRN4417, beside the\n"
    "program: the route and train descriptions and three driver documents, then compiles\n"
    "the descriptions into BRENTALVO_linea.dat, BRENTALVO_TRN4417.sim and\n"
    "BRENTALVO_TRN4417.dat. It takes no arguments. To write and compile scenarios of\n"
    "your own, use scenario_tool.\n"
    "\n"
    "Options (each only answers; nothing is written):\n"
    "  -h, --help   print this text\n"
    "  --version    print the version\n"
    "\n"
    "Exit status: 0 after a normal end, 1 after a run-time failure, 2 after an identity\n"
    "error (nothing is written) or with an argument it does not know.\n";

}  // namespace

std::optional<int> answer_arguments(int argc, const char* const* argv, std::ostream& out,
                                    std::ostream& err) {
  if (argc <= 1) return std::nullopt;
  const std::string_view first = argv[1];
  if (argc == 2 && (first == "--help" || first == "-h")) {
    out << kUsage;
    return out.flush() ? 0 : kExitUsage;
  }
  if (argc == 2 && first == "--version") {
    out << "scenario_compiler " << kVersion << "\n";
    return out.flush() ? 0 : kExitUsage;
  }
  err << "scenario_compiler: ";
  if (argc == 2) {
    err << "unknown argument \"" << first << "\"";
  } else {
    err << (argc - 1) << " arguments given";
  }
  err << ": it takes none, and then writes and compiles the built-in scenario\n\n" << kUsage;
  return kExitUsage;
}

}  // namespace app
