#include "tools/compiled_set.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

#include "finish/identity.h"
#include "model/scenario.h"
#include "tools/text.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

// Far above the largest compiled file (a line file of 1007001 points is about
// 20 MB): anything bigger is not one, and is not read into memory.
constexpr uintmax_t kLargestFile = uintmax_t{64} << 20;

std::string read_whole(const fs::path& path) {
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  if (ec) throw ToolError(path.string() + ": cannot read: " + ec.message());
  if (size > kLargestFile) {
    throw BadFile(path.filename().string() + ": " + std::to_string(size) +
                  " bytes is far too large for a compiled file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(path.string() + ": cannot open");
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<uintmax_t>(in.gcount()) != size) throw ToolError(path.string() + ": read failed");
  return bytes;
}

void load_file(CompiledSet& set, const fs::path& path) {
  std::optional<FileKind> kind = kind_of_file_name(path.filename().string());
  if (!kind) {
    throw ToolError(path.string() +
                    ": not a compiled file name (expected <line>_<train>.sim, "
                    "<line>_<train>.dat or <line>_linea.dat)");
  }
  add_file(set, *kind, path.filename().string(), read_whole(path));
}

std::string stem_of(const std::string& name) { return name.substr(0, name.rfind('.')); }

// The compiled files of a folder, by kind.
struct FolderFiles {
  std::set<std::string> stations, tracks, lines;
};

FolderFiles scan(const fs::path& folder) {
  FolderFiles f;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    if (!e.is_regular_file(ec)) continue;
    std::string name = e.path().filename().string();
    std::optional<FileKind> kind = kind_of_file_name(name);
    if (!kind) continue;
    if (*kind == FileKind::kStation) f.stations.insert(name);
    if (*kind == FileKind::kTrack) f.tracks.insert(name);
    if (*kind == FileKind::kLine) f.lines.insert(name);
  }
  if (ec) throw ToolError(folder.string() + ": cannot list: " + ec.message());
  return f;
}

// Loads the scenario "<key>" (the stem of its station and track files) from
// the folder, with the line file of its line.
CompiledSet load_scenario(const fs::path& folder, const FolderFiles& files,
                          const std::string& key) {
  CompiledSet set;
  if (files.stations.count(key + ".sim")) load_file(set, folder / (key + ".sim"));
  if (files.tracks.count(key + ".dat")) load_file(set, folder / (key + ".dat"));
  std::string line_file;
  if (set.station) {
    line_file = set.station->content.slots[model::kSlotLine].item_name + "_linea.dat";
  } else {
    // Without the station file, the line name is a prefix of the key.
    for (const std::string& l : files.lines) {
      std::string line = l.substr(0, l.size() - std::string("_linea.dat").size());
      if (key.rfind(line + "_", 0) == 0) line_file = l;
    }
  }
  if (!line_file.empty() && files.lines.count(line_file)) load_file(set, folder / line_file);
  return set;
}

std::string list(const std::set<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

bool is_empty_record(const model::ItemRecord& r) {
  return r.item_kind == 0 && r.area_start == 0 && r.area_end == 0 && r.item_position == 0 &&
         r.item_flag == 0 && r.item_name.empty() && r.item_word1 == 0 && r.item_word2 == 0 &&
         r.item_word3 == 0 && r.item_word4 == 0 && r.item_word5 == 0 && r.item_byte1 == 0 &&
         r.item_byte2 == 0 && r.item_byte3 == 0 && r.item_byte4 == 0 && r.item_time == 0;
}

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

CompiledSet load_compiled(const fs::path& path, bool whole_scenario) {
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) throw ToolError(path.string() + ": no such file or folder");

  if (fs::is_directory(status)) {
    FolderFiles files = scan(path);
    std::set<std::string> keys;
    for (const std::string& n : files.stations) keys.insert(stem_of(n));
    for (const std::string& n : files.tracks) keys.insert(stem_of(n));
    if (keys.size() > 1) {
      throw ToolError(path.string() + " holds the compiled files of " +
                      std::to_string(keys.size()) + " scenarios (" + list(keys) +
                      "): name one of their files instead of the folder");
    }
    if (keys.empty()) {
      if (files.lines.size() == 1) {
        CompiledSet set;
        load_file(set, path / *files.lines.begin());
        return set;
      }
      if (files.lines.empty()) {
        throw ToolError(path.string() + " holds no compiled file (*.sim, *.dat)");
      }
      throw ToolError(path.string() + " holds several line files (" + list(files.lines) +
                      "): name one of them");
    }
    return load_scenario(path, files, *keys.begin());
  }

  if (!whole_scenario) {
    CompiledSet set;
    load_file(set, path);
    return set;
  }
  // One file of a scenario: the others sit beside it.
  fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::string name = path.filename().string();
  std::optional<FileKind> kind = kind_of_file_name(name);
  if (!kind) {
    CompiledSet set;
    load_file(set, path);  // throws: not a compiled file name
    return set;
  }
  FolderFiles files = scan(folder);
  if (*kind != FileKind::kLine) return load_scenario(folder, files, stem_of(name));
  std::string line = name.substr(0, name.size() - std::string("_linea.dat").size());
  std::set<std::string> keys;
  for (const std::string& n : files.stations) {
    if (n.rfind(line + "_", 0) == 0) keys.insert(stem_of(n));
  }
  if (keys.size() == 1) return load_scenario(folder, files, *keys.begin());
  CompiledSet set;
  load_file(set, path);
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
    case model::kAbbattimento:
      return "abbattimento";
    case model::kAbbattimentoBare:
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
  model::Scenario s;
  s.item_table[model::kSlotLine].item_name = line_name;
  s.item_table[model::kSlotTrain].item_name = train_code;
  IdentityCodes codes;
  codes.ordinary = finish::codice_gara_og(s);
  codes.weighted = finish::codice_gara_st(s);
  return codes;
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
