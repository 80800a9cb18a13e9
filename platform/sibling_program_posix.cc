#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/sibling_program.h"

namespace platform {

void become_sibling_program(const std::string& name, const std::vector<std::string>& args) {
  const std::string path = join_path(app_folder(), name);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(path.c_str(), argv.data());
  const int err = errno;
  throw RuntimeFailure(kFileNotFound, path + " (" + std::strerror(err) + ")");
}

}  // namespace platform
