// The executable's folder on Linux, from /proc/self/exe.
#include <unistd.h>

#include <string>

#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace platform {

std::string app_folder() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) {
    throw RuntimeFailure(kPathFileAccess, "cannot find the executable's folder");
  }
  path.resize(static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace platform
