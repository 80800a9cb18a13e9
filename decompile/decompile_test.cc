#include "decompile/decompile.h"

#include <gtest/gtest.h>

#include <string>

#include "decompile/rows.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"
#include "tools/starter_scenario.h"

namespace decompile {
namespace {

CompiledBytes compiled(const std::string& line, const std::string& train,
                       const std::string& route_text, const std::string& train_text,
                       bool with_line_file, int32_t* error = nullptr) {
  Recompiled r = compile_texts(line, train, route_text, train_text, with_line_file);
  if (error) *error = r.error_code;
  return {line, train, r.line_file, r.station_file, r.track_file};
}

std::string joined(const Decompiled& d) {
  std::string all;
  for (const std::string& s : d.differences) all += s + "\n";
  for (const std::string& s : d.notes) all += "note: " + s + "\n";
  return all;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Decompile, BuiltInSetComesBackByteForByte) {
  const std::string route = sources::line_array_bytes(sources::route_description_text());
  const std::string train = sources::line_array_bytes(sources::train_description_text());
  for (bool with_line_file : {true, false}) {
    SCOPED_TRACE(with_line_file);
    int32_t error = -1;
    const CompiledBytes set =
        compiled("BRENTALVO", "TRN4417", route, train, with_line_file, &error);
    ASSERT_EQ(error, 0);
    const Decompiled d = decompile_set(set);
    EXPECT_TRUE(d.exact) << joined(d);
    EXPECT_TRUE(d.differences.empty()) << joined(d);
    EXPECT_EQ(d.curves, with_line_file);
    EXPECT_EQ(count(d.route_text, "curva") > 0, with_line_file);
    // Plain rows: the finishing pass's marks are not written back.
    EXPECT_EQ(count(d.train_text, "abbattimento"), 0);
    EXPECT_EQ(count(d.train_text, "\nstazione"), 27);
    EXPECT_EQ(count(d.train_text, "\nsegnale"), 41);
    EXPECT_EQ(count(d.train_text, "\nrallentamento"), 5);
    // At most twice the rows of the hand-written texts.
    const int hand_rows = count(route, "\r\n") + count(train, "\r\n");
    EXPECT_LE(d.route_rows + d.train_rows, 2 * hand_rows);
    // Windows-1252 with CR LF: every LF follows a CR.
    EXPECT_EQ(count(d.route_text, "\n"), count(d.route_text, "\r\n"));
    EXPECT_EQ(count(d.train_text, "\n"), count(d.train_text, "\r\n"));
  }
}

TEST(Decompile, StarterComesBackByteForByte) {
  const CompiledBytes set =
      compiled("STARTER", "T100", tools::starter_route_text(), tools::starter_train_text(), true);
  const Decompiled d = decompile_set(set);
  EXPECT_TRUE(d.exact) << joined(d);
}

TEST(Decompile, KilometreNotesHoldNoMinusSign) {
  EXPECT_EQ(km_note(0), "km 0+000");
  EXPECT_EQ(km_note(12500), "km 12+500");
  EXPECT_EQ(km_note(1000050), "km 1000+050");
  EXPECT_EQ(km_note(-50), "");
}

}  // namespace
}  // namespace decompile
