#include "sources/line_writer.h"

#include <algorithm>
#include <array>

#include "platform/files.h"

namespace sources {

std::span<const std::string_view> lines_before_sentinel(std::span<const std::string_view> text) {
  std::span<const std::string_view> slots = text.first(std::min(text.size(), kLineArraySlots));
  auto end = std::find(slots.begin(), slots.end(), kEndSentinel);
  return slots.first(static_cast<size_t>(end - slots.begin()));
}

std::string line_array_bytes(std::span<const std::string_view> text) {
  std::string bytes;
  for (std::string_view line : lines_before_sentinel(text)) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}

void write_line_array(platform::FileSystem& fs, const std::string& path,
                      std::span<const std::string_view> text) {
  platform::replace_file(fs, path, line_array_bytes(text));
}

}  // namespace sources
