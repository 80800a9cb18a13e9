#include <signal.h>

#include <atomic>
#include <cstring>

#include "platform/interrupt.h"

namespace platform {

namespace {

std::atomic<bool> raised_flag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler sets it");

struct sigaction old_int, old_term;

extern "C" void raise_flag(int) { raised_flag.store(true); }

}  // namespace

InterruptFlag::InterruptFlag() {
  raised_flag.store(false);
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = raise_flag;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &old_int);
  ::sigaction(SIGTERM, &action, &old_term);
}

InterruptFlag::~InterruptFlag() {
  ::sigaction(SIGINT, &old_int, nullptr);
  ::sigaction(SIGTERM, &old_term, nullptr);
}

bool InterruptFlag::raised() const { return raised_flag.load(); }

}  // namespace platform
