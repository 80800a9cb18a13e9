#include "tools/lsp/lsp_server.h"

#include <algorithm>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "compiled/text.h"
#include "model/cell_values.h"
#include "model/description_rows.h"
#include "model/item_views.h"
#include "model/track_geometry.h"
#include "platform/rounding.h"
#include "platform/runtime_failure.h"
#include "tools/lsp/lsp_backlog.h"
#include "tools/lsp/lsp_documents.h"
#include "tools/lsp/lsp_outline.h"
#include "tools/lsp/lsp_protocol.h"

namespace tools {

namespace {

using json = nlohmann::json;
using lsp::DescriptionKind;
using lsp::Document;
using lsp::FieldSpan;
using lsp::OutlineRow;

// A request's parameters that are not what the method takes.
struct BadParams {
  std::string message;
};

const json& member(const json& object, const char* name) {
  static const json kNull;
  if (!object.is_object()) return kNull;
  auto it = object.find(name);
  return it == object.end() ? kNull : *it;
}

std::string string_param(const json& object, const char* name) {
  const json& v = member(object, name);
  if (!v.is_string()) throw BadParams{std::string("\"") + name + "\" must be a string"};
  return v.get<std::string>();
}

// The same, moved out of the message: a description's text is not copied.
std::string take_string_param(json& object, const char* name) {
  auto it = object.is_object() ? object.find(name) : object.end();
  if (it == object.end() || !it->is_string()) {
    throw BadParams{std::string("\"") + name + "\" must be a string"};
  }
  return std::move(it->get_ref<std::string&>());
}

int position_param(const json& position, const char* name) {
  const json& v = member(position, name);
  if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > (1 << 30)) {
    throw BadParams{std::string("position \"") + name + "\" must be a whole number from 0"};
  }
  return static_cast<int>(v.get<int64_t>());
}

std::string with_unit(int64_t value, std::string_view unit) {
  std::string text = std::to_string(value);
  if (!unit.empty()) {
    text += ' ';  // appended apart: " " + a temporary draws a false -Wrestrict (GCC 12, -O3)
    text += to_utf8(unit);
  }
  return text;
}

// What the field `i` of `row` stores, in words.
std::string stored_text(const OutlineRow& row, size_t i) {
  const model::FieldLayout& f = row.layout->fields[i];
  const FieldSpan& span = row.fields[i];
  const std::string name = std::string(f.name);
  if (f.kind == model::FieldKind::kText) return name + ": \"" + to_utf8(span.text) + "\"";
  if (!span.number) return name + ": not a whole number (error 25)";
  const int64_t v = *span.number;
  using K = model::FieldKind;
  auto low_bits = [&](int64_t stored, const char* bits) {
    if (stored == v) return name + ": " + with_unit(v, f.unit);
    return name + ": " + with_unit(v, f.unit) + " is stored as " + with_unit(stored, f.unit) +
           " (only its low " + bits + " bits are kept)";
  };
  auto must_fit = [&](int64_t low, int64_t high, const char* what) {
    if (v >= low && v <= high) return name + ": " + with_unit(v, f.unit);
    return name + ": " + with_unit(v, f.unit) + " does not fit " + what + " (" +
           std::to_string(low) + " to " + std::to_string(high) + "): error 25";
  };
  switch (f.kind) {
    case K::kPosition:
      return km_text(v) + ", cell " + std::to_string(model::row_cell(v));
    case K::kCellPosition:
      return km_text(v) + ", cell " + std::to_string(model::item_cell(v));
    case K::kMetres:
      return name + ": " + with_unit(v, f.unit);
    case K::kSpeed:
      try {
        const uint8_t code = model::speed_code_of(static_cast<int32_t>(v));
        return name + ": " + with_unit(v, f.unit) + ", stored as code " + std::to_string(code) +
               " (" + std::to_string(model::speed_limit_of(code)) + " km/h)";
      } catch (const platform::RuntimeFailure&) {
        return name + ": " + with_unit(v, f.unit) + " does not fit its byte (error 25)";
      }
    case K::kGradient: {
      const uint8_t code = model::gradient_code_of(v);
      return low_bits(model::gradient_of(code), "8") + ", code " + std::to_string(code);
    }
    case K::kLowByte:
      return low_bits(platform::low8(v), "8");
    case K::kLowShort:
      return low_bits(platform::low16(v), "16");
    case K::kByte:
    case K::kSeconds:
      return must_fit(0, 255, "a byte");
    case K::kShort:
      return must_fit(-32768, 32767, "16 bits");
    case K::kHours:
    case K::kMinutes:
    case K::kClockSeconds: {
      // The three fields of the time of day, wherever the cursor is.
      const size_t first = i - (f.kind == K::kHours ? 0 : f.kind == K::kMinutes ? 1 : 2);
      if (first + 2 < row.fields.size() && row.fields[first].number &&
          row.fields[first + 1].number && row.fields[first + 2].number) {
        const int64_t seconds =
            model::seconds_since_midnight(*row.fields[first].number, *row.fields[first + 1].number,
                                          *row.fields[first + 2].number);
        return name + ": " + with_unit(v, f.unit) + "; the time " + model::clock_text(seconds) +
               " is stored as " + std::to_string(seconds) + " s after midnight";
      }
      return name + ": " + with_unit(v, f.unit);
    }
    case K::kNumber:
    case K::kText:
      break;
  }
  return name + ": " + with_unit(v, f.unit);
}

std::string field_list(const model::RowLayout& row) {
  std::string list;
  for (const model::FieldLayout& f : row.fields) {
    if (!list.empty()) list += ", ";
    list += std::string(f.name);
  }
  return list;
}

bool covers(const FieldSpan& span, int line, int byte_column) {
  return span.line == line && byte_column >= span.column - 1 &&
         byte_column <= span.column - 1 + span.width;
}

std::string hover_text(const OutlineRow& row, std::optional<size_t> field) {
  const model::RowLayout& layout = *row.layout;
  std::string text = "**" + std::string(layout.keyword) + "**: " + std::string(layout.what) + " (" +
                     std::string(model::section_name(layout.section)) + ")";
  if (!field) return text + "\n\n`" + std::string(layout.keyword) + ", " + field_list(layout) + "`";
  const model::FieldLayout& f = layout.fields[*field];
  text += "\n\nfield " + std::to_string(*field + 1) + " of " +
          std::to_string(layout.fields.size()) + ": **" + std::string(f.name) + "**";
  if (!f.unit.empty()) text += " (" + to_utf8(f.unit) + ")";
  text += "\n\n" + stored_text(row, *field) + "\n\n" + std::string(f.stored);
  if (!f.meaning.empty()) text += "\n\n" + std::string(f.meaning);
  return text;
}

DescriptionKind kind_of(const Document& d) { return d.name.kind; }

class Server {
 public:
  Server(std::ostream& out, platform::FileSystem& disk) : out_(out), docs_(disk) {}

  // False once "exit" was received. The frame's bytes are let go once read.
  bool handle_frame(lsp::Frame frame) {
    if (frame.status == lsp::FrameStatus::kBadFraming ||
        frame.status == lsp::FrameStatus::kTooLarge) {
      send(lsp::error_response(nullptr, lsp::kInvalidRequest, frame.problem));
      return true;
    }
    json message;
    try {
      message = json::parse(frame.body);
    } catch (const json::exception& e) {
      send(lsp::error_response(nullptr, lsp::kParseError, std::string("not JSON: ") + e.what()));
      return true;
    }
    frame.body = std::string();
    return handle(message);
  }

  int status() const { return shutdown_ ? 0 : 1; }

  // Checks every document changed since its last check, each pair once.
  void check_pending() {
    while (!pending_.empty()) {
      const std::string uri = pending_.front();
      pending_.erase(pending_.begin());
      if (docs_.find(uri) == nullptr) continue;
      const std::vector<lsp::Published> checked = docs_.check(uri);
      for (const lsp::Published& p : checked) std::erase(pending_, p.uri);
      publish(checked);
    }
  }

 private:
  bool handle(json& message) {
    if (!message.is_object()) {
      send(lsp::error_response(nullptr, lsp::kInvalidRequest, "a message must be a JSON object"));
      return true;
    }
    const json& id = member(message, "id");
    const bool has_id = message.contains("id");
    const json& method = member(message, "method");
    if (!method.is_string()) {
      // A response to a request of ours (none is sent) is passed over.
      if (has_id && (message.contains("result") || message.contains("error"))) return true;
      send(lsp::error_response(valid_id(id) ? id : json(nullptr), lsp::kInvalidRequest,
                               "a request needs a \"method\" string"));
      return true;
    }
    if (member(message, "jsonrpc") != "2.0" || (has_id && !valid_id(id))) {
      if (has_id) {
        send(lsp::error_response(valid_id(id) ? id : json(nullptr), lsp::kInvalidRequest,
                                 "not a JSON-RPC 2.0 request"));
      }
      return true;
    }
    const std::string name = method.get<std::string>();
    if (!has_id) {
      auto params = message.find("params");
      json none;
      return notify(name, params == message.end() ? none : *params);
    }
    const json& params = member(message, "params");
    try {
      request(id, name, params);
    } catch (const BadParams& bad) {
      send(lsp::error_response(id, lsp::kInvalidParams, bad.message));
    } catch (const std::exception& e) {
      send(lsp::error_response(id, lsp::kInternalError, e.what()));
    }
    return true;
  }

  static bool valid_id(const json& id) { return id.is_string() || id.is_number_integer(); }

  // Notifications get no reply, whatever they hold.
  bool notify(const std::string& name, json& params) {
    if (name == "exit") return false;
    if (!initialized_ || shutdown_) return true;
    try {
      if (name == "textDocument/didOpen") {
        if (!params.is_object() || !params.contains("textDocument")) return true;
        json& doc = params["textDocument"];
        const std::string uri = string_param(doc, "uri");
        opened(uri, take_string_param(doc, "text"));
      } else if (name == "textDocument/didChange") {
        const std::string uri = string_param(member(params, "textDocument"), "uri");
        json* changes = params.is_object() && params.contains("contentChanges")
                            ? &params["contentChanges"]
                            : nullptr;
        // Full sync: the last change holds the whole text.
        if (changes != nullptr && changes->is_array() && !changes->empty()) {
          opened(uri, take_string_param(changes->back(), "text"));
        }
      } else if (name == "textDocument/didClose") {
        closed(string_param(member(params, "textDocument"), "uri"));
      }
    } catch (const BadParams&) {
      // Nothing to reply to.
    } catch (const std::exception&) {
    }
    return true;
  }

  // The check waits until no message is waiting (see check_pending).
  void opened(const std::string& uri, std::string text) {
    if (!docs_.set(uri, std::move(text))) return;
    mark_pending(uri);
  }

  void mark_pending(const std::string& uri) {
    if (std::find(pending_.begin(), pending_.end(), uri) == pending_.end()) {
      pending_.push_back(uri);
    }
  }

  void closed(const std::string& uri) {
    if (docs_.find(uri) == nullptr) return;
    std::optional<std::string> partner = docs_.open_partner(uri);
    docs_.close(uri);
    std::erase(pending_, uri);
    send(lsp::notification("textDocument/publishDiagnostics",
                           json{{"uri", uri}, {"diagnostics", json::array()}}));
    if (partner) mark_pending(*partner);
  }

  void publish(const std::vector<lsp::Published>& all) {
    for (const lsp::Published& p : all) {
      send(lsp::notification("textDocument/publishDiagnostics",
                             json{{"uri", p.uri}, {"diagnostics", p.diagnostics}}));
    }
  }

  void request(const json& id, const std::string& name, const json& params) {
    if (name == "initialize") {
      initialized_ = true;
      snippets_ =
          member(
              member(member(member(member(params, "capabilities"), "textDocument"), "completion"),
                     "completionItem"),
              "snippetSupport") == true;
      send(lsp::response(
          id,
          json{{"capabilities", json{{"textDocumentSync", json{{"openClose", true}, {"change", 1}}},
                                     {"hoverProvider", true},
                                     {"completionProvider", json{{"resolveProvider", false}}},
                                     {"documentSymbolProvider", true}}},
               {"serverInfo", json{{"name", "scenario_tool lsp"}}}}));
      return;
    }
    if (!initialized_) {
      send(lsp::error_response(id, lsp::kServerNotInitialized, "initialize first"));
      return;
    }
    if (shutdown_) {
      send(lsp::error_response(id, lsp::kInvalidRequest, "the server is shutting down"));
      return;
    }
    if (name == "shutdown") {
      // The last texts' diagnostics before the client stops listening.
      check_pending();
      shutdown_ = true;
      send(lsp::response(id, nullptr));
    } else if (name == "textDocument/hover") {
      send(lsp::response(id, hover(params)));
    } else if (name == "textDocument/completion") {
      send(lsp::response(id, completion(params)));
    } else if (name == "textDocument/documentSymbol") {
      send(lsp::response(id, symbols(params)));
    } else {
      send(lsp::error_response(id, lsp::kMethodNotFound, "no method \"" + name + "\""));
    }
  }

  const Document& document(const json& params) {
    const std::string uri = string_param(member(params, "textDocument"), "uri");
    const Document* d = docs_.find(uri);
    if (d == nullptr) throw BadParams{"not an open description: " + uri};
    if (d->over_limit) throw BadParams{lsp::over_limit_text(*d)};
    return *d;
  }

  // The line (from 0) and the byte column (from 0) of the request's position.
  std::pair<int, int> position(const Document& d, const json& params) {
    const json& p = member(params, "position");
    const int line = position_param(p, "line");
    const int character = position_param(p, "character");
    std::optional<int> column = d.byte_column(line, character);
    if (!column) throw BadParams{"the position lies outside the document"};
    return {line, *column};
  }

  json hover(const json& params) {
    const Document& d = document(params);
    const auto [line, column] = position(d, params);
    const lsp::Outline outline = lsp::outline_of(d.cp1252, kind_of(d));
    for (const OutlineRow& row : outline.rows) {
      std::optional<size_t> field;
      const FieldSpan* span = nullptr;
      if (covers(row.keyword, line + 1, column)) {
        span = &row.keyword;
      } else {
        for (size_t i = 0; i < row.fields.size(); ++i) {
          if (covers(row.fields[i], line + 1, column)) {
            field = i;
            span = &row.fields[i];
            break;
          }
        }
      }
      if (span == nullptr) continue;
      return json{{"contents", json{{"kind", "markdown"}, {"value", hover_text(row, field)}}},
                  {"range", d.range(span->line, span->column, span->width)}};
    }
    return nullptr;
  }

  json completion(const json& params) {
    const Document& d = document(params);
    const int line = position(d, params).first;
    json items = json::array();
    const std::optional<model::RowSection> section = lsp::section_at(d.cp1252, kind_of(d), line);
    if (!section) {
      items.push_back(
          json{{"label", "[generale]"}, {"kind", 14}, {"detail", "the heading the rows follow"}});
      return items;
    }
    for (const model::RowLayout* row : model::rows_of(*section)) {
      std::string snippet = std::string(row->keyword);
      int n = 1;
      for (const model::FieldLayout& f : row->fields) {
        snippet += ", ${" + std::to_string(n++) + ":" + std::string(f.name) + "}";
      }
      json item{{"label", std::string(row->keyword)},
                {"kind", 14},
                {"detail", std::string(row->what) + ": " + field_list(*row)},
                {"documentation", std::string(model::section_name(row->section))}};
      if (snippets_) {
        item["insertText"] = snippet;
        item["insertTextFormat"] = 2;
      } else {
        item["insertText"] = std::string(row->keyword) + ", ";
        item["insertTextFormat"] = 1;
      }
      items.push_back(std::move(item));
    }
    return items;
  }

  json symbols(const json& params) {
    const Document& d = document(params);
    const lsp::Outline outline = lsp::outline_of(d.cp1252, kind_of(d));
    json result = json::array();
    json* section = nullptr;
    size_t heading = 0;
    auto end_of = [&](const FieldSpan& s) { return d.range(s.line, s.column, s.width)["end"]; };
    auto start_of = [&](const FieldSpan& s) { return d.range(s.line, s.column, 0)["start"]; };
    auto open_heading = [&](const FieldSpan& h) {
      result.push_back(json{{"name", to_utf8(h.text)},
                            {"kind", 3},
                            {"range", d.range(h.line, h.column, h.width)},
                            {"selectionRange", d.range(h.line, h.column, h.width)},
                            {"children", json::array()}});
      section = &result.back();
    };
    for (const OutlineRow& row : outline.rows) {
      while (heading < outline.headings.size() &&
             outline.headings[heading].field.line <= row.keyword.line) {
        open_heading(outline.headings[heading++].field);
      }
      std::string name = std::string(row.layout->keyword);
      int kind = 8;  // a field
      const bool station = row.layout->keyword == "stazione";
      const bool sign = row.layout->keyword == "cartello_indicatore";
      if ((station || sign) && row.fields.size() == row.layout->fields.size()) {
        name = to_utf8(row.fields.back().text);
        kind = station ? 19 : 15;  // an object, a string
      } else if (!row.fields.empty() && row.fields.front().number) {
        name += ' ';
        name += std::to_string(*row.fields.front().number);
      }
      const FieldSpan& last = row.fields.empty() ? row.keyword : row.fields.back();
      json symbol{
          {"name", name.empty() ? std::string(row.layout->keyword) : name},
          {"detail", std::string(row.layout->what)},
          {"kind", kind},
          {"range", json{{"start", start_of(row.keyword)}, {"end", end_of(last)}}},
          {"selectionRange", d.range(row.keyword.line, row.keyword.column, row.keyword.width)}};
      if (section != nullptr) {
        json& children = (*section)["children"];
        children.push_back(std::move(symbol));
        (*section)["range"]["end"] = end_of(last);
      } else {
        result.push_back(std::move(symbol));
      }
    }
    while (heading < outline.headings.size()) open_heading(outline.headings[heading++].field);
    return result;
  }

  void send(const json& message) { lsp::write_frame(out_, message); }

  std::ostream& out_;
  lsp::DescriptionDocuments docs_;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool snippets_ = false;
  std::vector<std::string> pending_;  // changed, not checked yet, in order
};

}  // namespace

int run_lsp(std::istream& in, std::ostream& out, platform::FileSystem& disk) {
  Server server(out, disk);
  for (;;) {
    std::vector<lsp::Frame> backlog = lsp::read_backlog(in);
    const std::vector<bool> replaced = lsp::replaced_later(backlog);
    for (size_t i = 0; i < backlog.size(); ++i) {
      if (replaced[i]) continue;
      if (backlog[i].status == lsp::FrameStatus::kEnd) {
        server.check_pending();
        return server.status();
      }
      if (!server.handle_frame(std::move(backlog[i]))) return server.status();
    }
    if (!lsp::more_waiting(in)) server.check_pending();
  }
}

}  // namespace tools
