#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/sibling_program.h"

namespace platform {

// No command of the Windows programs runs another program.
void become_sibling_program(const std::string& name, const std::vector<std::string>&) {
  throw RuntimeFailure(kFileNotFound, join_path(app_folder(), name) + " (not part of this build)");
}

}  // namespace platform
