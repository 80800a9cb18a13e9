// What the language server does with messages that pile up while it is
// busy: when the client has sent more than one before the server reads
// again, a change of a document that a later change in the same run replaces
// is passed over unread, and the document is checked once, at its last text,
// when nothing more is waiting.
//
// The client's changes are whole texts (the server asks for full sync), so
// a change replaced by a later one leaves nothing behind. A change is passed
// over only when every message between it and the one that replaces it is a
// change too: a request (a hover, a list of symbols) sees the text that came
// before it. Passing over is decided on a skim of the JSON that builds
// nothing; a message the skim is not sure of is read in full.
#ifndef SCENARIO_TOOLS_LSP_LSP_BACKLOG_H_
#define SCENARIO_TOOLS_LSP_LSP_BACKLOG_H_

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/lsp/lsp_protocol.h"

namespace tools::lsp {

// The bytes of messages read ahead at most (and one message more): a client
// that sends faster than the server works is read as it goes, not stored.
inline constexpr size_t kMaxBacklogBytes = size_t{64} << 20;

// The next message and those that follow it already sent, up to
// kMaxBacklogBytes. Never empty; an end of the stream is the last.
std::vector<Frame> read_backlog(std::istream& in);

// True when the client has sent bytes the server has not read yet (as far
// as the stream can tell: a stream that cannot tell says no).
bool more_waiting(std::istream& in);

// The document whose whole text a message replaces, when the message is a
// JSON-RPC 2.0 "textDocument/didChange" notification whose last change has
// a "text"; nullopt for anything else or anything the skim is unsure of.
std::optional<std::string> replaced_document(std::string_view body);

// For each frame: whether a later change in the same run of changes
// replaces it.
std::vector<bool> replaced_later(const std::vector<Frame>& frames);

}  // namespace tools::lsp

#endif  // SCENARIO_TOOLS_LSP_LSP_BACKLOG_H_
