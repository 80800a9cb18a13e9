// The machine's file system on POSIX systems.
//
// Files are opened with O_NOFOLLOW and new files with O_EXCL, so that no
// link or other file planted under an output's name is ever written
// through. An interrupt (SIGINT, SIGTERM, SIGHUP) removes the temporaries
// of replacements in progress before the process ends, unless the program
// handles the signal itself (platform/interrupt_cleanup.h). SIGXFSZ is
// ignored, so that a file-size limit is a failed write with its reason and
// not a silent end of the process.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/errno_failure.h"
#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/interrupt_cleanup.h"
#include "platform/large_pages.h"
#include "platform/runtime_failure.h"

namespace platform {

int failure_number_of_errno(int err) {
  int number = kPathFileAccess;
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      number = kFileNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      number = kPermissionDenied;
      break;
    case ENAMETOOLONG:
      number = kBadFileName;
      break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      number = kDiskFull;
      break;
    case EIO:
      number = kDeviceIO;
      break;
    case ENOMEM:
      number = kOutOfMemory;
      break;
    default:
      break;
  }
  return number;
}

namespace {

[[noreturn]] void fail_with_errno(int err, const std::string& path) {
  const int number = failure_number_of_errno(err);
  const char* reason = err == ELOOP ? "is a symbolic link" : std::strerror(err);
  throw RuntimeFailure(number, path + " (" + reason + ")");
}

// ---- Temporaries removed on an interrupt -------------------------------------

extern "C" void remove_noted_file(const char* path) { ::unlink(path); }

// Runs on the interrupted thread: only calls safe in a signal handler.
extern "C" void remove_noted_and_end(int signal_number) {
  remove_noted_temporaries(remove_noted_file);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

class PosixInterruptCleanup : public InterruptCleanup {
 public:
  void install() override {
    static std::once_flag once;
    std::call_once(once, [] {
      for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (::sigaction(signal_number, nullptr, &old) != 0) continue;
        // A program that handles the signal itself keeps its handler.
        if (old.sa_handler != SIG_DFL) continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = remove_noted_and_end;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr);
      }
    });
  }
};

// ---- Files ---------------------------------------------------------------------

// An open file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  Descriptor(const std::string& path, int flags) : path_(path) {
    do {
      fd_ = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) fail_with_errno(errno, path);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }

  void write_all(std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        fail_with_errno(errno, path_);
      }
      if (n == 0) fail_with_errno(ENOSPC, path_);
      p += n;
      left -= static_cast<size_t>(n);
    }
  }

  void sync() {
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) fail_with_errno(errno, path_);
  }

  // Closes now, so that a failure to flush is reported.
  void close() {
    int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) fail_with_errno(errno, path_);
  }

  int fd() const { return fd_; }

 private:
  std::string path_;
  int fd_ = -1;
};

class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(const std::string& path) : file_(path, O_WRONLY | O_CREAT | O_EXCL) {}
  void append(std::string_view bytes) override { file_.write_all(bytes); }
  void sync() override { file_.sync(); }
  void close() override { file_.close(); }

 private:
  Descriptor file_;
};

class PosixFolderLock : public FolderLock {
 public:
  explicit PosixFolderLock(int fd) : fd_(fd) {}
  ~PosixFolderLock() override { ::close(fd_); }  // closing lets the lock go

 private:
  int fd_;
};

FileKind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kLink;
  return FileKind::kOther;
}

class PosixFileSystem : public FileSystem {
 public:
  FileKind kind(const std::string& path) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return FileKind::kMissing;
      fail_with_errno(errno, path);
    }
    return kind_of(st.st_mode);
  }

  uint64_t file_size(const std::string& path) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) fail_with_errno(errno, path);
    if (!S_ISREG(st.st_mode)) {
      throw not_regular_failure(path, kind_of(st.st_mode));
    }
    return static_cast<uint64_t>(st.st_size);
  }

  std::string read_file(const std::string& path, uint64_t limit) override {
    // O_NONBLOCK: opening a pipe with no writer must not wait; it is refused
    // below like any other file that is not regular.
    Descriptor file(path, O_RDONLY | O_NONBLOCK);
    struct stat st;
    if (::fstat(file.fd(), &st) != 0) fail_with_errno(errno, path);
    if (!S_ISREG(st.st_mode)) {
      throw not_regular_failure(path, kind_of(st.st_mode));
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size > limit) throw too_large_failure(path, size, limit);
    std::string bytes;
    bytes.reserve(static_cast<size_t>(size));
    // A file of megabytes (a line file) would cost a page fault per 4 KiB.
    if (bytes.capacity() >= kLargeBytes) advise_large_pages(bytes.data(), bytes.capacity());
    char buffer[1 << 16];
    for (;;) {
      ssize_t n = ::read(file.fd(), buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        fail_with_errno(errno, path);
      }
      if (n == 0) break;
      bytes.append(buffer, static_cast<size_t>(n));
      // The file may be growing while it is read.
      if (bytes.size() > limit) throw too_large_failure(path, bytes.size(), limit);
    }
    return bytes;
  }

  std::unique_ptr<WritableFile> create_new(const std::string& path) override {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
    return std::make_unique<PosixWritableFile>(path);
  }

  void rename_file(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) fail_with_errno(errno, to);
  }

  void delete_file(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) fail_with_errno(errno, path);
  }

  void sync_folder(const std::string& folder) override {
    // A failure here is reported: the renames are done, but nothing says
    // they would survive a crash.
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fail_with_errno(errno, folder);
    int result = ::fsync(fd);
    int err = errno;
    ::close(fd);
    // Some file systems cannot sync a folder; their entries need no sync.
    if (result != 0 && err != EINVAL && err != EROFS) fail_with_errno(err, folder);
  }

  void create_folders(const std::string& folder) override {
    if (folder.empty()) return;
    size_t from = 1;
    for (;;) {
      size_t slash = folder.find('/', from);
      std::string part = folder.substr(0, slash);
      if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
        fail_with_errno(errno, part);
      }
      if (slash == std::string::npos) break;
      from = slash + 1;
    }
    if (kind(folder) != FileKind::kFolder) {
      throw RuntimeFailure(kPathFileAccess, folder + " (is not a folder)");
    }
  }

  void delete_folder(const std::string& folder) override {
    if (::rmdir(folder.c_str()) != 0) fail_with_errno(errno, folder);
  }

  std::vector<std::string> list_folder(const std::string& folder) override {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) fail_with_errno(errno, folder);
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    return names;
  }

  std::unique_ptr<FolderLock> lock_folder(const std::string& folder,
                                          std::chrono::milliseconds wait) override {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fail_with_errno(errno, folder);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return std::make_unique<PosixFolderLock>(fd);
      int err = errno;
      if (err != EWOULDBLOCK && err != EINTR) {
        ::close(fd);
        fail_with_errno(err, folder);
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        ::close(fd);
        throw folder_busy_failure(folder, wait);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  InterruptCleanup* interrupt_cleanup() override { return &cleanup_; }

 private:
  PosixInterruptCleanup cleanup_;
};

}  // namespace

char path_separator() { return '/'; }

FileSystem& real_file_system() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform
