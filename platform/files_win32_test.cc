// The machine's file system on Windows: Windows-1252 names reach the wide
// file functions, failures carry the same numbers as on POSIX, a replacement
// goes over a file another program is reading, links and folders are
// refused, the folder lock keeps out another process and is let go when its
// holder is killed, an interrupt removes the temporary being written. The
// contract common to every platform is tested in files_test.cc.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/scoped_temp_dir.h"

namespace platform {
namespace {

namespace stdfs = std::filesystem;
using std::chrono::milliseconds;

// The number of the RuntimeFailure that `f` throws; 0 when it throws none.
template <typename F>
int failure_of(F f) {
  try {
    f();
  } catch (const RuntimeFailure& e) {
    return e.number();
  }
  return 0;
}

std::wstring wide(std::string_view bytes) {
  std::wstring text(bytes.size(), L'\0');
  int n = ::MultiByteToWideChar(1252, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(n > 0 ? n : 0));
  return text;
}

// The other process: platform_file_probe.exe, beside this program.
class Probe {
 public:
  // Starts `platform_file_probe MODE PATH ARGUMENT`.
  Probe(const char* mode, const std::string& path, const std::wstring& argument, DWORD flags = 0) {
    std::wstring command = L"\"" + wide(join_path(app_folder(), "platform_file_probe.exe")) +
                           L"\" " + wide(mode) + L" \"" + wide(path) + L"\" " + argument;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;  // a console of its own stays out of sight
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                          &startup, &process_)) {
      ADD_FAILURE() << "the probe did not start: error " << ::GetLastError();
      process_ = {};
    }
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;
  ~Probe() {
    if (process_.hProcess == nullptr) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.hProcess, 99);
      ::WaitForSingleObject(process_.hProcess, 10000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }

  bool started() const { return process_.hProcess != nullptr; }
  DWORD id() const { return process_.dwProcessId; }

  // The exit status, once it ended; 0xFFFFFFFF when it did not within 20 s.
  DWORD wait() {
    if (!started() || ::WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) {
      return 0xFFFFFFFF;
    }
    DWORD status = 0xFFFFFFFF;
    ::GetExitCodeProcess(process_.hProcess, &status);
    return status;
  }

  void kill() {
    ::TerminateProcess(process_.hProcess, 9);
    ::WaitForSingleObject(process_.hProcess, 10000);
  }

 private:
  PROCESS_INFORMATION process_ = {};
};

// A named event the probe sets when it is where the test wants it.
class ProbeEvent {
 public:
  ProbeEvent() {
    static std::atomic<int> counter{0};
    name_ = L"Local\\scenario-file-probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    event_ = ::CreateEventW(nullptr, TRUE, FALSE, name_.c_str());
  }
  ProbeEvent(const ProbeEvent&) = delete;
  ProbeEvent& operator=(const ProbeEvent&) = delete;
  ~ProbeEvent() { ::CloseHandle(event_); }
  const std::wstring& name() const { return name_; }
  bool wait() { return ::WaitForSingleObject(event_, 20000) == WAIT_OBJECT_0; }

 private:
  std::wstring name_;
  HANDLE event_;
};

class FilesWin32Test : public testing::Test {
 protected:
  std::string path(std::string_view name) { return join_path(dir_, name); }
  std::string read(std::string_view name) { return fs_.read_file(path(name), 1 << 30); }
  std::vector<std::string> entries() {
    std::vector<std::string> names = fs_.list_folder(dir_);
    std::sort(names.begin(), names.end());
    return names;
  }

  FileSystem& fs_ = real_file_system();
  ScopedTempDir temp_{std::string("files_win32_test_") +
                      testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::string dir_ = temp_.path().string();
};

TEST_F(FilesWin32Test, NamesAreWindows1252) {
  // e grave, the euro sign and the section sign: three different rows of the
  // code page, one of them outside Latin-1.
  const std::string folder = path("citt\xE0");
  const std::string name = join_path(folder, "caff\xE8 \x80 \xA7.txt");
  fs_.create_folders(folder);
  replace_file(fs_, name, "abc");
  EXPECT_TRUE(
      stdfs::exists(stdfs::path(wide(dir_)) / L"citt\u00E0" / L"caff\u00E8 \u20AC \u00A7.txt"));
  EXPECT_EQ(fs_.kind(name), FileKind::kRegular);
  EXPECT_EQ(fs_.file_size(name), 3u);
  EXPECT_EQ(fs_.read_file(name, 3), "abc");
  EXPECT_EQ(fs_.list_folder(folder), std::vector<std::string>{"caff\xE8 \x80 \xA7.txt"});
  EXPECT_EQ(entries(), std::vector<std::string>{"citt\xE0"});
  fs_.delete_file(name);
  EXPECT_EQ(fs_.kind(name), FileKind::kMissing);
  EXPECT_TRUE(fs_.list_folder(folder).empty());
}

TEST_F(FilesWin32Test, ANameOutsideTheCodePageIsLeftOutOfTheListing) {
  // Greek letters have no byte in Windows-1252: such a file is none of the
  // program's, and could not be named back.
  ::CloseHandle(::CreateFileW((stdfs::path(wide(dir_)) / L"\u03B1\u03B2.txt").c_str(),
                              GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  ASSERT_TRUE(stdfs::exists(stdfs::path(wide(dir_)) / L"\u03B1\u03B2.txt"));
  replace_file(fs_, path("a.dat"), "a");
  EXPECT_EQ(entries(), std::vector<std::string>{"a.dat"});
}

TEST_F(FilesWin32Test, AReplacementGoesOverAFileBeingRead) {
  replace_file(fs_, path("p.dat"), std::string(1000, 'x'));
  // Another program reads the file, sharing it for reading and deletion as
  // the programs themselves do.
  HANDLE reader =
      ::CreateFileW(wide(path("p.dat")).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  const int failure = failure_of([&] {
    replace_file_by_parts(fs_, path("p.dat"), [](const PartSink& sink) {
      sink("ab");
      sink("");
      sink("c");
    });
  });
  // The reader goes on with the old bytes in any case.
  char buffer[2000];
  DWORD n = 0;
  EXPECT_TRUE(::ReadFile(reader, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), std::string(1000, 'x'));
  ::CloseHandle(reader);
  EXPECT_EQ(entries(), std::vector<std::string>{"p.dat"});  // no temporary left
  if (failure != 0) {
    // Without renames of POSIX semantics (Windows before 10 1709, a FAT or
    // network volume, Wine 8) a file held open cannot be replaced: the
    // replacement fails and leaves it whole.
    EXPECT_EQ(failure, kPermissionDenied);
    EXPECT_EQ(read("p.dat"), std::string(1000, 'x'));
    GTEST_SKIP() << "this system cannot replace a file held open";
  }
  EXPECT_EQ(read("p.dat"), "abc");
}

TEST_F(FilesWin32Test, AFileHeldWithoutSharingIsLeftWhole) {
  replace_file(fs_, path("held.dat"), "x");
  HANDLE holder = ::CreateFileW(wide(path("held.dat")).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(failure_of([&] { replace_file(fs_, path("held.dat"), "y"); }), kPermissionDenied);
  EXPECT_EQ(failure_of([&] { read("held.dat"); }), kPermissionDenied);
  ::CloseHandle(holder);
  EXPECT_EQ(read("held.dat"), "x");
  EXPECT_EQ(entries(), std::vector<std::string>{"held.dat"});  // no temporary left
}

TEST_F(FilesWin32Test, AFileBeingWrittenByAnotherProgramCanBeRead) {
  HANDLE writer = ::CreateFileW(wide(path("log.txt")).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  EXPECT_TRUE(::WriteFile(writer, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(read("log.txt"), "0123456789");
  EXPECT_EQ(failure_of([&] { fs_.read_file(path("log.txt"), 9); }), kFileTooLarge);
  ::CloseHandle(writer);
}

TEST_F(FilesWin32Test, AFolderIsNeverTakenForAFile) {
  const std::string folder = path("folder.dat");
  fs_.create_folders(folder);
  EXPECT_EQ(fs_.kind(folder), FileKind::kFolder);
  EXPECT_FALSE(file_exists(fs_, folder));
  for (const auto& step : std::vector<std::function<void()>>{
           [&] { replace_file(fs_, folder, "new"); },
           [&] { fs_.read_file(folder, 100); },
           [&] { fs_.file_size(folder); },
       }) {
    try {
      step();
      ADD_FAILURE() << "a folder was taken for a file";
    } catch (const RuntimeFailure& f) {
      EXPECT_EQ(f.number(), kPathFileAccess);
      EXPECT_NE(std::string(f.what()).find("is a folder, not a regular file"), std::string::npos)
          << f.what();
    }
  }
  EXPECT_NE(failure_of([&] { fs_.create_new(folder); }), 0);
  EXPECT_EQ(failure_of([&] { fs_.delete_file(folder); }), kPathFileAccess);
  EXPECT_EQ(fs_.kind(folder), FileKind::kFolder);
  EXPECT_EQ(entries(), std::vector<std::string>{"folder.dat"});
}

TEST_F(FilesWin32Test, FailuresCarryTheirNumbers) {
  struct Case {
    const char* what;
    std::function<void()> step;
    int number;
  };
  const Case cases[] = {
      {"delete a missing file", [&] { fs_.delete_file(path("none.dat")); }, kFileNotFound},
      {"read a missing file", [&] { read("none.dat"); }, kFileNotFound},
      {"size of a missing file", [&] { fs_.file_size(path("none.dat")); }, kFileNotFound},
      {"write into a missing folder", [&] { replace_file(fs_, path("missing\\x.dat"), "y"); },
       kFileNotFound},
      {"list a missing folder", [&] { fs_.list_folder(path("missing")); }, kFileNotFound},
      {"lock a missing folder", [&] { fs_.lock_folder(path("missing"), milliseconds(0)); },
       kFileNotFound},
      {"a name with a wildcard", [&] { replace_file(fs_, path("a?b.dat"), "y"); }, kBadFileName},
      {"a name with a NUL byte", [&] { replace_file(fs_, path(std::string("a\0b.dat", 7)), "y"); },
       kBadFileName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.step();
      ADD_FAILURE() << "no failure";
    } catch (const RuntimeFailure& f) {
      EXPECT_EQ(f.number(), c.number) << f.what();
    }
  }
  EXPECT_TRUE(entries().empty());
}

TEST_F(FilesWin32Test, FoldersAreMadeThroughEitherSeparator) {
  fs_.create_folders(path("a/b\\c"));
  fs_.create_folders(path("a\\b/c\\"));  // already there: nothing to do
  EXPECT_EQ(fs_.kind(path("a\\b\\c")), FileKind::kFolder);
  replace_file(fs_, path("a\\f"), "");
  EXPECT_EQ(failure_of([&] { fs_.create_folders(path("a\\f\\g")); }), kFileNotFound)
      << "a file in the way";
}

TEST_F(FilesWin32Test, LinksAreNeverFollowed) {
  replace_file(fs_, path("target.dat"), "precious");
  fs_.create_folders(path("target"));
  // Windows makes links for an administrator or in developer mode; Wine
  // makes none. Without one there is nothing to see here.
  const DWORD unprivileged = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  ::CreateSymbolicLinkW(wide(path("out.dat")).c_str(), wide(path("target.dat")).c_str(),
                        unprivileged);
  ::CreateSymbolicLinkW(wide(path("out")).c_str(), wide(path("target")).c_str(),
                        unprivileged | SYMBOLIC_LINK_FLAG_DIRECTORY);
  if (fs_.kind(path("out.dat")) != FileKind::kLink || fs_.kind(path("out")) != FileKind::kLink) {
    GTEST_SKIP() << "this system made no symbolic link";
  }
  for (const char* name : {"out.dat", "out"}) {
    SCOPED_TRACE(name);
    for (const auto& step : std::vector<std::function<void()>>{
             [&] { replace_file(fs_, path(name), "new"); },
             [&] { fs_.read_file(path(name), 100); },
             [&] { fs_.file_size(path(name)); },
         }) {
      try {
        step();
        ADD_FAILURE() << "a link was followed";
      } catch (const RuntimeFailure& f) {
        EXPECT_EQ(f.number(), kPathFileAccess);
        EXPECT_NE(std::string(f.what()).find("is a symbolic link, not a regular file"),
                  std::string::npos)
            << f.what();
      }
    }
    EXPECT_NE(failure_of([&] { fs_.create_new(path(name)); }), 0);
  }
  EXPECT_EQ(read("target.dat"), "precious");
  EXPECT_TRUE(fs_.list_folder(path("target")).empty());
}

TEST_F(FilesWin32Test, TheFolderLockKeepsOutAnotherProcessAndLeavesNoFile) {
  {
    auto lock = fs_.lock_folder(dir_, milliseconds(0));
    Probe busy("lock", dir_, L"100");
    EXPECT_EQ(busy.wait(), 2u) << "another process took a held lock";
    // Another path to the same folder is the same lock.
    EXPECT_EQ(failure_of([&] { fs_.lock_folder(dir_ + "\\sub\\..\\", milliseconds(0)); }),
              kFolderBusy);
    EXPECT_TRUE(entries().empty()) << "the lock left a file in the folder";
  }
  Probe free("lock", dir_, L"0");
  EXPECT_EQ(free.wait(), 0u) << "the lock was not let go";
  EXPECT_NE(fs_.lock_folder(dir_, milliseconds(0)), nullptr);
  EXPECT_TRUE(entries().empty());
}

TEST_F(FilesWin32Test, AWaitingRunGetsTheLockWhenItsHolderEnds) {
  auto lock = fs_.lock_folder(dir_, milliseconds(0));
  Probe waiter("lock", dir_, L"20000");
  ::Sleep(300);
  lock.reset();
  EXPECT_EQ(waiter.wait(), 0u);
}

TEST_F(FilesWin32Test, AKilledHoldersLockIsLetGo) {
  ProbeEvent held;
  Probe holder("hold", dir_, held.name());
  ASSERT_TRUE(held.wait()) << "the probe did not take the lock";
  EXPECT_EQ(failure_of([&] { fs_.lock_folder(dir_, milliseconds(50)); }), kFolderBusy);
  holder.kill();
  EXPECT_NE(fs_.lock_folder(dir_, milliseconds(5000)), nullptr);
}

TEST_F(FilesWin32Test, AnInterruptRemovesTheTemporaryBeingWritten) {
  // The writer runs on a console of its own, hidden, in a process group of
  // its own; a third process joins that console and sends Ctrl+Break there,
  // so that this program's console (if any) is left alone.
  const std::string target = path("a.dat");
  replace_file(fs_, target, "old");
  ProbeEvent writing;
  Probe writer("write", target, writing.name(), CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP);
  ASSERT_TRUE(writing.wait()) << "the probe did not start writing";
  const std::vector<std::string> during = entries();
  ASSERT_EQ(during.size(), 2u);
  EXPECT_TRUE(is_partial_of(during[0], "a.dat")) << during[0];
  Probe sender("break", std::to_string(writer.id()), L"-", DETACHED_PROCESS);
  const DWORD sent = sender.wait();
  if (sent != 0) GTEST_SKIP() << "no console event can be sent here (" << sent << ")";
  EXPECT_EQ(writer.wait(), static_cast<DWORD>(STATUS_CONTROL_C_EXIT));
  EXPECT_EQ(entries(), std::vector<std::string>{"a.dat"});
  EXPECT_EQ(read_file(fs_, target), "old");
}

TEST_F(FilesWin32Test, TheExecutablesFolderIsJoinedWithBackslash) {
  EXPECT_EQ(path_separator(), '\\');
  EXPECT_EQ(join_path("C:\\scenari", "BRENTALVO_linea.dat"), "C:\\scenari\\BRENTALVO_linea.dat");
  const std::string folder = app_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(file_exists(fs_, join_path(folder, "platform_win32_tests.exe"))) << folder;
}

}  // namespace
}  // namespace platform
