#include "ui_driver.h"

#include <algorithm>
#include <iterator>
#include <set>

namespace ui {
namespace {

struct Search {
  const wchar_t* title;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  // The class first: reading the title of a window of this process sends it
  // a message, which would wait forever on a thread that waits for us.
  wchar_t cls[128], text[512];
  if (!IsWindowVisible(window) || (search->className && (!GetClassNameW(window, cls, 128) ||
                                                         wcscmp(cls, search->className) != 0)))
    return TRUE;
  GetWindowTextW(window, text, 512);
  if (wcscmp(text, search->title) == 0) search->found = window;
  return !search->found;
}

BOOL CALLBACK collectStatic(HWND child, LPARAM context) {
  auto* texts = reinterpret_cast<std::wstring*>(context);
  wchar_t cls[64];
  GetClassNameW(child, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0) {
    wchar_t text[1024];
    if (GetWindowTextW(child, text, 1024) > 0) {
      *texts += text;
      *texts += L'\n';
    }
  }
  return TRUE;
}

// The visible dialogs (message boxes among them) of this process.
BOOL CALLBACK collectDialog(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0)
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

}  // namespace

HWND waitForWindow(const wchar_t* title, DWORD timeoutMs, const wchar_t* className) {
  Search search{title, className, nullptr};
  eventually([&] { return EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; },
             timeoutMs);
  return search.found;
}

std::wstring staticTexts(HWND dialog) {
  std::wstring texts;
  EnumChildWindows(dialog, collectStatic, reinterpret_cast<LPARAM>(&texts));
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
      std::vector<HWND> boxes;
      EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&boxes));
      for (HWND box : boxes) {
        if (!handled.insert(box).second) continue;
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
