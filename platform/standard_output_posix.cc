#include <csignal>

#include "platform/standard_output.h"

namespace platform {

void report_broken_pipe_as_failure() { std::signal(SIGPIPE, SIG_IGN); }

void use_binary_standard_streams() {}

}  // namespace platform
