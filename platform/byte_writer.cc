#include "platform/byte_writer.h"

#include <algorithm>

#include "platform/runtime_failure.h"

namespace platform {

void ByteWriter::put_text(std::string_view text) {
  if (text.size() > 0xFFFF) throw RuntimeFailure(kOverflow, "text longer than 65535 bytes");
  put_u16(static_cast<uint16_t>(text.size()));
  if (!text.empty()) text.copy(room(text.size()), text.size());
}

void ByteWriter::grow(size_t n) {
  buffer_.resize(std::max({buffer_.size() * 2, size_ + n, size_t{64}}));
}

}  // namespace platform
