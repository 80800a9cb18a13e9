// File steps on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace platform {

namespace {

[[noreturn]] void fail_with_errno(int err, const std::string& path) {
  int number = kPathFileAccess;
  if (err == ENOENT) number = kFileNotFound;
  if (err == EACCES || err == EPERM || err == EROFS) number = kPermissionDenied;
  if (err == ENAMETOOLONG) number = kBadFileName;
  throw RuntimeFailure(number, path + " (" + std::strerror(err) + ")");
}

// An open file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  Descriptor(const std::string& path, int flags) : path_(path) {
    fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
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
      p += n;
      left -= static_cast<size_t>(n);
    }
  }

  // Closes now, so that a failure to flush is reported.
  void close() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail_with_errno(errno, path_);
  }

  int fd() const { return fd_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace

char path_separator() { return '/'; }

bool file_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void delete_file(const std::string& path) {
  if (::unlink(path.c_str()) != 0) fail_with_errno(errno, path);
}

std::string read_file(const std::string& path) {
  Descriptor file(path, O_RDONLY);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(file.fd(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail_with_errno(errno, path);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

void replace_file(const std::string& path, std::string_view bytes) {
  // Opening for binary access creates the file, so that the delete that
  // follows always finds it; the delete then drops any older, longer content.
  Descriptor(path, O_RDWR | O_CREAT).close();
  delete_file(path);
  Descriptor file(path, O_WRONLY | O_CREAT | O_TRUNC);
  file.write_all(bytes);
  file.close();
}

void replace_file_by_parts(const std::string& path,
                           const std::function<void(const PartSink&)>& write_parts) {
  Descriptor(path, O_RDWR | O_CREAT).close();
  delete_file(path);
  Descriptor file(path, O_WRONLY | O_CREAT | O_TRUNC);
  write_parts([&file](std::string_view part) { file.write_all(part); });
  file.close();
}

}  // namespace platform
