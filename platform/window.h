// The program's only window: a small form whose one label says "Attendere"
// while the compiler works. It is shown and painted once before the work
// starts; no event is processed afterwards, and it goes away at the end.
//
// On Windows this is a real window; elsewhere a console stand-in prints the
// label's caption as one line on standard output.
#ifndef SCENARIO_PLATFORM_WINDOW_H_
#define SCENARIO_PLATFORM_WINDOW_H_

#include <memory>
#include <string_view>

namespace platform {

class Window {
 public:
  // Creates the window `Form1` with its label `Label1` holding `caption`.
  explicit Window(std::string_view caption);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Shows the window, not modal, and paints it once.
  void show_and_paint();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A message box with one OK button, no icon, the application's title as its
// caption; returns when the button is pressed. The console stand-in prints the
// text on standard output and, only when standard input is a terminal, waits
// for Enter.
void message_box(std::string_view text);

// The report of an unexpected run-time failure: its number and description.
// The console stand-in writes it on standard error.
void report_failure(int number, std::string_view description);

// A note on what the run did beyond its usual work ("note: " and the text),
// on standard error; the run goes on, so no window waits for an answer.
void report_note(std::string_view text);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_WINDOW_H_
