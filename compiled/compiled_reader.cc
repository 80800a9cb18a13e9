#include "compiled/compiled_reader.h"

#include <bit>
#include <cstring>

#include "model/compiled_files.h"

namespace tools {

namespace {

bool ends_with(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string bytes_text(size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// Refuses bytes beyond the largest file of the kind, before decoding them.
void refuse_oversize(FileKind kind, std::string_view bytes) {
  if (bytes.size() <= max_file_size(kind)) return;
  throw BadFile(std::string(kind_label(kind)) + ": " + bytes_text(bytes.size()) +
                " is more than the largest " + kind_label(kind) + " the compiler writes, " +
                bytes_text(max_file_size(kind)) + " (a route of " +
                std::to_string(kMaxRouteLength) + " m)");
}

// Little-endian fields from a byte string; every read is checked against the
// end first, and a short read throws BadFile naming what was being read.
class ByteCursor {
 public:
  ByteCursor(std::string_view bytes, const char* what) : bytes_(bytes), what_(what) {}

  size_t offset() const { return pos_; }
  size_t left() const { return bytes_.size() - pos_; }
  bool at_end() const { return pos_ == bytes_.size(); }

  uint8_t u8(const char* field) { return static_cast<uint8_t>(take(1, field)[0]); }
  uint16_t u16(const char* field) { return static_cast<uint16_t>(unsigned_le(take(2, field))); }
  int16_t i16(const char* field) { return static_cast<int16_t>(u16(field)); }
  int32_t i32(const char* field) {
    return static_cast<int32_t>(static_cast<uint32_t>(unsigned_le(take(4, field))));
  }
  double f64(const char* field) {
    uint64_t bits = unsigned_le(take(8, field));
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  std::string text(size_t n, const char* field) { return std::string(take(n, field)); }

  // Sets what is being read, for the message of a short read: `words` and a
  // number ("inside value", 12). Only a short read builds the text, so a
  // reader may set it for every one of a million values.
  void context(const char* words, size_t number) {
    context_words_ = words;
    context_number_ = number;
  }

 private:
  std::string_view take(size_t n, const char* field) {
    if (n > left()) {
      std::string message(what_);
      message += ": the file ends ";
      if (*context_words_ != '\0') {
        message += context_words_;
        message += ' ';
        message += std::to_string(context_number_);
      }
      throw BadFile(message + " at byte " + std::to_string(pos_) + ": expected " + bytes_text(n) +
                    " of " + field + ", found " + bytes_text(left()));
    }
    std::string_view part = bytes_.substr(pos_, n);
    pos_ += n;
    return part;
  }
  static uint64_t unsigned_le(std::string_view b) {
    uint64_t v = 0;
    for (size_t i = b.size(); i-- > 0;) v = (v << 8) | static_cast<unsigned char>(b[i]);
    return v;
  }

  std::string_view bytes_;
  const char* what_;
  size_t pos_ = 0;
  const char* context_words_ = "";
  size_t context_number_ = 0;
};

}  // namespace

const char* kind_label(FileKind kind) {
  switch (kind) {
    case FileKind::kLine:
      return "line file";
    case FileKind::kStation:
      return "station file";
    case FileKind::kTrack:
      return "track file";
  }
  return "file";
}

uint64_t max_file_size(FileKind kind) {
  switch (kind) {
    case FileKind::kLine:
      return kMaxLineFileSize;
    case FileKind::kStation:
      return kMaxStationFileSize;
    case FileKind::kTrack:
      return kMaxTrackFileSize;
  }
  return 0;
}

std::optional<FileKind> kind_of_file_name(std::string_view name) {
  if (ends_with(name, "_linea.dat")) return FileKind::kLine;
  if (ends_with(name, ".dat")) return FileKind::kTrack;
  if (ends_with(name, ".sim")) return FileKind::kStation;
  return std::nullopt;
}

StationFile read_station_file(std::string_view bytes) {
  refuse_oversize(FileKind::kStation, bytes);
  // The smallest file: 87 records with empty names.
  constexpr size_t kSmallest = model::kItemSlots * model::kItemRecordBaseSize;
  if (bytes.size() < kSmallest) {
    throw BadFile("station file: " + bytes_text(bytes.size()) + " is too short: expected " +
                  std::to_string(model::kItemSlots) + " records of 34 bytes plus their names, " +
                  "at least " + bytes_text(kSmallest));
  }
  StationFile file;
  ByteCursor in(bytes, "station file");
  for (int slot = 0; slot < model::kItemSlots; ++slot) {
    in.context("inside the record of slot", static_cast<size_t>(slot));
    model::ItemRecord& r = file.slots[static_cast<size_t>(slot)];
    r.item_kind = in.u8("the kind");
    r.area_start = in.i32("the area start");
    r.area_end = in.i32("the area end");
    r.item_position = in.i32("the position");
    r.item_flag = in.u8("the flag");
    uint16_t n = in.u16("the name length");
    r.item_name = in.text(n, "the name");
    r.item_word1 = in.i16("word 1");
    r.item_word2 = in.i16("word 2");
    r.item_word3 = in.i16("word 3");
    r.item_word4 = in.i16("word 4");
    r.item_word5 = in.i16("word 5");
    r.item_byte1 = in.u8("byte 1");
    r.item_byte2 = in.u8("byte 2");
    r.item_byte3 = in.u8("byte 3");
    r.item_byte4 = in.u8("byte 4");
    r.item_time = in.i32("the time");
  }
  if (!in.at_end()) {
    throw BadFile("station file: " + bytes_text(in.left()) + " left after the " +
                  std::to_string(model::kItemSlots) + " records, which end at byte " +
                  std::to_string(in.offset()) + ": expected exactly " +
                  std::to_string(model::kItemSlots) + " records (34 bytes plus the name each)");
  }
  return file;
}

TrackFile read_track_file(std::string_view bytes) {
  constexpr size_t kRecord = model::kTrackRecordSize;
  refuse_oversize(FileKind::kTrack, bytes);
  // Cell 1 carries the identity stamps, so a track has at least cells 0 and 1.
  if (bytes.size() % kRecord != 0 || bytes.size() < 2 * kRecord) {
    throw BadFile("track file: " + bytes_text(bytes.size()) +
                  " does not fit: expected a whole number of 15-byte cell records, " +
                  "at least two (cells 0 and 1)" +
                  (bytes.size() % kRecord != 0
                       ? ", but " + std::to_string(bytes.size() % kRecord) + " bytes are left over"
                       : std::string()));
  }
  TrackFile file;
  file.cells.resize(bytes.size() / kRecord);
  ByteCursor in(bytes, "track file");
  for (size_t i = 0; i < file.cells.size(); ++i) {
    in.context("inside the record of cell", i);
    model::TrackCell& c = file.cells[i];
    c.kind = in.u8("the kind");
    c.value1 = in.i16("value 1");
    c.value2 = in.i16("value 2");
    c.value3 = in.i16("value 3");
    c.value4 = in.i16("value 4");
    c.signal_time = in.u8("the signal time");
    c.approach_mark = in.u8("the approach mark");
    c.mountain_type = in.u8("the mountain type");
    c.speed_code = in.u8("the speed code");
    c.gradient_code = in.u8("the gradient code");
    c.adhesion_code = in.u8("the adhesion code");
  }
  return file;
}

namespace {

constexpr size_t kMaxLineValues = 2 * static_cast<size_t>(kMaxPlanPoints);

// The little-endian fields of the line file, at a place known to hold them.
uint16_t u16_at(const char* p) {
  return static_cast<uint16_t>(static_cast<unsigned char>(p[0]) |
                               static_cast<unsigned>(static_cast<unsigned char>(p[1])) << 8);
}
double f64_at(const char* p) {
  uint64_t bits = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&bits, p, sizeof bits);
  } else {
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(p[i]);
  }
  return std::bit_cast<double>(bits);
}

// The bytes a value of this type code takes after its code; none for a code
// that is not a value's.
std::optional<size_t> payload_size(uint16_t type) {
  switch (type) {
    case kPlanEmpty:
      return 0;
    case kPlanInt16:
      return 2;
    case kPlanDouble:
      return 8;
    default:
      return std::nullopt;
  }
}

// Counts the values of a line file, field by field, and throws BadFile for
// the first that does not fit, saying what was expected where.
size_t count_line_values_carefully(std::string_view bytes) {
  size_t count = 0;
  ByteCursor in(bytes, "line file");
  while (!in.at_end()) {
    if (count == kMaxLineValues) {
      throw BadFile("line file: more than " + std::to_string(kMaxLineValues) + " values (" +
                    std::to_string(kMaxPlanPoints) + " points) in " + bytes_text(bytes.size()) +
                    ": the longest track plan, of a route of " + std::to_string(kMaxRouteLength) +
                    " m, has " + std::to_string(kMaxPlanPoints) + " points");
    }
    in.context("inside value", count);
    size_t at = in.offset();
    uint16_t type = in.u16("a type code");
    switch (type) {
      case kPlanEmpty:
        break;
      case kPlanInt16:
        in.i16("a 16-bit integer");
        break;
      case kPlanDouble:
        in.f64("a double");
        break;
      default:
        throw BadFile("line file: value " + std::to_string(count) + " at byte " +
                      std::to_string(at) + " has type code " + std::to_string(type) +
                      ": expected 0 (empty), 2 (16-bit integer) or 5 (double)");
    }
    ++count;
  }
  return count;
}

// The same count in one quick pass over the bytes; nothing when a value
// does not fit (the careful count then says which and why).
std::optional<size_t> count_line_values(std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  size_t count = 0;
  while (left != 0) {
    if (count == kMaxLineValues || left < 2) return std::nullopt;
    const std::optional<size_t> payload = payload_size(u16_at(p));
    if (!payload || *payload > left - 2) return std::nullopt;
    p += 2 + *payload;
    left -= 2 + *payload;
    ++count;
  }
  return count;
}

}  // namespace

LineFile read_line_file(std::string_view bytes) {
  refuse_oversize(FileKind::kLine, bytes);
  // Two passes: the first checks every value and counts them, so that the
  // halves are allocated once, at their size, after the count is known to
  // be one that the compiler can write.
  std::optional<size_t> counted = count_line_values(bytes);
  const size_t count = counted ? *counted : count_line_values_carefully(bytes);
  if (count == 0 || count % 2 != 0) {
    throw BadFile("line file: " + std::to_string(count) + " values in " + bytes_text(bytes.size()) +
                  ": expected an even number, at least two (x of every point, then y of every "
                  "point)");
  }
  LineFile file;
  const size_t half = count / 2;
  file.x.reserve(half);
  file.y.reserve(half);
  // Every value fits: the first pass has seen each one whole.
  const char* p = bytes.data();
  for (PlanHalf* to : {&file.x, &file.y}) {
    for (size_t i = 0; i < half; ++i) {
      const uint16_t type = u16_at(p);
      p += 2;
      switch (type) {
        case kPlanInt16:
          to->push_back({kPlanInt16, static_cast<double>(static_cast<int16_t>(u16_at(p)))});
          p += 2;
          break;
        case kPlanDouble:
          to->push_back({kPlanDouble, f64_at(p)});
          p += 8;
          break;
        default:  // kPlanEmpty: the first pass let no other code through
          to->push_back({});
          break;
      }
    }
  }
  return file;
}

}  // namespace tools
