// The temporaries of replacements in progress, removed when an interrupt
// (Ctrl+C, a termination request, the console closed) ends the process, so
// that an interrupted run leaves no ".<name>.partial-<tag>" file behind.
//
// FileReplacement (platform/files.h) is the only user: it notes each
// temporary it creates and forgets it once renamed over its file or deleted.
// The table is fixed, so that a handler reads it without allocating or
// locking. A file system whose files outlive the process (the machine's
// own) gives FileReplacement its InterruptCleanup: the handler that removes
// the noted files and ends the process, and the lock that handler takes. A
// file system whose files end with the process (in memory) or a test's
// wrapper gives none, and nothing of it is noted.
#ifndef SCENARIO_PLATFORM_INTERRUPT_CLEANUP_H_
#define SCENARIO_PLATFORM_INTERRUPT_CLEANUP_H_

#include <string>

namespace platform {

class InterruptCleanup {
 public:
  virtual ~InterruptCleanup() = default;

  // Installs, once per process, the handler that calls
  // remove_noted_temporaries and then ends the process as the interrupt
  // would have.
  virtual void install() = 0;

  // Held around each step on a temporary together with its change to the
  // table (created and noted; renamed or deleted and forgotten), so that a
  // handler that runs beside the program (Windows) sees the file and its
  // note together, or neither. Where the handler runs on the interrupted
  // thread itself (POSIX) it could never wait for a lock: nothing is held.
  virtual void lock() {}
  virtual void unlock() {}
};

// A temporary that a replacement of at most this many files at a time, and
// of names up to this long, notes. Past them a temporary is left to the next
// run's clean-up (remove_stale_partials).
inline constexpr int kNotedTemporaries = 16;
inline constexpr size_t kNotedPathBytes = 4096;

// Notes `path`; returns its slot, or -1 when it was not noted.
int note_temporary(const std::string& path);

// Forgets the temporary of `slot` (nothing for -1).
void forget_temporary(int slot);

// For the handler: calls `remove` on every noted path. Safe in a signal
// handler (no allocation, no lock).
void remove_noted_temporaries(void (*remove)(const char* path));

}  // namespace platform

#endif  // SCENARIO_PLATFORM_INTERRUPT_CLEANUP_H_
