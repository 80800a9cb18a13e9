#include "tools/preview/output_target.h"

#include <utility>

#include "compiled/tool_error.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace tools {

namespace {

// `tail` is lower case; only ASCII letters are folded, whatever the locale.
bool ends_with_nocase(const std::string& s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char c = s[s.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

}  // namespace

void check_output_target(platform::FileSystem& fs, const std::string& path,
                         const OutputKind& kind) {
  const std::string other_name =
      std::string(": give ") + kind.option + " another name, such as " + kind.other_name;
  static constexpr std::pair<std::string_view, const char*> kRefused[] = {
      {"_linea.txt", "a route description"},
      {"-.txt", "a train description"},
      {".sim", "a station file"},
      {".dat", "a track or line file"},
  };
  for (const auto& [tail, what] : kRefused) {
    if (ends_with_nocase(path, tail)) {
      throw ToolError(path + ": refused: a name ending in \"" + std::string(tail) + "\" is " +
                      what + "'s, and a " + kind.noun +
                      " never replaces a description or a compiled file" + other_name);
    }
  }
  try {
    const platform::FileKind file = fs.kind(path);
    if (file == platform::FileKind::kMissing) {
      const std::string folder = platform::folder_of(path);
      if (fs.kind(folder) == platform::FileKind::kMissing) {
        throw ToolError("cannot write the " + std::string(kind.noun) + " " + path +
                        ": the folder " + folder + " does not exist");
      }
      return;
    }
    if (file != platform::FileKind::kRegular) {
      throw ToolError(std::string(platform::not_regular_failure(path, file).what()) + ": a " +
                      kind.noun + " is written only as a new file or over an earlier " + kind.noun +
                      other_name);
    }
    // An earlier output is within the bound; a larger file is not one.
    if (fs.file_size(path) <= kind.max_size &&
        fs.read_file(path, kind.max_size).starts_with(kind.prolog)) {
      return;
    }
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError(std::string("cannot look at the file ") + kind.option + " names: " + f.what() +
                    ": it is not replaced");
  }
  throw ToolError(path + " exists and is not a " + kind.noun +
                  " of scenario_tool render: it is left as it is" + other_name +
                  ", or remove the file first");
}

void write_output(platform::FileSystem& fs, const std::string& path, std::string_view bytes,
                  const OutputKind& kind) {
  check_output_target(fs, path, kind);
  try {
    platform::replace_file(fs, path, bytes);
  } catch (const platform::RuntimeFailure& f) {
    // The failure may name the hidden temporary the bytes went to first: the
    // author asked for `path`, so that is the name given, with the reason.
    const std::string& detail = f.detail();
    const size_t reason = detail.rfind(" (");
    throw ToolError(std::string("cannot write the ") + kind.noun + " " + path + ": " +
                    platform::failure_description(f.number()) +
                    (reason == std::string::npos ? std::string() : detail.substr(reason)));
  }
}

}  // namespace tools
