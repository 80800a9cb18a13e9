#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace platform {

namespace {

std::atomic<bool> raised_flag{false};

BOOL WINAPI raise_flag(DWORD) {
  raised_flag.store(true);
  return TRUE;  // handled: the process is not ended
}

}  // namespace

InterruptFlag::InterruptFlag() {
  raised_flag.store(false);
  SetConsoleCtrlHandler(raise_flag, TRUE);
}

InterruptFlag::~InterruptFlag() { SetConsoleCtrlHandler(raise_flag, FALSE); }

bool InterruptFlag::raised() const { return raised_flag.load(); }

}  // namespace platform
