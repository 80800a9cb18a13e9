// One compile pass in a folder of a file system in memory, for the tests
// of the compiled sets and of what is drawn of them: what the compiler
// writes, compile errors included, and nothing else. A clean two-station
// train, and a route of any length with a gradient and a curve.
#ifndef SCENARIO_COMPILED_TEST_COMPILE_H_
#define SCENARIO_COMPILED_TEST_COMPILE_H_

#include <cstdint>
#include <string>

#include "app/compile_pass.h"
#include "finish/errore.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"

namespace tools::testing {

inline constexpr char kTrain[] =
    "[generale]\r\nnumero vetture, 5\r\n[vel_limite]\r\nvelocita, 0, 100\r\n[stazioni]\r\n"
    "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n"
    "stazione, 2000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n[fine]\r\n";

inline std::string route_of_length(int64_t metres) {
  return "[generale]\r\nlunghezza percorso, " + std::to_string(metres) +
         "\r\nripetizione segnali 4 codici, 0, 0\r\n[pendenze]\r\npendenza, 0, 5\r\n"
         "curva_3d, 500, 300\r\n[fine]\r\n";
}

// What one compile pass did in a folder of a file system in memory.
struct Compile {
  int error_code = 0;
  bool ended = false;  // an identity error or a run-time failure: no file written
};

inline Compile compile(platform::MemoryFileSystem& fs, const std::string& folder,
                       const std::string& route, const char* train, bool line_file = true,
                       const std::string& train_code = "T1") {
  model::Scenario s;
  s.files = &fs;
  s.app_path = folder;
  s.line_name = "LINEA";
  s.train_code = train_code;
  fs.add_folder(folder);
  fs.add_file(platform::join_path(folder, model::route_description_name(s)), route);
  if (train) fs.add_file(platform::join_path(folder, model::train_description_name(s)), train);
  Compile c;
  try {
    app::memorizza_percorso(s, line_file ? 1 : 0);
  } catch (const finish::IdentityError&) {
    c.ended = true;
  } catch (const platform::RuntimeFailure&) {
    c.ended = true;
  }
  c.error_code = s.error_code;
  // The descriptions are gone or left; only the compiled files matter here.
  for (const char* name : {"LINEA_linea.txt", "LINEA_T1-.txt", "LINEA_T2-.txt"}) {
    std::string path = platform::join_path(folder, name);
    if (platform::file_exists(fs, path)) fs.delete_file(path);
  }
  return c;
}

}  // namespace tools::testing

#endif  // SCENARIO_COMPILED_TEST_COMPILE_H_
