// What scenario_compiler does with arguments: it takes none. Started with
// any, it answers and writes nothing: --help (or -h) prints its usage,
// --version its version, both with exit status 0; anything else is refused
// with its usage on standard error and exit status 2.
#ifndef SCENARIO_APP_COMMAND_LINE_H_
#define SCENARIO_APP_COMMAND_LINE_H_

#include <optional>
#include <ostream>

namespace app {

inline constexpr int kExitUsage = 2;

// Empty without arguments: the program then runs. Otherwise the exit status
// after the answer.
std::optional<int> answer_arguments(int argc, const char* const* argv, std::ostream& out,
                                    std::ostream& err);

}  // namespace app

#endif  // SCENARIO_APP_COMMAND_LINE_H_
