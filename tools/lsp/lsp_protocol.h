// The wire of the description language server: JSON-RPC 2.0 messages, each
// framed by a "Content-Length: N" header, a blank line and N bytes of JSON,
// as editors speak it over a program's standard input and output.
//
// Reading never trusts the stream: a header line that is too long or
// malformed, a missing or impossible length, or a body over
// kMaxMessageBytes is reported as what it is, and the reader goes on with
// the next header, so a client that sends garbage gets error replies rather
// than a server that stops.
#ifndef SCENARIO_TOOLS_LSP_LSP_PROTOCOL_H_
#define SCENARIO_TOOLS_LSP_LSP_PROTOCOL_H_

#include <cstddef>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/files.h"

namespace tools::lsp {

// A description may be 16 MiB of Windows-1252 bytes; as UTF-8 in a JSON
// string, each byte takes at most 3 (U+2030 and its kind): room for that
// and the message around it, and no more. A client that escapes every
// letter as "\u00E8" may send a description this refuses before its own
// limit is reached; it is told the message was too large.
inline constexpr size_t kMaxMessageBytes =
    3 * static_cast<size_t>(platform::kMaxDescriptionBytes) + (size_t{1} << 20);
// A header line is kept up to this many bytes: enough for its name, so that
// a longer one that is not Content-Length is passed over like any other.
inline constexpr size_t kMaxHeaderLine = 4096;

// The error codes of JSON-RPC and the protocol.
enum ErrorCode : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,
};

enum class FrameStatus {
  kMessage,     // body holds the message's bytes
  kEnd,         // the stream ended (also within a message)
  kBadFraming,  // the headers made no sense; `problem` says why
  kTooLarge,    // a length over kMaxMessageBytes: the body was skipped
};

struct Frame {
  FrameStatus status = FrameStatus::kEnd;
  std::string body;
  std::string problem;
};

// Reads the next framed message from `in`.
Frame read_frame(std::istream& in);

// Writes `message` framed, as UTF-8 (invalid sequences replaced), and
// flushes.
void write_frame(std::ostream& out, const nlohmann::json& message);

nlohmann::json response(const nlohmann::json& id, nlohmann::json result);
nlohmann::json error_response(const nlohmann::json& id, int code, const std::string& message);
nlohmann::json notification(const std::string& method, nlohmann::json params);

}  // namespace tools::lsp

#endif  // SCENARIO_TOOLS_LSP_LSP_PROTOCOL_H_
