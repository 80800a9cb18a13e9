#include "platform/byte_writer.h"

#include <bit>
#include <cstring>

#include "platform/runtime_failure.h"

namespace platform {

void ByteWriter::put_u16(uint16_t v) {
  char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
  bytes_.append(b, 2);
}

void ByteWriter::put_u32(uint32_t v) {
  char b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  bytes_.append(b, 4);
}

void ByteWriter::put_f64(double v) {
  uint64_t bits = std::bit_cast<uint64_t>(v);
  char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  bytes_.append(b, 8);
}

void ByteWriter::put_text(std::string_view text) {
  if (text.size() > 0xFFFF) throw RuntimeFailure(kOverflow, "text longer than 65535 bytes");
  put_u16(static_cast<uint16_t>(text.size()));
  bytes_.append(text);
}

}  // namespace platform
