// Little-endian binary output, one field at a time.
//
// Integers are written least-significant byte first in their own width, two's
// complement for the signed ones; a double as its eight IEEE 754 bytes; a
// text as a 16-bit length followed by its bytes. Tagged (variant) values are a
// 16-bit type code and the payload: 0 empty (no payload), 2 a 16-bit integer,
// 5 a double. Records are never written as memory images.
#ifndef SCENARIO_PLATFORM_BYTE_WRITER_H_
#define SCENARIO_PLATFORM_BYTE_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum VariantType : uint16_t { kVariantEmpty = 0, kVariantInt16 = 2, kVariantDouble = 5 };

class ByteWriter {
 public:
  void reserve(size_t n) { bytes_.reserve(n); }

  void put_u8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void put_u16(uint16_t v);
  void put_i16(int16_t v) { put_u16(static_cast<uint16_t>(v)); }
  void put_u32(uint32_t v);
  void put_i32(int32_t v) { put_u32(static_cast<uint32_t>(v)); }
  void put_f64(double v);
  // A 16-bit length and the bytes; throws RuntimeFailure(kOverflow) for a
  // text longer than 65535 bytes.
  void put_text(std::string_view text);

  void put_variant_empty() { put_u16(kVariantEmpty); }
  void put_variant_int16(int16_t v) {
    put_u16(kVariantInt16);
    put_i16(v);
  }
  void put_variant_double(double v) {
    put_u16(kVariantDouble);
    put_f64(v);
  }

  const std::string& bytes() const { return bytes_; }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_BYTE_WRITER_H_
