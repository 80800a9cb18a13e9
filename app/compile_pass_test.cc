#include "app/compile_pass.h"

#include <gtest/gtest.h>

#include <string>

#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/scoped_temp_dir.h"

namespace app {
namespace {

class CompilePassTest : public testing::Test {
 protected:
  void SetUp() override {
    s_.app_path = dir_.path().string();
    s_.line_name = "BRENTALVO";
    s_.train_code = "TRN4417";
  }

  std::string path(const std::string& name) {
    return platform::join_path(dir_.path().string(), name);
  }
  void write_route(const std::string& text) {
    platform::replace_file(platform::real_file_system(), path("BRENTALVO_linea.txt"), text);
  }
  void write_train(const std::string& text) {
    platform::replace_file(platform::real_file_system(), path("BRENTALVO_TRN4417-.txt"), text);
  }

  platform::ScopedTempDir dir_{std::string("compile_pass_test_") +
                               testing::UnitTest::GetInstance()->current_test_info()->name()};
  model::Scenario s_;
};

TEST_F(CompilePassTest, ARunTimeFailureWhileReadingBecomesCode25AndDeletesBothDescriptions) {
  struct Case {
    const char* name;
    std::string route;
    std::string train;
  };
  const Case cases[] = {
      {"unreadable number in the route",
       "[generale]\r\nlunghezza percorso, 10000\r\n[pendenze]\r\npendenza, 85O, 4\r\n", ""},
      {"route ends inside a row", "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza, 850",
       ""},
      {"number too large for its field in the train",
       "[generale]\r\nlunghezza percorso, 10000\r\n[fine]\r\n",
       "[generale]\r\nsabbia, 40000\r\n[fine]\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_.error_code = 0;
    model::clear_item_table(s_);
    write_route(c.route);
    write_train(c.train);
    memorizza_dati(s_);
    EXPECT_EQ(s_.error_code, model::kReadingFailure);
    EXPECT_FALSE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_linea.txt")));
    EXPECT_FALSE(
        platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417-.txt")));
  }
}

TEST_F(CompilePassTest, AMissingRouteDescriptionDeletesNothing) {
  write_train("[generale]\r\n");
  memorizza_dati(s_);
  EXPECT_EQ(s_.error_code, model::kNoRouteDescription);
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417-.txt")));
}

TEST_F(CompilePassTest, WithoutTheLineFileAnOlderOneIsLeftAlone) {
  write_route("[generale]\r\nlunghezza percorso, 0\r\n[fine]\r\n");
  write_train("[generale]\r\n[fine]\r\n");
  platform::replace_file(platform::real_file_system(), path("BRENTALVO_linea.dat"), "older plan");
  memorizza_percorso(s_, 0);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_FALSE(s_.track_plan_allocated);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_linea.dat")),
            "older plan");
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_TRN4417.dat")).size(),
            2115u);  // 141 cells
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_TRN4417.sim")).size(),
            2958u + s_.line_name.size() + s_.train_code.size());
}

TEST_F(CompilePassTest, CompileErrorsStillWriteTheCompiledFiles) {
  // Two route signs on one cell: code 6 with the second sign's position.
  write_route(
      "[generale]\r\nlunghezza percorso, 10000\r\n[indicazioni]\r\n"
      "cartello_indicatore,  3000,   (A)(B)\r\ncartello_indicatore,  3010,   (C)(D)\r\n[fine]\r\n");
  write_train("[generale]\r\n[fine]\r\n");
  memorizza_percorso(s_, 1);
  EXPECT_EQ(s_.error_code, model::kSignCellTaken);
  EXPECT_EQ(s_.error_position, 3010);
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_linea.dat")));
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417.sim")));
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417.dat")));
}

}  // namespace
}  // namespace app
