#include "platform/fault_injecting_file_system.h"

namespace platform {

class FaultInjectingFileSystem::File : public WritableFile {
 public:
  File(FaultInjectingFileSystem& fs, std::unique_ptr<WritableFile> base, std::string path)
      : fs_(fs), base_(std::move(base)), path_(std::move(path)) {}
  void append(std::string_view bytes) override {
    fs_.step(Operation::kWrite, path_);
    base_->append(bytes);
  }
  void sync() override {
    fs_.step(Operation::kSync, path_);
    base_->sync();
  }
  void close() override {
    fs_.step(Operation::kClose, path_);
    base_->close();
  }

 private:
  FaultInjectingFileSystem& fs_;
  std::unique_ptr<WritableFile> base_;
  std::string path_;
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

FileKind FaultInjectingFileSystem::kind(const std::string& path) {
  alive();
  return base_.kind(path);
}

uint64_t FaultInjectingFileSystem::file_size(const std::string& path) {
  alive();
  return base_.file_size(path);
}

std::string FaultInjectingFileSystem::read_file(const std::string& path, uint64_t limit) {
  step(Operation::kOpen, path);
  step(Operation::kRead, path);
  return base_.read_file(path, limit);
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::create_new(const std::string& path) {
  step(Operation::kOpen, path);
  return std::make_unique<File>(*this, base_.create_new(path), path);
}

void FaultInjectingFileSystem::rename_file(const std::string& from, const std::string& to) {
  step(Operation::kRename, to);
  base_.rename_file(from, to);
}

void FaultInjectingFileSystem::delete_file(const std::string& path) {
  step(Operation::kDelete, path);
  base_.delete_file(path);
}

void FaultInjectingFileSystem::sync_folder(const std::string& folder) {
  step(Operation::kSync, folder);
  base_.sync_folder(folder);
}

void FaultInjectingFileSystem::create_folders(const std::string& folder) {
  alive();
  base_.create_folders(folder);
}

void FaultInjectingFileSystem::delete_folder(const std::string& folder) {
  step(Operation::kDelete, folder);
  base_.delete_folder(folder);
}

std::vector<std::string> FaultInjectingFileSystem::list_folder(const std::string& folder) {
  alive();
  return base_.list_folder(folder);
}

std::unique_ptr<FolderLock> FaultInjectingFileSystem::lock_folder(const std::string& folder,
                                                                  std::chrono::milliseconds wait) {
  alive();
  return base_.lock_folder(folder, wait);
}

}  // namespace platform
