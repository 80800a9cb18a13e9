// The window Form1, the message box and the failure report on Windows.
//
// Form1 is a plain top-level window with one static control, Label1. The
// program processes no message after the first paint, so the window keeps
// what that paint drew until it is destroyed at the end.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/window.h"

namespace platform {

namespace {

constexpr UINT kCodePage = 1252;
constexpr wchar_t kFormClass[] = L"ScenarioCompilerForm1";
constexpr wchar_t kFormTitle[] = L"Form1";

// Form1 and Label1 in pixels: 15 twips each, the program being unaware of
// any other screen resolution.
constexpr int kClientWidth = 280;
constexpr int kClientHeight = 179;
constexpr int kLabelLeft = 64;
constexpr int kLabelTop = 64;
constexpr int kLabelWidth = 177;
constexpr int kLabelHeight = 53;

// Label1's font; the font mapper gives the nearest one the system has.
constexpr wchar_t kFontFace[] = L"MS Sans Serif";
constexpr int kFontPoints = 24;

// Windows-1252 text as UTF-16, for the wide window functions.
std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  int size =
      ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        size);
  return wide;
}

// The application's title: the executable's name without its folder and
// without ".exe".
std::wstring application_title() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, n < MAX_PATH ? n : MAX_PATH);
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  if (name.size() > 4 && ::lstrcmpiW(name.c_str() + name.size() - 4, L".exe") == 0) {
    name.resize(name.size() - 4);
  }
  return name;
}

// Registers Form1's window class once; every message goes to the default
// handling.
bool register_form_class(HINSTANCE instance) {
  WNDCLASSEXW form_class = {};
  form_class.cbSize = sizeof form_class;
  if (::GetClassInfoExW(instance, kFormClass, &form_class)) return true;
  form_class.lpfnWndProc = ::DefWindowProcW;
  form_class.hInstance = instance;
  form_class.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  form_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kFormClass;
  return ::RegisterClassExW(&form_class) != 0;
}

}  // namespace

struct Window::Impl {
  HWND form = nullptr;
  HWND label = nullptr;
  HFONT font = nullptr;
};

Window::Window(std::string_view caption) : impl_(std::make_unique<Impl>()) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Without a desktop there is no window; the work goes on all the same, the
  // window being only a notice.
  if (!register_form_class(instance)) return;

  const DWORD style = WS_OVERLAPPEDWINDOW;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  impl_->form = ::CreateWindowExW(0, kFormClass, kFormTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
  if (impl_->form == nullptr) return;

  impl_->label = ::CreateWindowExW(
      0, L"STATIC", widen(caption).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, kLabelLeft, kLabelTop,
      kLabelWidth, kLabelHeight, impl_->form, nullptr, instance, nullptr);
  HDC screen = ::GetDC(nullptr);
  int pixels_per_inch = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  impl_->font =
      ::CreateFontW(-::MulDiv(kFontPoints, pixels_per_inch, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE,
                    FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, kFontFace);
  if (impl_->label != nullptr && impl_->font != nullptr) {
    ::SendMessageW(impl_->label, WM_SETFONT, reinterpret_cast<WPARAM>(impl_->font), FALSE);
  }
}

Window::~Window() {
  if (impl_->form != nullptr) ::DestroyWindow(impl_->form);
  if (impl_->font != nullptr) ::DeleteObject(impl_->font);
}

void Window::show_and_paint() {
  if (impl_->form == nullptr) return;
  ::ShowWindow(impl_->form, SW_SHOWNORMAL);
  // Paints the form and its label now, without waiting for the message loop
  // that never runs.
  ::UpdateWindow(impl_->form);
  ::GdiFlush();
#ifdef SCENARIO_WINDOW_HOLD_MS
  // Test builds only: keeps the painted window on the screen long enough for
  // a screenshot. The program itself never waits here.
  ::Sleep(SCENARIO_WINDOW_HOLD_MS);
#endif
}

void message_box(std::string_view text) {
  ::MessageBoxW(nullptr, widen(text).c_str(), application_title().c_str(), MB_OK);
}

void report_failure(int number, std::string_view description) {
  std::string text = "run-time error " + std::to_string(number) + ": ";
  text += description;
  // Also on standard error, for a caller that captures it; a program started
  // from the desktop has none and loses nothing.
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  ::MessageBoxW(nullptr, widen(text).c_str(), application_title().c_str(), MB_OK | MB_ICONERROR);
}

void report_note(std::string_view text) {
  std::fprintf(stderr, "note: %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

}  // namespace platform
