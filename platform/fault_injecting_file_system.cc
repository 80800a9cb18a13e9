#include "platform/fault_injecting_file_system.h"

#include "platform/files.h"

namespace platform {

class FaultInjectingFileSystem::File : public WritableFile {
 public:
  File(FaultInjectingFileSystem& fs, std::unique_ptr<WritableFile> base, std::string path,
       ContentRef content)
      : fs_(fs), base_(std::move(base)), path_(std::move(path)), content_(std::move(content)) {}
  void append(std::string_view bytes) override {
    fs_.step(Operation::kWrite, path_);
    base_->append(bytes);
    content_->bytes += bytes;
  }
  void sync() override {
    fs_.step(Operation::kSync, path_);
    base_->sync();
    content_->synced = content_->bytes.size();
  }
  void close() override {
    fs_.step(Operation::kClose, path_);
    base_->close();
  }

 private:
  FaultInjectingFileSystem& fs_;
  std::unique_ptr<WritableFile> base_;
  std::string path_;
  ContentRef content_;
};

void FaultInjectingFileSystem::inject(Operation op, int nth, Fault fault, int number) {
  fault_op_ = op;
  fault_at_ = count(op) + nth;
  fault_ = fault;
  fault_number_ = number;
}

void FaultInjectingFileSystem::alive() const {
  if (stopped_) throw SimulatedKill();
}

void FaultInjectingFileSystem::step(Operation op, const std::string& path) {
  alive();
  int n = ++counts_[static_cast<int>(op)];
  if (fault_at_ == 0 || op != fault_op_ || n != fault_at_) return;
  if (fault_ == Fault::kStop) {
    stopped_ = true;
    throw SimulatedKill();
  }
  throw RuntimeFailure(fault_number_, path + " (injected fault)");
}

FaultInjectingFileSystem::ContentRef FaultInjectingFileSystem::content_of(const std::string& path) {
  auto it = names_.find(path);
  if (it != names_.end()) return it->second;
  if (base().kind(path) != FileKind::kRegular) return nullptr;
  auto content = std::make_shared<Content>();
  content->bytes = base().read_file(path, UINT64_MAX);
  content->synced = content->bytes.size();
  names_[path] = content;
  return content;
}

void FaultInjectingFileSystem::lose_power() {
  stopped_ = true;
  for (auto change = unsynced_changes_.rbegin(); change != unsynced_changes_.rend(); ++change) {
    if (!change->from.empty()) names_[change->from] = names_[change->name];
    names_[change->name] = change->before;
  }
  unsynced_changes_.clear();
  for (const auto& [path, content] : names_) {
    if (base().kind(path) == FileKind::kRegular) base().delete_file(path);
    if (content == nullptr) continue;
    std::unique_ptr<WritableFile> file = base().create_new(path);
    file->append(std::string_view(content->bytes).substr(0, content->synced));
    file->close();
  }
  names_.clear();
}

FileKind FaultInjectingFileSystem::kind(const std::string& path) {
  alive();
  return base().kind(path);
}

uint64_t FaultInjectingFileSystem::file_size(const std::string& path) {
  alive();
  return base().file_size(path);
}

std::string FaultInjectingFileSystem::read_file(const std::string& path, uint64_t limit) {
  step(Operation::kOpen, path);
  step(Operation::kRead, path);
  return base().read_file(path, limit);
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::create_new(const std::string& path) {
  step(Operation::kOpen, path);
  std::unique_ptr<WritableFile> file = base().create_new(path);
  auto content = std::make_shared<Content>();
  unsynced_changes_.push_back({folder_of(path), path, nullptr, {}});
  names_[path] = content;
  return std::make_unique<File>(*this, std::move(file), path, std::move(content));
}

void FaultInjectingFileSystem::rename_file(const std::string& from, const std::string& to) {
  step(Operation::kRename, to);
  ContentRef before = content_of(to);
  ContentRef moved = content_of(from);
  base().rename_file(from, to);
  unsynced_changes_.push_back({folder_of(to), to, std::move(before), from});
  names_[to] = std::move(moved);
  names_[from] = nullptr;
}

void FaultInjectingFileSystem::delete_file(const std::string& path) {
  step(Operation::kDelete, path);
  ContentRef before = content_of(path);
  base().delete_file(path);
  unsynced_changes_.push_back({folder_of(path), path, std::move(before), {}});
  names_[path] = nullptr;
}

void FaultInjectingFileSystem::sync_folder(const std::string& folder) {
  step(Operation::kSync, folder);
  base().sync_folder(folder);
  ++folder_syncs_;
  std::erase_if(unsynced_changes_, [&folder](const Change& c) { return c.folder == folder; });
}

void FaultInjectingFileSystem::create_folders(const std::string& folder) {
  alive();
  base().create_folders(folder);
}

void FaultInjectingFileSystem::delete_folder(const std::string& folder) {
  step(Operation::kDelete, folder);
  base().delete_folder(folder);
}

std::vector<std::string> FaultInjectingFileSystem::list_folder(const std::string& folder) {
  alive();
  return base().list_folder(folder);
}

std::unique_ptr<FolderLock> FaultInjectingFileSystem::lock_folder(const std::string& folder,
                                                                  std::chrono::milliseconds wait) {
  alive();
  return base().lock_folder(folder, wait);
}

}  // namespace platform
