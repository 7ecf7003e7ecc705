#pragma once
// Answers the program's message boxes and dialogs as an operator would:
// find the window by its title, then press one of its real buttons.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace ui {

// A visible top-level window with exactly this title (and window class, when
// given: "#32770" is the class of message boxes and dialogs), in any process
// of this Wine prefix; null when none appears within timeoutMs.
HWND waitForWindow(const wchar_t* title, DWORD timeoutMs, const wchar_t* className = L"#32770");

// The texts of a dialog's static controls, each followed by a line feed: the
// question of a message box.
std::wstring staticTexts(HWND dialog);

// Presses the button with this control id (IDYES, IDNO, IDOK, IDCANCEL, or a
// dialog's own id) through the button window itself. False when the dialog
// has no such button.
bool pressButton(HWND dialog, int controlId);

// Waits until the window is gone; false after timeoutMs.
bool waitUntilGone(HWND window, DWORD timeoutMs);

// Waits for a dialog on a background thread and presses the given buttons in
// order (for example a radio button, then IDOK), while the test thread runs
// the code that shows it modally.
class DialogAnswerer {
 public:
  DialogAnswerer(std::wstring title, std::vector<int> buttonIds, DWORD timeoutMs = 30000);
  ~DialogAnswerer();
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  // Joins the thread; true when the dialog was found and all buttons pressed.
  bool finish();
  // Whether all buttons were pressed, without waiting.
  bool answered() const { return answered_; }
  // The dialog's static texts as found (valid after finish).
  const std::wstring& text() const { return text_; }

 private:
  std::wstring title_;
  std::vector<int> buttonIds_;
  DWORD timeoutMs_;
  std::wstring text_;
  std::atomic<bool> answered_{false};
  std::thread thread_;
};

// Answers every message box and dialog of this process as it appears, until
// destroyed: `choose` is given each one's title and static texts and returns
// the button to press (a box without that button is answered Yes, or OK).
// It runs in the answering thread.
class BoxAnswerer {
 public:
  using Choice = std::function<int(const std::string& title, const std::string& text)>;
  explicit BoxAnswerer(Choice choose);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;
  int answered() const { return answered_; }

 private:
  Choice choose_;
  std::atomic<bool> done_{false};
  std::atomic<int> answered_{0};
  std::thread thread_;
};

std::string narrow(const std::wstring& text);
// A window's text (an edit field's contents, a button's caption).
std::string textOf(HWND window);
// The colour the window shows at (x, y) of its client area.
COLORREF pixelOf(HWND window, int x, int y);
// Dispatches every message waiting in this thread's queue.
void drainMessages();

// Polls, without dispatching this thread's messages, until the condition
// holds; false after timeoutMs.
template <typename Condition>
bool eventually(Condition condition, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() > deadline) return false;
    Sleep(10);
  }
  return true;
}

// Real mouse input, through the system's input queue: the button goes to
// the window under the pointer (or the one holding the capture). Moves the
// pointer to the screen point, then presses or releases a button; the
// messages are queued when the call returns.
void mouseButton(POINT screen, bool left, bool down);

}  // namespace ui
