#include "platform/byte_writer.h"

#include <algorithm>
#include <cstring>

#include "platform/runtime_failure.h"

namespace platform {

void ByteWriter::put_text(std::string_view text) {
  if (text.size() > 0xFFFF) throw RuntimeFailure(kOverflow, "text longer than 65535 bytes");
  put_u16(static_cast<uint16_t>(text.size()));
  if (!text.empty()) text.copy(room(text.size()), text.size());
}

void ByteWriter::grow(size_t n) { reallocate(std::max({capacity_ * 2, size_ + n, size_t{64}})); }

void ByteWriter::reallocate(size_t capacity) {
  std::unique_ptr<char, LargeRelease> bigger(static_cast<char*>(allocate_large(capacity)),
                                             LargeRelease{capacity});
  if (size_ > 0) std::memcpy(bigger.get(), buffer_.get(), size_);
  buffer_ = std::move(bigger);
  capacity_ = capacity;
}

}  // namespace platform
