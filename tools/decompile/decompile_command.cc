#include "tools/decompile/decompile_command.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "compiled/compiled_set.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "tools/decompile/decompile.h"

namespace decompile {

namespace {

constexpr int kExact = 0;
constexpr int kNotExact = 1;
constexpr int kUsage = 2;

}  // namespace

CompiledBytes set_bytes(const std::string& path, const tools::CompiledSet& set,
                        tools::SetBytes bytes) {
  if (!set.station || !set.track)
    throw tools::ToolError(
        path +
        ": the rows of a set come from its station file and its track file, and one is missing");
  CompiledBytes out;
  out.station_file = std::move(*bytes[static_cast<size_t>(tools::FileKind::kStation)]);
  out.track_file = std::move(*bytes[static_cast<size_t>(tools::FileKind::kTrack)]);
  out.line_file = std::move(bytes[static_cast<size_t>(tools::FileKind::kLine)]);
  // The names the set was compiled under, as its stamps carry them.
  out.line_name = set.station->content.slots[model::kSlotLine].item_name;
  out.train_code = set.station->content.slots[model::kSlotTrain].item_name;
  return out;
}

CompiledBytes read_set(platform::FileSystem& fs, const std::string& path) {
  tools::SetBytes bytes;
  const tools::CompiledSet set = tools::load_compiled(fs, path, true, &bytes);
  return set_bytes(path, set, std::move(bytes));
}

int run_decompile(const DecompileOptions& o, std::ostream& out, std::ostream& err) {
  platform::FileSystem& fs = *o.files;
  CompiledBytes bytes;
  tools::CompiledSet set;  // decoded from `bytes`
  try {
    tools::SetBytes read;
    set = tools::load_compiled(fs, o.path, true, &read);
    bytes = set_bytes(o.path, set, std::move(read));
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
    d = decompile_set(bytes, set.station->content, set.track->content,
                      set.line ? &set.line->content : nullptr);
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
