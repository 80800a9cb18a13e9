#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "app/form_load.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/byte_writer.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "route/route_reader.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace fuzz {

void broken(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "%s:%d: broken invariant: %s\n", file, line, what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string app_file(std::string_view name) { return platform::join_path(kAppFolder, name); }

#ifdef SCENARIO_FUZZING
namespace {

// The largest run of decimal digits in `text`, as a number (at most 10^10).
FUZZ_NOT_GUIDING int64_t largest_digit_run(std::string_view text) {
  int64_t largest = 0;
  int64_t run = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      run = std::min<int64_t>(run * 10 + (c - '0'), int64_t{10000000000});
      largest = std::max(largest, run);
    } else {
      run = 0;
    }
  }
  return largest;
}

}  // namespace
#endif

bool runs_whole(std::string_view route_text) {
#ifdef SCENARIO_FUZZING
  // The route length is one number of the text, a sign and decimal digits:
  // when no run of digits is above the longest route kept, the reading is
  // not needed to know that the track is short.
  if (largest_digit_run(route_text) <= kLongestKeptTrack - model::kSpareTrack) return true;
  platform::MemoryFileSystem files;
  model::Scenario s = fresh_scenario(files, 0);
  files.add_file(app_file(model::route_description_name(s)), std::string(route_text));
  try {
    route::read_route_description(s);
  } catch (const platform::RuntimeFailure&) {
    // The reading's trap; the length read before it stands.
  }
  return s.total_length <= kLongestKeptTrack;
#else
  (void)route_text;
  return true;
#endif
}

model::Scenario fresh_scenario(platform::MemoryFileSystem& files, int32_t write_line_file) {
  files.add_folder(kAppFolder);
  model::Scenario s;
  s.files = &files;
  s.app_path = kAppFolder;
  s.line_name = app::kLineName;
  s.train_code = app::kTrainCode;
  s.write_line_file = write_line_file;
  s.error_code = 0;
  model::clear_item_table(s);
  return s;
}

namespace {
// Checks every entry under `folder` (recursively): only kAppFolder's own
// entries and the folders above it may exist.
void check_only_app_folder(platform::MemoryFileSystem& files, const std::string& folder) {
  const std::string app = kAppFolder;
  for (const std::string& name : files.list_folder(folder)) {
    const std::string path = folder == "/" ? "/" + name : platform::join_path(folder, name);
    const bool above_app = app.compare(0, path.size(), path) == 0 &&
                           (app.size() == path.size() || app[path.size()] == '/');
    FUZZ_CHECK(above_app, "something was made outside the folder: " + path);
    if (path != app) check_only_app_folder(files, path);
  }
}
}  // namespace

std::set<std::string> left_in_folder(platform::MemoryFileSystem& files) {
  std::set<std::string> left;
  for (const std::string& name : files.list_folder(kAppFolder)) {
    FUZZ_CHECK(files.kind(app_file(name)) == platform::FileKind::kRegular,
               "the folder holds " + name + ", which is not a regular file");
    left.insert(name);
  }
  check_only_app_folder(files, "/");
  return left;
}

void check_no_temporaries(const std::set<std::string>& left, const model::Scenario& s) {
  const std::string targets[] = {model::line_file_name(s), model::station_file_name(s),
                                 model::track_file_name(s), model::route_description_name(s),
                                 model::train_description_name(s)};
  for (const std::string& name : left) {
    for (const std::string& target : targets) {
      FUZZ_CHECK(!platform::is_partial_of(name, target),
                 "a replacement's temporary is left: " + name);
    }
  }
}

namespace {
std::string joined(std::span<const std::string_view> text) {
  std::string bytes;
  for (std::string_view line : sources::lines_before_sentinel(text)) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}
}  // namespace

std::string builtin_route_text() { return joined(sources::route_description_text()); }
std::string builtin_train_text() { return joined(sources::train_description_text()); }

bool is_compile_error(int32_t code) {
  const model::ErrorInfo* info = model::find_error(code);
  return info != nullptr && info->stage != model::ErrorStage::kIdentity;
}

bool is_route_only_error(int32_t code) {
  const model::ErrorInfo* info = model::find_error(code);
  return info != nullptr && info->stage == model::ErrorStage::kRoute;
}

namespace {

// The length of each line of `text` (line ends as the field reader takes
// them: CR LF, CR or LF); a text ending with a line end has an empty last line.
FUZZ_NOT_GUIDING std::vector<size_t> line_lengths(std::string_view text) {
  std::vector<size_t> lengths;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lengths.push_back(i - start);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lengths.push_back(text.size() - start);
  return lengths;
}

void check_place(const model::FieldPlace& p, const std::vector<size_t>& route,
                 const std::vector<size_t>& train, const std::string& what) {
  if (p.description == model::Description::kNone) {
    FUZZ_CHECK(p.line == 0 && p.column == 0, what + ": a place without a description");
    return;
  }
  const std::vector<size_t>& lines = p.description == model::Description::kRoute ? route : train;
  FUZZ_CHECK(p.line >= 0 && static_cast<size_t>(p.line) <= lines.size(),
             what + ": line " + std::to_string(p.line) + " of " + std::to_string(lines.size()));
  if (p.line == 0) {
    FUZZ_CHECK(p.column == 0, what + ": a column without a line");
    return;
  }
  FUZZ_CHECK(
      p.column >= 1 && static_cast<size_t>(p.column) <= lines[static_cast<size_t>(p.line) - 1] + 1,
      what + ": column " + std::to_string(p.column) + " on line " + std::to_string(p.line));
}

}  // namespace

void check_reading_record(const model::Scenario& s, std::string_view route_text,
                          std::string_view train_text) {
  const std::vector<size_t> route = line_lengths(route_text);
  const std::vector<size_t> train = line_lengths(train_text);
  if (s.error_code != 0) {
    FUZZ_CHECK(s.error_site.code == s.error_code, "error " + std::to_string(s.error_code) +
                                                      " recorded as " +
                                                      std::to_string(s.error_site.code));
  }
  for (const model::ErrorSite* site : {&s.error_site}) {
    check_place(site->field, route, train, "error place");
    check_place(site->row, route, train, "error row");
  }
  for (const model::ErrorSite& site : s.earlier_errors) {
    FUZZ_CHECK(is_compile_error(site.code), "earlier error " + std::to_string(site.code));
    check_place(site.field, route, train, "earlier error place");
  }
  FUZZ_CHECK(s.earlier_errors.size() <= model::kMaxEarlierErrors &&
                 s.earlier_error_count >= static_cast<int32_t>(s.earlier_errors.size()),
             "earlier errors kept beyond their bound");
  FUZZ_CHECK(s.warnings.size() <= model::kMaxWarnings &&
                 s.warning_count >= static_cast<int64_t>(s.warnings.size()),
             "warnings kept beyond their bound");
  for (const model::Warning& w : s.warnings) {
    check_place(w.place, route, train, std::string("warning ") + model::warning_name(w.id));
    FUZZ_CHECK(w.place.description != model::Description::kNone, "a warning without a place");
  }
  FUZZ_CHECK(s.signs_read >= 0 && s.stations_read >= 0 &&
                 s.signs_read + s.stations_read <= model::kSharedSlots,
             "slots: " + std::to_string(s.stations_read) + " stations + " +
                 std::to_string(s.signs_read) + " signs");
}

size_t expected_station_file_size(const model::Scenario& s) {
  size_t size = model::kItemSlots * model::kItemRecordBaseSize;
  for (const model::ItemRecord& item : s.item_table) size += item.item_name.size();
  return size;
}

FUZZ_NOT_GUIDING size_t LineFileCheck::value(std::string_view bytes) {
  if (bytes.size() < 2) return 0;
  FUZZ_CHECK(half_ < 2, "the line file goes on past its last value");
  const unsigned type = static_cast<unsigned char>(bytes[0]) |
                        static_cast<unsigned>(static_cast<unsigned char>(bytes[1])) << 8;
  const unsigned expected = !plan_.computed(static_cast<int32_t>(m_)) ? platform::kVariantEmpty
                            : m_ < 2                                  ? platform::kVariantInt16
                                                                      : platform::kVariantDouble;
  FUZZ_CHECK(type == expected, "line file point " + std::to_string(m_) + " has type " +
                                   std::to_string(type) + ", expected " + std::to_string(expected));
  const size_t length = type == platform::kVariantInt16    ? 4
                        : type == platform::kVariantDouble ? 10
                                                           : 2;
  if (bytes.size() < length) return 0;
  if (++m_ > plan_.last) {
    m_ = 0;
    ++half_;
  }
  return length;
}

FUZZ_NOT_GUIDING void LineFileCheck::feed(std::string_view bytes) {
  size_ += bytes.size();
  if (!cut_.empty()) {
    // A value is at most 10 bytes: the cut one ends within the next 10.
    const size_t had = cut_.size();
    cut_.append(bytes.substr(0, 10));
    const size_t length = value(cut_);
    if (length == 0) {
      cut_.resize(had + bytes.size());  // the part ends inside the value too
      return;
    }
    bytes.remove_prefix(length - had);
    cut_.clear();
  }
  while (!bytes.empty()) {
    const size_t length = value(bytes);
    if (length == 0) {
      cut_.assign(bytes);
      return;
    }
    bytes.remove_prefix(length);
  }
}

void LineFileCheck::finish() const {
  FUZZ_CHECK(half_ == 2 && cut_.empty(), "the line file ends inside point " + std::to_string(m_) +
                                             " of half " + std::to_string(half_) + " (" +
                                             std::to_string(size_) + " bytes)");
}

void check_line_file(std::string_view bytes, const model::TrackPlan& plan) {
  LineFileCheck check(plan);
  check.feed(bytes);
  check.finish();
}

namespace {

// The name of the file at `path`, without its folder.
std::string_view name_in(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A file of LineFileSink: its bytes go to the check, none to the file.
class CheckedFile : public platform::WritableFile {
 public:
  CheckedFile(std::unique_ptr<platform::WritableFile> file, std::shared_ptr<LineFileCheck> check)
      : file_(std::move(file)), check_(std::move(check)) {}
  void append(std::string_view bytes) override {
    file_->append({});  // fails as the file would
    check_->feed(bytes);
  }
  void sync() override { file_->sync(); }
  void close() override { file_->close(); }

 private:
  std::unique_ptr<platform::WritableFile> file_;
  std::shared_ptr<LineFileCheck> check_;
};

}  // namespace

LineFileSink::LineFileSink(platform::MemoryFileSystem& files, const model::TrackPlan& plan,
                           std::string line_file_name)
    : ForwardingFileSystem(files), plan_(plan), line_file_name_(std::move(line_file_name)) {}

const LineFileCheck* LineFileSink::line_file() {
  auto it = checks_.find(app_file(line_file_name_));
  return it == checks_.end() ? nullptr : it->second.get();
}

std::unique_ptr<platform::WritableFile> LineFileSink::create_new(const std::string& path) {
  const std::string_view name = name_in(path);
  std::unique_ptr<platform::WritableFile> file = base().create_new(path);
  if (name != line_file_name_ && !platform::is_partial_of(name, line_file_name_)) return file;
  auto check = std::make_shared<LineFileCheck>(plan_);
  checks_[path] = check;
  return std::make_unique<CheckedFile>(std::move(file), std::move(check));
}

void LineFileSink::rename_file(const std::string& from, const std::string& to) {
  base().rename_file(from, to);
  checks_.erase(to);
  auto it = checks_.find(from);
  if (it == checks_.end()) return;
  checks_[to] = it->second;
  checks_.erase(it);
}

void LineFileSink::delete_file(const std::string& path) {
  base().delete_file(path);
  checks_.erase(path);
}

uint64_t LineFileSink::file_size(const std::string& path) {
  const uint64_t size = base().file_size(path);
  auto it = checks_.find(path);
  return it == checks_.end() ? size : it->second->size();
}

std::string LineFileSink::read_file(const std::string& path, uint64_t limit) {
  FUZZ_CHECK(!checks_.count(path), "the line file is read back: " + path);
  return base().read_file(path, limit);
}

void check_route_signs(const model::Scenario& s) {
  if (!s.track_allocated) return;
  std::set<int> slots;
  for (const model::TrackCell& c : s.track) {
    if (c.kind != model::kRouteSign) continue;
    FUZZ_CHECK(c.value1 >= 1 && c.value1 <= model::kFirstSignSlot,
               "route sign cell names slot " + std::to_string(c.value1));
    FUZZ_CHECK(slots.insert(c.value1).second,
               "two route sign cells name slot " + std::to_string(c.value1));
    const model::ItemRecord& r = s.item_table[static_cast<size_t>(c.value1)];
    model::ItemRecord text_alone;
    text_alone.item_name = r.item_name;
    const bool only_text = r == text_alone;
    FUZZ_CHECK(only_text, "route sign slot " + std::to_string(c.value1) +
                              " holds more than a text: another record took it");
  }
}

FUZZ_NOT_GUIDING void check_model_shape(const model::Scenario& s) {
  if (s.track_allocated) {
    FUZZ_CHECK(s.cell_count >= 0, "negative cell_count with a track");
    FUZZ_CHECK(s.track.size() == static_cast<size_t>(s.cell_count) + 1,
               "track of " + std::to_string(s.track.size()) + " cells for cell_count " +
                   std::to_string(s.cell_count));
    for (const model::TrackCell& c : s.track) FUZZ_CHECK(c.gap == 0, "a cell's gap byte is set");
  }
  if (s.track_plan_allocated) {
    const model::TrackPlan& p = s.track_plan;
    FUZZ_CHECK(p.last >= 0, "negative plan length");
    FUZZ_CHECK(p.x.size() == static_cast<size_t>(p.last) + 1 && p.y.size() == p.x.size(),
               "plan arrays do not hold points 0 .. last");
    FUZZ_CHECK(p.cursor >= 0 && p.cursor <= p.last + 1, "plan cursor outside the plan");
    for (int32_t m = 0; m < p.cursor; ++m) {
      FUZZ_CHECK(
          std::isfinite(p.x[static_cast<size_t>(m)]) && std::isfinite(p.y[static_cast<size_t>(m)]),
          "plan point " + std::to_string(m) + " is not finite");
    }
  }
}

}  // namespace fuzz
