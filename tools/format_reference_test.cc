// The format reference for authors (docs/) names everything the readers
// accept and everything they report: every row keyword of each section, every
// error number of the table of errors and every warning id.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <string_view>

#include "model/compile_errors.h"
#include "model/description_keywords.h"
#include "model/reading_record.h"

namespace {

namespace fs = std::filesystem;

// All the Markdown files of the reference, one after the other.
std::string reference() {
  std::string all;
  for (const auto& entry : fs::directory_iterator(SCENARIO_DOCS_DIR)) {
    if (entry.path().extension() != ".md") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    all += text.str();
  }
  return all;
}

TEST(FormatReferenceTest, NamesEveryKeywordErrorAndWarning) {
  const std::string docs = reference();
  ASSERT_FALSE(docs.empty()) << SCENARIO_DOCS_DIR;
  for (auto keywords : {std::span<const std::string_view>(model::kRouteGeneralKeywords),
                        std::span<const std::string_view>(model::kRouteBodyKeywords),
                        std::span<const std::string_view>(model::kTrainKeywords)}) {
    for (std::string_view keyword : keywords) {
      EXPECT_NE(docs.find("`" + std::string(keyword) + "`"), std::string::npos) << keyword;
    }
  }
  for (const model::ErrorInfo& e : model::error_table()) {
    EXPECT_NE(docs.find("### error " + std::to_string(e.code) + ":"), std::string::npos)
        << "error " << e.code << ": " << e.text;
  }
  for (int id = 0; id <= static_cast<int>(model::WarningId::kStopOverTrainItem); ++id) {
    const std::string name = model::warning_name(static_cast<model::WarningId>(id));
    // A train that reads as nothing is an error of the tool's own.
    const char* kind = id == static_cast<int>(model::WarningId::kNoTrain) ? "error " : "warning ";
    EXPECT_NE(docs.find("### " + std::string(kind) + name + "\n"), std::string::npos) << name;
  }
}

}  // namespace
