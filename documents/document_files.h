// Writing the two generated documents beside the compiled files.
//
// A document already in the folder is replaced only when it is one of this
// tool's own: the same bytes as the built-in document of its kind, or the
// bytes recorded when the tool last wrote it. The record is a small text
// file beside them, "<line>_<train>_documenti.impronte", one line per
// document: a 64-bit FNV-1a hash of its bytes in hex, a blank, its file
// name. A document the author has edited by hand is kept as it is and
// named in the result. Every file is replaced through a temporary and a
// rename.
#ifndef SCENARIO_DOCUMENTS_DOCUMENT_FILES_H_
#define SCENARIO_DOCUMENTS_DOCUMENT_FILES_H_

#include <string>
#include <string_view>
#include <vector>

#include "documents/train_documents.h"
#include "platform/file_system.h"

namespace documents {

struct DocumentFile {
  std::string name;           // "BRENTALVO_TRN4417_scheda_treno.txt"
  std::string bytes;          // what to write
  std::string builtin_bytes;  // the built-in document of the same kind
};

struct WriteResult {
  std::vector<std::string> written;  // names written (or already up to date)
  std::vector<std::string> kept;     // names kept because edited by hand
};

// The record's file name for a line and train.
std::string record_name(std::string_view line_name, std::string_view train_code);

// Writes `docs` into `folder`. Throws platform::RuntimeFailure when a write
// fails.
WriteResult write_documents(platform::FileSystem& fs, const std::string& folder,
                            std::string_view line_name, std::string_view train_code,
                            const std::vector<DocumentFile>& docs);

}  // namespace documents

#endif  // SCENARIO_DOCUMENTS_DOCUMENT_FILES_H_
