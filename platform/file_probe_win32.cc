// A second process for the Windows file tests (files_win32_test.cc): it
// takes a folder's lock, or holds it, or holds a temporary being written, as
// another run of the programs would.
//
//   platform_file_probe lock FOLDER WAIT_MS   takes the lock and lets it go;
//                                             exit 0, or 2 when the folder
//                                             stayed busy, 1 on any other failure
//   platform_file_probe hold FOLDER EVENT     takes the lock, sets the named
//                                             event, then waits to be ended
//   platform_file_probe write FILE EVENT      starts replacing FILE: writes part
//                                             of its temporary, sets the event,
//                                             waits to be ended
//   platform_file_probe break PID -           sends Ctrl+Break to the process
//                                             group PID on its console; exit 0,
//                                             10 when it could not join that
//                                             console, 11 when it could not send
//
// Names are Windows-1252 on the command line's wide form.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace {

std::string narrow(const wchar_t* wide) {
  int size = ::WideCharToMultiByte(1252, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 1), '\0');
  ::WideCharToMultiByte(1252, 0, wide, -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(bytes.size() - 1);
  return bytes;
}

void signal_and_wait(const wchar_t* event_name) {
  HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, event_name);
  if (event == nullptr || !::SetEvent(event)) {
    std::fprintf(stderr, "probe: cannot set the event (%lu)\n", ::GetLastError());
    ::ExitProcess(1);
  }
  ::Sleep(INFINITE);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 4) {
    std::fprintf(stderr, "usage: platform_file_probe lock|hold|write|break PATH WAIT_MS|EVENT|-\n");
    return 1;
  }
  const std::wstring mode = argv[1];
  if (mode == L"break") {
    // Started with no console of its own: joins the target's.
    const DWORD group = static_cast<DWORD>(_wtoi(argv[2]));
    if (!::AttachConsole(group)) return 10;
    // Wine 8 sends no such event (it delivers a Ctrl+C typed on a terminal).
    if (!::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group)) return 11;
    return 0;
  }
  const std::string path = narrow(argv[2]);
  platform::FileSystem& fs = platform::real_file_system();
  try {
    if (mode == L"lock") {
      std::unique_ptr<platform::FolderLock> lock =
          fs.lock_folder(path, std::chrono::milliseconds(_wtoi(argv[3])));
      return 0;
    }
    if (mode == L"hold") {
      std::unique_ptr<platform::FolderLock> lock =
          fs.lock_folder(path, std::chrono::milliseconds(10000));
      signal_and_wait(argv[3]);
    }
    if (mode == L"write") {
      platform::FileReplacement replacement(fs);
      replacement.stage(path, [&](const platform::PartSink& sink) {
        sink("part of a file");
        signal_and_wait(argv[3]);
      });
    }
  } catch (const platform::RuntimeFailure& f) {
    if (f.number() == platform::kFolderBusy &&
        std::string(f.what()).find("another run is writing there") != std::string::npos) {
      return 2;
    }
    std::printf("probe: %s\n", f.what());
    return 1;
  }
  return 1;
}
