// File steps on Windows: Windows-1252 names reach the wide file functions,
// failures carry the same numbers as on POSIX, the executable's folder is
// found. The steps common to every platform are in files_test.cc.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class FilesWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("files_win32_test_" + std::to_string(::GetCurrentProcessId()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(std::string_view name) { return join_path(dir_.string(), name); }
  fs::path dir_;
};

TEST_F(FilesWin32Test, NamesAreWindows1252) {
  // e grave, the euro sign and the section sign: three different rows of the
  // code page, one of them outside Latin-1.
  const std::string name = path("caff\xE8 \x80 \xA7.txt");
  const fs::path wide = dir_ / L"caff\u00E8 \u20AC \u00A7.txt";
  replace_file(name, "abc");
  EXPECT_TRUE(fs::exists(wide));
  EXPECT_TRUE(file_exists(name));
  EXPECT_EQ(read_file(name), "abc");
  delete_file(name);
  EXPECT_FALSE(fs::exists(wide));
}

TEST_F(FilesWin32Test, PartsReplaceAnOlderLongerFileInOrder) {
  replace_file(path("p.dat"), std::string(1000, 'x'));
  replace_file_by_parts(path("p.dat"), [](const PartSink& sink) {
    sink("ab");
    sink("");
    sink("c");
  });
  EXPECT_EQ(read_file(path("p.dat")), "abc");
}

TEST_F(FilesWin32Test, FailuresCarryTheirNumbers) {
  fs::create_directory(dir_ / "folder");
  // A file held open without sharing, as by another program.
  const std::string held = path("held.dat");
  replace_file(held, "x");
  const std::wstring held_wide = (dir_ / "held.dat").wstring();
  HANDLE holder = ::CreateFileW(held_wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  struct Case {
    const char* what;
    void (*step)(const std::string&);
    std::string path;
    int number;
  };
  auto replace = [](const std::string& p) { replace_file(p, "y"); };
  auto remove = [](const std::string& p) { delete_file(p); };
  auto read = [](const std::string& p) { read_file(p); };
  const Case cases[] = {
      {"delete a missing file", remove, path("none.dat"), kFileNotFound},
      {"read a missing file", read, path("none.dat"), kFileNotFound},
      {"write into a missing folder", replace, path("missing\\x.dat"), kFileNotFound},
      {"write where a folder stands", replace, path("folder"), kPathFileAccess},
      {"delete a folder", remove, path("folder"), kPathFileAccess},
      {"write a file held by another", replace, held, kPermissionDenied},
      {"a name with a wildcard", replace, path("a?b.dat"), kBadFileName},
      {"a name with a NUL byte", replace, path(std::string("a\0b.dat", 7)), kBadFileName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.step(c.path);
      ADD_FAILURE() << "no failure";
    } catch (const RuntimeFailure& f) {
      EXPECT_EQ(f.number(), c.number) << f.what();
    }
  }
  ::CloseHandle(holder);
  EXPECT_EQ(read_file(held), "x");  // the failed replacement left it whole
  EXPECT_FALSE(file_exists(path("folder")));
}

TEST_F(FilesWin32Test, TheExecutablesFolderIsJoinedWithBackslash) {
  EXPECT_EQ(path_separator(), '\\');
  EXPECT_EQ(join_path("C:\\scenari", "BRENTALVO_linea.dat"), "C:\\scenari\\BRENTALVO_linea.dat");
  const std::string folder = app_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(file_exists(join_path(folder, "platform_win32_tests.exe"))) << folder;
}

}  // namespace
}  // namespace platform
