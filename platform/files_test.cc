// The file steps and the file system contract, run on the machine's file
// system (in a fresh temporary folder) and on the in-memory one alike, so
// that tests and fuzzing on the latter stand for the former.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/errno_failure.h"
#endif
#ifdef __linux__
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#endif
#include "platform/fault_injecting_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "platform/scoped_temp_dir.h"

namespace platform {
namespace {

namespace stdfs = std::filesystem;

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

class FilesTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      fs_ = &memory_;
      dir_ = "/work/files";
      memory_.add_folder(dir_);
    } else {
      fs_ = &real_file_system();
      // The test's name has the parameter after a '/'; the folder's name
      // gets a '_' there.
      temp_.emplace(std::string("files_test_") +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
      dir_ = temp_->path().string();
    }
  }
  std::string path(std::string_view name) { return join_path(dir_, name); }
  std::string read(std::string_view name) { return fs_->read_file(path(name), 1 << 30); }
  // The entries of the folder, sorted.
  std::vector<std::string> entries() {
    std::vector<std::string> names = fs_->list_folder(dir_);
    std::sort(names.begin(), names.end());
    return names;
  }

  MemoryFileSystem memory_;
  FileSystem* fs_ = nullptr;
  // The machine's file system only: a fresh folder, removed after the test.
  std::optional<ScopedTempDir> temp_;
  std::string dir_;
};

TEST_P(FilesTest, ReplaceLeavesExactlyTheNewBytesAndNoTemporary) {
  replace_file(*fs_, path("a.dat"), std::string(1000, 'x'));
  replace_file(*fs_, path("a.dat"), "abc");
  EXPECT_EQ(read("a.dat"), "abc");
  EXPECT_EQ(entries(), std::vector<std::string>{"a.dat"});
}

TEST_P(FilesTest, ReplaceByPartsWritesEveryPartInOrderOverAnOlderFile) {
  replace_file(*fs_, path("p.dat"), std::string(100000, 'x'));
  replace_file_by_parts(*fs_, path("p.dat"), [](const PartSink& sink) {
    sink("ab");
    sink("");
    sink(std::string(70000, 'c'));
    sink("d");
  });
  EXPECT_EQ(read("p.dat"), "ab" + std::string(70000, 'c') + "d");
  EXPECT_EQ(failure_of([&] {
              replace_file_by_parts(*fs_, path("missing/p.dat"),
                                    [](const PartSink& sink) { sink("y"); });
            }),
            kFileNotFound);
}

TEST_P(FilesTest, ExistenceAndDeletion) {
  EXPECT_FALSE(file_exists(*fs_, path("none")));
  EXPECT_FALSE(file_exists(*fs_, dir_));  // a folder is not a description file
  EXPECT_EQ(fs_->kind(dir_), FileKind::kFolder);
  replace_file(*fs_, path("f"), "");
  EXPECT_TRUE(file_exists(*fs_, path("f")));
  EXPECT_EQ(fs_->file_size(path("f")), 0u);
  fs_->delete_file(path("f"));
  EXPECT_FALSE(file_exists(*fs_, path("f")));
  EXPECT_EQ(failure_of([&] { fs_->delete_file(path("f")); }), kFileNotFound);
  EXPECT_EQ(failure_of([&] { read("f"); }), kFileNotFound);
}

TEST_P(FilesTest, AFolderOrADescriptionTooLargeIsRefusedOnReading) {
  fs_->create_folders(path("sub/deeper"));
  EXPECT_EQ(fs_->kind(path("sub/deeper")), FileKind::kFolder);
  try {
    fs_->read_file(path("sub"), 100);
    ADD_FAILURE() << "a folder was read as a file";
  } catch (const RuntimeFailure& f) {
    EXPECT_EQ(f.number(), kPathFileAccess);
    EXPECT_NE(std::string(f.what()).find("is a folder, not a regular file"), std::string::npos)
        << f.what();
  }
  replace_file(*fs_, path("big"), std::string(101, 'b'));
  EXPECT_EQ(fs_->read_file(path("big"), 101).size(), 101u);
  try {
    fs_->read_file(path("big"), 100);
    ADD_FAILURE() << "the limit was not kept";
  } catch (const RuntimeFailure& f) {
    EXPECT_NE(std::string(f.what()).find("101 bytes, more than the 100 bytes"), std::string::npos)
        << f.what();
  }
}

TEST_P(FilesTest, ANameThatIsNotARegularFileIsNeverWrittenThrough) {
  std::string target = path("target.dat");
  replace_file(*fs_, target, "precious");
  bool link = true;
  if (GetParam()) {
    memory_.add_link(path("out.dat"));
  } else {
#ifdef _WIN32
    // Windows makes links only for an administrator or in developer mode
    // (files_win32_test.cc tests them there); Wine makes none.
    std::error_code error;
    stdfs::create_symlink(target, path("out.dat"), error);
    link = !error && fs_->kind(path("out.dat")) == FileKind::kLink;
#else
    stdfs::create_symlink(target, path("out.dat"));
#endif
  }
  fs_->create_folders(path("folder.dat"));
  for (const char* name : {"out.dat", "folder.dat"}) {
    if (!link && std::string_view(name) == "out.dat") continue;
    try {
      replace_file(*fs_, path(name), "new");
      ADD_FAILURE() << name << " was replaced";
    } catch (const RuntimeFailure& f) {
      EXPECT_EQ(f.number(), kPathFileAccess);
      EXPECT_NE(std::string(f.what()).find("not a regular file"), std::string::npos) << f.what();
    }
  }
  EXPECT_EQ(read("target.dat"), "precious");
  // Nothing was left behind by the refused replacements.
  if (!link) {
    EXPECT_EQ(entries(), (std::vector<std::string>{"folder.dat", "target.dat"}));
    return;
  }
  EXPECT_EQ(fs_->kind(path("out.dat")), FileKind::kLink);
  EXPECT_EQ(failure_of([&] { read("out.dat"); }), kPathFileAccess);
  EXPECT_EQ(entries(), (std::vector<std::string>{"folder.dat", "out.dat", "target.dat"}));
}

TEST_P(FilesTest, CreateNewNeverOpensWhatIsThere) {
  replace_file(*fs_, path("x"), "old");
  EXPECT_NE(failure_of([&] { fs_->create_new(path("x")); }), 0);
  EXPECT_EQ(read("x"), "old");
}

TEST_P(FilesTest, ASetIsWrittenWholeBeforeAnyFileIsReplaced) {
  replace_file(*fs_, path("one"), "old one");
  replace_file(*fs_, path("two"), "old two");
  {
    FileReplacement set(*fs_);
    set.stage(path("one"), "new one");
    // The second file of the set fails while it is written.
    EXPECT_NE(failure_of([&] {
                set.stage(path("two"), [](const PartSink&) {
                  throw RuntimeFailure(kDiskFull, "two (No space left on device)");
                });
              }),
              0);
  }
  EXPECT_EQ(read("one"), "old one");
  EXPECT_EQ(read("two"), "old two");
  EXPECT_EQ(entries(), (std::vector<std::string>{"one", "two"}));

  FileReplacement set(*fs_);
  set.stage(path("one"), "new one");
  set.stage(path("two"), "new two");
  EXPECT_EQ(read("one"), "old one");  // nothing replaced before the commit
  set.commit();
  EXPECT_EQ(read("one"), "new one");
  EXPECT_EQ(read("two"), "new two");
  EXPECT_EQ(entries(), (std::vector<std::string>{"one", "two"}));
}

TEST_P(FilesTest, StaleTemporariesOfTheNamedFilesAreRemoved) {
  replace_file(*fs_, path("a.dat"), "a");
  for (const char* name :
       {".a.dat.partial-00ff-1", ".b.dat.partial-1-2", ".a.dat.keep", "a.dat.partial-3"}) {
    replace_file(*fs_, path(name), "left by a killed run");
  }
  EXPECT_TRUE(is_partial_of(".a.dat.partial-00ff-1", "a.dat"));
  EXPECT_FALSE(is_partial_of(".a.dat.partial-", "a.dat"));
  EXPECT_FALSE(is_partial_of(".ab.dat.partial-1", "a.dat"));
  const std::vector<std::string> targets = {"a.dat", "b.dat"};
  remove_stale_partials(*fs_, dir_, targets);
  EXPECT_EQ(entries(), (std::vector<std::string>{".a.dat.keep", "a.dat", "a.dat.partial-3"}));
}

TEST_P(FilesTest, NamesUpToTheLongestTheSystemTakesAreReplaced) {
  // The temporary of a long name keeps only the name's start: it still fits,
  // and a killed run's one is still found for that name.
  for (size_t length : {size_t{200}, size_t{228}, size_t{229}, size_t{255}}) {
    SCOPED_TRACE(length);
    const std::string name = std::string(length - 4, 'n') + ".svg";
    replace_file(*fs_, path(name), "old");
    replace_file(*fs_, path(name), "new");
    EXPECT_EQ(read(name), "new");
    std::string left;
    {
      FileReplacement staged(*fs_);
      staged.stage(path(name), "staged");
      for (const std::string& entry : entries()) {
        if (entry != name && is_partial_of(entry, name)) left = entry;
      }
    }
    EXPECT_FALSE(left.empty()) << "no temporary of the name";
    EXPECT_FALSE(is_partial_of(left, std::string(length - 4, 'm') + ".svg"));
    fs_->delete_file(path(name));
  }
}

TEST_P(FilesTest, AFolderLockIsHeldUntilItGoes) {
  auto lock = fs_->lock_folder(dir_, std::chrono::milliseconds(0));
  try {
    fs_->lock_folder(dir_, std::chrono::milliseconds(50));
    ADD_FAILURE() << "a second lock was given";
  } catch (const RuntimeFailure& f) {
    EXPECT_EQ(f.number(), kFolderBusy);
    EXPECT_NE(std::string(f.what()).find("another run is writing there; waited 0.05 s"),
              std::string::npos)
        << f.what();
  }
  lock.reset();
  EXPECT_NE(fs_->lock_folder(dir_, std::chrono::milliseconds(0)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothFileSystems, FilesTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Memory" : "Real";
                         });

// What a power cut leaves: bytes never synced are gone, and a create, rename
// or delete is undone unless its folder was synced after it.
TEST(PowerLossTest, OnlySyncedBytesInSyncedFoldersSurvive) {
  using Files = std::map<std::string, std::string>;
  struct Case {
    const char* what;
    std::function<void(FileSystem&)> run;
    Files after;
  };
  auto write = [](FileSystem& fs, const std::string& path, std::string_view bytes, bool sync) {
    std::unique_ptr<WritableFile> file = fs.create_new(path);
    file->append(bytes);
    if (sync) file->sync();
    file->close();
  };
  const Case cases[] = {
      {"created, synced, folder synced",
       [&](FileSystem& fs) {
         write(fs, "/d/new", "new", true);
         fs.sync_folder("/d");
       },
       {{"/d/new", "new"}, {"/d/old", "old"}}},
      {"created, not synced, folder synced",
       [&](FileSystem& fs) {
         write(fs, "/d/new", "new", false);
         fs.sync_folder("/d");
       },
       {{"/d/new", ""}, {"/d/old", "old"}}},
      {"created and synced, folder not synced",
       [&](FileSystem& fs) { write(fs, "/d/new", "new", true); },
       {{"/d/old", "old"}}},
      {"renamed over, folder not synced",
       [&](FileSystem& fs) {
         write(fs, "/d/tmp", "new", true);
         fs.rename_file("/d/tmp", "/d/old");
       },
       {{"/d/old", "old"}}},
      {"renamed over, another folder synced",
       [&](FileSystem& fs) {
         write(fs, "/d/tmp", "new", true);
         fs.rename_file("/d/tmp", "/d/old");
         fs.sync_folder("/e");
       },
       {{"/d/old", "old"}}},
      {"renamed over, folder synced",
       [&](FileSystem& fs) {
         write(fs, "/d/tmp", "new", true);
         fs.rename_file("/d/tmp", "/d/old");
         fs.sync_folder("/d");
       },
       {{"/d/old", "new"}}},
      {"renamed over unsynced, folder synced",
       [&](FileSystem& fs) {
         write(fs, "/d/tmp", "new", false);
         fs.rename_file("/d/tmp", "/d/old");
         fs.sync_folder("/d");
       },
       {{"/d/old", ""}}},
      {"deleted, folder not synced",
       [&](FileSystem& fs) { fs.delete_file("/d/old"); },
       {{"/d/old", "old"}}},
      {"deleted, folder synced",
       [&](FileSystem& fs) {
         fs.delete_file("/d/old");
         fs.sync_folder("/d");
       },
       {}},
      {"synced, then appended",
       [&](FileSystem& fs) {
         std::unique_ptr<WritableFile> file = fs.create_new("/d/new");
         file->append("kept");
         file->sync();
         file->append(" lost");
         fs.sync_folder("/d");
       },
       {{"/d/new", "kept"}, {"/d/old", "old"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem memory;
    memory.add_file("/d/old", "old");
    memory.add_folder("/e");
    FaultInjectingFileSystem faulty(memory);
    c.run(faulty);
    faulty.lose_power();
    EXPECT_EQ(memory.files(), c.after);
    EXPECT_THROW(faulty.kind("/d/old"), SimulatedKill);
  }
}

TEST(PowerLossTest, AReplacementIsDurableOnceCommittedAndATransientOneIsNot) {
  using Operation = FaultInjectingFileSystem::Operation;
  MemoryFileSystem memory;
  memory.add_file("/d/kept", "old kept");
  FaultInjectingFileSystem faulty(memory);
  {
    FileReplacement set(faulty);
    set.stage("/d/kept", "new kept");
    set.stage("/d/other", "other");
    set.stage_transient("/d/read-back", "read back");
    set.commit();
  }
  // Two files synced, and their folder once for all three renames.
  EXPECT_EQ(faulty.count(Operation::kSync) - faulty.folder_syncs(), 2);
  EXPECT_EQ(faulty.folder_syncs(), 1);
  // A transient file alone is never synced, nor is its folder.
  replace_transient_file(faulty, "/d/alone", "alone");
  EXPECT_EQ(faulty.count(Operation::kSync), 3);
  faulty.lose_power();
  EXPECT_EQ(memory.files(),
            (std::map<std::string, std::string>{
                {"/d/kept", "new kept"}, {"/d/other", "other"}, {"/d/read-back", ""}}));
}

// Every step of a replacement is checked: whichever fails, the failure is
// reported with its number, the old file stays and no temporary is left.
TEST(ReplacementFailureTest, EachFailingStepKeepsTheOldFile) {
  using Operation = FaultInjectingFileSystem::Operation;
  const std::pair<const char*, Operation> steps[] = {
      {"create", Operation::kOpen}, {"write", Operation::kWrite},   {"sync", Operation::kSync},
      {"close", Operation::kClose}, {"rename", Operation::kRename},
  };
  for (auto [name, op] : steps) {
    MemoryFileSystem memory;
    memory.add_file("/d/out", "old");
    FaultInjectingFileSystem faulty(memory);
    faulty.inject(op, 1, FaultInjectingFileSystem::Fault::kFail, kDiskFull);
    EXPECT_EQ(failure_of([&] { replace_file(faulty, "/d/out", "new"); }), kDiskFull) << name;
    EXPECT_EQ(memory.files(), (std::map<std::string, std::string>{{"/d/out", "old"}})) << name;
  }
}

// Windows has no folder sync step: there it is a no-op.
#ifndef _WIN32
TEST(SystemErrorTest, AFolderSyncThatFailsIsReported) {
  ScopedTempDir temp("files_test_folder_sync");
  const std::string missing = join_path(temp.path().string(), "missing");
  EXPECT_EQ(failure_of([&] { real_file_system().sync_folder(missing); }), kFileNotFound);
  EXPECT_EQ(failure_of([&] { real_file_system().sync_folder(temp.path().string()); }), 0);
}

TEST(SystemErrorTest, EachHasItsFailureNumber) {
  const std::pair<int, int> cases[] = {
      {ENOSPC, kDiskFull},        {EDQUOT, kDiskFull},        {EFBIG, kDiskFull},
      {ENOENT, kFileNotFound},    {ENOTDIR, kFileNotFound},   {EACCES, kPermissionDenied},
      {EPERM, kPermissionDenied}, {EROFS, kPermissionDenied}, {ENAMETOOLONG, kBadFileName},
      {EIO, kDeviceIO},           {ENOMEM, kOutOfMemory},     {ELOOP, kPathFileAccess},
      {EEXIST, kPathFileAccess},
  };
  for (auto [err, number] : cases) {
    EXPECT_EQ(failure_number_of_errno(err), number) << std::strerror(err);
  }
}
#endif

#ifdef __linux__
// What the machine's file system does when the storage refuses a step: the
// step is made to fail by a system call filter, in a child process (a
// filter stays for good), which exits with the failure number its step
// threw, 0 for none. Without a filter (seccomp refused) the test skips.
constexpr int kNoFilter = 255;

std::optional<int> failure_with_failing_calls(const std::vector<long>& calls, int err,
                                              const std::function<void()>& step) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's run-time wraps these calls and makes its own: the filter
  // would test the wrapper, not the file layer. The plain build runs it.
  (void)calls;
  (void)err;
  (void)step;
  return std::nullopt;
#else
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    std::vector<sock_filter> program;
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    for (long call : calls) {
      program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(call), 0, 1));
      program.push_back(BPF_STMT(BPF_RET | BPF_K,
                                 SECCOMP_RET_ERRNO | (static_cast<__u32>(err) & SECCOMP_RET_DATA)));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog fprog{static_cast<unsigned short>(program.size()), program.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &fprog) != 0) {
      ::_exit(kNoFilter);
    }
    ::_exit(failure_of(step));
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return std::nullopt;
  if (!WIFEXITED(status)) return -1;  // the step ended the process
  if (WEXITSTATUS(status) == kNoFilter) return std::nullopt;
  return WEXITSTATUS(status);
#endif
}

TEST(StorageFailureTest, EachRefusedStepIsReportedWithItsReason) {
  ScopedTempDir temp("files_test_storage_failure");
  FileSystem& fs = real_file_system();
  const std::string dir = temp.path().string();
  const std::vector<long> kWrites = {__NR_write, __NR_writev, __NR_pwrite64};
  const std::vector<long> kSyncs = {__NR_fsync, __NR_fdatasync};
  const struct {
    const char* step;
    std::vector<long> calls;
    int err;
    std::function<void(const std::string& path)> run;
    int number;
  } cases[] = {
      {"write on a full disk", kWrites, ENOSPC,
       [&](const std::string& path) { fs.create_new(path)->append("bytes"); }, kDiskFull},
      {"write over the quota", kWrites, EDQUOT,
       [&](const std::string& path) { fs.create_new(path)->append("bytes"); }, kDiskFull},
      {"file sync", kSyncs, EIO,
       [&](const std::string& path) {
         auto file = fs.create_new(path);
         file->append("bytes");
         file->sync();
       },
       kDeviceIO},
      {"close that flushes",
       {__NR_close},
       EIO,
       [&](const std::string& path) {
         auto file = fs.create_new(path);
         file->append("bytes");
         file->close();
       },
       kDeviceIO},
      {"folder sync", kSyncs, EIO, [&](const std::string&) { fs.sync_folder(dir); }, kDeviceIO},
      {"the same steps unrefused",
       {},
       EIO,
       [&](const std::string& path) {
         auto file = fs.create_new(path);
         file->append("bytes");
         file->sync();
         file->close();
         fs.sync_folder(dir);
       },
       0},
  };
  for (const auto& c : cases) {
    // Each step writes a file of its own: a child's files stay behind.
    const std::string path = join_path(dir, c.step);
    std::optional<int> number = failure_with_failing_calls(c.calls, c.err, [&] { c.run(path); });
    if (!number) GTEST_SKIP() << "no system call filter here (or a sanitizer build)";
    EXPECT_EQ(*number, c.number) << c.step;
  }
}

// A replacement whose sync fails leaves the old file and no temporary.
TEST(StorageFailureTest, AReplacementThatCannotSyncLeavesTheOldFile) {
  ScopedTempDir temp("files_test_replacement_sync");
  FileSystem& fs = real_file_system();
  const std::string target = join_path(temp.path().string(), "out.dat");
  replace_file(fs, target, "old");
  std::optional<int> number = failure_with_failing_calls({__NR_fsync, __NR_fdatasync}, EIO,
                                                         [&] { replace_file(fs, target, "new"); });
  if (!number) GTEST_SKIP() << "no system call filter here (or a sanitizer build)";
  EXPECT_EQ(*number, kDeviceIO);
  EXPECT_EQ(read_file(fs, target), "old");
  EXPECT_EQ(fs.list_folder(temp.path().string()), std::vector<std::string>{"out.dat"});
}
#endif

#ifndef _WIN32
// A rename that cannot replace its target (a folder with entries in it)
// fails, and says so, on the machine's file system.
TEST(SystemErrorTest, ARenameOntoAFolderIsReported) {
  ScopedTempDir temp("files_test_rename");
  FileSystem& fs = real_file_system();
  const std::string from = join_path(temp.path().string(), "from");
  const std::string folder = join_path(temp.path().string(), "folder");
  replace_file(fs, from, "bytes");
  fs.create_folders(folder);
  replace_file(fs, join_path(folder, "inside"), "x");
  EXPECT_EQ(failure_of([&] { fs.rename_file(from, folder); }), kPathFileAccess);
  EXPECT_EQ(read_file(fs, from), "bytes");
}
#endif

#ifndef _WIN32
// An interrupt ends a run wherever it is: each file is then old or new,
// whole, and no temporary is left. platform_interrupt_probe replaces a.dat
// and b.dat and sends itself the signal at the step named.
TEST(InterruptTest, AnInterruptedReplacementLeavesNoTemporary) {
  const struct {
    const char* step;
    int signal_number;
    const char* a;  // what a.dat holds afterwards
    const char* b;
  } cases[] = {
      {"writing", SIGINT, "old a.dat", "old b.dat"},
      {"writing", SIGTERM, "old a.dat", "old b.dat"},
      {"writing", SIGHUP, "old a.dat", "old b.dat"},
      {"staged", SIGINT, "old a.dat", "old b.dat"},
      {"committed", SIGTERM, "new a.dat", "old b.dat"},
  };
  const std::string probe = join_path(app_folder(), "platform_interrupt_probe");
  FileSystem& fs = real_file_system();
  for (const auto& c : cases) {
    const std::string signal_text = std::to_string(c.signal_number);
    SCOPED_TRACE(std::string(c.step) + ", signal " + signal_text);
    ScopedTempDir temp("files_test_interrupt");
    const std::string dir = temp.path().string();
    replace_file(fs, join_path(dir, "a.dat"), "old a.dat");
    replace_file(fs, join_path(dir, "b.dat"), "old b.dat");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::execl(probe.c_str(), probe.c_str(), dir.c_str(), c.step, signal_text.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), c.signal_number);
    std::vector<std::string> names = fs.list_folder(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.dat", "b.dat"}));
    EXPECT_EQ(read_file(fs, join_path(dir, "a.dat")), c.a);
    EXPECT_EQ(read_file(fs, join_path(dir, "b.dat")), c.b);
  }
}

// A wrapper over the machine's file system (the compile's overlay of its
// descriptions) keeps its clean-up; the file systems of tests have none, so
// that no name of theirs is ever removed from the disk.
TEST(InterruptTest, TheCleanUpIsTheMachinesThroughAnyWrapper) {
  MemoryFileSystem memory;
  ForwardingFileSystem wrapper(real_file_system());
  FaultInjectingFileSystem faulty(real_file_system());
  EXPECT_NE(real_file_system().interrupt_cleanup(), nullptr);
  EXPECT_EQ(wrapper.interrupt_cleanup(), real_file_system().interrupt_cleanup());
  EXPECT_EQ(memory.interrupt_cleanup(), nullptr);
  EXPECT_EQ(faulty.interrupt_cleanup(), nullptr);
}
#endif

TEST(PathsTest, JoinAndFolderUseThePlatformSeparator) {
#ifdef _WIN32
  EXPECT_EQ(join_path("C:\\a\\b", "c.txt"), "C:\\a\\b\\c.txt");
#else
  EXPECT_EQ(join_path("/a/b", "c.txt"), "/a/b/c.txt");
#endif
  // A joined path comes apart again.
  EXPECT_EQ(folder_of(join_path("/a/b", "c.txt")), "/a/b");
  EXPECT_EQ(folder_of("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(folder_of("C:\\a\\c.txt"), "C:\\a");
  EXPECT_EQ(folder_of("c.txt"), ".");
  EXPECT_EQ(folder_of("/c.txt"), "/");
#ifndef _WIN32
  EXPECT_EQ(path_separator(), '/');
#endif
  EXPECT_FALSE(app_folder().empty());
}

}  // namespace
}  // namespace platform
