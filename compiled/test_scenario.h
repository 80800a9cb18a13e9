// A small compiled scenario built directly in the model, for the tests of
// the readers, inspection and drawing: two stations, two route signs, a
// signal, a slowdown, a mountain stretch, gradients, speeds and a bent plan,
// with the identity stamped.
#ifndef SCENARIO_COMPILED_TEST_SCENARIO_H_
#define SCENARIO_COMPILED_TEST_SCENARIO_H_

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>

#include "compiled/compiled_set.h"
#include "finish/identity.h"
#include "model/compiled_files.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/scoped_temp_dir.h"

namespace tools::testing {

// A clean description pair for the commands' tests: a route 10000 m long
// (its track ends at 17000 m) with one gradient, and a train of five cars,
// one speed limit and two stations. Tests change one side of it at a time.
inline constexpr char kSmallRoute[] =
    "[generale]\r\nlunghezza percorso, 10000\r\nripetizione segnali 4 codici, 0, 0\r\n"
    "[pendenze]\r\npendenza, 0, 5\r\n[fine]\r\n";
inline constexpr char kSmallTrain[] =
    "[generale]\r\nnumero vetture, 5\r\n[vel_limite]\r\nvelocita, 0, 100\r\n[stazioni]\r\n"
    "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n"
    "stazione, 5000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n[fine]\r\n";

// Route length 3000 m: cells 0 .. 200, plan points 0 .. 10000.
inline model::Scenario small_scenario() {
  model::Scenario s;
  s.line_name = "LINEA";
  s.train_code = "TR1";
  s.total_length = 10000;
  s.start_track(200);
  s.write_line_file = 1;
  for (int i = 0; i <= 197; ++i) {
    s.track[i].gradient_code = i < 100 ? 110 : 90;  // +10 then -10 per mille
    s.track[i].speed_code = i < 24 ? 19 : 28;
    s.track[i].adhesion_code = 100;
  }
  s.track[11].kind = model::kSignal;
  s.track[11].value1 = 30;
  s.track[11].value4 = 3;
  s.track[27].kind = model::kSlowdownWarning;
  s.track[27].value1 = 30;
  s.track[51].kind = model::kSlowdownStart;
  s.track[51].value1 = 30;
  s.track[51].value3 = 1;
  s.track[57].kind = model::kSlowdownEnd;
  s.track[57].value1 = 30;
  s.track[57].value3 = 1;
  for (int i = 60; i <= 70; ++i) s.track[i].mountain_type = 2;
  s.track[64].kind = model::kMountainMarker;
  s.track[21].kind = model::kRouteSign;
  s.track[21].value1 = 80;
  s.track[31].kind = model::kRouteSign;
  s.track[31].value1 = 79;
  s.track[5].kind = model::kStationStop;
  s.track[5].value1 = 1;

  model::clear_item_table(s);
  model::ItemRecord& a = s.item_table[1];
  a.item_kind = 8;
  a.area_start = -300;
  a.area_end = 300;
  a.item_name = "ALFA";
  a.item_word1 = 4;
  a.item_byte2 = 1;
  a.item_time = (7 * 60 + 29) * 60;
  model::ItemRecord& b = s.item_table[2];
  b.item_kind = 1;
  b.item_position = 2000;
  b.area_start = 1800;
  b.area_end = 2200;
  b.item_name = "BETA & <GAMMA> \xB0";  // needs escaping, and a degree sign
  b.item_byte2 = 30;
  b.item_time = (7 * 60 + 49) * 60 + 30;
  s.item_table[80].item_name = "(CULMINE)(Km.1+000)";
  s.item_table[79].item_name = "(GALLERIA)";
  s.item_table[84].area_start = 115;
  s.item_table[84].area_end = 3000;
  s.item_table[84].item_position = 5;
  s.item_table[85].area_start = 1;
  s.item_table[85].item_position = 20000;
  s.item_table[85].area_end = 3;
  s.item_table[85].item_name = s.line_name;
  s.item_table[86].item_position = 4;
  s.item_table[86].item_name = s.train_code;
  s.item_table[86].item_word1 = 300;
  s.item_table[86].item_word3 = 7;
  s.item_table[86].item_word4 = 28;
  s.item_table[86].item_word5 = 30;

  // Straight north to 1000 m, then a right-hand bend, computed up to the
  // last two points as the route reader leaves it.
  s.track_plan_allocated = true;
  s.track_plan.last = 10000;
  s.track_plan.cursor = 9999;
  s.track_plan.x.assign(10001, 0);
  s.track_plan.y.assign(10001, 0);
  double heading = 0;
  for (int m = 1; m < 9999; ++m) {
    if (m > 1000 && m <= 2500) heading += 0.001;
    s.track_plan.x[m] = s.track_plan.x[m - 1] + std::sin(heading);
    s.track_plan.y[m] = s.track_plan.y[m - 1] + std::cos(heading);
  }
  s.track_plan.x[1] = 0;
  s.track_plan.y[1] = 1;

  finish::stamp_identity(s);
  return s;
}

// A fresh folder under the system's temporary folder, removed afterwards.
using TempFolder = platform::ScopedTempDir;

inline void write_file(const std::filesystem::path& p, const std::string& bytes) {
  platform::replace_file(platform::real_file_system(), p.string(), bytes);
}

inline std::string read_file(const std::filesystem::path& p) {
  return platform::read_file(platform::real_file_system(), p.string());
}

// Writes the scenario's three compiled files into `folder`.
inline void write_compiled(const model::Scenario& s, const std::filesystem::path& folder) {
  write_file(folder / model::line_file_name(s), model::encode_line_file(s));
  write_file(folder / model::station_file_name(s), model::encode_station_file(s));
  write_file(folder / model::track_file_name(s), model::encode_track_file(s));
}

// The three compiled files of `s`, as load_compiled would find them.
inline CompiledSet set_of(const model::Scenario& s) {
  CompiledSet set;
  add_file(set, FileKind::kStation, model::station_file_name(s), model::encode_station_file(s));
  add_file(set, FileKind::kTrack, model::track_file_name(s), model::encode_track_file(s));
  add_file(set, FileKind::kLine, model::line_file_name(s), model::encode_line_file(s));
  return set;
}

// Calls `take` with each file of a small scenario cut at every length and
// with single bytes changed (in the station file, in the first and the last
// records, which hold every kind of field, name lengths included), for the
// tests that whatever the bytes, a reader or a view of them either takes
// them or refuses them (BadFile): never a read outside them, never a hang.
inline void for_each_damaged_file(const std::function<void(FileKind, const std::string&)>& take) {
  model::Scenario s = small_scenario();
  s.track.resize(8);  // small files keep the sweep quick
  s.track_plan.last = 20;
  s.track_plan.cursor = 19;
  s.track_plan.x.resize(21);
  s.track_plan.y.resize(21);
  const std::pair<FileKind, std::string> files[] = {
      {FileKind::kStation, model::encode_station_file(s)},
      {FileKind::kTrack, model::encode_track_file(s)},
      {FileKind::kLine, model::encode_line_file(s)},
  };
  for (const auto& [kind, bytes] : files) {
    for (size_t cut = 0; cut <= bytes.size(); ++cut) take(kind, bytes.substr(0, cut));
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (kind == FileKind::kStation && i >= 120 && i + 120 < bytes.size()) continue;
      for (unsigned char value : {0x00, 0x05, 0x80, 0xFF}) {
        std::string damaged = bytes;
        damaged[i] = static_cast<char>(value);
        take(kind, damaged);
      }
    }
  }
}

// A line file of two points whose coordinates are doubles that are not
// numbers, or huge.
inline std::string line_file_of_odd_doubles() {
  std::string odd;
  for (double v : {0.0, std::nan(""), 1e308, -1e308}) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    odd += std::string("\x05\x00", 2);
    for (int b = 0; b < 8; ++b) odd += static_cast<char>(bits >> (8 * b));
  }
  return odd;
}

}  // namespace tools::testing

#endif  // SCENARIO_COMPILED_TEST_SCENARIO_H_
