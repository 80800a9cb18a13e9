#include "documents/document_files.h"

#include <cstdint>
#include <map>
#include <sstream>

#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace documents {
namespace {

// No document of ours is larger.
constexpr uint64_t kMaxDocumentSize = 4 << 20;

std::string hash_text(std::string_view bytes) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ULL;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<size_t>(i)] = kHex[h & 15];
  return out;
}

// The record's hashes by file name; empty when there is none or it cannot
// be read.
std::map<std::string, std::string> read_record(platform::FileSystem& fs, const std::string& path) {
  std::map<std::string, std::string> record;
  if (fs.kind(path) != platform::FileKind::kRegular) return record;
  std::string text;
  try {
    text = fs.read_file(path, kMaxDocumentSize);
  } catch (const platform::RuntimeFailure&) {
    return record;
  }
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    record[line.substr(blank + 1)] = line.substr(0, blank);
  }
  return record;
}

}  // namespace

std::string record_name(std::string_view line_name, std::string_view train_code) {
  return std::string(line_name) + "_" + std::string(train_code) + "_documenti.impronte";
}

WriteResult write_documents(platform::FileSystem& fs, const std::string& folder,
                            std::string_view line_name, std::string_view train_code,
                            const std::vector<DocumentFile>& docs) {
  const std::string record_path = platform::join_path(folder, record_name(line_name, train_code));
  std::map<std::string, std::string> record = read_record(fs, record_path);
  WriteResult result;
  for (const DocumentFile& doc : docs) {
    const std::string path = platform::join_path(folder, doc.name);
    const platform::FileKind kind = fs.kind(path);
    bool ours = kind == platform::FileKind::kMissing;
    if (kind == platform::FileKind::kRegular) {
      try {
        const std::string old = fs.read_file(path, kMaxDocumentSize);
        const auto recorded = record.find(doc.name);
        ours = old == doc.bytes || old == doc.builtin_bytes ||
               (recorded != record.end() && recorded->second == hash_text(old));
      } catch (const platform::RuntimeFailure&) {
        ours = false;  // too large or unreadable: not one of ours
      }
    }
    if (!ours) {
      result.kept.push_back(doc.name);
      continue;
    }
    platform::replace_file(fs, path, doc.bytes);
    record[doc.name] = hash_text(doc.bytes);
    result.written.push_back(doc.name);
  }
  if (!result.written.empty()) {
    std::string text;
    for (const auto& [name, hash] : record) text += hash + " " + name + "\r\n";
    platform::replace_file(fs, record_path, text);
  }
  return result;
}

}  // namespace documents
