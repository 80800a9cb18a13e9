#include "platform/byte_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/runtime_failure.h"

namespace platform {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string out;
  for (int b : list) out.push_back(static_cast<char>(b));
  return out;
}

TEST(ByteWriterTest, WritesLittleEndianFieldsInTheirWidths) {
  ByteWriter out;
  out.put_u8(0xAB);
  out.put_i16(-1);
  out.put_i16(5121);
  out.put_i32(-2);
  out.put_i32(100000);
  EXPECT_EQ(out.bytes(),
            bytes({0xAB, 0xFF, 0xFF, 0x01, 0x14, 0xFE, 0xFF, 0xFF, 0xFF, 0xA0, 0x86, 0x01, 0x00}));
}

TEST(ByteWriterTest, WritesTaggedValues) {
  ByteWriter out;
  out.put_variant_empty();
  out.put_variant_int16(1);
  out.put_variant_double(1.0);
  EXPECT_EQ(out.bytes(),
            bytes({0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x05, 0x00, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST(ByteWriterTest, WritesTextsWithTheirLength) {
  ByteWriter out;
  out.put_text("");
  out.put_text("A\xB0");
  EXPECT_EQ(out.bytes(), bytes({0, 0, 2, 0, 'A', 0xB0}));
  EXPECT_THROW(out.put_text(std::string(65536, 'x')), RuntimeFailure);
}

}  // namespace
}  // namespace platform
