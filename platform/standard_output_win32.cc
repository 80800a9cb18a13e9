#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/standard_output.h"

namespace platform {

// Windows raises no signal for a broken pipe: the write fails by itself.
void report_broken_pipe_as_failure() {}

void use_binary_standard_streams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace platform
