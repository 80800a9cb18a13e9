#include "tools/compile/diagnostics.h"

#include <algorithm>

#include "compiled/text.h"
#include "model/compile_errors.h"
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

Diagnostic identity_diagnostic(int32_t code) {
  Diagnostic d;
  d.code = code;
  d.message = error_words(code, 0);
  return d;
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
  std::string out = heading() + "\n";
  if (!source_line.empty() && column > 0) {
    // Long lines are shown around the column, as "...".
    std::string_view shown = source_line;
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
    out += prefix + to_utf8(shown) + "\n" + marker + "^\n";
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
