// The file steps that are the same on every platform, built on the file
// system seam.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <string>

#include "platform/files.h"
#include "platform/interrupt_cleanup.h"
#include "platform/runtime_failure.h"

namespace platform {

namespace {

constexpr std::string_view kPartialTag = ".partial-";

// The longest file name the systems take is 255 bytes. A temporary's name
// holds "." and as much of its file's name as leaves room for the tag and
// the longest tag text (16 hex digits, "-", up to 20 digits), so that every
// name that may be written may also be replaced.
constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxTagTextBytes = 16 + 1 + 20;
constexpr size_t kMaxKeptNameBytes = kMaxNameBytes - 1 - kPartialTag.size() - kMaxTagTextBytes;

std::string_view kept_part(std::string_view name) {
  return name.substr(0, std::min(name.size(), kMaxKeptNameBytes));
}

// A tag that no other run, and no other replacement of this run, is using:
// a random number drawn once per process and a counter.
std::string partial_name(std::string_view name) {
  static const uint64_t process_tag = [] {
    std::random_device seed;
    return (uint64_t{seed()} << 32) ^ seed();
  }();
  static std::atomic<uint64_t> counter{0};
  char tag[40];
  std::snprintf(tag, sizeof tag, "%016llx-%llu", static_cast<unsigned long long>(process_tag),
                static_cast<unsigned long long>(counter.fetch_add(1)));
  std::string partial = ".";
  partial += kept_part(name);
  partial += kPartialTag;
  partial += tag;
  return partial;
}

std::string name_of(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Holds the interrupt clean-up's lock, when the file system has one, over a
// step on a temporary and its change to the table.
class HeldStep {
 public:
  explicit HeldStep(InterruptCleanup* cleanup) : cleanup_(cleanup) {
    if (cleanup_ != nullptr) cleanup_->lock();
  }
  ~HeldStep() {
    if (cleanup_ != nullptr) cleanup_->unlock();
  }
  HeldStep(const HeldStep&) = delete;
  HeldStep& operator=(const HeldStep&) = delete;

 private:
  InterruptCleanup* cleanup_;
};

}  // namespace

RuntimeFailure not_regular_failure(const std::string& path, FileKind kind) {
  const char* what = "is not a regular file";
  if (kind == FileKind::kFolder) what = "is a folder, not a regular file";
  if (kind == FileKind::kLink) what = "is a symbolic link, not a regular file";
  if (kind == FileKind::kOther) what = "is a pipe, device or socket, not a regular file";
  return RuntimeFailure(kPathFileAccess, path + " (" + what + ")");
}

RuntimeFailure too_large_failure(const std::string& path, uint64_t size, uint64_t limit) {
  return RuntimeFailure(kFileTooLarge, path + " (" + std::to_string(size) +
                                           " bytes, more than the " + std::to_string(limit) +
                                           " bytes a description may have)");
}

RuntimeFailure folder_busy_failure(const std::string& folder, std::chrono::milliseconds wait) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(wait.count()) / 1000.0);
  return RuntimeFailure(
      kFolderBusy, folder + " (another run is writing there; waited " + seconds + " s for it)");
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += path_separator();
  path += name;
  return path;
}

std::string folder_of(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return std::string(path.substr(0, 1));
  return std::string(path.substr(0, slash));
}

bool file_exists(FileSystem& fs, const std::string& path) {
  return fs.kind(path) == FileKind::kRegular;
}

std::string read_file(FileSystem& fs, const std::string& path) {
  return fs.read_file(path, UINT64_MAX);
}

bool description_exists(FileSystem& fs, const std::string& path) {
  try {
    return file_exists(fs, path);
  } catch (const FileReadFailure&) {
    throw;
  } catch (const RuntimeFailure& f) {
    throw FileReadFailure(f.number(), f.detail());
  }
}

std::string read_description_file(FileSystem& fs, const std::string& path) {
  try {
    return fs.read_file(path, kMaxDescriptionBytes);
  } catch (const FileReadFailure&) {
    throw;
  } catch (const RuntimeFailure& f) {
    throw FileReadFailure(f.number(), f.detail());
  }
}

FileReplacement::~FileReplacement() {
  InterruptCleanup* cleanup = fs_.interrupt_cleanup();
  for (const Staged& s : staged_) {
    try {
      HeldStep held(cleanup);
      fs_.delete_file(s.temporary);
      forget_temporary(s.noted);
    } catch (...) {
      // Already gone, or the storage is failing: nothing better to do here.
    }
  }
}

void FileReplacement::stage(const std::string& path, const PartWriter& write_parts) {
  stage(path, write_parts, true);
}

void FileReplacement::stage(const std::string& path, const PartWriter& write_parts, bool durable) {
  FileKind kind = fs_.kind(path);
  if (kind != FileKind::kMissing && kind != FileKind::kRegular) {
    throw not_regular_failure(path, kind);
  }
  const std::string temporary = join_path(folder_of(path), partial_name(name_of(path)));
  InterruptCleanup* cleanup = fs_.interrupt_cleanup();
  if (cleanup != nullptr) cleanup->install();
  std::unique_ptr<WritableFile> file;
  int noted = -1;
  {
    // Noted before it exists, so that an interrupt never misses it.
    HeldStep held(cleanup);
    if (cleanup != nullptr) noted = note_temporary(temporary);
    try {
      file = fs_.create_new(temporary);
    } catch (...) {
      forget_temporary(noted);
      throw;
    }
  }
  // From here on the temporary is ours to delete, whatever happens.
  staged_.push_back({path, temporary, durable, noted});
  write_parts([&file](std::string_view part) {
    if (!part.empty()) file->append(part);
  });
  if (durable) file->sync();
  file->close();
}

void FileReplacement::stage_transient(const std::string& path, std::string_view bytes) {
  stage(
      path, [bytes](const PartSink& sink) { sink(bytes); }, false);
}

void FileReplacement::stage(const std::string& path, std::string_view bytes) {
  stage(path, [bytes](const PartSink& sink) { sink(bytes); });
}

void FileReplacement::commit() {
  InterruptCleanup* cleanup = fs_.interrupt_cleanup();
  std::vector<std::string> folders;
  while (!staged_.empty()) {
    Staged s = staged_.front();
    {
      HeldStep held(cleanup);
      fs_.rename_file(s.temporary, s.path);
      forget_temporary(s.noted);
    }
    staged_.erase(staged_.begin());
    std::string folder = folder_of(s.path);
    if (s.durable && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }
  for (const std::string& folder : folders) fs_.sync_folder(folder);
}

void FileReplacement::hand_over_temporaries() {
  HeldStep held(fs_.interrupt_cleanup());
  for (Staged& s : staged_) {
    forget_temporary(s.noted);
    s.noted = -1;
  }
}

void replace_file(FileSystem& fs, const std::string& path, std::string_view bytes) {
  FileReplacement replacement(fs);
  replacement.stage(path, bytes);
  replacement.commit();
}

void replace_file_by_parts(FileSystem& fs, const std::string& path, const PartWriter& write_parts) {
  FileReplacement replacement(fs);
  replacement.stage(path, write_parts);
  replacement.commit();
}

void replace_transient_file(FileSystem& fs, const std::string& path, std::string_view bytes) {
  FileReplacement replacement(fs);
  replacement.stage_transient(path, bytes);
  replacement.commit();
}

bool is_partial_of(std::string_view name, std::string_view target) {
  target = kept_part(target);
  if (name.size() <= 1 + target.size() + kPartialTag.size() || name[0] != '.') return false;
  return name.substr(1, target.size()) == target &&
         name.substr(1 + target.size(), kPartialTag.size()) == kPartialTag;
}

void remove_stale_partials(FileSystem& fs, const std::string& folder,
                           std::span<const std::string> targets) {
  for (const std::string& name : fs.list_folder(folder)) {
    for (const std::string& target : targets) {
      if (is_partial_of(name, target)) {
        fs.delete_file(join_path(folder, name));
        break;
      }
    }
  }
}

}  // namespace platform
