// Running another program of this installation in the place of this one.
//
// Some commands live in a program of their own beside the one the user
// started (scenario_tool watch runs scenario_watch), so that what only they
// need (a web server library) is not loaded by every run of the others.
#ifndef SCENARIO_PLATFORM_SIBLING_PROGRAM_H_
#define SCENARIO_PLATFORM_SIBLING_PROGRAM_H_

#include <string>
#include <vector>

namespace platform {

// Replaces this process by the program `name` in app_folder(), started with
// `args` (args[0] is its name as it sees it). Returns only on failure, by
// throwing RuntimeFailure that says which program and why.
[[noreturn]] void become_sibling_program(const std::string& name,
                                         const std::vector<std::string>& args);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_SIBLING_PROGRAM_H_
