// The fields of one description as both readers take them, with everything
// that records a compile error or a warning where it happens.
//
// Both readers cut their description with platform::FieldReader and share
// these rules through this one class, so they cannot drift apart:
//   - every field read notes its place in s.reading (description, line,
//     column), before the read, so that a read that fails (error 25 at the
//     trap of memorizza_dati) names the field it failed in;
//   - the minus-sign rule: a keyword field holding "-" is replaced by the next
//     field, a limited number of times in a row;
//   - the range test: a row needs the track to run on some metres past it,
//     else error 15 with its position, and the rows end;
//   - ending with a code: the description is deleted and the code, the
//     position and the place are stored together.
// Warnings go to s.warnings with their place.
#ifndef SCENARIO_MODEL_DESCRIPTION_FIELDS_H_
#define SCENARIO_MODEL_DESCRIPTION_FIELDS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/reading_record.h"
#include "model/scenario.h"
#include "platform/field_reader.h"

namespace model {

// How many keyword fields holding "-" are replaced in a row, and whether the
// text ending with a replacement ends the rows (or the row is still tested).
struct MinusRule {
  int limit;
  bool end_stops;
};

class DescriptionFields {
 public:
  // `bytes` is the description `which`, read from `path` (deleted by
  // end_with and delete_description). Notes the first UTF-8 sequence, if
  // any, as a warning.
  DescriptionFields(Scenario& s, Description which, std::string path, std::string bytes);

  bool at_end() const { return in_.at_end(); }

  std::string text();
  int32_t number();
  // A number kept in 16 bits or a byte: one that does not fit throws
  // RuntimeFailure(kOverflow).
  int16_t short_number();
  uint8_t byte_number();

  // The field last read (or being read).
  const FieldPlace& place() const { return s_.reading; }
  // Whether the field last read was a text that ended at a comma with more
  // text after it on its line; quoted texts never end so.
  bool text_cut_at_comma() const { return !in_.quoted() && in_.more_on_line(); }

  // Reads one keyword field into s.input_token.
  const std::string& keyword();
  // Reads the next row's keyword into s.input_token, by the minus-sign rule,
  // and notes it as the row being read, in `section`. False when the text
  // ends before the keyword or with it (and, with rule.end_stops, with a
  // replacement): the rows end there.
  bool next_row(MinusRule rule, RowSection section);

  // The range test: whether a row `room` metres long at `metres` lies on the
  // track.
  bool within_track(int64_t metres, int64_t room) const {
    return metres + room <= int64_t{50} * s_.cell_count;
  }
  // Error 15 at `position`, found in the field at `at`; the description stays.
  void stop_beyond_track(int32_t position, const FieldPlace& at);

  // Stores `code` with the place of the field holding the faulty value, the
  // row being read and, when a store noted a taken cell, what took it.
  void record_error(int32_t code, const FieldPlace& at);
  // Ends the reading with `code` (and its position): the description is
  // deleted.
  void end_with(int32_t code, const FieldPlace& at);
  void end_with(int32_t code, int32_t position, const FieldPlace& at);
  void delete_description();

  void warn(WarningId id, const FieldPlace& at, std::string message);
  // A warning when the row keyword just read, which matched no keyword of
  // its section, looks like a misspelt one: it starts with a letter and more
  // fields follow it on its line. `keywords` are the section's keywords as
  // authors write them, for "did you mean".
  void check_unknown_row(std::span<const std::string_view> keywords, std::string_view section);
  // A warning when `value` was stored as `stored` because only its low bits
  // fit: "adhesion 300 does not fit its field: ... stored as 44", where
  // `what` is "adhesion 300".
  void check_low_bits(const FieldPlace& at, const std::string& what, int64_t value, int64_t stored);

 private:
  void note_place();
  // A warning at the first UTF-8 sequence of the text, if any.
  void check_utf8();

  Scenario& s_;
  Description which_;
  std::string path_;
  platform::FieldReader in_;
  bool row_more_on_line_ = false;
  // The places of the row's values read so far (the first ones): which of
  // them an error names.
  static constexpr size_t kRowPlaces = 24;
  FieldPlace row_places_[kRowPlaces];
};

// The keyword of `keywords` within two edits of `field` (ignoring case and
// blanks around it), the nearest first; empty when there is none.
std::string_view nearest_keyword(std::string_view field,
                                 std::span<const std::string_view> keywords);

}  // namespace model

#endif  // SCENARIO_MODEL_DESCRIPTION_FIELDS_H_
