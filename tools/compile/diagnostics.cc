#include "tools/compile/diagnostics.h"

#include <algorithm>

#include "compiled/compiled_set.h"
#include "compiled/text.h"
#include "model/cell_values.h"
#include "model/compile_errors.h"
#include "model/description_rows.h"
#include "platform/cp1252.h"
#include "platform/field_reader.h"
#include "platform/runtime_failure.h"
#include "route/mountain_store.h"
#include "route/route_reader.h"

namespace tools {

namespace {

// "(31010 m, km 31+010)".
std::string at(int64_t metres) {
  return "(" + std::to_string(metres) + " m, " + km_text(metres) + ")";
}

bool is_heading(std::string_view field) {
  size_t first = field.find_first_not_of(" \t");
  return first != std::string_view::npos && field[first] == '[' &&
         field.find(']', first) != std::string_view::npos;
}

// What a run-time failure happened to: its text without the failure's own
// description ("not a whole number" of "type mismatch: not a whole number").
std::string failure_detail(const model::ErrorSite& site) {
  const std::string prefix = std::string(platform::failure_description(site.failure)) + ": ";
  return site.failure_text.starts_with(prefix) ? site.failure_text.substr(prefix.size())
                                               : std::string();
}

// The number after `prefix` in `detail` ("route sign slot 0"), when it is one.
std::optional<int64_t> number_after(std::string_view detail, std::string_view prefix) {
  if (!detail.starts_with(prefix) || detail.size() == prefix.size()) return std::nullopt;
  detail.remove_prefix(prefix.size());
  const bool negative = detail.front() == '-';
  if (negative) detail.remove_prefix(1);
  if (detail.empty() || detail.size() > 12) return std::nullopt;
  int64_t n = 0;
  for (char c : detail) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return negative ? -n : n;
}

// The words for the run-time failure behind an error 25, in what the author
// wrote: "a field is not a whole number". Empty for a failure that has none.
std::string failure_words(const model::ErrorSite& site) {
  const std::string detail = failure_detail(site);
  switch (site.failure) {
    case platform::kOverflow:
      if (detail == "text field too long") {
        return "a field is longer than " + std::to_string(platform::FieldReader::kMaxTextField) +
               " bytes (a double quote left open?)";
      }
      if (detail == "number too large") {
        return "a number does not fit 32 bits (-2147483648 to 2147483647)";
      }
      return "a value does not fit its field";
    case platform::kTypeMismatch:
      if (detail == "sign without digits") return "a field holds a sign without digits";
      return "a field is not a whole number";
    case platform::kInputPastEnd:
      return "the file ends inside a row";
    case platform::kSubscriptOutOfRange:
      if (std::optional<int64_t> cell = number_after(detail, "track cell ")) {
        return *cell < 0 ? "the row reaches cell " + std::to_string(*cell) +
                               ", before the start of the track (a negative position?)"
                         : "the row reaches cell " + std::to_string(*cell) +
                               ", past the end of the track";
      }
      return "a row reaches outside the track or the tables";
    default:
      return {};
  }
}

// The message of an error 25 that is no fault of a field but of the rows as
// a whole; empty for the others.
std::string rows_fault_words(const model::ErrorSite& site) {
  const std::string detail = failure_detail(site);
  if (detail == route::kNoRouteLengthFailure) {
    std::string words =
        "the route description has no route length row (\"lunghezza percorso, METRES\") in its "
        "general section";
    if (is_heading(site.row_keyword)) {
      words += ", which ends at the heading \"" + to_utf8(site.row_keyword) + "\" on line " +
               std::to_string(site.row.line);
    }
    return words + ": without it there is no track";
  }
  if (number_after(detail, route::kSignSlotFailure)) {
    return "too many route signs: this is the " + std::to_string(model::kSharedSlots + 1) +
           "st, and route signs and stations share " + std::to_string(model::kSharedSlots) +
           " slots";
  }
  if (number_after(detail, route::kMountainStretchFailure)) {
    return "too many mountain stretches: this is the " +
           std::to_string(route::kMaxMountainStretches + 1) + "st, and a route holds at most " +
           std::to_string(route::kMaxMountainStretches);
  }
  return {};
}

bool contains_words(std::string_view text, std::string_view a, std::string_view b) {
  return platform::contains_nocase(text, a) && platform::contains_nocase(text, b);
}

const std::optional<std::string>& file_of(model::Description d, const DescriptionSources& src) {
  static const std::optional<std::string> none;
  if (d == model::Description::kRoute) return src.route_file;
  if (d == model::Description::kTrain) return src.train_file;
  return none;
}

const std::optional<std::string>& bytes_of(model::Description d, const DescriptionSources& src) {
  static const std::optional<std::string> none;
  if (d == model::Description::kRoute) return src.route;
  if (d == model::Description::kTrain) return src.train;
  return none;
}

// Line `line` (from 1) of `bytes`, without its end.
std::string_view line_of(std::string_view bytes, int line) {
  size_t start = 0;
  for (int n = 1; n < line; ++n) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) return {};
    start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
  return bytes.substr(start, end - start);
}

// Places `d` at `place` in the author's files, with the source line.
void place(Diagnostic& d, const model::FieldPlace& place, const DescriptionSources& src) {
  d.file = file_of(place.description, src);
  if (!d.file || place.line <= 0) return;
  d.line = place.line;
  d.column = place.column;
  if (const std::optional<std::string>& bytes = bytes_of(place.description, src)) {
    d.source_line = std::string(line_of(*bytes, place.line));
  }
}

// The longest source line shown in full; longer ones are cut around the
// column.
constexpr size_t kMaxShownLine = 100;

// `line` (Windows-1252) with a caret under `column` on the line below; long
// lines are shown around the column, as "...".
std::string caret_lines(std::string_view line, int column) {
  if (line.empty() || column <= 0) return {};
  std::string_view shown = line;
  size_t caret = static_cast<size_t>(column) - 1;
  std::string prefix;
  if (shown.size() > kMaxShownLine && caret > kMaxShownLine / 2) {
    const size_t cut = std::min(caret - kMaxShownLine / 2, shown.size());
    shown.remove_prefix(cut);
    caret -= cut;
    prefix = "...";
  }
  if (shown.size() > kMaxShownLine) shown = shown.substr(0, kMaxShownLine);
  std::string marker = prefix.empty() ? "" : "   ";
  // Tabs stay tabs under the line, so the caret lines up in any terminal.
  for (size_t i = 0; i < caret && i < shown.size(); ++i) marker += shown[i] == '\t' ? '\t' : ' ';
  return prefix + to_utf8(shown) + "\n" + marker + "^\n";
}

// A related place at `at` in the author's files, saying `message`.
RelatedPlace related_at(const model::FieldPlace& at, std::string message,
                        const DescriptionSources& src) {
  RelatedPlace r;
  r.file = file_of(at.description, src);
  r.line = at.line;
  r.column = at.column;
  r.message = std::move(message);
  if (const std::optional<std::string>& bytes = bytes_of(at.description, src)) {
    r.source_line = std::string(line_of(*bytes, at.line));
  }
  return r;
}

std::string_view trim(std::string_view t) {
  const size_t first = t.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return t.substr(first, t.find_last_not_of(" \t") - first + 1);
}

// "pendenza 5000": a row's keyword and a number in one field, as when the
// comma after the keyword is missing.
bool keyword_then_number(std::string_view field, const model::RowLayout& layout) {
  field = trim(field);
  size_t start = field.size();
  while (start > 0 && field[start - 1] >= '0' && field[start - 1] <= '9') --start;
  if (start == field.size()) return false;
  if (start > 0 && (field[start - 1] == '-' || field[start - 1] == '+')) --start;
  if (start == 0 || (field[start - 1] != ' ' && field[start - 1] != '\t')) return false;
  return layout.matches(trim(field.substr(0, start)));
}

// The names of a row's values: "position, gradient".
std::string value_names(const model::RowLayout& layout) {
  std::string names;
  for (const model::FieldLayout& f : layout.fields) {
    names += (names.empty() ? "" : ", ") + std::string(f.name);
  }
  return names;
}

// The usual cause of an error in a row, when its facts show one.
// `failing` is the text from the field where the reading failed on.
std::optional<std::string> row_hint(const model::ErrorSite& site, const model::RowLayout& layout,
                                    std::string_view failing) {
  const std::string kind(layout.what);
  if (site.value_stored_later) {
    constexpr int kLargestLimit = 255 * model::kSpeedStep + model::kSpeedStep / 2;
    return "this row's speed limit of " + std::to_string(*site.value_stored_later) +
           " km/h is stored as the limit / " + std::to_string(model::kSpeedStep) +
           ", rounded, in one byte of every cell, which holds limits up to " +
           std::to_string(kLargestLimit) +
           " km/h; the cells receive it only where the next speed limit row (or the end of the "
           "rows) fills them, and that is where the reading failed";
  }
  // A heading read as a row has a note of its own.
  if (site.code != model::kReadingFailure || is_heading(site.row_keyword)) return std::nullopt;
  const std::string field = to_utf8(trim(site.row_keyword));
  const std::string keyword(layout.keyword);
  if (site.row_keyword.find(';') != std::string::npos) {
    return "fields are separated by commas, not semicolons: \"" + field +
           "\" is one field, read as the keyword of a " + kind +
           " row, and the row's values are taken from the fields after it";
  }
  if (keyword_then_number(site.row_keyword, layout)) {
    return "a comma may be missing after the keyword: \"" + field +
           "\" is one field, read as the keyword of a " + kind +
           " row, and the row's values are taken from the fields after it";
  }
  const std::string lower = platform::to_lower(trim(site.row_keyword));
  if (lower != keyword && lower.find_first_of(" \t") != std::string::npos) {
    return "if \"" + field + "\" is a note: a field that holds \"" + std::string(layout.words[0]) +
           "\" starts a " + kind +
           " row wherever it stands, and the fields after it are read as the row's values; "
           "reword the note so that it holds no keyword";
  }
  const bool on_later_line =
      site.field.description != site.row.description || site.field.line > site.row.line;
  if (site.failure == platform::kInputPastEnd) {
    return "the file ends inside the row: a value may be missing (a " + kind + " row has " +
           std::to_string(layout.fields.size()) + " values: " + value_names(layout) + ")";
  }
  // A row may go on over the next line: only a keyword there tells that a
  // value is missing.
  const bool word_read = !failing.empty() && ((failing[0] >= 'a' && failing[0] <= 'z') ||
                                              (failing[0] >= 'A' && failing[0] <= 'Z'));
  if (site.failure == platform::kTypeMismatch && on_later_line && word_read) {
    return "a value may be missing: a " + kind + " row has " +
           std::to_string(layout.fields.size()) + " values (" + value_names(layout) +
           "), and the field read here for one of them is on a later line";
  }
  return std::nullopt;
}

// "the route sign", for the cell of a row refused because it is taken.
std::string occupant_words(uint8_t kind) {
  switch (kind) {
    case model::kSignal:
      return "the signal";
    case model::kSlowdownEnd:
      return "the end cell of the slowdown";
    case model::kSlowdownStart:
      return "the start cell of the slowdown";
    case model::kSlowdownWarning:
      return "the warning cell of the slowdown";
    case model::kBeforeWarning:
      return "one of the four cells before the warning of the slowdown";
    case model::kSpeedIndicator:
      return "the speed indicator";
    case model::kStationStop:
      return "the stop cell of the station";
    case model::kSpeedMark:
    case model::kSpeedMarkWithoutValue:
      return "the \"abbattimento\" mark";
    case model::kRouteSign:
      return "the route sign";
    default:
      return "the " + std::string(cell_kind_name(kind));
  }
}

// "BRENTALVO_TRN4417-.txt:9", or the line alone when the file is not known.
std::string file_line(const std::optional<std::string>& file, int line) {
  return (file ? *file + ":" : std::string("line ")) + std::to_string(line);
}

// The row an error was raised in and what took its cell, added to `d`.
void add_row_and_occupant(Diagnostic& d, const model::ErrorSite& site,
                          const DescriptionSources& src) {
  const model::RowLayout* layout =
      site.row.line > 0 ? model::row_for(site.row_keyword, site.row_section) : nullptr;
  if (layout != nullptr) {
    ErrorRow row;
    row.file = file_of(site.row.description, src);
    row.line = site.row.line;
    row.column = site.row.column;
    row.kind = std::string(layout->what);
    if (site.row_value >= 0 && static_cast<size_t>(site.row_value) < layout->fields.size()) {
      row.value = std::string(layout->fields[static_cast<size_t>(site.row_value)].name);
    }
    d.row = row;
    // On the error's own line the row needs no second caret.
    const bool same_line =
        site.field.description == site.row.description && site.field.line == site.row.line;
    if (!same_line) {
      d.related.push_back(related_at(
          site.row, "in the " + std::string(layout->what) + " row that begins here", src));
    }
    std::string_view failing;
    if (d.column > 0 && static_cast<size_t>(d.column) <= d.source_line.size()) {
      failing = std::string_view(d.source_line).substr(static_cast<size_t>(d.column) - 1);
    }
    if (std::optional<std::string> hint = row_hint(site, *layout, failing))
      d.notes.push_back(*hint);
  }
  if (site.occupant) {
    const model::CellOccupant& o = *site.occupant;
    ErrorOccupant occupant;
    occupant.kind = o.finishing_mark ? "finishing mark" : cell_kind_name(o.kind);
    occupant.file = file_of(o.row.description, src);
    occupant.line = o.row.line;
    d.occupant = occupant;
    const std::string cell = "cell " + std::to_string(o.cell);
    if (o.row.line <= 0) {
      d.notes.push_back(cell + " is taken by " +
                        (o.finishing_mark ? std::string("a mark the finishing pass puts there")
                                          : occupant_words(o.kind)));
    } else if (o.finishing_mark) {
      d.related.push_back(related_at(o.row,
                                     cell +
                                         " is taken by a mark the finishing pass puts around "
                                         "the slowdown at " +
                                         file_line(occupant.file, o.row.line),
                                     src));
    } else {
      d.related.push_back(
          related_at(o.row, cell + " is taken by " + occupant_words(o.kind) + " of this row", src));
    }
  }
}

}  // namespace

std::string error_words(int32_t code, int32_t position, const ErrorFacts& facts) {
  const model::ErrorInfo* info = model::find_error(code);
  if (info == nullptr) return "unknown error number";
  std::string words = info->text;
  if (code == model::kRouteTooLong && facts.line_length > model::kMaxRouteLength) {
    words += " (" + std::to_string(facts.line_length) + " m)";
  }
  if (!info->has_position) return words;
  if (info->stage == model::ErrorStage::kFinishing) {
    return words + " (cell " + std::to_string(position / 50) + ", " + std::to_string(position) +
           " m, " + km_text(position) + ")";
  }
  if (code == model::kBeyondTrack && facts.cell_count > 0) {
    return words + " (" + std::to_string(position) + " m, " + km_text(position) +
           "; the track ends at " + std::to_string(int64_t{facts.cell_count} * 50) + " m)";
  }
  return words + " " + at(position);
}

namespace {

// Error 22 by how much: the station being read fills the slot after the
// last one counted, the previous station the one before.
std::string station_gap_words(const model::Scenario& s) {
  const int32_t k = s.stations_read + 1;
  if (k < 2 || k >= model::kSharedSlots) return {};
  const model::ItemRecord& station = s.item_table[static_cast<size_t>(k)];
  const model::ItemRecord& previous = s.item_table[static_cast<size_t>(k - 1)];
  const int64_t gap = int64_t{station.area_start} - previous.area_end;
  const std::string start = std::to_string(station.area_start) + " m";
  const std::string end = std::to_string(previous.area_end) + " m";
  if (gap >= 0) {
    return ": its area starts at " + start + ", only " + std::to_string(gap) +
           " m after the previous station's area ends at " + end;
  }
  return ": its area starts at " + start + ", " + std::to_string(-gap) +
         " m before the previous station's area ends at " + end +
         "; stations go in order of position";
}

// One recorded error in words, with its place.
Diagnostic site_diagnostic(const model::Scenario& s, const model::ErrorSite& site,
                           const DescriptionSources& src) {
  Diagnostic d;
  d.code = site.code;
  const model::ErrorInfo* info = model::find_error(site.code);
  if (info != nullptr && info->has_position) d.position = site.position;

  ErrorFacts facts;
  facts.cell_count = s.cell_count;
  facts.line_length = s.item_table[model::kSlotTrainGeneral].area_end;
  d.message = error_words(site.code, site.position, facts);
  const std::string rows_fault =
      site.code == model::kReadingFailure ? rows_fault_words(site) : std::string();
  if (site.code == model::kReadingFailure) {
    if (site.field.description == model::Description::kTrain && site.field.line == 0 &&
        !src.train_file) {
      d.message =
          "no train description was given: the reading needs one after the route "
          "description";
    } else if (!rows_fault.empty()) {
      d.message = rows_fault;
    } else if (site.failure != 0) {
      const std::string words = failure_words(site);
      d.message =
          "the description could not be read here: " + (words.empty() ? site.failure_text : words);
    }
  }
  if (site.code == model::kStationsTooClose) d.message += station_gap_words(s);
  place(d, site.field, src);
  if (site.code == model::kNoRouteDescription) d.file = src.route_file;
  add_row_and_occupant(d, site, src);

  if (failure_detail(site) == route::kNoRouteLengthFailure && src.route && src.train &&
      !contains_words(*src.route, "lunghezza", "percorso") &&
      contains_words(*src.train, "lunghezza", "percorso")) {
    d.notes.push_back(
        "the two descriptions look swapped: the one given as the train "
        "description holds the route length row; give the route description "
        "(LINE_linea.txt) as the route and the train description "
        "(LINE_TRAIN-.txt) as the train");
  }
  if (site.row.line > 0 && is_heading(site.row_keyword) && rows_fault.empty()) {
    d.notes.push_back("the field \"" + to_utf8(site.row_keyword) + "\" on line " +
                      std::to_string(site.row.line) +
                      " was read as a row, not as a heading: a field that holds a row's "
                      "keyword starts that row, headings included");
  }
  return d;
}

}  // namespace

Diagnostic error_diagnostic(const model::Scenario& s, const DescriptionSources& src) {
  model::ErrorSite last = s.error_site;
  // A number set outside record_error (never by the compile pass itself)
  // still gets its words.
  if (last.code != s.error_code) {
    last = {};
    last.code = s.error_code;
    last.position = s.error_position;
  }
  Diagnostic d = site_diagnostic(s, last, src);
  // The pass keeps only the last error; the ones before it may be what the
  // author needs to see first (a route row refused before a train row).
  for (const model::ErrorSite& earlier : s.earlier_errors) {
    d.notes.push_back("this error replaced an earlier one: " +
                      site_diagnostic(s, earlier, src).heading());
  }
  const int32_t unshown = s.earlier_error_count - static_cast<int32_t>(s.earlier_errors.size());
  if (unshown > 0) {
    d.notes.push_back("and " + std::to_string(unshown) + " more earlier errors");
  }
  return d;
}

Diagnostic error_diagnostic(const model::Scenario& s, const model::ErrorSite& site,
                            const DescriptionSources& src) {
  return site_diagnostic(s, site, src);
}

Diagnostic identity_diagnostic(int32_t code, const std::optional<model::CellOccupant>& occupant,
                               const DescriptionSources& src) {
  Diagnostic d;
  d.code = code;
  d.message = error_words(code, 0);
  model::ErrorSite site;
  site.occupant = occupant;
  add_row_and_occupant(d, site, src);
  return d;
}

std::optional<model::CellOccupant> identity_occupant(const model::Scenario& s, int32_t code) {
  if (!s.track_allocated || s.cell_count < 1) return std::nullopt;
  const model::TrackCell& first = s.cell(1);
  const bool taken = code == model::kIdentityValue1Taken ? first.value1 != 0 : first.value2 != 0;
  if (!taken) return std::nullopt;
  return model::occupant_of(s, 1);
}

Diagnostic warning_diagnostic(const model::Warning& w, const DescriptionSources& src) {
  Diagnostic d;
  d.is_error = false;
  d.id = model::warning_name(w.id);
  d.message = to_utf8(w.message);
  place(d, w.place, src);
  return d;
}

std::vector<Diagnostic> warning_diagnostics(const model::Scenario& s,
                                            const DescriptionSources& src) {
  std::vector<Diagnostic> out;
  for (const model::Warning& w : s.warnings) out.push_back(warning_diagnostic(w, src));
  return out;
}

void sort_in_file_order(std::vector<Diagnostic>& diagnostics, const DescriptionSources& src) {
  auto rank = [&src](const Diagnostic& d) {
    if (!d.file || d.line == 0) return 2;
    return d.file == src.route_file ? 0 : 1;
  };
  std::stable_sort(diagnostics.begin(), diagnostics.end(),
                   [&rank](const Diagnostic& a, const Diagnostic& b) {
                     const int ra = rank(a), rb = rank(b);
                     if (ra != rb) return ra < rb;
                     if (ra == 2) return false;
                     if (a.line != b.line) return a.line < b.line;
                     return a.column < b.column;
                   });
}

std::string Diagnostic::heading() const {
  std::string where;
  if (file) {
    where = *file;
    if (line > 0) where += ":" + std::to_string(line);
    if (line > 0 && column > 0) where += ":" + std::to_string(column);
    where += ": ";
  }
  // An error of the tool's own (a train that reads as nothing) has no
  // number: its id names it.
  const std::string kind = !is_error    ? "warning " + id
                           : id.empty() ? "error " + std::to_string(code)
                                        : "error " + id;
  return where + kind + ": " + message;
}

std::string Diagnostic::text() const {
  std::string out = heading() + "\n" + caret_lines(source_line, column);
  for (const RelatedPlace& r : related) {
    std::string where;
    if (r.file) {
      where = *r.file + ":" + std::to_string(r.line);
      if (r.column > 0) where += ":" + std::to_string(r.column);
      where += ": ";
    }
    out += where + "note: " + r.message + "\n" + caret_lines(r.source_line, r.column);
  }
  for (const std::string& note : notes) out += "note: " + note + "\n";
  return out;
}

int32_t Slots::free() const { return std::max(0, model::kSharedSlots - stations - signs - 2); }

std::string Slots::text() const {
  return "slots: " + std::to_string(stations) + (stations == 1 ? " station + " : " stations + ") +
         std::to_string(signs) + (signs == 1 ? " route sign = " : " route signs = ") +
         std::to_string(stations + signs) + " of " + std::to_string(model::kSharedSlots);
}

Slots slots_of(const model::Scenario& s) { return Slots{s.stations_read, s.signs_read}; }

}  // namespace tools
