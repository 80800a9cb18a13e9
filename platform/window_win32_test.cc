// The window Form1 and the message boxes, as real windows of this process.
// The tests need a desktop (under Wine, an X display): without one they are
// skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/window.h"

namespace platform {
namespace {

bool have_desktop() {
  HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  if (probe == nullptr) return false;
  ::DestroyWindow(probe);
  return true;
}

std::wstring text_of(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return text;
}

bool is_dark(COLORREF c) {
  return c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96;
}

TEST(WindowWin32Test, Form1HoldsLabel1PaintedWithItsFont) {
  if (!have_desktop()) GTEST_SKIP() << "no desktop";
  {
    Window form("Attendere");
    form.show_and_paint();
    HWND window = ::FindWindowW(nullptr, L"Form1");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindowVisible(window));
    RECT client = {};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 280);
    EXPECT_EQ(client.bottom - client.top, 179);

    HWND label = ::FindWindowExW(window, nullptr, L"Static", nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(text_of(label), L"Attendere");
    RECT place = {};
    ::GetWindowRect(label, &place);
    ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 64);
    EXPECT_EQ(place.top, 64);
    EXPECT_EQ(place.right - place.left, 177);
    EXPECT_EQ(place.bottom - place.top, 53);

    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW logical = {};
    ASSERT_NE(::GetObjectW(font, sizeof logical, &logical), 0);
    EXPECT_EQ(std::wstring(logical.lfFaceName), L"MS Sans Serif");
    EXPECT_EQ(logical.lfWeight, FW_BOLD);
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(logical.lfHeight, -::MulDiv(24, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, screen);

    // The one paint drew dark text on the light face of the form.
    HDC dc = ::GetDC(window);
    EXPECT_FALSE(is_dark(::GetPixel(dc, 8, 8)));
    int dark = 0;
    for (int y = 64; y < 117; ++y) {
      for (int x = 64; x < 241; ++x) dark += is_dark(::GetPixel(dc, x, y)) ? 1 : 0;
    }
    ::ReleaseDC(window, dc);
    EXPECT_GT(dark, 50);
  }
  EXPECT_EQ(::FindWindowW(nullptr, L"Form1"), nullptr);  // destroyed with the Window
}

// What a message box of this process showed.
struct Box {
  bool found = false;
  std::wstring caption;
  std::wstring text;
  int buttons = 0;    // visible push buttons
  bool ok = false;    // one of them is OK
  bool icon = false;  // a visible icon
};

// Waits for the message box of `thread`, reads it and presses OK.
Box answer_box(DWORD thread) {
  Box box;
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && dialog == nullptr; ++i) {
    ::EnumThreadWindows(
        thread,
        [](HWND w, LPARAM found) -> BOOL {
          wchar_t name[16] = {};
          ::GetClassNameW(w, name, 16);
          if (std::wstring(name) != L"#32770" || !::IsWindowVisible(w)) return TRUE;
          *reinterpret_cast<HWND*>(found) = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (dialog == nullptr) return box;
  box.found = true;
  box.caption = text_of(dialog);
  box.text = text_of(::GetDlgItem(dialog, 0xFFFF));
  ::EnumChildWindows(
      dialog,
      [](HWND w, LPARAM out) -> BOOL {
        Box& b = *reinterpret_cast<Box*>(out);
        if (!::IsWindowVisible(w)) return TRUE;
        wchar_t name[16] = {};
        ::GetClassNameW(w, name, 16);
        LONG style = ::GetWindowLongW(w, GWL_STYLE);
        if (std::wstring(name) == L"Button") {
          ++b.buttons;
          if (::GetDlgCtrlID(w) == IDOK) b.ok = true;
        } else if (std::wstring(name) == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
                   ::SendMessageW(w, STM_GETICON, 0, 0) != 0) {
          b.icon = true;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return box;
}

TEST(WindowWin32Test, MessageBoxesHaveOneOkButtonAndTheApplicationsTitle) {
  if (!have_desktop()) GTEST_SKIP() << "no desktop";
  const DWORD self = ::GetCurrentThreadId();

  Box box;
  std::thread watcher([&] { box = answer_box(self); });
  message_box(" Errore n. 1250");
  watcher.join();
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.caption, L"platform_win32_tests");
  EXPECT_EQ(box.text, L" Errore n. 1250");
  EXPECT_EQ(box.buttons, 1);
  EXPECT_TRUE(box.ok);
  EXPECT_FALSE(box.icon);

  Box report;
  std::thread reporter([&] { report = answer_box(self); });
  report_failure(75, "path/file access error: C:\\x\\BRENTALVO_linea.txt");
  reporter.join();
  ASSERT_TRUE(report.found);
  EXPECT_EQ(report.caption, L"platform_win32_tests");
  EXPECT_NE(report.text.find(L"75"), std::wstring::npos);
  EXPECT_NE(report.text.find(L"path/file access error: C:\\x\\BRENTALVO_linea.txt"),
            std::wstring::npos);
  EXPECT_EQ(report.buttons, 1);
  EXPECT_TRUE(report.ok);
  EXPECT_TRUE(report.icon);  // the failure report is an error, the one box with an icon
}

}  // namespace
}  // namespace platform
