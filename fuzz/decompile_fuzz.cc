// decompile from one input, split as for compile_pass_fuzz:
//
//   <route description> NUL <train description>             line file asked for
//   <route description> NUL <train description> NUL <any>    no line file
//
// The pair is compiled in memory; whatever the compiled files are, decompile
// must return (or refuse files that do not fit their format) and:
//   - whenever the compile was clean, the round trip is exact;
//   - it never says exact when the recompiled files differ from the set's.
// Under the fuzzer, an input whose track is longer than
// fuzz::kLongestKeptTrack has its route read and no more (fuzz::runs_whole).
#include <cstdint>
#include <string>
#include <string_view>

#include "compiled/compiled_reader.h"
#include "finish/errore.h"
#include "fuzz/fuzz_support.h"
#include "platform/runtime_failure.h"
#include "tools/decompile/decompile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  if (cut == std::string_view::npos) return 0;
  std::string_view train_text = input.substr(cut + 1);
  bool with_line_file = true;
  const size_t end = train_text.find('\0');
  if (end != std::string_view::npos) {
    train_text = train_text.substr(0, end);
    with_line_file = false;
  }
  if (!fuzz::runs_whole(input.substr(0, cut))) return -1;
  decompile::Recompiled set;
  try {
    set = decompile::compile_texts("LINEA", "T1", std::string(input.substr(0, cut)),
                                   std::string(train_text), with_line_file);
  } catch (const finish::IdentityError&) {
    return 0;
  } catch (const platform::RuntimeFailure&) {
    return 0;
  }
  // A compile that stopped before the track existed wrote no usable set.
  if (set.track_file.empty()) return 0;
  const decompile::CompiledBytes bytes{"LINEA", "T1", set.line_file, set.station_file,
                                       set.track_file};
  decompile::Decompiled d;
  try {
    d = decompile::decompile_set(bytes);
  } catch (const tools::BadFile&) {
    FUZZ_CHECK(set.error_code != 0, "a clean compile wrote files that do not fit their format");
    return 0;
  }
  // A set where a station's stop cell took a signal's, slowdown's or mark's
  // cell is not given back exactly yet (decompile says so): the one known
  // exception.
  if (set.error_code == 0 && !set.station_took_train_item)
    FUZZ_CHECK(d.exact, "a clean set did not round-trip exactly");
  if (d.exact) {
    const decompile::Recompiled again =
        decompile::compile_texts("LINEA", "T1", d.route_text, d.train_text, with_line_file);
    FUZZ_CHECK(again.station_file == set.station_file && again.track_file == set.track_file &&
                   again.line_file == set.line_file,
               "exact claimed for files that differ");
  }
  return 0;
}
