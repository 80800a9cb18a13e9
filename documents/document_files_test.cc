// Writing the documents: an earlier document of the tool's own is replaced,
// one edited by hand is kept.
#include "documents/document_files.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/memory_file_system.h"

namespace documents {
namespace {

TEST(DocumentFiles, ReplacesItsOwnDocumentsAndKeepsHandEditedOnes) {
  platform::MemoryFileSystem fs;
  fs.create_folders("/out");
  const std::string card = "/out/L_T_scheda_treno.txt";
  const std::string form = "/out/L_T_rallentamenti.txt";
  auto docs = [](const std::string& card_bytes, const std::string& form_bytes) {
    return std::vector<DocumentFile>{{"L_T_scheda_treno.txt", card_bytes, "builtin card\r\n"},
                                     {"L_T_rallentamenti.txt", form_bytes, "builtin form\r\n"}};
  };
  // The built-in documents, as the compiler leaves them, are replaced.
  platform::replace_file(fs, card, "builtin card\r\n");
  WriteResult r = write_documents(fs, "/out", "L", "T", docs("card 1\r\n", "form 1\r\n"));
  EXPECT_EQ(r.written.size(), 2u);
  EXPECT_TRUE(r.kept.empty());
  EXPECT_EQ(fs.read_file(card, 100), "card 1\r\n");
  EXPECT_EQ(fs.read_file(form, 100), "form 1\r\n");
  EXPECT_EQ(fs.kind("/out/" + record_name("L", "T")), platform::FileKind::kRegular);

  // An earlier output is replaced by the new one; an edited one is kept,
  // and kept again on the next compile.
  platform::replace_file(fs, form, "form 1 edited\r\n");
  for (int run = 0; run < 2; ++run) {
    r = write_documents(fs, "/out", "L", "T", docs("card 2\r\n", "form 2\r\n"));
    EXPECT_EQ(r.written, std::vector<std::string>{"L_T_scheda_treno.txt"});
    EXPECT_EQ(r.kept, std::vector<std::string>{"L_T_rallentamenti.txt"});
    EXPECT_EQ(fs.read_file(card, 100), "card 2\r\n");
    EXPECT_EQ(fs.read_file(form, 100), "form 1 edited\r\n");
  }

  // Without the record, the tool's last output is no longer recognised.
  fs.delete_file("/out/" + record_name("L", "T"));
  r = write_documents(fs, "/out", "L", "T", docs("card 3\r\n", "form 3\r\n"));
  EXPECT_EQ(r.kept.size(), 2u);
  EXPECT_EQ(fs.read_file(card, 100), "card 2\r\n");
}

}  // namespace
}  // namespace documents
