// A fuzz target without libFuzzer: runs the target's checks on every file of
// the folders (or on the files) named on its command line, in name order, so
// that the seeds and every past finding (corpus/<target>/regression_*) are
// replayed by the ordinary test run. A broken check aborts, as under the
// fuzzer; an input that cannot be read fails the run.
//
//   <target>_replay corpus/<target> [more folders or files]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// No seed comes near this; a larger file is not one of ours.
constexpr uint64_t kMaxInputSize = 64u << 20;

}  // namespace

int main(int argc, char** argv) {
  platform::FileSystem& files = platform::real_file_system();
  std::vector<std::string> inputs;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string path = argv[i];
      if (files.kind(path) != platform::FileKind::kFolder) {
        inputs.push_back(path);
        continue;
      }
      std::vector<std::string> names = files.list_folder(path);
      std::sort(names.begin(), names.end());
      for (const std::string& name : names) inputs.push_back(platform::join_path(path, name));
    }
    if (inputs.empty()) {
      std::fprintf(stderr, "no input to replay\n");
      return 1;
    }
    for (const std::string& path : inputs) {
      const std::string bytes = files.read_file(path, kMaxInputSize);
      std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
  } catch (const platform::RuntimeFailure& f) {
    std::fprintf(stderr, "cannot read the inputs: %s\n", f.what());
    return 1;
  }
  std::fprintf(stderr, "%zu inputs replayed, every check held\n", inputs.size());
  return 0;
}
