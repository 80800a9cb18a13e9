// The compiled-file readers of the authoring tool, through its whole
// inspection (text and JSON with every cell). The input's first byte picks
// the kind (line, station or track file, by its value modulo 3); the rest is
// the file.
//
// Checked: inspection either returns a text or throws BadFile, and it fails
// exactly when the reader refuses the bytes; bytes that a reader accepts are
// written back by the compiler's own encoding byte for byte, so a reader
// neither drops nor invents a field.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "compiled/compiled_reader.h"
#include "fuzz/fuzz_support.h"
#include "model/compiled_files.h"
#include "platform/byte_writer.h"
#include "tools/report/inspect.h"

namespace {

// The compiler writes the line file from its plan; a file read back may hold
// any sequence of values, so they are written back one by one.
std::string encode_values(const tools::LineFile& file) {
  platform::ByteWriter out;
  for (const auto* half : {&file.x, &file.y}) {
    for (const tools::PlanValue& v : *half) {
      switch (v.type) {
        case tools::kPlanEmpty:
          out.put_variant_empty();
          break;
        case tools::kPlanInt16:
          out.put_variant_int16(static_cast<int16_t>(v.value));
          break;
        case tools::kPlanDouble:
          out.put_variant_double(v.value);
          break;
      }
    }
  }
  return out.take();
}

// The bytes the reader accepted, written back; nothing when it refused them.
std::optional<std::string> round_trip(tools::FileKind kind, std::string_view bytes) {
  try {
    switch (kind) {
      case tools::FileKind::kLine:
        return encode_values(tools::read_line_file(bytes));
      case tools::FileKind::kStation: {
        model::Scenario s;
        s.item_table = tools::read_station_file(bytes).slots;
        return model::encode_station_file(s);
      }
      case tools::FileKind::kTrack: {
        model::Scenario s;
        s.track = tools::read_track_file(bytes).cells;
        s.track_allocated = true;
        s.cell_count = static_cast<int32_t>(s.track.size()) - 1;
        return model::encode_track_file(s);
      }
    }
  } catch (const tools::BadFile&) {
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr tools::FileKind kKinds[] = {tools::FileKind::kLine, tools::FileKind::kStation,
                                        tools::FileKind::kTrack};
  const tools::FileKind kind = kKinds[data[0] % 3];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  bool inspected = true;
  try {
    const std::string text = tools::inspect_bytes(kind, bytes);
    FUZZ_CHECK(!text.empty(), "empty inspection");
  } catch (const tools::BadFile& e) {
    inspected = false;
    FUZZ_CHECK(*e.what() != '\0', "BadFile without a message");
  }

  const std::optional<std::string> written = round_trip(kind, bytes);
  FUZZ_CHECK(inspected == written.has_value(),
             std::string(tools::kind_label(kind)) +
                 (inspected ? ": inspected although the reader refuses it"
                            : ": inspection failed on a file the reader accepts"));
  if (written) {
    FUZZ_CHECK(*written == bytes,
               std::string(tools::kind_label(kind)) + ": read and written back, the bytes differ");
  }
  return 0;
}
