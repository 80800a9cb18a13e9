#include "compiled/compiled_set.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "compiled/set_check.h"
#include "compiled/text.h"
#include "finish/identity.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/set_journal.h"

namespace tools {

namespace {

constexpr std::string_view kLineSuffix = "_linea.dat";

// The file system's failures (permission denied, a link, a file that grew
// past its limit while being read) as the tool reports them.
ToolError cannot_read(const platform::RuntimeFailure& f) {
  return ToolError(std::string("cannot read: ") + f.what());
}

platform::FileKind kind_of_path(platform::FileSystem& fs, const std::string& path) {
  try {
    return fs.kind(path);
  } catch (const platform::RuntimeFailure& f) {
    throw cannot_read(f);
  }
}

// Reads one compiled file whole, refusing it by its size first.
std::string read_compiled(platform::FileSystem& fs, const std::string& path, FileKind kind,
                          const std::string& name) {
  try {
    const platform::FileKind what = fs.kind(path);
    if (what == platform::FileKind::kMissing) throw ToolError(path + ": no such file or folder");
    if (what != platform::FileKind::kRegular) {
      throw cannot_read(platform::not_regular_failure(path, what));
    }
    const uint64_t size = fs.file_size(path);
    const uint64_t limit = max_file_size(kind);
    if (size > limit) {
      throw BadFile(name + ": " + std::to_string(size) + " bytes is more than the largest " +
                    kind_label(kind) + " the compiler writes, " + std::to_string(limit) +
                    " bytes (a route of " + std::to_string(kMaxRouteLength) +
                    " m): it is not one, and is not read");
    }
    return fs.read_file(path, limit);
  } catch (const platform::RuntimeFailure& f) {
    throw cannot_read(f);
  }
}

std::string name_of(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void load_file(platform::FileSystem& fs, CompiledSet& set, const std::string& path,
               SetBytes* bytes) {
  const std::string name = name_of(path);
  std::optional<FileKind> kind = kind_of_file_name(name);
  if (!kind) {
    throw ToolError(path +
                    ": not a compiled file name (expected <line>_<train>.sim, "
                    "<line>_<train>.dat or <line>_linea.dat)");
  }
  std::string read = read_compiled(fs, path, *kind, name);
  add_file(set, *kind, name, read);
  if (bytes != nullptr) (*bytes)[static_cast<size_t>(*kind)] = std::move(read);
}

std::string stem_of(const std::string& name) { return name.substr(0, name.rfind('.')); }

// The compiled files of a folder, by kind: regular files only. A name of a
// compiled file that is something else (a pipe, a folder, a link) is kept
// apart: a scenario that would need it is refused, never read without it.
struct FolderFiles {
  std::set<std::string> stations, tracks, lines;
  std::map<std::string, platform::FileKind> not_regular;
};

FolderFiles scan(platform::FileSystem& fs, const std::string& folder) {
  FolderFiles f;
  try {
    for (const std::string& name : fs.list_folder(folder)) {
      std::optional<FileKind> kind = kind_of_file_name(name);
      if (!kind) continue;
      const platform::FileKind what = fs.kind(platform::join_path(folder, name));
      if (what != platform::FileKind::kRegular) {
        f.not_regular[name] = what;
        continue;
      }
      if (*kind == FileKind::kStation) f.stations.insert(name);
      if (*kind == FileKind::kTrack) f.tracks.insert(name);
      if (*kind == FileKind::kLine) f.lines.insert(name);
    }
  } catch (const platform::RuntimeFailure& e) {
    throw ToolError(std::string("cannot list the folder: ") + e.what());
  }
  return f;
}

// Loads the scenario "<key>" (the stem of its station and track files) from
// the folder, with the line file of its line.
CompiledSet load_scenario(platform::FileSystem& fs, const std::string& folder,
                          const FolderFiles& files, const std::string& key, SetBytes* bytes) {
  const auto refuse_not_regular = [&](const std::string& name) {
    auto it = files.not_regular.find(name);
    if (it != files.not_regular.end()) {
      throw cannot_read(
          platform::not_regular_failure(platform::join_path(folder, name), it->second));
    }
  };
  refuse_not_regular(key + ".sim");
  refuse_not_regular(key + ".dat");
  CompiledSet set;
  if (files.stations.count(key + ".sim"))
    load_file(fs, set, platform::join_path(folder, key + ".sim"), bytes);
  if (files.tracks.count(key + ".dat"))
    load_file(fs, set, platform::join_path(folder, key + ".dat"), bytes);
  std::string line_file;
  if (set.station) {
    line_file = set.station->content.slots[model::kSlotLine].item_name + std::string(kLineSuffix);
  } else {
    // Without the station file, the line name is a prefix of the key.
    for (const std::string& l : files.lines) {
      std::string line = l.substr(0, l.size() - kLineSuffix.size());
      if (key.rfind(line + "_", 0) == 0) line_file = l;
    }
  }
  if (!line_file.empty()) refuse_not_regular(line_file);
  if (!line_file.empty() && files.lines.count(line_file)) {
    load_file(fs, set, platform::join_path(folder, line_file), bytes);
  }
  return set;
}

std::string list(const std::set<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

bool is_empty_record(const model::ItemRecord& r) { return r == model::ItemRecord{}; }

bool is_sign_record(const model::ItemRecord& r) {
  model::ItemRecord others = r;
  others.item_name.clear();
  return !r.item_name.empty() && is_empty_record(others);
}

}  // namespace

void add_file(CompiledSet& set, FileKind kind, std::string name, std::string_view bytes) {
  try {
    switch (kind) {
      case FileKind::kStation:
        set.station = Loaded<StationFile>{name, bytes.size(), read_station_file(bytes)};
        break;
      case FileKind::kTrack:
        set.track = Loaded<TrackFile>{name, bytes.size(), read_track_file(bytes)};
        break;
      case FileKind::kLine:
        set.line = Loaded<LineFile>{name, bytes.size(), read_line_file(bytes)};
        break;
    }
  } catch (const BadFile& e) {
    throw BadFile(name + ": " + e.what());
  }
}

namespace {

CompiledSet load_unchecked(platform::FileSystem& fs, const std::string& path,
                           platform::FileKind what, bool whole_scenario, SetBytes* bytes) {
  if (what == platform::FileKind::kMissing) throw ToolError(path + ": no such file or folder");
  if (what == platform::FileKind::kFolder) {
    FolderFiles files = scan(fs, path);
    std::set<std::string> keys;
    for (const std::string& n : files.stations) keys.insert(stem_of(n));
    for (const std::string& n : files.tracks) keys.insert(stem_of(n));
    if (keys.size() > 1) {
      throw ToolError(path + " holds the compiled files of " + std::to_string(keys.size()) +
                      " scenarios (" + list(keys) +
                      "): name one of their files instead of the folder");
    }
    if (keys.empty()) {
      if (files.lines.size() == 1) {
        CompiledSet set;
        load_file(fs, set, platform::join_path(path, *files.lines.begin()), bytes);
        return set;
      }
      if (files.lines.empty()) {
        throw ToolError(path + " holds no compiled file (*.sim, *.dat)");
      }
      throw ToolError(path + " holds several line files (" + list(files.lines) +
                      "): name one of them");
    }
    return load_scenario(fs, path, files, *keys.begin(), bytes);
  }

  CompiledSet set;
  const std::string name = name_of(path);
  std::optional<FileKind> kind = kind_of_file_name(name);
  if (!whole_scenario || !kind) {
    load_file(fs, set, path, bytes);  // throws for a name that is not a compiled file's
    return set;
  }
  // One file of a scenario: the others sit beside it. A name that is not a
  // regular file is not listed with them: it is refused on its own.
  if (what != platform::FileKind::kRegular) load_file(fs, set, path, bytes);
  const std::string folder = platform::folder_of(path);
  FolderFiles files = scan(fs, folder);
  if (*kind != FileKind::kLine) return load_scenario(fs, folder, files, stem_of(name), bytes);
  std::string line = name.substr(0, name.size() - kLineSuffix.size());
  std::set<std::string> keys;
  for (const std::string& n : files.stations) {
    if (n.rfind(line + "_", 0) == 0) keys.insert(stem_of(n));
  }
  if (keys.size() == 1) {
    SetBytes scenario_bytes;
    CompiledSet scenario =
        load_scenario(fs, folder, files, *keys.begin(), bytes ? &scenario_bytes : nullptr);
    // The station file's line may be another one whose name starts alike.
    if (scenario.line && scenario.line->name == name) {
      if (bytes != nullptr) *bytes = std::move(scenario_bytes);
      return scenario;
    }
  }
  load_file(fs, set, path, bytes);
  return set;
}

// Refuses files that a run was stopped while replacing: until the next
// compile into their folder completes that, they may be of two compiles,
// however alike they look.
void refuse_interrupted_set(platform::FileSystem& fs, const std::string& folder,
                            const CompiledSet& set) {
  const std::optional<std::vector<std::string>> pending = platform::interrupted_set(fs, folder);
  if (!pending) return;
  std::vector<std::string> loaded;
  if (set.station) loaded.push_back(set.station->name);
  if (set.track) loaded.push_back(set.track->name);
  if (set.line) loaded.push_back(set.line->name);
  bool named = pending->empty();  // a journal that cannot be read stands for all
  for (const std::string& name : loaded) {
    named = named || std::find(pending->begin(), pending->end(), name) != pending->end();
  }
  if (!named) return;
  const std::string journal = platform::join_path(folder, platform::kSetJournalName);
  throw SetMismatch(to_utf8(journal) + ": a run was stopped while replacing " +
                    (pending->empty() ? std::string("the compiled files")
                                      : to_utf8(platform::list_names(*pending))) +
                    ", which may now be of two compiles: not read (the next compile into " +
                    to_utf8(folder) + " completes the replacement)");
}

}  // namespace

CompiledSet load_compiled(platform::FileSystem& fs, const std::string& path, bool whole_scenario,
                          SetBytes* bytes) {
  const platform::FileKind what = kind_of_path(fs, path);
  SetBytes read;
  CompiledSet set = load_unchecked(fs, path, what, whole_scenario, bytes ? &read : nullptr);
  refuse_interrupted_set(fs, what == platform::FileKind::kFolder ? path : platform::folder_of(path),
                         set);
  if (whole_scenario || what == platform::FileKind::kFolder) check_set(set);
  if (bytes != nullptr) *bytes = std::move(read);
  return set;
}

const char* cell_kind_name(int kind) {
  switch (kind) {
    case model::kEmpty:
      return "empty";
    case model::kSignal:
      return "signal";
    case model::kSlowdownEnd:
      return "slowdown end";
    case model::kSlowdownStart:
      return "slowdown start";
    case model::kSlowdownWarning:
      return "slowdown warning";
    case model::kBeforeWarning:
      return "before warning";
    case model::kSpeedIndicator:
      return "speed indicator";
    case model::kStationStop:
      return "station stop";
    case model::kMountainMarker:
      return "mountain marker";
    case model::kSpeedMark:
      return "abbattimento";
    case model::kSpeedMarkWithoutValue:
      return "abbattimento (no value)";
    case model::kRouteSign:
      return "route sign";
    default:
      return "unknown";
  }
}

std::vector<int> sign_slots(const StationFile& file) {
  std::vector<int> slots;
  for (int slot = model::kFirstSignSlot; slot >= 1; --slot) {
    if (!is_sign_record(file.slots[static_cast<size_t>(slot)])) break;
    slots.push_back(slot);
  }
  return slots;
}

std::vector<int> station_slots(const StationFile& file) {
  std::vector<int> signs = sign_slots(file);
  int lowest_sign = signs.empty() ? model::kFirstSignSlot + 1 : signs.back();
  std::vector<int> slots;
  for (int slot = 1; slot < lowest_sign; ++slot) {
    if (is_empty_record(file.slots[static_cast<size_t>(slot)])) break;
    slots.push_back(slot);
  }
  return slots;
}

std::map<int, int32_t> sign_cells(const TrackFile& track) {
  std::map<int, int32_t> cells;
  for (size_t i = 0; i < track.cells.size(); ++i) {
    const model::TrackCell& c = track.cells[i];
    if (c.kind == model::kRouteSign) cells.emplace(c.value1, static_cast<int32_t>(i));
  }
  return cells;
}

IdentityCodes identity_codes(const std::string& line_name, const std::string& train_code) {
  return {finish::ordinary_code(line_name, train_code),
          finish::weighted_code(line_name, train_code)};
}

std::optional<Names> names_for_track(const CompiledSet& set) {
  if (set.station) {
    const auto& slots = set.station->content.slots;
    const std::string& line = slots[model::kSlotLine].item_name;
    const std::string& train = slots[model::kSlotTrain].item_name;
    return Names{line, train, to_utf8(line) + " / " + to_utf8(train)};
  }
  if (!set.track) return std::nullopt;
  std::string key = stem_of(set.track->name);
  size_t cut = key.find('_');
  if (cut == std::string::npos) return std::nullopt;
  return Names{key.substr(0, cut), key.substr(cut + 1), "file name " + to_utf8(key)};
}

}  // namespace tools
