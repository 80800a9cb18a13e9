// The descriptions a language-server client has open, paired by name and
// checked with the tool's own check, in memory.
//
// A route description "LINE_linea.txt" and a train description
// "LINE_TRAIN-.txt" in the same folder are a pair. The text of each comes
// from the client when it has the file open (unsaved edits included), else
// from the disk, read only. A description without a partner is checked
// against a neutral stand-in (a route of the longest length, or a train
// description that sets nothing), and only its own diagnostics are kept.
// Nothing is ever written: check_descriptions compiles on a file system in
// memory, here fed from memory too.
//
// Clients send Unicode; the descriptions are Windows-1252. Every character
// becomes one byte (one the code page lacks becomes "?"), so the byte
// column of a field is its character column, and positions go back to the
// client as UTF-16 code units of its own text.
#ifndef SCENARIO_TOOLS_LSP_LSP_DOCUMENTS_H_
#define SCENARIO_TOOLS_LSP_LSP_DOCUMENTS_H_

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/files.h"
#include "tools/lsp/lsp_outline.h"

namespace tools::lsp {

// UTF-8 as Windows-1252: one byte per character, "?" for a character the
// code page lacks.
std::string cp1252_from_utf8(std::string_view utf8);

// The UTF-16 code units of the first `chars` characters of a UTF-8 line
// (all of them when it has fewer).
int utf16_units(std::string_view utf8_line, int chars);
// How many characters of a UTF-8 line come before UTF-16 unit `units`;
// nullopt when the line is shorter.
std::optional<int> chars_before(std::string_view utf8_line, int units);

// "file:///a%20b/c.txt" -> "/a b/c.txt"; nullopt for other schemes.
std::optional<std::string> path_of_uri(std::string_view uri);
std::string uri_of_path(std::string_view path);

// What a file name says: a route description's stem is its line name, a
// train description's is "LINE_TRAIN".
struct DescriptionName {
  DescriptionKind kind;
  std::string stem;
};
std::optional<DescriptionName> description_name(std::string_view file_name);

struct Document {
  std::string uri;
  std::optional<std::string> path;  // for file: URIs
  std::string folder;               // the URI up to its last "/"
  DescriptionName name;
  std::string utf8;    // as the client has it (or the disk's bytes shown as UTF-8)
  std::string cp1252;  // what is checked
  bool open = false;
  // A text that is not kept (utf8 and cp1252 are empty): its size in bytes
  // of the code page, else 0. It is over the description limit, or it
  // would take the open descriptions together over theirs: then
  // over_open_limit is that limit, else 0.
  uint64_t over_limit = 0;
  uint64_t over_open_limit = 0;

  // The LSP range of `width` bytes at line and column from 1 (in bytes);
  // a line of 0 is the start of the text.
  nlohmann::json range(int line, int column, int width) const;
  // The byte column (from 0) of a client position; nullopt when the line
  // or the character lies past the text.
  std::optional<int> byte_column(int line, int character) const;
};

// What a document whose text was not kept is told, in words.
std::string over_limit_text(const Document& d);

// How many bytes (of the code page) the open descriptions may hold
// together: eight of the largest. Each is kept twice (as the client sent it
// and as it is checked), so this bounds their memory to about 256 MiB
// however many a client opens.
inline constexpr uint64_t kMaxOpenDescriptionBytes = 8 * platform::kMaxDescriptionBytes;

// The diagnostics to publish for one document.
struct Published {
  std::string uri;
  nlohmann::json diagnostics;  // an array
};

class DescriptionDocuments {
 public:
  explicit DescriptionDocuments(platform::FileSystem& disk,
                                uint64_t open_limit = kMaxOpenDescriptionBytes)
      : disk_(disk), open_limit_(open_limit) {}

  // Opens or replaces a document's text (UTF-8); false for a file that is
  // no description (it is not kept). A text over the description limit, or
  // one that would take the open descriptions together over `open_limit`,
  // is not kept either: the document stays open, empty, marked over_limit,
  // and its check says so. Closing others makes room for its next change.
  bool set(const std::string& uri, std::string utf8);
  void close(const std::string& uri);
  const Document* find(const std::string& uri) const;

  // Checks the pair `uri` belongs to: the diagnostics of both of its
  // descriptions (the partner's only when there is one).
  std::vector<Published> check(const std::string& uri);
  // The open partner of `uri`, if any (to clear or recheck on close).
  std::optional<std::string> open_partner(const std::string& uri);

 private:
  // The partner of `d`: open, else from the disk (not kept open).
  std::optional<Document> partner(const Document& d);
  std::optional<Document> disk_document(const std::string& folder_uri, const std::string& name,
                                        const DescriptionName& kind);

  platform::FileSystem& disk_;
  uint64_t open_limit_;
  uint64_t open_bytes_ = 0;  // the sum of the kept texts' cp1252 sizes
  std::map<std::string, Document> docs_;
};

}  // namespace tools::lsp

#endif  // SCENARIO_TOOLS_LSP_LSP_DOCUMENTS_H_
