#include "ui_driver.h"

#include <algorithm>
#include <iterator>
#include <set>

namespace ui {

// FindWindowEx compares the title the system keeps: unlike reading a title,
// it sends no message to a window of this process, which would wait forever
// on a thread that waits for us.
HWND waitForWindow(const wchar_t* title, DWORD timeoutMs, const wchar_t* className) {
  HWND found = nullptr;
  eventually([&] {
    for (HWND window = nullptr; !found && (window = FindWindowExW(nullptr, window, className, title));) {
      if (IsWindowVisible(window)) found = window;
    }
    return found != nullptr;
  }, timeoutMs);
  return found;
}

std::wstring staticTexts(HWND dialog) {
  std::wstring texts;
  for (HWND child = nullptr; (child = FindWindowExW(dialog, child, L"Static", nullptr));) {
    wchar_t text[1024];
    if (GetWindowTextW(child, text, 1024) > 0) texts += text + std::wstring(L"\n");
  }
  return texts;
}

bool pressButton(HWND dialog, int controlId) {
  HWND button = GetDlgItem(dialog, controlId);
  if (!button) return false;
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &ignored) != 0;
}

bool waitUntilGone(HWND window, DWORD timeoutMs) {
  return eventually([window] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

DialogAnswerer::DialogAnswerer(std::wstring title, std::vector<int> buttonIds, DWORD timeoutMs)
    : title_(std::move(title)), buttonIds_(std::move(buttonIds)), timeoutMs_(timeoutMs) {
  thread_ = std::thread([this] {
    HWND dialog = waitForWindow(title_.c_str(), timeoutMs_);
    if (dialog) text_ = staticTexts(dialog);
    answered_ = dialog && std::all_of(buttonIds_.begin(), buttonIds_.end(), [&](int id) { return pressButton(dialog, id); });
  });
}

DialogAnswerer::~DialogAnswerer() { finish(); }

bool DialogAnswerer::finish() {
  if (thread_.joinable()) thread_.join();
  return answered_;
}

BoxAnswerer::BoxAnswerer(Choice choose) : choose_(std::move(choose)) {
  thread_ = std::thread([this] {
    std::set<HWND> handled;
    while (!done_) {
      // The visible dialogs (message boxes among them) of this process.
      std::vector<HWND> boxes;
      for (HWND box = nullptr; (box = FindWindowExW(nullptr, box, L"#32770", nullptr));) boxes.push_back(box);
      for (HWND box : boxes) {
        DWORD process = 0;
        GetWindowThreadProcessId(box, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(box) || !handled.insert(box).second) continue;
        wchar_t title[128] = {};
        GetWindowTextW(box, title, 128);
        const int button = choose_(narrow(title), narrow(staticTexts(box)));
        if (pressButton(box, button) || pressButton(box, IDYES) || pressButton(box, IDOK)) ++answered_;
      }
      for (auto h = handled.begin(); h != handled.end();) h = IsWindow(*h) ? std::next(h) : handled.erase(h);
      Sleep(10);
    }
  });
}

BoxAnswerer::~BoxAnswerer() {
  done_ = true;
  thread_.join();
}

std::string narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string textOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

COLORREF pixelOf(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

void drainMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void mouseButton(POINT screen, bool left, bool down) {
  // The exact pixel: absolute input coordinates are scaled and may round.
  SetCursorPos(screen.x, screen.y);
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = left ? (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)
                       : (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
  SendInput(1, &in, sizeof in);
}

}  // namespace ui
