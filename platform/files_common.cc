// The file steps that are the same on every platform, built on the
// platform's own ones.
#include "platform/files.h"

namespace platform {

std::string join_path(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += path_separator();
  path += name;
  return path;
}

void replace_text_file(const std::string& path, std::span<const std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  replace_file(path, text);
}

}  // namespace platform
