// The machine's file system on Windows, and the executable's folder.
//
// Names are Windows-1252 bytes, as every text of the program; they go to the
// wide file functions after conversion to UTF-16, so that a name means the
// same file whatever the system's own code page is.
//
// The contract is the POSIX one (platform/file_system_posix.cc), with these
// Windows means:
//
//   links     a reparse point that stands for another name (a symbolic link,
//             a junction: a "name surrogate") is a link, never followed:
//             files are opened with FILE_FLAG_OPEN_REPARSE_POINT. Other
//             reparse points (the placeholders of OneDrive and other cloud
//             folders, deduplicated files) are the files they hold: the
//             program must keep working on a synchronised desktop.
//   new files CREATE_NEW, which fails when anything at all has the name, a
//             link included; shared for deletion only, so that an interrupt
//             can remove a temporary still being written.
//   renames   written through (FILE_FLAG_WRITE_THROUGH, or MoveFileExW with
//             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): the rename
//             is on the storage when the call returns, so sync_folder has
//             nothing left to do. With POSIX semantics where the system has
//             them, so that a file being read is replaced (rename_over).
//   the lock  a named mutex of the session manager, named after the folder's
//             identity (volume and file number): nothing is written into the
//             folder, a killed holder's lock is let go by the system, a waiter
//             waits without polling. See lock_folder below.
//   interrupt Ctrl+C, Ctrl+Break or the closing of the console window remove
//             the temporaries of replacements in progress, through a console
//             control handler (SetConsoleCtrlHandler) that reads the
//             replacements' table (platform/interrupt_cleanup.h). A program with no
//             console (scenario_compiler is a desktop program) receives no
//             such event: ended from the task manager it is terminated with no
//             code of its own running, and its next run removes what it left
//             (platform::remove_stale_partials, under the folder's lock).
//
// Another program (an antivirus, an indexer, the simulator reading a file)
// may hold a file for a moment without sharing it for deletion; a rename or a
// delete that meets such a sharing failure is tried again for about a second.
// windows.h first: sddl.h needs its definitions.
#include <windows.h>
// (a separate block, so that include sorting keeps the order)
#include <sddl.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/interrupt_cleanup.h"
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
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:  // EFBIG on POSIX
      number = kDiskFull;
      break;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:  // EIO on POSIX
      number = kDeviceIO;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      number = kOutOfMemory;
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

// The Windows-1252 form of a UTF-16 name; false when a character has none
// (it would name another file, or none, on the way back).
bool narrow_name(const wchar_t* wide, size_t length, std::string* bytes) {
  bytes->clear();
  if (length == 0) return true;
  BOOL lossy = FALSE;
  int size = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(length),
                                   nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return false;
  bytes->resize(static_cast<size_t>(size));
  ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(length),
                        bytes->data(), size, nullptr, nullptr);
  return true;
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// ---- Temporaries removed on an interrupt ---------------------------------------

// The console control handler runs on a thread of its own while the program
// goes on. FileReplacement holds `noted_guard` over every step that creates,
// renames or deletes a noted temporary, together with its change to the
// table (platform/interrupt_cleanup.h); the handler takes it and never lets
// it go, so that the program's file steps stop where they are (a temporary
// is never renamed after the handler removed it, nor created after the
// handler looked) until the process ends.
SRWLOCK noted_guard = SRWLOCK_INIT;

void delete_noted_file(const char* path) {
  wchar_t wide[kNotedPathBytes];  // one character for each Windows-1252 byte
  if (::MultiByteToWideChar(kCodePage, 0, path, -1, wide, static_cast<int>(std::size(wide))) > 0) {
    ::DeleteFileW(wide);
  }
}

BOOL WINAPI remove_noted_and_end(DWORD event) {
  // The logoff and shutdown events never reach a program that uses user32,
  // as these do; other events are not for this handler.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  ::AcquireSRWLockExclusive(&noted_guard);  // kept: the process ends here
  remove_noted_temporaries(delete_noted_file);
  // As the system's own handler would, with the same exit status.
  ::ExitProcess(STATUS_CONTROL_C_EXIT);
  return TRUE;
}

class Win32InterruptCleanup : public InterruptCleanup {
 public:
  void install() override {
    static std::once_flag once;
    std::call_once(once, [] { ::SetConsoleCtrlHandler(remove_noted_and_end, TRUE); });
  }
  void lock() override { ::AcquireSRWLockExclusive(&noted_guard); }
  void unlock() override { ::ReleaseSRWLockExclusive(&noted_guard); }
};

// Runs `step` (a rename or a delete, which returns false and leaves the
// error with GetLastError when it fails), again for about a second while
// another program holds the file without sharing it. Returns 0 or the last
// error. A replacement holds the interrupt's guard over all of it: an
// interrupt then waits for the step to end, at most that second.
template <typename Step>
DWORD with_sharing_retries(const std::wstring& target, Step step) {
  static constexpr DWORD kDelaysMs[] = {10, 20, 40, 80, 160, 250, 500};
  for (size_t attempt = 0;; ++attempt) {
    if (step()) return 0;
    const DWORD err = ::GetLastError();
    bool transient = err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION;
    if (err == ERROR_ACCESS_DENIED) {
      // Also what a file held open shows to a rename or a delete; but a
      // folder or a read-only file stays so: no wait for those.
      DWORD attributes = ::GetFileAttributesW(target.c_str());
      transient = attributes != INVALID_FILE_ATTRIBUTES &&
                  (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
    }
    if (!transient || attempt == std::size(kDelaysMs)) return err;
    ::Sleep(kDelaysMs[attempt]);
  }
}

// ---- Renames ----------------------------------------------------------------------

// Renames `from` over `to`, written through to the storage before it returns.
// Returns false and leaves the error with GetLastError when it fails.
//
// Within one folder the rename goes through a handle of `from`, with POSIX
// semantics (Windows 10 1709 and later, NTFS): a file of the new name that
// another program holds open, sharing it for deletion, is replaced as on
// POSIX, and that program goes on reading the old bytes. Where the system or
// the volume does not know this rename (an older Windows, FAT, a network
// share), or across folders, MoveFileExW does it: the old file must then be
// closed by everyone.
//
// FileRenameInfoEx, which mingw-w64 declares only for a _WIN32_WINNT above
// the one this build names (the call fails cleanly where it is unknown).
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

bool rename_over(const std::wstring& from, const std::wstring& to) {
  const size_t from_slash = from.find_last_of(L"\\/");
  const size_t to_slash = to.find_last_of(L"\\/");
  const bool same_folder = from_slash != std::wstring::npos && to_slash != std::wstring::npos &&
                           from.compare(0, from_slash, to, 0, to_slash) == 0 &&
                           to_slash + 1 < to.size();
  if (same_folder) {
    HANDLE handle = ::CreateFileW(
        from.c_str(), DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    // The new name alone: a rename within the file's own folder.
    const std::wstring name = to.substr(to_slash + 1);
    const size_t name_bytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned long long> buffer(
        (offsetof(FILE_RENAME_INFO, FileName) + name_bytes + sizeof(wchar_t)) /
            sizeof(unsigned long long) +
        1);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name_bytes);
    std::memcpy(info->FileName, name.c_str(), name_bytes + sizeof(wchar_t));
    const bool renamed = ::SetFileInformationByHandle(
        handle, kFileRenameInfoEx, info, static_cast<DWORD>(buffer.size() * sizeof buffer[0]));
    const DWORD err = ::GetLastError();
    ::CloseHandle(handle);
    if (renamed) return true;
    if (err != ERROR_INVALID_PARAMETER && err != ERROR_NOT_SUPPORTED &&
        err != ERROR_INVALID_FUNCTION && err != ERROR_CALL_NOT_IMPLEMENTED) {
      ::SetLastError(err);
      return false;
    }
  }
  return ::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// ---- Kinds ------------------------------------------------------------------------

// The reparse tag of the entry `wide` names (not followed); 0 when unknown.
DWORD reparse_tag_of(const std::wstring& wide) {
  std::wstring name = wide;
  while (name.size() > 1 && is_separator(name.back())) name.pop_back();
  WIN32_FIND_DATAW data;
  HANDLE find =
      ::FindFirstFileExW(name.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return 0;
  ::FindClose(find);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? data.dwReserved0 : 0;
}

// What attributes and a reparse tag (0: unknown) say an entry is.
FileKind kind_from(DWORD attributes, DWORD reparse_tag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A symbolic link or a junction stands for another name. A reparse point
    // of unknown kind is taken for a link too: never written through.
    if (reparse_tag == 0 || IsReparseTagNameSurrogate(reparse_tag)) return FileKind::kLink;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::kFolder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return FileKind::kOther;
  return FileKind::kRegular;
}

// The kind of an entry; kMissing when it cannot be looked at.
FileKind kind_or_missing(const std::wstring& wide) {
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::kMissing;
  return kind_from(attributes,
                   (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? reparse_tag_of(wide) : 0);
}

// ---- Files ---------------------------------------------------------------------------

// An open file handle, closed when it goes out of scope.
class Handle {
 public:
  Handle(HANDLE handle, const std::string& path, const std::wstring& wide)
      : path_(path), wide_(wide), handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  HANDLE get() const { return handle_; }
  [[noreturn]] void fail(DWORD err) const { fail_with_error(err, path_, wide_); }

  void write_all(std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
      DWORD written = 0;
      if (!::WriteFile(handle_, p, chunk, &written, nullptr)) fail(::GetLastError());
      if (written == 0) fail(ERROR_DISK_FULL);
      p += written;
      left -= written;
    }
  }

  void sync() {
    // A storage that has no such step (some devices) says so; not a failure.
    if (!::FlushFileBuffers(handle_) && ::GetLastError() != ERROR_INVALID_FUNCTION) {
      fail(::GetLastError());
    }
  }

  // Closes now, so that a failure to flush is reported.
  void close() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (handle != INVALID_HANDLE_VALUE && !::CloseHandle(handle)) fail(::GetLastError());
  }

  void reset(HANDLE handle) {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  std::string path_;
  std::wstring wide_;
  HANDLE handle_;
};

class Win32WritableFile : public WritableFile {
 public:
  Win32WritableFile(HANDLE handle, const std::string& path, const std::wstring& wide)
      : file_(handle, path, wide) {}
  void append(std::string_view bytes) override { file_.write_all(bytes); }
  void sync() override { file_.sync(); }
  void close() override { file_.close(); }

 private:
  Handle file_;
};

// Volume and file number: the same for every name of one file or folder.
bool same_file(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION ia;
  BY_HANDLE_FILE_INFORMATION ib;
  return ::GetFileInformationByHandle(a, &ia) && ::GetFileInformationByHandle(b, &ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

// ---- The folder lock --------------------------------------------------------------
//
// A folder is locked through a named mutex whose name is made of the folder's
// identity: the volume's serial number and the folder's file number, the same
// whatever path reaches it (another case, a short 8.3 name, a junction, a
// mapped drive). The mutex lives in the session manager's global namespace,
// so that runs in the sessions of two users exclude each other too, with a
// DACL that lets any of them wait on it and release it.
//
// Why not a lock file? A file "<folder>\.scenario.lock" opened with
// FILE_FLAG_DELETE_ON_CLOSE and locked with LockFileEx shows up in the folder
// (to the user, to a synchronising client) for the whole run, and its
// deletion races with its locking: when a waiter that gave up closes its
// handle the file becomes "delete pending" under the holder, and every new
// run then fails to open it (access denied, the same error as a folder it may
// not write), or, where the deletion takes the name away at once, creates and
// locks a new file of that name while the holder still runs. A mutex has none
// of this: nothing appears in the folder, the wait is the system's own, and a
// holder killed mid-run leaves its mutex "abandoned", which the next waiter
// gets at once. Its limits: it keeps out only the runs on this machine (two
// machines writing one shared network folder are not kept apart), and a
// mutex belongs to the thread that took it, so a FolderLock must go on the
// thread that took it (the programs take and drop it on their main thread).
//
// A mutex is also taken again, at once, by the thread that holds it; the
// folders this process holds are kept in a set, so that a second lock of
// the same folder waits as it would in another process.

std::mutex held_mutex;
std::set<std::wstring>& held_folders() {
  static std::set<std::wstring> held;
  return held;
}

class Win32FolderLock : public FolderLock {
 public:
  Win32FolderLock(HANDLE mutex, std::wstring name) : mutex_(mutex), name_(std::move(name)) {}
  ~Win32FolderLock() override {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
    std::lock_guard<std::mutex> lock(held_mutex);
    held_folders().erase(name_);
  }

 private:
  HANDLE mutex_;
  std::wstring name_;
};

// The name of the folder's mutex.
std::wstring folder_mutex_name(const std::string& folder, const std::wstring& wide) {
  HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) fail_with_error(::GetLastError(), folder, wide);
  Handle dir(handle, folder, wide);
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) dir.fail(::GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    throw RuntimeFailure(kFileNotFound, folder + " (is not a folder)");
  }
  // Hexadecimal digits, most significant first.
  std::wstring name = L"Global\\scenario-folder";
  auto hex = [&name](unsigned long long value, int digits) {
    name += L'-';
    for (int i = digits - 1; i >= 0; --i) name += L"0123456789abcdef"[(value >> (4 * i)) & 15];
  };
  FILE_ID_INFO id;
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
    // 128-bit file numbers (ReFS) in full.
    unsigned long long high = 0;
    unsigned long long low = 0;
    std::memcpy(&high, id.FileId.Identifier + 8, 8);
    std::memcpy(&low, id.FileId.Identifier, 8);
    hex(id.VolumeSerialNumber, 16);
    hex(high, 16);
    hex(low, 16);
  } else {
    hex(info.dwVolumeSerialNumber, 8);
    hex(info.nFileIndexHigh, 8);
    hex(info.nFileIndexLow, 8);
  }
  return name;
}

// Opens (or creates) the named mutex, with the rights a waiter needs.
HANDLE open_folder_mutex(const std::wstring& name, const std::string& folder,
                         const std::wstring& wide) {
  // Anyone may wait on it (SYNCHRONIZE) and release it (MUTEX_MODIFY_STATE).
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;0x00100001;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    attributes.lpSecurityDescriptor = descriptor;
  }
  HANDLE mutex = ::CreateMutexExW(&attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
  DWORD err = ::GetLastError();
  if (descriptor != nullptr) ::LocalFree(descriptor);
  if (mutex == nullptr) fail_with_error(err, folder, wide);
  return mutex;
}

// ---- The file system --------------------------------------------------------------

class Win32FileSystem : public FileSystem {
 public:
  FileKind kind(const std::string& path) override {
    std::wstring wide = wide_name(path);
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      DWORD err = ::GetLastError();
      if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return FileKind::kMissing;
      fail_with_error(err, path, wide);
    }
    return kind_from(attributes,
                     (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? reparse_tag_of(wide) : 0);
  }

  uint64_t file_size(const std::string& path) override {
    std::wstring wide = wide_name(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
      fail_with_error(::GetLastError(), path, wide);
    }
    FileKind k = kind_from(
        data.dwFileAttributes,
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? reparse_tag_of(wide) : 0);
    if (k != FileKind::kRegular) throw not_regular_failure(path, k);
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  }

  std::string read_file(const std::string& path, uint64_t limit) override {
    std::wstring wide = wide_name(path);
    // The entry itself, never what a link points to. Shared in every way, as
    // on POSIX: another program may be writing it (the size limit is kept
    // while reading), or replace it meanwhile (this one goes on reading the
    // old bytes).
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD err = ::GetLastError();
      // A folder cannot be opened as a file at all: say what it is.
      FileKind k = kind_or_missing(wide);
      if (k == FileKind::kFolder || k == FileKind::kLink || k == FileKind::kOther) {
        throw not_regular_failure(path, k);
      }
      fail_with_error(err, path, wide);
    }
    Handle file(handle, path, wide);
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
      throw not_regular_failure(path, FileKind::kOther);
    }
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
      file.fail(::GetLastError());
    }
    FileKind k = kind_from(tag.FileAttributes, tag.ReparseTag);
    if (k != FileKind::kRegular) throw not_regular_failure(path, k);
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      // A placeholder of a cloud folder or a deduplicated file: its bytes
      // come through the system's filter, opened the ordinary way. The name
      // must still be the same file (not swapped for a link meanwhile).
      HANDLE through = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (through == INVALID_HANDLE_VALUE) file.fail(::GetLastError());
      bool same = same_file(handle, through);
      file.reset(through);
      handle = through;
      if (!same) throw not_regular_failure(path, FileKind::kLink);
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle, &size)) file.fail(::GetLastError());
    if (static_cast<uint64_t>(size.QuadPart) > limit) {
      throw too_large_failure(path, static_cast<uint64_t>(size.QuadPart), limit);
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[1 << 16];
    for (;;) {
      DWORD n = 0;
      if (!::ReadFile(handle, buffer, sizeof buffer, &n, nullptr)) file.fail(::GetLastError());
      if (n == 0) break;
      bytes.append(buffer, n);
      // The file may be growing while it is read.
      if (bytes.size() > limit) throw too_large_failure(path, bytes.size(), limit);
    }
    return bytes;
  }

  std::unique_ptr<WritableFile> create_new(const std::string& path) override {
    std::wstring wide = wide_name(path);
    // Not shared for reading or writing; shared for deletion, so that the
    // interrupt handler can remove it while it is open. A link of that name
    // is not followed: it is a name already taken.
    HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) fail_with_error(::GetLastError(), path, wide);
    return std::make_unique<Win32WritableFile>(handle, path, wide);
  }

  void rename_file(const std::string& from, const std::string& to) override {
    std::wstring wide_from = wide_name(from);
    std::wstring wide_to = wide_name(to);
    DWORD err = with_sharing_retries(wide_to, [&] { return rename_over(wide_from, wide_to); });
    if (err != 0) fail_with_error(err, to, wide_to);
  }

  void delete_file(const std::string& path) override {
    std::wstring wide = wide_name(path);
    DWORD err = with_sharing_retries(wide, [&] { return ::DeleteFileW(wide.c_str()) != FALSE; });
    if (err != 0) fail_with_error(err, path, wide);
  }

  // Nothing to do: every rename was written through (MOVEFILE_WRITE_THROUGH)
  // before it returned, and Windows has no step that flushes a folder's
  // entries alone.
  void sync_folder(const std::string&) override {}

  void create_folders(const std::string& folder) override {
    if (folder.empty()) return;
    std::wstring wide = wide_name(folder);
    // The root is never created: "C:\", "\", "\\server\share\",
    // "\\?\C:\", "\\?\UNC\server\share\".
    size_t from = 0;
    auto skip_component = [&wide](size_t at) {
      while (at < wide.size() && !is_separator(wide[at])) ++at;
      return at < wide.size() ? at + 1 : at;
    };
    if (wide.size() >= 2 && is_separator(wide[0]) && is_separator(wide[1])) {
      from = 2;
      if (wide.size() >= 4 && (wide[2] == L'?' || wide[2] == L'.') && is_separator(wide[3])) {
        from = 4;
        if (wide.compare(4, 4, L"UNC\\") == 0) {
          from = skip_component(skip_component(8));
        } else {
          from = skip_component(4);
        }
      } else {
        from = skip_component(skip_component(2));
      }
    } else if (wide.size() >= 2 && wide[1] == L':') {
      from = wide.size() >= 3 && is_separator(wide[2]) ? 3 : 2;
    } else if (is_separator(wide[0])) {
      from = 1;
    }
    while (from < wide.size()) {
      size_t end = from;
      while (end < wide.size() && !is_separator(wide[end])) ++end;
      if (end > from) {
        std::wstring part = wide.substr(0, end);
        if (!is_folder(part) && !::CreateDirectoryW(part.c_str(), nullptr)) {
          DWORD err = ::GetLastError();
          if (err != ERROR_ALREADY_EXISTS) {
            std::string name;
            narrow_name(part.data(), part.size(), &name);
            fail_with_error(err, name, part);
          }
        }
      }
      from = end + 1;
    }
    if (kind(folder) != FileKind::kFolder) {
      throw RuntimeFailure(kPathFileAccess, folder + " (is not a folder)");
    }
  }

  void delete_folder(const std::string& folder) override {
    std::wstring wide = wide_name(folder);
    if (::RemoveDirectoryW(wide.c_str())) return;
    DWORD err = ::GetLastError();
    // A file of that name: ENOTDIR on POSIX.
    if (err == ERROR_DIRECTORY) throw RuntimeFailure(kFileNotFound, folder + " (is not a folder)");
    fail_with_error(err, folder, wide);
  }

  std::vector<std::string> list_folder(const std::string& folder) override {
    std::wstring wide = wide_name(folder);
    std::wstring pattern = wide;
    if (!is_separator(pattern.back())) pattern += L'\\';
    pattern += L'*';
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      DWORD err = ::GetLastError();
      if (err == ERROR_FILE_NOT_FOUND) return names;  // a drive's empty root
      fail_with_error(err, folder, wide);
    }
    DWORD err = 0;
    for (;;) {
      const wchar_t* name = data.cFileName;
      // A name with a character outside Windows-1252 could not be named
      // back: it is none of the program's files, and is left out.
      std::string bytes;
      if (std::wcscmp(name, L".") != 0 && std::wcscmp(name, L"..") != 0 &&
          narrow_name(name, std::wcslen(name), &bytes)) {
        names.push_back(std::move(bytes));
      }
      if (!::FindNextFileW(find, &data)) {
        err = ::GetLastError();
        break;
      }
    }
    ::FindClose(find);
    if (err != ERROR_NO_MORE_FILES) fail_with_error(err, folder, wide);
    return names;
  }

  std::unique_ptr<FolderLock> lock_folder(const std::string& folder,
                                          std::chrono::milliseconds wait) override {
    std::wstring wide = wide_name(folder);
    const std::wstring name = folder_mutex_name(folder, wide);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // First among the threads of this process.
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(held_mutex);
        if (held_folders().insert(name).second) break;
      }
      if (std::chrono::steady_clock::now() >= deadline) throw folder_busy_failure(folder, wait);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Then among the processes.
    try {
      HANDLE mutex = open_folder_mutex(name, folder, wide);
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      const DWORD left_ms = left.count() <= 0              ? 0
                            : left.count() >= INFINITE - 1 ? INFINITE - 1
                                                           : static_cast<DWORD>(left.count());
      DWORD result = ::WaitForSingleObject(mutex, left_ms);
      // WAIT_ABANDONED: the last holder ended without letting it go (killed);
      // the lock is ours, and what it left is removed by its caller.
      if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        return std::make_unique<Win32FolderLock>(mutex, name);
      }
      DWORD err = ::GetLastError();
      ::CloseHandle(mutex);
      if (result == WAIT_TIMEOUT) throw folder_busy_failure(folder, wait);
      fail_with_error(err, folder, wide);
    } catch (...) {
      std::lock_guard<std::mutex> lock(held_mutex);
      held_folders().erase(name);
      throw;
    }
  }

  InterruptCleanup* interrupt_cleanup() override { return &cleanup_; }

 private:
  Win32InterruptCleanup cleanup_;
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
  std::string bytes;
  if (!narrow_name(folder.data(), folder.size(), &bytes)) {
    throw RuntimeFailure(kBadFileName,
                         "the executable's folder has a name outside the Windows-1252 code page");
  }
  return bytes;
}

char path_separator() { return '\\'; }

FileSystem& real_file_system() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace platform
