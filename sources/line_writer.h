// The line-array writer: the one mechanism by which the five built-in texts
// (route description, train description, notes, slow-order form, timetable
// card) are written beside the executable.
//
// A text is a table of lines ending with the end sentinel. The writer copies
// it into a line array of 1001 slots, then writes slot after slot, each line
// followed by CR LF, and stops at the first slot that equals the sentinel
// exactly; the sentinel itself is never written. The file is replaced whole.
// A failure throws RuntimeFailure; the program then ends with its report.
#ifndef SCENARIO_SOURCES_LINE_WRITER_H_
#define SCENARIO_SOURCES_LINE_WRITER_H_

#include <span>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace sources {

inline constexpr std::string_view kEndSentinel = "riferimento fine del file";
inline constexpr size_t kLineArraySlots = 1001;

// The lines that the writer writes from `text`: those before the first end
// sentinel, never more than the line array holds (a text without a sentinel
// ends with the array).
std::span<const std::string_view> lines_before_sentinel(std::span<const std::string_view> text);

// Writes `text` (a table of lines that ends with kEndSentinel) as the file
// `path`.
// The bytes the writer writes for `text`: its lines before the sentinel,
// each followed by CR LF.
std::string line_array_bytes(std::span<const std::string_view> text);

void write_line_array(platform::FileSystem& fs, const std::string& path,
                      std::span<const std::string_view> text);

}  // namespace sources

#endif  // SCENARIO_SOURCES_LINE_WRITER_H_
