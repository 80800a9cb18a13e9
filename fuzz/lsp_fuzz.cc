// The description language server fed arbitrary bytes as its input stream:
// framing, JSON-RPC, documents and their checks, hover, completion and
// symbols. Partner descriptions come from an in-memory file system, so
// nothing touches the disk.
//
// Checked: the server ends (with status 0 or 1) without a crash, and every
// message it writes is framed, valid JSON-RPC 2.0.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "platform/memory_file_system.h"
#include "tools/lsp/lsp_protocol.h"
#include "tools/lsp/lsp_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::MemoryFileSystem disk;
  disk.add_file("/w/A_linea.txt", "[generale]\r\nlunghezza percorso, 5000\r\n[fine]\r\n");
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out;
  const int status = tools::run_lsp(in, out, disk);
  if (status != 0 && status != 1) std::abort();
  std::istringstream back(out.str());
  for (;;) {
    const tools::lsp::Frame frame = tools::lsp::read_frame(back);
    if (frame.status == tools::lsp::FrameStatus::kEnd) break;
    if (frame.status != tools::lsp::FrameStatus::kMessage) std::abort();
    const nlohmann::json message = nlohmann::json::parse(frame.body, nullptr, false);
    if (message.is_discarded() || !message.is_object() || message.value("jsonrpc", "") != "2.0") {
      std::abort();
    }
  }
  return 0;
}
