#include "tools/lsp/lsp_protocol.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <optional>
#include <ostream>

namespace tools::lsp {

namespace {

// One header line without its line end; nullopt at the end of the stream.
// A line over kMaxHeaderLine is read to its end and returned cut, flagged.
std::optional<std::string> header_line(std::istream& in, bool& too_long) {
  std::string line;
  too_long = false;
  for (;;) {
    const int c = in.get();
    if (c == std::char_traits<char>::eof()) {
      if (line.empty()) return std::nullopt;
      return line;
    }
    if (c == '\n') break;
    if (line.size() < kMaxHeaderLine) {
      line.push_back(static_cast<char>(c));
    } else {
      too_long = true;
    }
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Reads past `length` bytes of a body that is not used, in pieces; false
// when the stream ends first.
bool skip_body(std::istream& in, size_t length) {
  size_t left = length;
  while (left > 0) {
    const std::streamsize piece = static_cast<std::streamsize>(std::min<size_t>(left, 1 << 20));
    in.ignore(piece);
    if (in.gcount() < piece) return false;
    left -= static_cast<size_t>(piece);
  }
  return true;
}

}  // namespace

Frame read_frame(std::istream& in) {
  Frame frame;
  std::optional<size_t> length;
  bool bad = false;
  bool any_header = false;
  for (;;) {
    bool too_long = false;
    std::optional<std::string> line = header_line(in, too_long);
    if (!line) {
      frame.status = FrameStatus::kEnd;
      return frame;
    }
    if (line->empty()) {
      // Blank lines between messages are tolerated.
      if (!any_header) continue;
      break;
    }
    any_header = true;
    const size_t colon = line->find(':');
    if (colon == std::string::npos) {
      bad = true;
      if (frame.problem.empty()) frame.problem = "a header line without \"Name: value\"";
      continue;
    }
    const std::string name = lower(trim(std::string_view(*line).substr(0, colon)));
    const std::string_view value = trim(std::string_view(*line).substr(colon + 1));
    // Content-Type and others are not needed, however long.
    if (name != "content-length") continue;
    if (too_long) {
      bad = true;
      if (frame.problem.empty()) {
        frame.problem =
            "a Content-Length header line over " + std::to_string(kMaxHeaderLine) + " bytes";
      }
      continue;
    }
    size_t n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || value.empty()) {
      bad = true;
      if (frame.problem.empty()) frame.problem = "Content-Length is not a number";
      continue;
    }
    length = n;
  }
  if (bad || !length) {
    // A body whose length is known is passed over, so that the next message
    // is read from its start.
    if (length && !skip_body(in, *length)) {
      frame.status = FrameStatus::kEnd;
      return frame;
    }
    frame.status = FrameStatus::kBadFraming;
    if (frame.problem.empty()) frame.problem = "a message without Content-Length";
    return frame;
  }
  if (*length > kMaxMessageBytes) {
    // Skipped unread, so that the next message can be read.
    if (!skip_body(in, *length)) {
      frame.status = FrameStatus::kEnd;
      return frame;
    }
    frame.status = FrameStatus::kTooLarge;
    frame.problem = "a message of " + std::to_string(*length) + " bytes, over the limit of " +
                    std::to_string(kMaxMessageBytes);
    return frame;
  }
  frame.body.resize(*length);
  in.read(frame.body.data(), static_cast<std::streamsize>(*length));
  if (static_cast<size_t>(in.gcount()) != *length) {
    frame.status = FrameStatus::kEnd;
    frame.body.clear();
    return frame;
  }
  frame.status = FrameStatus::kMessage;
  return frame;
}

void write_frame(std::ostream& out, const nlohmann::json& message) {
  const std::string body = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
  out.flush();
}

nlohmann::json response(const nlohmann::json& id, nlohmann::json result) {
  return nlohmann::json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

nlohmann::json error_response(const nlohmann::json& id, int code, const std::string& message) {
  return nlohmann::json{{"jsonrpc", "2.0"},
                        {"id", id},
                        {"error", nlohmann::json{{"code", code}, {"message", message}}}};
}

nlohmann::json notification(const std::string& method, nlohmann::json params) {
  return nlohmann::json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

}  // namespace tools::lsp
