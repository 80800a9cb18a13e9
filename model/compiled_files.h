// The compiled scenario: up to three binary files that the driving simulator
// reads, written at the very end of the compile pass.
//
// All three are little-endian, with no header, count, version or checksum;
// records follow each other with no padding and their fields are written in
// their own widths (the alignment gaps of the model are left out).
//
//   line file     <line>_linea.dat     the track plan: 2 x (total_length + 1)
//                 tagged values, all x of points 0 .. total_length, then all
//                 y. Each value is a 16-bit type code and its payload:
//                 0 empty (2 bytes), 2 a 16-bit integer (4 bytes: points 0
//                 and 1), 5 a double (10 bytes: computed points).
//                 Written only when write_line_file is nonzero.
//   station file <line>_<train>.sim   the 87 item records, slot 0 first, each
//                 34 + n bytes: kind u8, area_start i32, area_end i32,
//                 item_position i32, flag u8, name (u16 length n, n bytes),
//                 five i16 words, four u8 bytes, item_time i32.
//   track file   <line>_<train>.dat   cells 0 .. cell_count, 15 bytes each:
//                 kind u8, value1..value4 i16, signal_time, approach_mark,
//                 mountain_type, speed_code, gradient_code, adhesion_code u8.
//
// Each file is replaced whole: written beside its old version, flushed, then
// renamed over it (platform/files.h), so an older, longer file leaves
// nothing behind and no file is ever seen part-written. All three are
// written before the first rename: a failure while writing (a full disk)
// leaves the old set as it was. The renames are made as one set, through a
// journal beside the files (platform/set_journal.h): a kill, a power cut or
// a failed rename between them leaves a set that readers refuse and that
// the next run into the folder completes. The line file is written in
// parts as it is encoded, never held whole in memory. A failure throws
// RuntimeFailure (SetReplacementFailure when some files were replaced).
#ifndef SCENARIO_MODEL_COMPILED_FILES_H_
#define SCENARIO_MODEL_COMPILED_FILES_H_

#include <string>

#include "model/scenario.h"

namespace model {

inline constexpr size_t kTrackRecordSize = 15;
inline constexpr size_t kItemRecordBaseSize = 34;

std::string line_file_name(const Scenario& s);     // "<line>_linea.dat"
std::string station_file_name(const Scenario& s);  // "<line>_<train>.sim"
std::string track_file_name(const Scenario& s);    // "<line>_<train>.dat"

// The bytes of each file. encode_line_file requires the track plan and
// encode_track_file the track; either throws RuntimeFailure when it is missing.
std::string encode_line_file(const Scenario& s);
std::string encode_station_file(const Scenario& s);
std::string encode_track_file(const Scenario& s);

// Writes the line file (only when write_line_file is nonzero), the station
// file and the track file, in that order, into s.app_path.
void write_compiled_files(const Scenario& s);

}  // namespace model

#endif  // SCENARIO_MODEL_COMPILED_FILES_H_
