// Ctrl-C and termination requests as a flag that a long-running command
// polls, so that it ends between two steps of its work instead of in the
// middle of one.
//
// While an InterruptFlag lives, SIGINT and SIGTERM (on Windows, the console's
// Ctrl-C, Ctrl-Break and close events) only raise the flag; the handlers that
// were there before are restored when it is destroyed. One at a time.
#ifndef SCENARIO_PLATFORM_INTERRUPT_H_
#define SCENARIO_PLATFORM_INTERRUPT_H_

namespace platform {

class InterruptFlag {
 public:
  InterruptFlag();
  ~InterruptFlag();
  InterruptFlag(const InterruptFlag&) = delete;
  InterruptFlag& operator=(const InterruptFlag&) = delete;

  // True once an interrupt has arrived.
  bool raised() const;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_INTERRUPT_H_
