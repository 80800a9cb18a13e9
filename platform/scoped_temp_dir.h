// A fresh temporary folder for one test, as a fixture member or local: made
// under the system's temporary folder with a name no other folder has, and
// removed with everything in it when the object goes away.
//
// The name starts with the tag ("<tag>_<unique part>") so that a folder left
// behind by a crashed test can be traced to it; characters of the tag that
// do not belong in a file name ('/' of parameterised test names, among
// others) become '_'. Removal ignores errors: a test never fails, nor throws
// from a destructor, because its folder could not be cleaned up. Creation
// failing throws std::filesystem::filesystem_error.
//
// Tests only. Portable C++ (std::filesystem), so the tests built for
// Windows use it as well.
#ifndef SCENARIO_PLATFORM_SCOPED_TEMP_DIR_H_
#define SCENARIO_PLATFORM_SCOPED_TEMP_DIR_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

class ScopedTempDir {
 public:
  explicit ScopedTempDir(std::string_view tag) {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::string clean(tag);
    for (char& c : clean) {
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
      if (!plain) c = '_';
    }
    // create_directory reports whether it made the folder: a name already
    // taken (by another process running the same test) is simply skipped.
    for (;;) {
      path_ = base / (clean + "_" + unique_part());
      if (std::filesystem::create_directory(path_)) return;
    }
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  // Random bits mixed with the clock and a counter of this process: some
  // std::random_device implementations give the same numbers in every
  // process, the clock alone repeats within one tick.
  static std::string unique_part() {
    static std::atomic<uint64_t> counter{0};
    uint64_t bits = std::random_device{}();
    bits = (bits << 32) ^ std::random_device{}();
    bits ^=
        static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    bits ^= ++counter * 0x9E3779B97F4A7C15u;
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string text;
    for (int i = 0; i < 12; ++i, bits /= 36) text += kDigits[bits % 36];
    return text;
  }

  std::filesystem::path path_;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_SCOPED_TEMP_DIR_H_
