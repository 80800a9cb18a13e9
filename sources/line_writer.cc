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

void write_line_array(platform::FileSystem& fs, const std::string& path,
                      std::span<const std::string_view> text) {
  platform::replace_text_file(fs, path, lines_before_sentinel(text));
}

}  // namespace sources
