#include "tools/decompile/decompile_command.h"

#include <nlohmann/json.hpp>

#include "compiled/compiled_set.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "tools/decompile/decompile.h"

namespace decompile {

namespace {

constexpr int kExact = 0;
constexpr int kNotExact = 1;
constexpr int kUsage = 2;

std::string read_whole(platform::FileSystem& fs, const std::string& path, tools::FileKind kind) {
  return fs.read_file(path, tools::max_file_size(kind));
}

}  // namespace

CompiledBytes read_set(platform::FileSystem& fs, const std::string& path) {
  CompiledBytes bytes;
  const tools::CompiledSet set = tools::load_compiled(fs, path, true);
  if (!set.station || !set.track)
    throw tools::ToolError(
        path +
        ": the rows of a set come from its station file and its track file, and one is missing");
  const std::string folder =
      fs.kind(path) == platform::FileKind::kFolder ? path : platform::folder_of(path);
  bytes.station_file =
      read_whole(fs, platform::join_path(folder, set.station->name), tools::FileKind::kStation);
  bytes.track_file =
      read_whole(fs, platform::join_path(folder, set.track->name), tools::FileKind::kTrack);
  if (set.line)
    bytes.line_file =
        read_whole(fs, platform::join_path(folder, set.line->name), tools::FileKind::kLine);
  // The names the set was compiled under, as its stamps carry them.
  bytes.line_name = set.station->content.slots[85].item_name;
  bytes.train_code = set.station->content.slots[86].item_name;
  return bytes;
}

int run_decompile(const DecompileOptions& o, std::ostream& out, std::ostream& err) {
  platform::FileSystem& fs = *o.files;
  CompiledBytes bytes;
  try {
    bytes = read_set(fs, o.path);
  } catch (const tools::BadFile& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const tools::ToolError& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const platform::RuntimeFailure& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  }

  const std::string line = o.line_name.empty() ? bytes.line_name : o.line_name;
  const std::string train = o.train_code.empty() ? bytes.train_code : o.train_code;
  const std::string route_path = platform::join_path(o.out, line + "_linea.txt");
  const std::string train_path = platform::join_path(o.out, line + "_" + train + "-.txt");
  if (!o.force) {
    for (const std::string& p : {route_path, train_path}) {
      if (fs.kind(p) != platform::FileKind::kMissing) {
        err << "scenario_tool: " << p << " is already there (--force replaces it)\n";
        return kUsage;
      }
    }
  }

  Decompiled d;
  try {
    d = decompile_set(bytes);
  } catch (const tools::BadFile& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  }
  try {
    fs.create_folders(o.out);
    platform::replace_file(fs, route_path, d.route_text);
    platform::replace_file(fs, train_path, d.train_text);
  } catch (const platform::RuntimeFailure& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  }

  if (o.json) {
    nlohmann::ordered_json j;
    j["exact"] = d.exact;
    j["route"] = route_path;
    j["train"] = train_path;
    j["line_file"] = d.curves;
    j["differences"] = d.differences;
    j["notes"] = d.notes;
    out << j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  } else {
    out << "wrote " << route_path << " (" << d.route_rows << " rows)\n";
    out << "wrote " << train_path << " (" << d.train_rows << " rows)\n";
    for (const std::string& n : d.notes) out << "note: " << n << "\n";
    if (d.exact) {
      out << "round trip: exact" << (d.curves ? "" : " (compiled with --no-line-file)") << "\n";
    } else {
      out << "round trip: not exact; where the compiled descriptions differ (set -> "
             "recompiled):\n";
      for (const std::string& s : d.differences) out << "  " << s << "\n";
    }
  }
  return d.exact ? kExact : kNotExact;
}

}  // namespace decompile
