#include "platform/standard_output.h"

namespace platform {

// Windows raises no signal for a broken pipe: the write fails by itself.
void report_broken_pipe_as_failure() {}

}  // namespace platform
