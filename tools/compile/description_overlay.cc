#include "tools/compile/description_overlay.h"

#include "platform/runtime_failure.h"

namespace tools {

namespace {

platform::RuntimeFailure missing(const std::string& path) {
  return platform::RuntimeFailure(platform::kFileNotFound, path + " (No such file or directory)");
}

platform::RuntimeFailure reserved(const std::string& path) {
  return platform::RuntimeFailure(platform::kPathFileAccess,
                                  path + " (a description's name: not written by a compile)");
}

}  // namespace

void DescriptionOverlay::serve(const std::string& path, std::optional<std::string> bytes) {
  served_[path] = std::move(bytes);
}

std::optional<std::string>* DescriptionOverlay::served(const std::string& path) {
  auto it = served_.find(path);
  return it == served_.end() ? nullptr : &it->second;
}

platform::FileKind DescriptionOverlay::kind(const std::string& path) {
  if (auto* entry = served(path)) {
    return *entry ? platform::FileKind::kRegular : platform::FileKind::kMissing;
  }
  return base().kind(path);
}

uint64_t DescriptionOverlay::file_size(const std::string& path) {
  if (auto* entry = served(path)) {
    if (!*entry) throw missing(path);
    return (*entry)->size();
  }
  return base().file_size(path);
}

std::string DescriptionOverlay::read_file(const std::string& path, uint64_t limit) {
  if (auto* entry = served(path)) {
    if (!*entry) throw missing(path);
    if ((*entry)->size() > limit) throw platform::too_large_failure(path, (*entry)->size(), limit);
    return **entry;
  }
  return base().read_file(path, limit);
}

std::unique_ptr<platform::WritableFile> DescriptionOverlay::create_new(const std::string& path) {
  if (served(path) != nullptr) throw reserved(path);
  return base().create_new(path);
}

void DescriptionOverlay::rename_file(const std::string& from, const std::string& to) {
  if (served(from) != nullptr || served(to) != nullptr) throw reserved(to);
  base().rename_file(from, to);
}

void DescriptionOverlay::delete_file(const std::string& path) {
  if (auto* entry = served(path)) {
    if (!*entry) throw missing(path);
    entry->reset();
    return;
  }
  base().delete_file(path);
}

}  // namespace tools
