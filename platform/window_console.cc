// Console stand-in for the window, the message box and the failure report.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/window.h"

namespace platform {

struct Window::Impl {
  std::string caption;
};

Window::Window(std::string_view caption) : impl_(std::make_unique<Impl>()) {
  impl_->caption = caption;
}

Window::~Window() = default;

void Window::show_and_paint() {
  std::fwrite(impl_->caption.data(), 1, impl_->caption.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void message_box(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  if (::isatty(STDIN_FILENO)) {
    int c;
    do {
      c = std::getchar();
    } while (c != '\n' && c != EOF);
  }
}

void report_failure(int number, std::string_view description) {
  std::fprintf(stderr, "run-time error %d: %.*s\n", number, static_cast<int>(description.size()),
               description.data());
  std::fflush(stderr);
}

void report_note(std::string_view text) {
  std::fprintf(stderr, "note: %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

}  // namespace platform
