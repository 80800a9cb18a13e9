#include "tools/lsp/lsp_documents.h"

#include <algorithm>
#include <array>
#include <exception>
#include <functional>

#include "compiled/compiled_set.h"
#include "compiled/text.h"
#include "model/description_rows.h"
#include "platform/files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "tools/compile/compile_command.h"

namespace tools::lsp {

namespace {

using json = nlohmann::json;

// The characters of bytes 80 to 9F hex; 0 where the code page has none.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The next character of `text` at `i`, which moves past it; an invalid
// byte is U+FFFD and one byte.
char32_t next_char(std::string_view text, size_t& i) {
  const auto b = static_cast<unsigned char>(text[i]);
  int more = 0;
  char32_t c = 0;
  if (b < 0x80) {
    ++i;
    return b;
  } else if ((b & 0xE0) == 0xC0) {
    more = 1;
    c = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    more = 2;
    c = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    more = 3;
    c = b & 0x07;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + static_cast<size_t>(more) >= text.size()) {
    ++i;
    return 0xFFFD;
  }
  for (int k = 1; k <= more; ++k) {
    const auto n = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
    if ((n & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (n & 0x3F);
  }
  i += static_cast<size_t>(more) + 1;
  return c;
}

char byte_of(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t k = 0; k < kHighControls.size(); ++k) {
    if (kHighControls[k] == c) return static_cast<char>(0x80 + k);
  }
  // The five bytes the code page leaves undefined come back as themselves.
  if (c >= 0x80 && c <= 0x9F && kHighControls[c - 0x80] == 0) return static_cast<char>(c);
  return '?';
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percent_decoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int hi = hex_digit(text[i + 1]);
      const int lo = hex_digit(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

// The file name of a URI: after its last "/", percent-decoded.
std::string file_name_of(std::string_view uri) {
  const size_t slash = uri.rfind('/');
  return percent_decoded(slash == std::string_view::npos ? uri : uri.substr(slash + 1));
}

std::string folder_of_uri(std::string_view uri) {
  const size_t slash = uri.rfind('/');
  return std::string(slash == std::string_view::npos ? std::string_view() : uri.substr(0, slash));
}

// A route that takes any train row: the longest route length.
constexpr char kStandInRoute[] = "[generale]\r\nlunghezza percorso, 1000000\r\n[fine]\r\n";
constexpr char kStandInTrain[] = "[generale]\r\n[fine]\r\n";

// The range of the field at `line` and `column` of `d`.
json field_range(const Document& d, int line, int column) {
  const std::vector<std::string_view> lines = text_lines(d.cp1252);
  int width = 1;
  if (line >= 1 && static_cast<size_t>(line) <= lines.size()) {
    width = field_width(lines[static_cast<size_t>(line) - 1], column);
  }
  return d.range(line, column, width);
}

// The document of a diagnostic's file: the checked pair's route or train.
using DocumentOf = std::function<const Document*(const std::optional<std::string>& file)>;

json diagnostic_json(const Document& d, const Diagnostic& diag, const DocumentOf& document_of) {
  json out{{"range", field_range(d, diag.line, diag.column)},
           {"severity", diag.is_error ? 1 : 2},
           {"source", "scenario_tool"},
           {"message", diag.message}};
  if (diag.is_error && diag.id.empty()) {
    out["code"] = diag.code;
  } else {
    out["code"] = diag.id;
  }
  std::string notes;
  for (const std::string& note : diag.notes) notes += "\n" + note;
  if (!notes.empty()) out["message"] = diag.message + notes;
  // The row the error arose in and the row that took its cell, where the
  // client has them open.
  json related = json::array();
  for (const RelatedPlace& r : diag.related) {
    const Document* at = document_of(r.file);
    if (at == nullptr || r.line <= 0) continue;
    related.push_back(
        json{{"location", json{{"uri", at->uri}, {"range", field_range(*at, r.line, r.column)}}},
             {"message", r.message}});
  }
  if (!related.empty()) out["relatedInformation"] = related;
  return out;
}

// The mark an error puts on a related place of its own (the row it arose
// in, the row that took its cell), pointing back at the error. It has no
// code: it is not an error of its own.
json related_mark(const Document& at, const RelatedPlace& r, const Document& error_document,
                  const Diagnostic& diag) {
  const std::string heading = "error " + std::to_string(diag.code) + ": " + diag.message;
  return json{
      {"range", field_range(at, r.line, r.column)},
      {"severity", 3},
      {"source", "scenario_tool"},
      {"message", r.message + " (" + heading + ")"},
      {"relatedInformation",
       json::array(
           {json{{"location", json{{"uri", error_document.uri},
                                   {"range", field_range(error_document, diag.line, diag.column)}}},
                 {"message", heading}}})}};
}

json whole_file_error(const Document& d, const std::string& message) {
  return json{{"range", d.range(0, 0, 0)},
              {"severity", 1},
              {"source", "scenario_tool"},
              {"message", message}};
}

}  // namespace

std::string cp1252_from_utf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) out.push_back(byte_of(next_char(utf8, i)));
  return out;
}

int utf16_units(std::string_view utf8_line, int chars) {
  int units = 0;
  size_t i = 0;
  for (int k = 0; k < chars && i < utf8_line.size(); ++k) {
    units += next_char(utf8_line, i) > 0xFFFF ? 2 : 1;
  }
  return units;
}

std::optional<int> chars_before(std::string_view utf8_line, int units) {
  int chars = 0;
  int seen = 0;
  size_t i = 0;
  while (seen < units) {
    if (i >= utf8_line.size()) return std::nullopt;
    seen += next_char(utf8_line, i) > 0xFFFF ? 2 : 1;
    ++chars;
  }
  return chars;
}

std::optional<std::string> path_of_uri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (!uri.starts_with(kScheme)) return std::nullopt;
  std::string_view rest = uri.substr(kScheme.size());
  // An authority ("file://host/...") other than empty or localhost is not ours.
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") return std::nullopt;
  return percent_decoded(rest.substr(slash));
}

std::string uri_of_path(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
        std::string_view("/-._~").find(c) != std::string_view::npos) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    }
  }
  return out;
}

std::optional<DescriptionName> description_name(std::string_view file_name) {
  constexpr std::string_view kRoute = "_linea.txt";
  constexpr std::string_view kTrain = "-.txt";
  if (file_name.size() > kRoute.size() && file_name.ends_with(kRoute)) {
    return DescriptionName{DescriptionKind::kRoute,
                           std::string(file_name.substr(0, file_name.size() - kRoute.size()))};
  }
  if (file_name.size() > kTrain.size() && file_name.ends_with(kTrain)) {
    return DescriptionName{DescriptionKind::kTrain,
                           std::string(file_name.substr(0, file_name.size() - kTrain.size()))};
  }
  return std::nullopt;
}

json Document::range(int line, int column, int width) const {
  auto position = [](int l, int c) { return json{{"line", l}, {"character", c}}; };
  const std::vector<std::string_view> lines = text_lines(utf8);
  if (line < 1) return json{{"start", position(0, 0)}, {"end", position(0, 0)}};
  if (static_cast<size_t>(line) > lines.size()) {
    const int last = static_cast<int>(lines.size()) - 1;
    const int end = utf16_units(lines.back(), 1 << 30);
    return json{{"start", position(last, end)}, {"end", position(last, end)}};
  }
  const std::string_view l = lines[static_cast<size_t>(line) - 1];
  const int start_char = std::max(0, column - 1);
  const int start = utf16_units(l, start_char);
  const int end = utf16_units(l, start_char + std::max(0, width));
  return json{{"start", position(line - 1, start)}, {"end", position(line - 1, end)}};
}

std::optional<int> Document::byte_column(int line, int character) const {
  const std::vector<std::string_view> lines = text_lines(utf8);
  if (line < 0 || static_cast<size_t>(line) >= lines.size() || character < 0) return std::nullopt;
  return chars_before(lines[static_cast<size_t>(line)], character);
}

std::string over_limit_text(const Document& d) {
  if (d.over_open_limit) {
    return "the description is " + std::to_string(d.over_limit) +
           " bytes, and with it the open descriptions would hold more than " +
           std::to_string(d.over_open_limit) +
           " bytes together: its text is not kept or checked; close other descriptions, then "
           "edit or reopen this one";
  }
  return "the description is " + std::to_string(d.over_limit) + " bytes, over the limit of " +
         std::to_string(platform::kMaxDescriptionBytes) + " bytes: its text is not kept or checked";
}

bool DescriptionDocuments::set(const std::string& uri, std::string utf8) {
  std::optional<DescriptionName> name = description_name(file_name_of(uri));
  if (!name) return false;
  Document& d = docs_[uri];
  d.uri = uri;
  d.path = path_of_uri(uri);
  d.folder = folder_of_uri(uri);
  d.name = *name;
  open_bytes_ -= d.cp1252.size();
  d.cp1252 = cp1252_from_utf8(utf8);
  d.utf8 = std::move(utf8);
  d.over_limit = 0;
  d.over_open_limit = 0;
  const uint64_t size = d.cp1252.size();
  if (size > platform::kMaxDescriptionBytes || open_bytes_ + size > open_limit_) {
    d.over_limit = size;
    if (size <= platform::kMaxDescriptionBytes) d.over_open_limit = open_limit_;
    // Let go of the memory, not only of the contents.
    std::string().swap(d.utf8);
    std::string().swap(d.cp1252);
  }
  open_bytes_ += d.cp1252.size();
  d.open = true;
  return true;
}

void DescriptionDocuments::close(const std::string& uri) {
  auto it = docs_.find(uri);
  if (it == docs_.end()) return;
  open_bytes_ -= it->second.cp1252.size();
  docs_.erase(it);
}

const Document* DescriptionDocuments::find(const std::string& uri) const {
  auto it = docs_.find(uri);
  return it == docs_.end() ? nullptr : &it->second;
}

std::optional<Document> DescriptionDocuments::disk_document(const std::string& folder_uri,
                                                            const std::string& name,
                                                            const DescriptionName& kind) {
  const std::string uri = folder_uri + "/" + name;
  std::optional<std::string> path = path_of_uri(uri);
  if (!path) return std::nullopt;
  try {
    if (disk_.kind(*path) != platform::FileKind::kRegular) return std::nullopt;
    Document d;
    d.uri = uri_of_path(*path);
    d.path = path;
    d.folder = folder_uri;
    d.name = kind;
    d.cp1252 = platform::read_description_file(disk_, *path);
    d.utf8 = to_utf8(d.cp1252);
    return d;
  } catch (const platform::RuntimeFailure&) {
    return std::nullopt;  // unreadable or too large: checked alone
  }
}

std::optional<Document> DescriptionDocuments::partner(const Document& d) {
  if (d.name.kind == DescriptionKind::kRoute) {
    const std::string prefix = d.name.stem + "_";
    for (const auto& [uri, other] : docs_) {
      if (other.folder == d.folder && other.name.kind == DescriptionKind::kTrain &&
          other.name.stem.starts_with(prefix) && other.name.stem.size() > prefix.size()) {
        return other;
      }
    }
    std::optional<std::string> folder = path_of_uri(d.folder + "/");
    if (!folder) return std::nullopt;
    std::vector<std::string> names;
    try {
      names = disk_.list_folder(*folder);
    } catch (const platform::RuntimeFailure&) {
      return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      std::optional<DescriptionName> n = description_name(name);
      if (n && n->kind == DescriptionKind::kTrain && n->stem.starts_with(prefix) &&
          n->stem.size() > prefix.size()) {
        return disk_document(d.folder, name, *n);
      }
    }
    return std::nullopt;
  }
  // A train "A_B_C-.txt" may belong to line "A" or "A_B".
  for (size_t cut = d.name.stem.find('_'); cut != std::string::npos;
       cut = d.name.stem.find('_', cut + 1)) {
    const std::string line = d.name.stem.substr(0, cut);
    for (const auto& [uri, other] : docs_) {
      if (other.folder == d.folder && other.name.kind == DescriptionKind::kRoute &&
          other.name.stem == line) {
        return other;
      }
    }
    if (std::optional<Document> disk = disk_document(
            d.folder, line + "_linea.txt", DescriptionName{DescriptionKind::kRoute, line})) {
      return disk;
    }
  }
  return std::nullopt;
}

std::optional<std::string> DescriptionDocuments::open_partner(const std::string& uri) {
  const Document* d = find(uri);
  if (d == nullptr) return std::nullopt;
  std::optional<Document> p = partner(*d);
  if (p && p->open) return p->uri;
  return std::nullopt;
}

std::vector<Published> DescriptionDocuments::check(const std::string& uri) {
  const Document* self = find(uri);
  if (self == nullptr) return {};
  std::optional<Document> other = partner(*self);
  const Document* route = self->name.kind == DescriptionKind::kRoute ? self : nullptr;
  const Document* train = self->name.kind == DescriptionKind::kTrain ? self : nullptr;
  if (other) (route ? train : route) = &*other;

  // A text over the limit was not kept: it is told so, and its partner,
  // which cannot be checked with it, shows nothing.
  if ((route && route->over_limit) || (train && train->over_limit)) {
    const Document* at = route && route->over_limit ? route : train;
    std::vector<Published> out;
    if (route) out.push_back({route->uri, json::array()});
    if (train) out.push_back({train->uri, json::array()});
    (at == route ? out.front() : out.back())
        .diagnostics.push_back(whole_file_error(*at, over_limit_text(*at)));
    return out;
  }

  CompileOptions o;
  platform::MemoryFileSystem memory;
  const std::string route_path = "/lsp/route/description.txt";
  const std::string train_path = "/lsp/train/description.txt";
  memory.add_file(route_path, route ? route->cp1252 : std::string(kStandInRoute));
  memory.add_file(train_path, train ? train->cp1252 : std::string(kStandInTrain));
  o.route = route_path;
  o.train = train_path;
  o.files = &memory;
  // A stand-in route has no curves: no track plan is needed for it.
  o.line_file = route != nullptr;
  // The names only name files the check never writes: any valid ones do.
  if (route && is_valid_name(route->name.stem)) o.line_name = route->name.stem;
  if (route && train && train->name.stem.size() > route->name.stem.size() + 1) {
    const std::string code = train->name.stem.substr(route->name.stem.size() + 1);
    if (is_valid_name(code)) o.train_code = code;
  }

  json route_list = json::array();
  json train_list = json::array();
  try {
    const CompileReport report = check_descriptions(o);
    const DocumentOf document_of = [&](const std::optional<std::string>& file) -> const Document* {
      if (file == route_path) return route;
      if (file == train_path) return train;
      return nullptr;
    };
    auto list_of = [&](const Document* d) -> json& { return d == route ? route_list : train_list; };
    for (const Diagnostic& diag : report.diagnostics()) {
      const Document* at = document_of(diag.file);
      if (at == nullptr && diag.file != route_path && diag.file != train_path) {
        // No place (the finishing pass, an identity error): on the route.
        // Checked alone against a train that sets nothing, the route is
        // what caused it.
        at = route ? route : train;
      }
      if (at == nullptr) continue;
      list_of(at).push_back(diagnostic_json(*at, diag, document_of));
      // The related places get marks of their own, so the faulty row shows
      // in the editor even where the reading failed later.
      for (const RelatedPlace& r : diag.related) {
        const Document* related = document_of(r.file);
        if (related != nullptr && r.line > 0) {
          list_of(related).push_back(related_mark(*related, r, *at, diag));
        }
      }
    }
    if (report.stopped() && !report.identity_error && !report.stop.empty() && !report.error) {
      const Document* at = route ? route : train;
      json& list = route ? route_list : train_list;
      list.push_back(whole_file_error(*at, "the check stopped: " + report.stop));
    }
    if (report.warning_count > static_cast<int64_t>(report.warnings.size())) {
      const Document* at = route ? route : train;
      json& list = route ? route_list : train_list;
      json note = whole_file_error(*at, report.unshown_warnings());
      note["severity"] = 3;
      list.push_back(note);
    }
  } catch (const ToolError& e) {
    // A description over the size limit: nothing of it is checked.
    const bool route_too_large = route && route->cp1252.size() > platform::kMaxDescriptionBytes;
    const Document* at = route_too_large || !train ? route : train;
    (at == route ? route_list : train_list).push_back(whole_file_error(*at, e.what()));
  } catch (const std::exception& e) {
    const Document* at = route ? route : train;
    (at == route ? route_list : train_list)
        .push_back(whole_file_error(*at, std::string("the check failed: ") + e.what()));
  }

  std::vector<Published> out;
  if (route) out.push_back({route->uri, std::move(route_list)});
  if (train) out.push_back({train->uri, std::move(train_list)});
  return out;
}

}  // namespace tools::lsp
