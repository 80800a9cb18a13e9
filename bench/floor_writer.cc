// scenario_floor FOLDER STEP...
//
// The floor of a whole compiler run: a process that does the file work a
// run cannot avoid, and nothing else. It writes files of the sizes the run
// writes, through the same replacement (a temporary beside the file,
// written, flushed with fsync, closed, renamed over the old file, the folder
// synced: platform/files.h on the machine's file system), and reads and
// deletes files of the sizes the run reads and deletes, in the same order.
// bench/whole_runs.sh times a run and its floor as whole processes, start to
// exit, so the ratio of the two is what the compiler costs beyond its files.
//
// The steps, done in the order given; a NAME is taken inside FOLDER unless
// it starts with "/":
//
//   write:NAME:BYTES            NAME replaced on its own, durably
//   transient:NAME:BYTES        NAME replaced on its own, neither synced nor
//                               its folder synced, as the compiler writes a
//                               description it reads back and deletes
//   set:NAME:BYTES,NAME:BYTES…  the files replaced as one set, all written
//                               before the first rename, one sync of the
//                               folder after the renames: the least a
//                               durable replacement of the documents and
//                               the compiled files can do
//   read:NAME                   NAME read whole, as a description is
//   delete:NAME                 NAME deleted, as a description once read
//
// The bytes are filler: the storage does not look at them. They go out in
// parts of at most 1 MiB from one buffer, as the line file does, so the
// floor holds no file whole in memory. The floor takes no folder lock,
// lists no folder, shows no window and checks nothing beyond what the
// replacement itself checks: those are the compiler's own costs.
//
// Exit status 0 when every step was done; 2 for a step it cannot read (then
// none is done); 1 for a failing file operation, with the reason on
// standard error.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace {

constexpr size_t kPartBytes = size_t{1} << 20;

struct FileSize {
  std::string path;
  uint64_t bytes = 0;
};

// The filler, shared by every file written.
const std::string& filler() {
  static const std::string part(kPartBytes, '\x55');
  return part;
}

platform::PartWriter filler_parts(uint64_t bytes) {
  return [bytes](const platform::PartSink& sink) {
    for (uint64_t left = bytes; left > 0;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kPartBytes));
      sink(std::string_view(filler()).substr(0, n));
      left -= n;
    }
  };
}

std::string in_folder(const std::string& folder, std::string_view name) {
  if (name.starts_with('/')) return std::string(name);
  return platform::join_path(folder, name);
}

// "NAME:BYTES", NAME taken inside `folder`.
bool parse_file_size(const std::string& folder, std::string_view text, FileSize* out) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  const std::string_view digits = text.substr(colon + 1);
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), out->bytes);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
    return false;
  }
  out->path = in_folder(folder, text.substr(0, colon));
  return true;
}

enum class Verb { kWrite, kTransient, kSet, kRead, kDelete };

struct Step {
  Verb verb = Verb::kWrite;
  std::vector<FileSize> files;  // one for every verb but kSet; bytes unused by read, delete
};

// Reads one step; false when it is not one.
bool parse_step(const std::string& folder, std::string_view text, Step* step) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view verb = text.substr(0, colon);
  const std::string_view rest = text.substr(colon + 1);
  if (verb == "write" || verb == "transient" || verb == "set") {
    step->verb = verb == "write" ? Verb::kWrite : verb == "set" ? Verb::kSet : Verb::kTransient;
    for (size_t start = 0; start <= rest.size();) {
      size_t comma = step->verb == Verb::kSet ? rest.find(',', start) : std::string_view::npos;
      if (comma == std::string_view::npos) comma = rest.size();
      if (!parse_file_size(folder, rest.substr(start, comma - start),
                           &step->files.emplace_back())) {
        return false;
      }
      start = comma + 1;
    }
    return true;
  }
  if ((verb == "read" || verb == "delete") && !rest.empty()) {
    step->verb = verb == "read" ? Verb::kRead : Verb::kDelete;
    step->files.push_back({in_folder(folder, rest), 0});
    return true;
  }
  return false;
}

void run_step(platform::FileSystem& fs, const Step& step) {
  switch (step.verb) {
    case Verb::kWrite:
      platform::replace_file_by_parts(fs, step.files[0].path, filler_parts(step.files[0].bytes));
      break;
    case Verb::kTransient:
      // A description is far smaller than a part: written in one.
      platform::replace_transient_file(
          fs, step.files[0].path, std::string(static_cast<size_t>(step.files[0].bytes), '\x55'));
      break;
    case Verb::kSet: {
      platform::FileReplacement replacement(fs);
      for (const FileSize& file : step.files) {
        replacement.stage(file.path, filler_parts(file.bytes));
      }
      replacement.commit();
      break;
    }
    case Verb::kRead:
      platform::read_description_file(fs, step.files[0].path);
      break;
    case Verb::kDelete:
      fs.delete_file(step.files[0].path);
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: scenario_floor FOLDER STEP...\n"
                 "  write:NAME:BYTES  transient:NAME:BYTES  set:NAME:BYTES,NAME:BYTES...\n"
                 "  read:NAME  delete:NAME\n");
    return 2;
  }
  const std::string folder = argv[1];
  // Every step is read before any is done: a mistyped one changes nothing.
  std::vector<Step> steps(static_cast<size_t>(argc - 2));
  for (int i = 2; i < argc; ++i) {
    if (!parse_step(folder, argv[i], &steps[static_cast<size_t>(i - 2)])) {
      std::fprintf(stderr, "scenario_floor: cannot read step \"%s\"\n", argv[i]);
      return 2;
    }
  }
  platform::FileSystem& fs = platform::real_file_system();
  try {
    for (const Step& step : steps) run_step(fs, step);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scenario_floor: %s\n", e.what());
    return 1;
  }
  return 0;
}
