#include "platform/interrupt_cleanup.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

std::atomic<bool> noted_used[kNotedTemporaries];
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads it");
char noted_path[kNotedTemporaries][kNotedPathBytes];
std::mutex noted_mutex;  // between threads of the program, never the handler

}  // namespace

int note_temporary(const std::string& path) {
  if (path.size() >= kNotedPathBytes || path.find('\0') != std::string::npos) return -1;
  std::lock_guard<std::mutex> lock(noted_mutex);
  for (int i = 0; i < kNotedTemporaries; ++i) {
    if (!noted_used[i].load()) {
      // The path is whole before the slot is seen as used.
      std::memcpy(noted_path[i], path.c_str(), path.size() + 1);
      noted_used[i].store(true);
      return i;
    }
  }
  return -1;
}

void forget_temporary(int slot) {
  if (slot < 0 || slot >= kNotedTemporaries) return;
  std::lock_guard<std::mutex> lock(noted_mutex);
  noted_used[slot].store(false);
}

void remove_noted_temporaries(void (*remove)(const char* path)) {
  for (int i = 0; i < kNotedTemporaries; ++i) {
    if (noted_used[i].load()) remove(noted_path[i]);
  }
}

}  // namespace platform
