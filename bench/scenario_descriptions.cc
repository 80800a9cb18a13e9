// scenario_descriptions FOLDER [LENGTH]
//
// Writes the route and train descriptions of the benchmarks' generated
// scenario (bench/largest_scenario.h) into FOLDER, under the built-in
// scenario's description names, for scenario_tool compile to read:
// LENGTH metres of line (default and largest 1000000; a multiple of 500).
// Prints the two paths, route first, one a line.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/form_load.h"
#include "bench/largest_scenario.h"
#include "model/scenario.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: scenario_descriptions FOLDER [LENGTH]\n");
    return 2;
  }
  const int length = argc == 3 ? std::atoi(argv[2]) : bench::kLargestRouteLength;
  if (length < 500 || length > bench::kLargestRouteLength || length % 500 != 0) {
    std::fprintf(stderr, "scenario_descriptions: LENGTH must be a multiple of 500 up to %d\n",
                 bench::kLargestRouteLength);
    return 2;
  }
  try {
    model::Scenario s;
    s.app_path = argv[1];
    s.line_name = app::kLineName;
    s.train_code = app::kTrainCode;
    platform::FileSystem& fs = platform::real_file_system();
    fs.create_folders(s.app_path);
    const std::string route = platform::join_path(s.app_path, model::route_description_name(s));
    const std::string train = platform::join_path(s.app_path, model::train_description_name(s));
    platform::replace_file(fs, route, bench::route_description(length));
    platform::replace_file(fs, train, bench::train_description(length));
    std::printf("%s\n%s\n", route.c_str(), train.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scenario_descriptions: %s\n", e.what());
    return 1;
  }
  return 0;
}
