#include "model/description_fields.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "model/compile_errors.h"
#include "platform/cp1252.h"
#include "platform/rounding.h"

namespace model {

namespace {

bool is_continuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// The length of the UTF-8 sequence of two to four bytes at `i`, 0 when none
// starts there.
size_t utf8_sequence(std::string_view b, size_t i) {
  const auto c = static_cast<unsigned char>(b[i]);
  size_t n = c >= 0xC2 && c <= 0xDF   ? 2
             : c >= 0xE0 && c <= 0xEF ? 3
             : c >= 0xF0 && c <= 0xF4 ? 4
                                      : 0;
  if (n == 0 || i + n > b.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if (!is_continuation(static_cast<unsigned char>(b[i + k]))) return 0;
  }
  return n;
}

std::string hex_bytes(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
    if (!out.empty()) out += ' ';
    out += hex;
  }
  return out;
}

// The edit distance of `a` and `b` when it is below `bound`, else `bound`:
// it stops as soon as every way through is that far. `row` is its room,
// kept from word to word.
size_t edit_distance_below(std::string_view a, std::string_view b, size_t bound,
                           std::vector<size_t>& row) {
  row.resize(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    size_t least = row[0];
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
      least = std::min(least, row[j]);
    }
    if (least >= bound) return bound;
  }
  return std::min(row[b.size()], bound);
}

std::string_view trim_blanks(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::string_view nearest_keyword(std::string_view field,
                                 std::span<const std::string_view> keywords) {
  // Far longer or shorter words cannot be within two edits: skip the work.
  const std::string word = platform::to_lower(trim_blanks(field));
  std::string_view best;
  size_t best_distance = 3;
  std::vector<size_t> row;
  for (std::string_view keyword : keywords) {
    if (word.size() > keyword.size() + 2 || keyword.size() > word.size() + 2) continue;
    const size_t d = edit_distance_below(word, keyword, best_distance, row);
    if (d < best_distance) best = keyword, best_distance = d;
  }
  return best;
}

DescriptionFields::DescriptionFields(Scenario& s, Description which, std::string path,
                                     std::string bytes)
    : s_(s), which_(which), path_(std::move(path)), in_(std::move(bytes)) {
  s_.reading = {which_, 0, 0};
  check_utf8();
}

void DescriptionFields::check_utf8() {
  const std::string_view text = in_.bytes();
  size_t count = 0, first = 0, first_length = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0xC2) continue;
    const size_t n = utf8_sequence(text, i);
    if (n == 0) continue;
    if (count++ == 0) first = i, first_length = n;
    i += n - 1;
  }
  if (count == 0) return;
  FieldPlace at{which_, 1, 1};
  size_t line_start = 0;
  for (size_t i = 0; i < first; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++at.line;
      line_start = i + 1;
    }
  }
  at.column = static_cast<int>(first - line_start) + 1;
  warn(WarningId::kUtf8, at,
       "the description holds UTF-8 sequences (" + hex_bytes(text.substr(first, first_length)) +
           " here, " + std::to_string(count) +
           " in all), but descriptions are Windows-1252: each byte is read as a character of "
           "its own; save the file as Windows-1252");
}

void DescriptionFields::note_place() {
  s_.reading = {which_, in_.line(), in_.column()};
  const auto value = static_cast<size_t>(s_.reading_values);
  if (value < kRowPlaces) row_places_[value] = s_.reading;
  ++s_.reading_values;
}

std::string DescriptionFields::text() {
  struct Note {
    DescriptionFields& f;
    ~Note() { f.note_place(); }
  } note{*this};
  return in_.read_text();
}

int32_t DescriptionFields::number() {
  struct Note {
    DescriptionFields& f;
    ~Note() { f.note_place(); }
  } note{*this};
  return in_.read_number();
}

int16_t DescriptionFields::short_number() { return platform::to_int16(number()); }
uint8_t DescriptionFields::byte_number() { return platform::to_byte(number()); }

const std::string& DescriptionFields::keyword() {
  s_.input_token = text();
  return s_.input_token;
}

bool DescriptionFields::next_row(MinusRule rule, RowSection section) {
  if (at_end()) return false;
  keyword();
  if (at_end()) return false;
  for (int i = 0; i < rule.limit && platform::contains(s_.input_token, "-"); ++i) {
    keyword();
    if (rule.end_stops && at_end()) return false;
  }
  s_.reading_row = s_.reading;
  s_.reading_row_keyword = s_.input_token;
  s_.reading_section = section;
  s_.reading_values = 0;
  row_more_on_line_ = in_.more_on_line();
  return true;
}

void DescriptionFields::record_error(int32_t code, const FieldPlace& at) {
  ErrorSite site;
  site.field = at;
  site.row = s_.reading_row;
  site.row_keyword = s_.reading_row_keyword;
  site.row_section = s_.reading_section;
  const size_t read = std::min(static_cast<size_t>(std::max(s_.reading_values, 0)), kRowPlaces);
  for (size_t i = 0; i < read; ++i) {
    if (row_places_[i] == at) site.row_value = static_cast<int>(i);
  }
  if (s_.taken_cell >= 0) {
    site.occupant = occupant_of(s_, s_.taken_cell);
    s_.taken_cell = -1;
  }
  model::record_error(s_, code, std::move(site));
}

void DescriptionFields::stop_beyond_track(int32_t position, const FieldPlace& at) {
  s_.error_position = position;
  record_error(kBeyondTrack, at);
}

void DescriptionFields::delete_description() { s_.files->delete_file(path_); }

void DescriptionFields::end_with(int32_t code, const FieldPlace& at) {
  delete_description();
  record_error(code, at);
}

void DescriptionFields::end_with(int32_t code, int32_t position, const FieldPlace& at) {
  s_.error_position = position;
  end_with(code, at);
}

void DescriptionFields::warn(WarningId id, const FieldPlace& at, std::string message) {
  ++s_.warning_count;
  if (s_.warnings.size() < kMaxWarnings) s_.warnings.push_back({id, at, std::move(message)});
}

void DescriptionFields::check_unknown_row(std::span<const std::string_view> keywords,
                                          std::string_view section) {
  const std::string& field = s_.reading_row_keyword;
  if (field.empty() || !is_letter(field.front()) || !row_more_on_line_) return;
  // Past the warnings kept, only the count grows: no words to make.
  if (s_.warnings.size() >= kMaxWarnings) {
    ++s_.warning_count;
    return;
  }
  std::string message = "\"" + field + "\" is no keyword of the " + std::string(section) +
                        ": the field is passed over, and each field after it is taken as a "
                        "keyword in turn";
  std::string_view nearest = nearest_keyword(field, keywords);
  if (!nearest.empty()) message += "; did you mean \"" + std::string(nearest) + "\"?";
  warn(WarningId::kUnknownRow, s_.reading_row, std::move(message));
}

void DescriptionFields::check_low_bits(const FieldPlace& at, const std::string& what, int64_t value,
                                       int64_t stored) {
  if (value == stored) return;
  warn(WarningId::kLowBits, at,
       what + " does not fit its field: only its low bits are kept, and it is stored as " +
           std::to_string(stored));
}

}  // namespace model
