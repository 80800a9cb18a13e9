// File steps and the executable's folder on Windows.
//
// Names are Windows-1252 bytes, as every text of the program; they go to the
// wide file functions after conversion to UTF-16, so that a name means the
// same file whatever the system's own code page is.
#include <windows.h>

#include <string>

#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace platform {

namespace {

constexpr UINT kCodePage = 1252;

// The failure's text in Windows-1252, without the system's final line end.
std::string system_message(DWORD err) {
  wchar_t* text = nullptr;
  DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (n > 0 && text != nullptr) {
    int size = ::WideCharToMultiByte(kCodePage, 0, text, static_cast<int>(n), nullptr, 0, nullptr,
                                     nullptr);
    message.resize(static_cast<size_t>(size > 0 ? size : 0));
    if (size > 0) {
      ::WideCharToMultiByte(kCodePage, 0, text, static_cast<int>(n), message.data(), size, nullptr,
                            nullptr);
    }
  }
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "system error " + std::to_string(err);
  return message;
}

bool is_folder(const std::wstring& wide) {
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Maps the system's error to the run-time failure numbers the POSIX layer
// uses for the same cases.
[[noreturn]] void fail_with_error(DWORD err, const std::string& path, const std::wstring& wide) {
  int number = kPathFileAccess;
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      number = kFileNotFound;
      break;
    case ERROR_ACCESS_DENIED:
      // A folder in the place of the file is an access error, as on POSIX.
      number = is_folder(wide) ? kPathFileAccess : kPermissionDenied;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      number = kPermissionDenied;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
      number = kBadFileName;
      break;
    default:
      break;
  }
  throw RuntimeFailure(number, path + " (" + system_message(err) + ")");
}

// The UTF-16 form of a Windows-1252 file name. Every byte has a character in
// this conversion; a NUL byte would cut the name short, so it is refused.
std::wstring wide_name(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    throw RuntimeFailure(kBadFileName, path);
  }
  int size =
      ::MultiByteToWideChar(kCodePage, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (size <= 0) throw RuntimeFailure(kBadFileName, path);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(kCodePage, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                        size);
  return wide;
}

// An open file handle, closed when it goes out of scope.
class Handle {
 public:
  Handle(const std::string& path, DWORD access, DWORD share, DWORD disposition)
      : path_(path), wide_(wide_name(path)) {
    handle_ = ::CreateFileW(wide_.c_str(), access, share, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) fail_with_error(::GetLastError(), path_, wide_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  void write_all(std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
      DWORD written = 0;
      if (!::WriteFile(handle_, p, chunk, &written, nullptr)) {
        fail_with_error(::GetLastError(), path_, wide_);
      }
      if (written == 0) fail_with_error(ERROR_WRITE_FAULT, path_, wide_);
      p += written;
      left -= written;
    }
  }

  std::string read_all() {
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
      DWORD n = 0;
      if (!::ReadFile(handle_, buffer, sizeof buffer, &n, nullptr)) {
        fail_with_error(::GetLastError(), path_, wide_);
      }
      if (n == 0) break;
      bytes.append(buffer, n);
    }
    return bytes;
  }

  // Closes now, so that a failure to flush is reported.
  void close() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(handle)) fail_with_error(::GetLastError(), path_, wide_);
  }

 private:
  std::string path_;
  std::wstring wide_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::string app_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) {
      throw RuntimeFailure(kPathFileAccess, "cannot find the executable's folder");
    }
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    // The name was cut to fit: try again with room for a longer one.
    if (path.size() >= 32768) {
      throw RuntimeFailure(kBadFileName, "the executable's folder has too long a name");
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L"\\/");
  std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);

  // The program names every file in Windows-1252: a folder whose name has a
  // character outside that code page could not be named back, and its files
  // would land elsewhere. Refuse it instead.
  BOOL lossy = FALSE;
  int size = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, folder.data(),
                                   static_cast<int>(folder.size()), nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) {
    throw RuntimeFailure(kBadFileName,
                         "the executable's folder has a name outside the Windows-1252 code page");
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, folder.data(),
                        static_cast<int>(folder.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

char path_separator() { return '\\'; }

bool file_exists(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  DWORD attributes = ::GetFileAttributesW(wide_name(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void delete_file(const std::string& path) {
  std::wstring wide = wide_name(path);
  if (!::DeleteFileW(wide.c_str())) fail_with_error(::GetLastError(), path, wide);
}

std::string read_file(const std::string& path) {
  Handle file(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  return file.read_all();
}

void replace_file(const std::string& path, std::string_view bytes) {
  // Opening for binary access creates the file, so that the delete that
  // follows always finds it; the delete then drops any older, longer content.
  Handle(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS).close();
  delete_file(path);
  Handle file(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  file.write_all(bytes);
  file.close();
}

void replace_file_by_parts(const std::string& path,
                           const std::function<void(const PartSink&)>& write_parts) {
  Handle(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS).close();
  delete_file(path);
  Handle file(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  write_parts([&file](std::string_view part) { file.write_all(part); });
  file.close();
}

}  // namespace platform
