// The file system a compile of the tool runs on: the machine's (or any
// other), with the two description names of the compile pass served from
// memory.
//
// The compile pass reads its descriptions from its own folder under fixed
// names and deletes them once read. The tool compiles an author's files,
// which must only ever be read: it reads them once, with the size limit,
// and hands the pass these copies under the names it expects in the output
// folder. Every operation on those two names (existence, reading,
// deleting) stays in memory; a real file of the same name is never
// touched. Every other name, the compiled files included, goes to the
// underlying file system.
#ifndef SCENARIO_TOOLS_COMPILE_DESCRIPTION_OVERLAY_H_
#define SCENARIO_TOOLS_COMPILE_DESCRIPTION_OVERLAY_H_

#include <map>
#include <optional>
#include <string>

#include "platform/forwarding_file_system.h"

namespace tools {

class DescriptionOverlay : public platform::ForwardingFileSystem {
 public:
  explicit DescriptionOverlay(platform::FileSystem& base) : ForwardingFileSystem(base) {}

  // Serves `bytes` under `path`, or (nullopt) makes `path` look missing.
  void serve(const std::string& path, std::optional<std::string> bytes);

  platform::FileKind kind(const std::string& path) override;
  uint64_t file_size(const std::string& path) override;
  std::string read_file(const std::string& path, uint64_t limit) override;
  std::unique_ptr<platform::WritableFile> create_new(const std::string& path) override;
  void rename_file(const std::string& from, const std::string& to) override;
  void delete_file(const std::string& path) override;

 private:
  // The served entry for `path`, or null when the name is not one of ours.
  std::optional<std::string>* served(const std::string& path);

  std::map<std::string, std::optional<std::string>> served_;
};

}  // namespace tools

#endif  // SCENARIO_TOOLS_COMPILE_DESCRIPTION_OVERLAY_H_
