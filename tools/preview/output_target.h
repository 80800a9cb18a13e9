// Where render writes a drawing (--svg) or a page (--html): never over an
// author's description or a compiled file, never through a link, a folder
// or a pipe, and over an existing file only when it is an earlier output of
// the same kind (it begins with that kind's prolog).
#ifndef SCENARIO_TOOLS_PREVIEW_OUTPUT_TARGET_H_
#define SCENARIO_TOOLS_PREVIEW_OUTPUT_TARGET_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tools {

struct OutputKind {
  const char* option;       // "--svg"
  const char* noun;         // "drawing"
  const char* other_name;   // a name to suggest, "drawing.svg"
  std::string_view prolog;  // how every output of this kind begins
  uint64_t max_size;        // no earlier output is larger
};

// Throws ToolError, saying why, unless an output of `kind` may be written
// to `path`: its name must not end as a description's or a compiled file's
// does ("_linea.txt", "-.txt", ".sim", ".dat", in any case), and the name
// must be free or a regular file that begins with kind.prolog.
void check_output_target(platform::FileSystem& fs, const std::string& path, const OutputKind& kind);

// check_output_target, then replaces the file with `bytes` through a
// temporary and a rename. Throws ToolError.
void write_output(platform::FileSystem& fs, const std::string& path, std::string_view bytes,
                  const OutputKind& kind);

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_OUTPUT_TARGET_H_
