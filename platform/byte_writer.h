// Little-endian binary output, one field at a time.
//
// Integers are written least-significant byte first in their own width, two's
// complement for the signed ones; a double as its eight IEEE 754 bytes; a
// text as a 16-bit length followed by its bytes. Tagged (variant) values are a
// 16-bit type code and the payload: 0 empty (no payload), 2 a 16-bit integer,
// 5 a double. Records are never written as memory images.
#ifndef SCENARIO_PLATFORM_BYTE_WRITER_H_
#define SCENARIO_PLATFORM_BYTE_WRITER_H_

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/large_pages.h"

namespace platform {

enum VariantType : uint16_t { kVariantEmpty = 0, kVariantInt16 = 2, kVariantDouble = 5 };

// The low `n` bytes of `v` into `at`, least significant first.
inline void encode_le(char* at, uint64_t v, size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &v, n);
  } else {
    for (size_t i = 0; i < n; ++i) at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
}

// Tagged values into `at`, for loops that make room for many at once (see
// ByteWriter::room); each returns the position after the value.
inline char* encode_variant_empty(char* at) {
  encode_le(at, kVariantEmpty, 2);
  return at + 2;
}
inline char* encode_variant_double(char* at, double v) {
  encode_le(at, kVariantDouble, 2);
  encode_le(at + 2, std::bit_cast<uint64_t>(v), 8);
  return at + 10;
}

// Gathers the bytes of one file (or one part of it). Its memory is taken as
// it is needed and never zero-filled first; a large one comes in large pages
// (platform/large_pages.h).
class ByteWriter {
 public:
  ByteWriter() = default;
  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  // Room for `n` bytes in all, taken now.
  void reserve(size_t n) {
    if (n > capacity_) reallocate(n);
  }

  // The fixed-width puts are inline and write into room made beforehand: the
  // line file is millions of them.
  void put_u8(uint8_t v) { put_le(v, 1); }
  void put_u16(uint16_t v) { put_le(v, 2); }
  void put_i16(int16_t v) { put_u16(static_cast<uint16_t>(v)); }
  void put_u32(uint32_t v) { put_le(v, 4); }
  void put_i32(int32_t v) { put_u32(static_cast<uint32_t>(v)); }
  void put_f64(double v) { put_le(std::bit_cast<uint64_t>(v), 8); }
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

  // The bytes written so far; valid until the next put.
  std::string_view bytes() const { return {buffer_.get(), size_}; }
  size_t size() const { return size_; }
  // The bytes written so far, and the writer empty again.
  std::string take() {
    std::string bytes(buffer_.get(), size_);
    size_ = 0;
    return bytes;
  }
  // Empties the bytes and keeps the memory, for writing a file in parts.
  void clear() { size_ = 0; }

  // Takes the next `n` bytes, to be filled by the caller (encode_*): one
  // call for many values.
  char* room(size_t n) {
    if (size_ + n > capacity_) grow(n);
    char* at = buffer_.get() + size_;
    size_ += n;
    return at;
  }

 private:
  void grow(size_t n);
  void reallocate(size_t capacity);

  void put_le(uint64_t v, size_t n) { encode_le(room(n), v, n); }

  // Bytes 0 .. size_ - 1 are written; the rest, to capacity_, is room.
  std::unique_ptr<char, LargeRelease> buffer_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_BYTE_WRITER_H_
