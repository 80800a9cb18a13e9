#include "platform/field_reader.h"

#include "platform/runtime_failure.h"

namespace platform {

namespace {
bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

FieldReader::FieldReader(std::string bytes) : bytes_(std::move(bytes)) {}

void FieldReader::skip_blanks() {
  while (pos_ < bytes_.size() && is_blank(bytes_[pos_])) ++pos_;
}

bool FieldReader::take_line_end() {
  if (pos_ >= bytes_.size()) return false;
  const size_t line_length = pos_ - line_start_;
  if (bytes_[pos_] == '\r') {
    ++pos_;
    if (pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  } else if (bytes_[pos_] == '\n') {
    ++pos_;
  } else {
    return false;
  }
  ++current_line_;
  line_start_ = pos_;
  last_line_length_ = line_length;
  return true;
}

void FieldReader::take_terminator() {
  ended_at_comma_ = pos_ < bytes_.size() && bytes_[pos_] == ',';
  if (ended_at_comma_) {
    ++pos_;
    return;
  }
  take_line_end();
}

bool FieldReader::more_on_line() const {
  if (!ended_at_comma_) return false;
  for (size_t i = pos_; i < bytes_.size() && !is_line_end(bytes_[i]); ++i) {
    if (!is_blank(bytes_[i])) return true;
  }
  return false;
}

void FieldReader::begin_field() {
  ended_at_comma_ = false;
  quoted_ = false;
  // A read when no byte remains fails; blanks only still give a field.
  const bool nothing_left = at_end();
  skip_blanks();
  field_line_ = current_line_;
  field_column_ = static_cast<int>(pos_ - line_start_) + 1;
  if (nothing_left) {
    // A text that ends with a line end ends on the line before it: the row
    // cut short is there.
    if (pos_ == line_start_ && current_line_ > 1) {
      field_line_ = current_line_ - 1;
      field_column_ = static_cast<int>(last_line_length_) + 1;
    }
    throw RuntimeFailure(kInputPastEnd);
  }
}

std::string FieldReader::read_text() {
  begin_field();
  std::string field;
  if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
    quoted_ = true;
    ++pos_;
    size_t start = pos_;
    while (pos_ < bytes_.size() && bytes_[pos_] != '"' && !is_line_end(bytes_[pos_])) ++pos_;
    if (pos_ - start > kMaxTextField) throw RuntimeFailure(kOverflow, "text field too long");
    field.assign(bytes_, start, pos_ - start);
    if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
      ++pos_;
      // Whatever stands between the closing quote and the field's end is dropped.
      while (pos_ < bytes_.size() && bytes_[pos_] != ',' && !is_line_end(bytes_[pos_])) ++pos_;
    }
  } else {
    size_t start = pos_;
    while (pos_ < bytes_.size() && bytes_[pos_] != ',' && !is_line_end(bytes_[pos_])) ++pos_;
    size_t end = pos_;
    while (end > start && is_blank(bytes_[end - 1])) --end;
    if (end - start > kMaxTextField) throw RuntimeFailure(kOverflow, "text field too long");
    field.assign(bytes_, start, end - start);
  }
  take_terminator();
  return field;
}

int32_t FieldReader::read_number() {
  begin_field();
  size_t start = pos_;
  bool negative = false;
  if (pos_ < bytes_.size() && (bytes_[pos_] == '+' || bytes_[pos_] == '-')) {
    negative = bytes_[pos_] == '-';
    ++pos_;
  }
  int64_t magnitude = 0;
  size_t digits = 0;
  while (pos_ < bytes_.size() && is_digit(bytes_[pos_])) {
    magnitude = magnitude * 10 + (bytes_[pos_] - '0');
    if (magnitude > (int64_t{1} << 31)) throw RuntimeFailure(kOverflow, "number too large");
    ++pos_;
    ++digits;
  }
  bool field_ends = pos_ >= bytes_.size() || is_blank(bytes_[pos_]) || bytes_[pos_] == ',' ||
                    is_line_end(bytes_[pos_]);
  if (!field_ends) throw RuntimeFailure(kTypeMismatch, "not a whole number");
  if (digits == 0 && pos_ != start) throw RuntimeFailure(kTypeMismatch, "sign without digits");
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) throw RuntimeFailure(kOverflow, "number too large");
  skip_blanks();
  take_terminator();
  return static_cast<int32_t>(value);
}

}  // namespace platform
