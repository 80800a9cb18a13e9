// The field reader against a second, plain reading of the same rules.
//
// The input's last eight bytes choose, field by field, a text or a number
// read; the rest is the description text. Both readers must return the same
// fields on the same lines and fail at the same read; every read must take
// at least one byte, so the text ends after at most one read per byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/field_reader.h"
#include "platform/runtime_failure.h"

namespace {

// The rules of platform/field_reader.h, written as directly as they read.
class PlainReader {
 public:
  explicit PlainReader(std::string_view b) : b_(b) {}

  bool at_end() const { return i_ >= b_.size(); }
  int line() const { return field_line_; }

  // Nothing on a failed read.
  std::optional<std::string> text() {
    if (!begin()) return std::nullopt;
    std::string field;
    if (peek() == '"') {
      ++i_;
      while (!at_end() && peek() != '"' && !line_end(peek())) field += b_[i_++];
      if (field.size() > 65535) return std::nullopt;
      if (peek() == '"') {
        ++i_;
        while (!at_end() && peek() != ',' && !line_end(peek())) ++i_;
      }
    } else {
      while (!at_end() && peek() != ',' && !line_end(peek())) field += b_[i_++];
      while (!field.empty() && blank(field.back())) field.pop_back();
      if (field.size() > 65535) return std::nullopt;
    }
    terminator();
    return field;
  }

  std::optional<int32_t> number() {
    if (!begin()) return std::nullopt;
    bool negative = false;
    bool sign = false;
    if (peek() == '+' || peek() == '-') {
      negative = peek() == '-';
      sign = true;
      ++i_;
    }
    std::string digits;
    while (!at_end() && peek() >= '0' && peek() <= '9') digits += b_[i_++];
    if (!at_end() && !blank(peek()) && peek() != ',' && !line_end(peek())) return std::nullopt;
    if (sign && digits.empty()) return std::nullopt;
    // Leading zeros do not count towards the size.
    size_t first = digits.find_first_not_of('0');
    std::string significant = first == std::string::npos ? "" : digits.substr(first);
    if (significant.size() > 10) return std::nullopt;
    int64_t magnitude = significant.empty() ? 0 : std::stoll(significant);
    int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    while (!at_end() && blank(peek())) ++i_;
    terminator();
    return static_cast<int32_t>(value);
  }

 private:
  static bool blank(char c) { return c == ' ' || c == '\t'; }
  static bool line_end(char c) { return c == '\r' || c == '\n'; }
  char peek() const { return at_end() ? '\0' : b_[i_]; }

  bool begin() {
    if (at_end()) return false;
    while (!at_end() && blank(peek())) ++i_;
    field_line_ = line_;
    return true;
  }
  void terminator() {
    if (at_end()) return;
    if (peek() == ',') {
      ++i_;
    } else if (peek() == '\r') {
      ++i_;
      if (peek() == '\n') ++i_;
      ++line_;
    } else if (peek() == '\n') {
      ++i_;
      ++line_;
    }
  }

  std::string_view b_;
  size_t i_ = 0;
  int line_ = 1;
  int field_line_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const uint64_t choices = in.ConsumeIntegral<uint64_t>();
  const std::string text = in.ConsumeRemainingBytesAsString();

  platform::FieldReader reader(text);
  PlainReader plain(text);
  size_t lines = 1;
  for (char c : text) lines += c == '\n' || c == '\r';

  for (size_t n = 0;; ++n) {
    FUZZ_CHECK(reader.at_end() == plain.at_end(), "the readers disagree on the end");
    // Every successful read takes a byte, so one more read than there are
    // bytes must fail.
    FUZZ_CHECK(n <= text.size() + 1, "a read took no byte");
    const bool as_number = (choices >> (n % 64)) & 1;
    const std::string where = "read " + std::to_string(n);
    if (as_number) {
      std::optional<int32_t> expected = plain.number();
      try {
        int32_t got = reader.read_number();
        FUZZ_CHECK(expected.has_value(),
                   where + ": number " + std::to_string(got) + " read where it should fail");
        FUZZ_CHECK(got == *expected, where + ": number " + std::to_string(got) + ", expected " +
                                         std::to_string(*expected));
      } catch (const platform::RuntimeFailure& e) {
        FUZZ_CHECK(!expected.has_value(), where + ": number read failed (" + e.what() +
                                              "), expected " + std::to_string(*expected));
        return 0;
      }
    } else {
      std::optional<std::string> expected = plain.text();
      try {
        std::string got = reader.read_text();
        FUZZ_CHECK(expected.has_value(), where + ": text read where it should fail");
        FUZZ_CHECK(got == *expected,
                   where + ": text \"" + got + "\", expected \"" + *expected + "\"");
        FUZZ_CHECK(got.size() <= platform::FieldReader::kMaxTextField, where + ": text too long");
        FUZZ_CHECK(got.find_first_of("\r\n") == std::string::npos,
                   where + ": text holds a line end");
      } catch (const platform::RuntimeFailure& e) {
        FUZZ_CHECK(!expected.has_value(), where + ": text read failed (" + e.what() + ")");
        return 0;
      }
    }
    FUZZ_CHECK(reader.line() == plain.line(), where + ": line " + std::to_string(reader.line()) +
                                                  ", expected " + std::to_string(plain.line()));
    FUZZ_CHECK(reader.line() >= 1 && static_cast<size_t>(reader.line()) <= lines,
               where + ": line outside the text");
  }
}
