#include "bench/bench_support.h"

#include <unistd.h>

#include "app/form_load.h"
#include "model/compiled_files.h"
#include "platform/files.h"

namespace bench {

namespace fs = std::filesystem;

BenchFolder::BenchFolder(std::string_view name) {
  fs::path p = fs::temp_directory_path() /
               ("scenario_bench_" + std::string(name) + "_" + std::to_string(::getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  path_ = p.string();
}

BenchFolder::~BenchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string BenchFolder::file(std::string_view name) const {
  return (fs::path(path_) / name).string();
}

model::Scenario scenario_in(const BenchFolder& folder) {
  model::Scenario s;
  s.app_path = folder.path();
  s.line_name = app::kLineName;
  s.train_code = app::kTrainCode;
  return s;
}

void write_descriptions(const model::Scenario& s, const std::string& route,
                        const std::string& train) {
  platform::replace_file(*s.files,
                         platform::join_path(s.app_path, model::route_description_name(s)), route);
  platform::replace_file(*s.files,
                         platform::join_path(s.app_path, model::train_description_name(s)), train);
}

size_t compiled_bytes(const model::Scenario& s) {
  size_t n = 0;
  for (const std::string& name :
       {model::line_file_name(s), model::station_file_name(s), model::track_file_name(s)}) {
    const std::string path = platform::join_path(s.app_path, name);
    if (platform::file_exists(*s.files, path)) n += s.files->file_size(path);
  }
  return n;
}

}  // namespace bench
