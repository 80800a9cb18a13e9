#include "finish/identity.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "finish/errore.h"
#include "finish/finishing_pass.h"
#include "model/compile_errors.h"
#include "platform/runtime_failure.h"

namespace finish {
namespace {

// A scenario as reading leaves it: the names copied into slots 86 and 85 and
// a track of 141 cells.
model::Scenario scenario(const std::string& train, const std::string& line) {
  model::Scenario s;
  s.train_code = train;
  s.line_name = line;
  s.item_table[model::kSlotTrain].item_name = train;
  s.item_table[model::kSlotLine].item_name = line;
  s.start_track(140);
  return s;
}

struct CodesCase {
  const char* train;
  const char* line;
  int16_t ordinary;
  int32_t weighted;
};

// Expected codes summed by hand from the character codes of the identity
// string shown beside each row.
const CodesCase kCodes[] = {
    // "trn4417brentalvobbddffhhj"
    {"TRN4417", "BRENTALVO", 2435, 32816},
    // "bbddffhhjjllnnpprrttvvxxz"
    {"", "", 2738, 36894},
    // "xybbddffhhjjllnnpprrttvvx"
    {"X", "Y", 2737, 36318},
    // "trenocitt\xE0bbddffhhjjllnnp": the lower-case a grave counts 224
    {"Treno", "CITT\xC0", 2780, 35687},
    // "abcdefghijklmnopqrstuvwxy": the line name lies beyond the cut
    {"ABCDEFGHIJKLMNOPQRSTUVWXY", "Z", 2725, 36725},
};

TEST(IdentityTest, CodesOfKnownNames) {
  for (const CodesCase& c : kCodes) {
    SCOPED_TRACE(std::string(c.train) + "/" + c.line);
    model::Scenario s = scenario(c.train, c.line);
    EXPECT_EQ(codice_gara_og(s), c.ordinary);
    EXPECT_EQ(codice_gara_st(s), c.weighted);
  }
}

TEST(IdentityTest, CodesComeFromTheItemTableNames) {
  model::Scenario s = scenario("TRN4417", "BRENTALVO");
  s.train_code = "OTHER";
  s.line_name = "NAMES";
  EXPECT_EQ(codice_gara_og(s), 2435);
  EXPECT_EQ(codice_gara_st(s), 32816);
}

TEST(IdentityTest, WorkingStringIsLeftInInputToken) {
  model::Scenario s = scenario("TRN4417", "BRENTALVO");
  s.input_token = "stale field";
  codice_gara_og(s);
  EXPECT_EQ(s.input_token, "trn4417brentalvobbddffhhjjllnnpprrttvvxxzz");
  s.input_token.clear();
  codice_gara_st(s);
  EXPECT_EQ(s.input_token, "trn4417brentalvobbddffhhjjllnnpprrttvvxxzz");
}

TEST(IdentityTest, LetterCaseDoesNotChangeTheCodes) {
  const std::pair<const char*, const char*> names[][2] = {
      {{"TRN4417", "BRENTALVO"}, {"trn4417", "brentalvo"}},
      {{"TrN4417", "bRENTALVO"}, {"tRn4417", "Brentalvo"}},
      {{"\xC0\xC8\xD0\xDE\x8A\x8C\x8E\x9F", "\xC9"}, {"\xE0\xE8\xF0\xFE\x9A\x9C\x9E\xFF", "\xE9"}},
  };
  for (const auto& pair : names) {
    model::Scenario upper = scenario(pair[0].first, pair[0].second);
    model::Scenario lower = scenario(pair[1].first, pair[1].second);
    SCOPED_TRACE(lower.train_code + "/" + lower.line_name);
    EXPECT_EQ(codice_gara_og(upper), codice_gara_og(lower));
    EXPECT_EQ(codice_gara_st(upper), codice_gara_st(lower));
  }
  // The multiplication sign has no lower case: it keeps its own code.
  model::Scenario times = scenario("\xD7", "");
  model::Scenario divide = scenario("\xF7", "");
  EXPECT_NE(codice_gara_og(times), codice_gara_og(divide));
}

TEST(IdentityTest, OnlyTheFirst25CharactersCount) {
  // The joined names agree in their first 25 characters and differ after.
  model::Scenario a = scenario("ABCDEFGHIJKL", "MNOPQRSTUVWXYZ");
  model::Scenario b = scenario("ABCDEFGHIJKLM", "NOPQRSTUVWXYQQQQ");
  EXPECT_EQ(codice_gara_og(a), codice_gara_og(b));
  EXPECT_EQ(codice_gara_st(a), codice_gara_st(b));
  // A difference at the 25th character does count.
  model::Scenario c = scenario("ABCDEFGHIJKLM", "NOPQRSTUVWXZ");
  EXPECT_NE(codice_gara_og(a), codice_gara_og(c));
}

TEST(IdentityTest, StampsTheFourValues) {
  model::Scenario s = scenario("TRN4417", "BRENTALVO");
  // Cell 1 holds ordinary content apart from its two reserved values.
  model::TrackCell& first = s.track[1];
  first.value3 = 12;
  first.value4 = 34;
  first.approach_mark = 81;
  first.speed_code = 19;
  first.gradient_code = 100;
  first.adhesion_code = 100;
  const model::TrackCell before = first;

  stamp_identity(s);

  const model::ItemRecord& line = s.item_table[model::kSlotLine];
  EXPECT_EQ(line.item_word1, 610);
  EXPECT_EQ(line.item_time, 32816);
  EXPECT_EQ(first.value1, 5121);
  EXPECT_EQ(first.value2, 2435);
  EXPECT_EQ(first.kind, before.kind);
  EXPECT_EQ(first.value3, before.value3);
  EXPECT_EQ(first.value4, before.value4);
  EXPECT_EQ(first.approach_mark, before.approach_mark);
  EXPECT_EQ(first.speed_code, before.speed_code);
  EXPECT_EQ(first.gradient_code, before.gradient_code);
  EXPECT_EQ(first.adhesion_code, before.adhesion_code);
  EXPECT_EQ(line.item_name, "BRENTALVO");
  // No other item slot or cell takes a stamp.
  EXPECT_EQ(s.item_table[model::kSlotTrain].item_word1, 0);
  EXPECT_EQ(s.item_table[model::kSlotTrain].item_time, 0);
  EXPECT_EQ(s.track[0].value1, 0);
  EXPECT_EQ(s.track[2].value1, 0);
}

struct ErrorCase {
  const char* name;
  int16_t word1;   // slot 85 item_word1 before stamping
  int16_t value1;  // cell 1 value1
  int32_t time;    // slot 85 item_time
  int16_t value2;  // cell 1 value2
  int expected;    // error number
};

// clang-format off
const ErrorCase kErrors[] = {
    {"cell 1 value1",           0,   30, 0, 0,  model::kIdentityValue1Taken},
    {"slot 85 word1",           610, 0,  0, 0,  model::kIdentityValue1Taken},
    {"negative value1",         0,   -1, 0, 0,  model::kIdentityValue1Taken},
    {"cell 1 value2",           0,   0,  0, 40, model::kIdentityValue2Taken},
    {"slot 85 time",            0,   0,  1, 0,  model::kIdentityValue2Taken},
    {"1250 tested before 1251", 0,   30, 0, 40, model::kIdentityValue1Taken},
};
// clang-format on

TEST(IdentityTest, TakenReservedFieldsEndThroughErrore) {
  for (const ErrorCase& c : kErrors) {
    SCOPED_TRACE(c.name);
    model::Scenario s = scenario("TRN4417", "BRENTALVO");
    model::ItemRecord& line = s.item_table[model::kSlotLine];
    line.item_word1 = c.word1;
    line.item_time = c.time;
    s.track[1].value1 = c.value1;
    s.track[1].value2 = c.value2;

    try {
      stamp_identity(s);
      ADD_FAILURE() << "no error";
    } catch (const IdentityError& e) {
      EXPECT_EQ(e.number(), c.expected);
      EXPECT_EQ(e.message(), " Errore n. " + std::to_string(c.expected));
    }

    if (c.expected == model::kIdentityValue1Taken) {
      // Nothing stamped at all.
      EXPECT_EQ(line.item_word1, c.word1);
      EXPECT_EQ(s.track[1].value1, c.value1);
    } else {
      // The markers were stamped before the second check; the codes are not.
      EXPECT_EQ(line.item_word1, 610);
      EXPECT_EQ(s.track[1].value1, 5121);
    }
    EXPECT_EQ(line.item_time, c.time);
    EXPECT_EQ(s.track[1].value2, c.value2);
  }
}

TEST(IdentityTest, MissingTrackIsARuntimeFailureNotAnIdentityError) {
  model::Scenario s = scenario("TRN4417", "BRENTALVO");
  s.track.clear();
  s.track_allocated = false;
  s.item_table[model::kSlotLine].item_word1 = 610;  // would be error 1250
  try {
    stamp_identity(s);
    FAIL() << "no failure";
  } catch (const platform::RuntimeFailure& f) {
    EXPECT_EQ(f.number(), platform::kSubscriptOutOfRange);
  }
}

// A slowdown start at cell 8 whose cells 3 and 2 are taken: the finishing
// pass puts its mark into cell 1, whose value1 is reserved.
TEST(IdentityTest, FinishingMarkInCell1IsError1250) {
  model::Scenario s = scenario("TRN4417", "BRENTALVO");
  s.track[8].kind = model::kSlowdownStart;
  s.track[8].value1 = 120;
  s.track[3].kind = model::kSpeedMark;
  s.track[3].value1 = 60;
  s.track[2].kind = model::kSignal;

  finishing_pass(s);
  ASSERT_EQ(s.track[1].kind, model::kSpeedMark);
  ASSERT_EQ(s.track[1].value1, 180);
  try {
    stamp_identity(s);
    FAIL() << "no error";
  } catch (const IdentityError& e) {
    EXPECT_EQ(e.number(), model::kIdentityValue1Taken);
  }
  EXPECT_EQ(s.item_table[model::kSlotLine].item_word1, 0);
}

}  // namespace
}  // namespace finish
