// The identity errors through the whole compile pass: small route and train
// descriptions in a temporary folder, read, finished and stamped by
// app::memorizza_percorso.
#include <gtest/gtest.h>

#include <string>

#include "app/compile_pass.h"
#include "finish/errore.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/scoped_temp_dir.h"

namespace app {
namespace {

// Route length 10000: cells 0 .. 340, nothing on them.
constexpr char kRoute[] = "[generale]\r\nlunghezza percorso, 10000\r\n[fine]\r\n";

std::string train(const std::string& rows) { return "[generale]\r\n" + rows + "[fine]\r\n"; }

class IdentityScenarioTest : public testing::Test {
 protected:
  void SetUp() override {
    s_.app_path = folder_.path().string();
    s_.line_name = "BRENTALVO";
    s_.train_code = "TRN4417";
  }

  // Writes both descriptions and runs the compile pass; returns the number
  // errore ended it with, or 0 when it ran to its end.
  int compile(const std::string& train_text) {
    platform::replace_file(platform::real_file_system(), path(model::route_description_name(s_)),
                           kRoute);
    platform::replace_file(platform::real_file_system(), path(model::train_description_name(s_)),
                           train_text);
    try {
      memorizza_percorso(s_, 1);
    } catch (const finish::IdentityError& e) {
      EXPECT_EQ(e.message(), " Errore n. " + std::to_string(e.number()));
      return e.number();
    }
    return 0;
  }

  std::string path(const std::string& name) const { return platform::join_path(s_.app_path, name); }

  // After an identity error: both descriptions were read and deleted, and no
  // compiled file exists.
  void expect_no_files_left() {
    EXPECT_FALSE(platform::file_exists(platform::real_file_system(),
                                       path(model::route_description_name(s_))));
    EXPECT_FALSE(platform::file_exists(platform::real_file_system(),
                                       path(model::train_description_name(s_))));
    EXPECT_FALSE(
        platform::file_exists(platform::real_file_system(), path(model::line_file_name(s_))));
    EXPECT_FALSE(
        platform::file_exists(platform::real_file_system(), path(model::station_file_name(s_))));
    EXPECT_FALSE(
        platform::file_exists(platform::real_file_system(), path(model::track_file_name(s_))));
  }

  platform::ScopedTempDir folder_{std::string("identity_scenario_test_") +
                                  testing::UnitTest::GetInstance()->current_test_info()->name()};
  model::Scenario s_;
};

// A signal at 0 m lies in cell round(0 / 50 + 1) = 1; its first aspect pair
// gives value1 = 3 x 10 + 0.
TEST_F(IdentityScenarioTest, SignalInCell1IsError1250) {
  EXPECT_EQ(compile(train("segnale, 0, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0\r\n")),
            model::kIdentityValue1Taken);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.cell(1).kind, model::kSignal);
  EXPECT_EQ(s_.cell(1).value1, 30);
  EXPECT_EQ(s_.item_table[model::kSlotLine].item_word1, 0);
  expect_no_files_left();
}

// A signal at 24 m still lies in cell 1 (24 / 50 + 1 = 1.48); its first pair
// gives 0, its second value2 = 4 x 10 + 0, so 1250 passes and 1251 ends.
TEST_F(IdentityScenarioTest, SignalInCell1WithOnlyASecondPairIsError1251) {
  EXPECT_EQ(compile(train("segnale, 24, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0\r\n")),
            model::kIdentityValue2Taken);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.cell(1).value1, 5121);
  EXPECT_EQ(s_.cell(1).value2, 40);
  EXPECT_EQ(s_.item_table[model::kSlotLine].item_word1, 610);
  EXPECT_EQ(s_.item_table[model::kSlotLine].item_time, 0);
  expect_no_files_left();
}

// The slowdown at 350 m starts in cell 8 and ends in cell 10; the marks at
// 100 and 150 m take cells 2 and 3, so the finishing pass marks cell 1.
TEST_F(IdentityScenarioTest, FinishingMarkInCell1IsError1250) {
  EXPECT_EQ(compile(train("abbattimento, 100, 60\r\n"
                          "abbattimento, 150, 60\r\n"
                          "rallentamento, 350, 30, 100, 1, 0, 0\r\n")),
            model::kIdentityValue1Taken);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.cell(8).kind, model::kSlowdownStart);
  EXPECT_EQ(s_.cell(1).kind, model::kSpeedMark);
  EXPECT_EQ(s_.cell(1).value1, 180);
  expect_no_files_left();
}

// The same descriptions with the signal at 25 m, which rounds to cell 2
// (1.5, halves to even): cell 1 is left to the stamps and all three files
// are written.
TEST_F(IdentityScenarioTest, SignalInCell2CompilesAndStamps) {
  EXPECT_EQ(compile(train("segnale, 25, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0\r\n")), 0);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.cell(2).kind, model::kSignal);
  EXPECT_EQ(s_.cell(1).value1, 5121);
  EXPECT_EQ(s_.cell(1).value2, 2435);
  EXPECT_EQ(s_.item_table[model::kSlotLine].item_word1, 610);
  EXPECT_EQ(s_.item_table[model::kSlotLine].item_time, 32816);
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path(model::line_file_name(s_))));
  EXPECT_TRUE(
      platform::file_exists(platform::real_file_system(), path(model::station_file_name(s_))));
  EXPECT_TRUE(
      platform::file_exists(platform::real_file_system(), path(model::track_file_name(s_))));
}

}  // namespace
}  // namespace app
