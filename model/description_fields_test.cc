// The "did you mean" of an unknown row keyword: the nearest keyword within
// two edits, found the same way by the readers and the command line.
#include "model/description_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

namespace model {
namespace {

TEST(NearestKeywordTest, WithinTwoEditsTheNearestFirst) {
  // Keywords of different lengths, two of them one edit apart.
  constexpr std::array<std::string_view, 5> kKeywords = {"pendenza", "curva", "curvad4",
                                                         "cartello_indicatore", "stazione"};
  const struct {
    std::string_view field, nearest;
  } cases[] = {
      {"pendenza", "pendenza"},      // the keyword itself
      {"pendenxa", "pendenza"},      // one letter replaced
      {"pendeza", "pendenza"},       // one left out
      {"penddenza", "pendenza"},     // one too many
      {"pnedenza", "pendenza"},      // two letters swapped: two edits
      {"pxndexza", "pendenza"},      // two replaced
      {"pxnxexza", ""},              // three replaced: too far
      {"pend", ""},                  // four left out
      {"pendenzaxyz", ""},           // three too many
      {"pendenzaxy", "pendenza"},    // two too many
      {"  PendenZA\t", "pendenza"},  // case and blanks around it do not count
      {"curva4", "curva"},           // as near to both: the first listed
      {"curvad", "curva"},           // one from each: the first listed
      {"curvade4", "curvad4"},       // one from curvad4, three from curva
      {"cartelo_indicatore", "cartello_indicatore"},
      {"stazone", "stazione"},
      {"", ""},
      {"x", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(nearest_keyword(c.field, kKeywords), c.nearest) << "\"" << c.field << "\"";
  }
  EXPECT_EQ(nearest_keyword("pendenza", {}), "");
}

}  // namespace
}  // namespace model
