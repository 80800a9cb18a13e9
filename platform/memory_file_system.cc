#include "platform/memory_file_system.h"

#include <thread>
#include <utility>

#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace platform {

namespace {

RuntimeFailure missing(const std::string& path) {
  return RuntimeFailure(kFileNotFound, path + " (No such file or directory)");
}

bool is_root(const std::string& folder) {
  return folder.empty() || folder == "." || folder == "/" || folder == "\\";
}

}  // namespace

class MemoryFileSystem::File : public WritableFile {
 public:
  File(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  void append(std::string_view bytes) override {
    std::lock_guard<std::mutex> lock(fs_.mutex_);
    auto it = fs_.entries_.find(path_);
    if (closed_ || it == fs_.entries_.end()) throw missing(path_);
    it->second.bytes.append(bytes);
  }
  void sync() override {}
  void close() override { closed_ = true; }

 private:
  MemoryFileSystem& fs_;
  std::string path_;
  bool closed_ = false;
};

class MemoryFileSystem::Lock : public FolderLock {
 public:
  Lock(MemoryFileSystem& fs, std::string folder) : fs_(fs), folder_(std::move(folder)) {}
  ~Lock() override {
    std::lock_guard<std::mutex> lock(fs_.mutex_);
    fs_.locked_.erase(folder_);
  }

 private:
  MemoryFileSystem& fs_;
  std::string folder_;
};

bool MemoryFileSystem::folder_exists(const std::string& folder) const {
  if (is_root(folder)) return true;
  auto it = entries_.find(folder);
  return it != entries_.end() && it->second.kind == FileKind::kFolder;
}

const MemoryFileSystem::Entry& MemoryFileSystem::regular(const std::string& path) const {
  auto it = entries_.find(path);
  if (it == entries_.end()) throw missing(path);
  if (it->second.kind != FileKind::kRegular) throw not_regular_failure(path, it->second.kind);
  return it->second;
}

void MemoryFileSystem::add_file(const std::string& path, std::string bytes) {
  create_folders(folder_of(path));
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[path] = Entry{FileKind::kRegular, std::move(bytes)};
}

void MemoryFileSystem::add_link(const std::string& path) {
  create_folders(folder_of(path));
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[path] = Entry{FileKind::kLink, {}};
}

void MemoryFileSystem::add_other(const std::string& path) {
  create_folders(folder_of(path));
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[path] = Entry{FileKind::kOther, {}};
}

std::map<std::string, std::string> MemoryFileSystem::files() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::string, std::string> result;
  for (const auto& [path, entry] : entries_) {
    if (entry.kind == FileKind::kRegular) result.emplace(path, entry.bytes);
  }
  return result;
}

std::string MemoryFileSystem::contents(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(path);
  return it == entries_.end() ? std::string() : it->second.bytes;
}

std::string MemoryFileSystem::take(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(path);
  return it == entries_.end() ? std::string() : std::exchange(it->second.bytes, std::string());
}

FileKind MemoryFileSystem::kind(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (is_root(path)) return FileKind::kFolder;
  auto it = entries_.find(path);
  return it == entries_.end() ? FileKind::kMissing : it->second.kind;
}

uint64_t MemoryFileSystem::file_size(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  return regular(path).bytes.size();
}

std::string MemoryFileSystem::read_file(const std::string& path, uint64_t limit) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Entry& entry = regular(path);
  if (entry.bytes.size() > limit) throw too_large_failure(path, entry.bytes.size(), limit);
  return entry.bytes;
}

std::unique_ptr<WritableFile> MemoryFileSystem::create_new(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!folder_exists(folder_of(path))) throw missing(path);
  if (entries_.count(path) != 0) {
    throw RuntimeFailure(kPathFileAccess, path + " (File exists)");
  }
  entries_[path] = Entry{};
  return std::make_unique<File>(*this, path);
}

void MemoryFileSystem::rename_file(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(from);
  if (it == entries_.end()) throw missing(from);
  if (!folder_exists(folder_of(to))) throw missing(to);
  auto target = entries_.find(to);
  if (target != entries_.end() && target->second.kind == FileKind::kFolder) {
    throw not_regular_failure(to, FileKind::kFolder);
  }
  Entry moved = std::move(it->second);
  entries_.erase(it);
  entries_[to] = std::move(moved);
}

void MemoryFileSystem::delete_file(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(path);
  if (it == entries_.end()) throw missing(path);
  if (it->second.kind == FileKind::kFolder) throw not_regular_failure(path, FileKind::kFolder);
  entries_.erase(it);
}

void MemoryFileSystem::create_folders(const std::string& folder) {
  if (is_root(folder)) return;
  create_folders(folder_of(folder));
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(folder);
  if (it == entries_.end()) {
    entries_[folder] = Entry{FileKind::kFolder, {}};
  } else if (it->second.kind != FileKind::kFolder) {
    throw RuntimeFailure(kPathFileAccess, folder + " (is not a folder)");
  }
}

void MemoryFileSystem::delete_folder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(folder);
  if (it == entries_.end()) throw missing(folder);
  if (it->second.kind != FileKind::kFolder) {
    throw RuntimeFailure(kPathFileAccess, folder + " (is not a folder)");
  }
  for (const auto& [path, entry] : entries_) {
    if (folder_of(path) == folder) {
      throw RuntimeFailure(kPathFileAccess, folder + " (Directory not empty)");
    }
  }
  entries_.erase(it);
}

std::vector<std::string> MemoryFileSystem::list_folder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!folder_exists(folder)) throw missing(folder);
  std::vector<std::string> names;
  for (const auto& [path, entry] : entries_) {
    if (folder_of(path) == folder || (is_root(folder) && is_root(folder_of(path)))) {
      names.push_back(path.substr(path.find_last_of("/\\") + 1));
    }
  }
  return names;
}

std::unique_ptr<FolderLock> MemoryFileSystem::lock_folder(const std::string& folder,
                                                          std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!folder_exists(folder)) throw missing(folder);
      if (locked_.insert(folder).second) return std::make_unique<Lock>(*this, folder);
    }
    if (std::chrono::steady_clock::now() >= deadline) throw folder_busy_failure(folder, wait);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace platform
