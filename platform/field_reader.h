// Sequential reading of a description text by fields.
//
// Both descriptions are cut into fields by the same rules; the reader never
// works on lines:
//   - a field ends at a comma or a line end (CR LF, a lone CR or a lone LF),
//     so a row may continue over several lines;
//   - blanks (spaces and tabs) before a field are skipped;
//   - a text field runs to the next comma or line end, trailing blanks dropped;
//     one that begins with a double quote runs to the closing quote (or to its
//     line end when the quote is never closed, blanks kept) and may hold
//     commas; what follows the closing quote up to the next comma or line end
//     is discarded;
//   - a number is an optional sign and decimal digits, ending at a blank, a
//     comma, a line end or the end of the text; after it the blanks are
//     skipped and then one comma or one line end is taken; an empty number
//     field reads as 0;
//   - every field carries the line and column (in bytes, from 1) it began
//     on, for messages to authors.
// Anything else in a number (a letter, a dot, a quote, a value beyond 32
// bits), a text field over 65535 bytes, or a read when no byte at all remains
// throws RuntimeFailure: the compile pass turns it into error 25.
//
// The reader works on bytes in one pass over the text: linear in its length.
#ifndef SCENARIO_PLATFORM_FIELD_READER_H_
#define SCENARIO_PLATFORM_FIELD_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class FieldReader {
 public:
  // The longest text field: the station file keeps a text's length in 16 bits.
  static constexpr size_t kMaxTextField = 65535;

  // Reads from `bytes`, which the reader owns.
  explicit FieldReader(std::string bytes);

  // The next field as text.
  std::string read_text();
  // The next field as a 32-bit number.
  int32_t read_number();

  // The whole text.
  std::string_view bytes() const { return bytes_; }

  // True once no byte remains.
  bool at_end() const { return pos_ >= bytes_.size(); }

  // The line and column (from 1) at which the field last read began, also
  // when its read failed; a read when no byte remains names the end of the
  // text (the end of its last line when the text ends with a line end). 0
  // before any read.
  int line() const { return field_line_; }
  int column() const { return field_column_; }

  // Whether the field last read was a text in double quotes.
  bool quoted() const { return quoted_; }
  // Whether the field last read ended at a comma with more than blanks after
  // it on its line.
  bool more_on_line() const;

 private:
  void skip_blanks();
  // Takes one line end at the current position, if there is one.
  bool take_line_end();
  // Takes the comma or line end that closes a field, if there is one.
  void take_terminator();
  void begin_field();

  std::string bytes_;
  size_t pos_ = 0;
  size_t line_start_ = 0;        // where the current line begins
  size_t last_line_length_ = 0;  // the length of the line before it
  int current_line_ = 1;
  int field_line_ = 0;
  int field_column_ = 0;
  bool quoted_ = false;
  bool ended_at_comma_ = false;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_FIELD_READER_H_
