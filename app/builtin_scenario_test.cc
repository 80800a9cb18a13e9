// The built-in scenario compiled end to end through the library, where the
// model (and its error code, which the program never shows) can be seen.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/form_load.h"
#include "model/compiled_files.h"
#include "platform/files.h"
#include "platform/scoped_temp_dir.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class BuiltinScenarioTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<platform::ScopedTempDir>("builtin_scenario_test");
    s_ = std::make_unique<model::Scenario>();
    s_->app_path = dir_->path().string();
    Form_Load(*s_);
  }
  static void TearDownTestSuite() {
    s_.reset();
    dir_.reset();
  }
  static int count_kind(uint8_t kind) {
    int n = 0;
    for (const model::TrackCell& c : s_->track) n += c.kind == kind;
    return n;
  }

  // Compiled once for the whole suite.
  static inline std::unique_ptr<platform::ScopedTempDir> dir_;
  static inline std::unique_ptr<model::Scenario> s_;
};

TEST_F(BuiltinScenarioTest, CompilesWithoutError) {
  EXPECT_EQ(s_->error_code, 0) << "at " << s_->error_position << " m";
  EXPECT_EQ(s_->total_length, 107000);
  EXPECT_EQ(s_->cell_count, 2140);
}

TEST_F(BuiltinScenarioTest, CarriesTheIdentityStamps) {
  // "trn4417brentalvo" and the first nine letters of the padding.
  EXPECT_EQ(s_->cell(1).value1, 5121);
  EXPECT_EQ(s_->cell(1).value2, 2435);
  EXPECT_EQ(s_->item_table[85].item_word1, 610);
  EXPECT_EQ(s_->item_table[85].item_time, 32816);
  EXPECT_EQ(s_->item_table[85].item_name, "BRENTALVO");
  EXPECT_EQ(s_->item_table[86].item_name, "TRN4417");
}

TEST_F(BuiltinScenarioTest, HoldsEveryStationSignalSlowdownAndSign) {
  for (int slot = 1; slot <= 27; ++slot) {
    EXPECT_FALSE(s_->item_table[slot].item_name.empty()) << "station slot " << slot;
  }
  EXPECT_EQ(s_->item_table[1].item_name, "ZARNETTO");
  EXPECT_EQ(s_->item_table[5].item_name, "CORVAGNO");
  EXPECT_EQ(s_->item_table[27].item_name, "PALVESCO");
  for (int slot = 28; slot <= 29; ++slot) EXPECT_TRUE(s_->item_table[slot].item_name.empty());
  for (int slot = 30; slot <= 80; ++slot) {
    EXPECT_FALSE(s_->item_table[slot].item_name.empty()) << "sign slot " << slot;
  }
  EXPECT_TRUE(s_->item_table[0].item_name.empty());

  const std::map<uint8_t, int> expected = {
      {model::kSignal, 41},         {model::kSlowdownStart, 5},  {model::kSlowdownEnd, 5},
      {model::kSlowdownWarning, 5}, {model::kBeforeWarning, 12}, {model::kSpeedIndicator, 10},
      {model::kRouteSign, 51},      {model::kStationStop, 21},
  };
  for (const auto& [kind, n] : expected) EXPECT_EQ(count_kind(kind), n) << "kind " << int{kind};
  EXPECT_GT(count_kind(model::kSpeedMark), 0);  // the finishing pass's marks
}

TEST_F(BuiltinScenarioTest, FillsTheProfiles) {
  // 95 km/h from 0 m, 140 km/h from 1200 m; adhesion 100 everywhere.
  EXPECT_EQ(s_->cell(0).speed_code, 19);
  EXPECT_EQ(s_->cell(23).speed_code, 19);
  EXPECT_EQ(s_->cell(24).speed_code, 28);
  for (int i = 0; i <= s_->cell_count - 3; ++i) {
    ASSERT_EQ(s_->cell(i).adhesion_code, 100) << "cell " << i;
    ASSERT_NE(s_->cell(i).gradient_code, 0) << "cell " << i;
  }
  EXPECT_EQ(s_->cell(s_->cell_count).adhesion_code, 0);
}

TEST_F(BuiltinScenarioTest, WritesTheCompiledFilesAndDeletesTheDescriptions) {
  auto size = [](const std::string& name) { return fs::file_size(dir_->path() / name); };
  EXPECT_EQ(size("BRENTALVO_linea.dat"), 2139964u);
  EXPECT_EQ(size("BRENTALVO_TRN4417.dat"), 32115u);
  size_t names = 0;
  for (const model::ItemRecord& item : s_->item_table) names += item.item_name.size();
  EXPECT_EQ(size("BRENTALVO_TRN4417.sim"), 2958u + names);
  EXPECT_FALSE(fs::exists(dir_->path() / "BRENTALVO_linea.txt"));
  EXPECT_FALSE(fs::exists(dir_->path() / "BRENTALVO_TRN4417-.txt"));
  EXPECT_EQ(platform::read_file(platform::real_file_system(),
                                (dir_->path() / "BRENTALVO_TRN4417.dat").string()),
            model::encode_track_file(*s_));
}

}  // namespace
}  // namespace app
