// A small helper for scripts that run Nerin Station without an operator at
// the screen (the README's run command on a machine with no display).
//
//   wintool ready <timeout-ms>   waits for the main window, answers every
//                                message box of start-up with its default
//                                button (printing what it said), and returns
//                                once no question has come for two seconds
//   wintool close <timeout-ms>   asks the main window to close, as the
//                                window's close button would
//   wintool command <id>         sends the main window the command <id>, as
//                                its menu item or button would
//   wintool info                 prints what the main window's "Information"
//                                box says
// Exit code 0 on success, 1 on time-out.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int informationBoxId = 2103;

struct Found {
  DWORD processId;
  HWND window;
};

BOOL CALLBACK findMain(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<Found*>(context);
  wchar_t cls[64];
  GetClassNameW(window, cls, 64);
  if (wcscmp(cls, L"NerinMain") != 0) return TRUE;
  found->window = window;
  GetWindowThreadProcessId(window, &found->processId);
  return FALSE;
}

BOOL CALLBACK findDialog(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<Found*>(context);
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t cls[64];
  GetClassNameW(window, cls, 64);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (wcscmp(cls, L"#32770") != 0 || pid != found->processId) return TRUE;
  found->window = window;
  return FALSE;
}

BOOL CALLBACK printStatic(HWND child, LPARAM) {
  wchar_t cls[64];
  GetClassNameW(child, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0) {
    wchar_t text[512];
    if (GetWindowTextW(child, text, 512) > 0) std::wprintf(L" %ls", text);
  }
  return TRUE;
}

HWND waitForMain(DWORD timeoutMs, DWORD* processId) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    Found found{0, nullptr};
    EnumWindows(findMain, reinterpret_cast<LPARAM>(&found));
    if (found.window) {
      if (processId) *processId = found.processId;
      return found.window;
    }
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(50);
  }
}

// Presses the dialog's default button, or the first of OK, Yes that exists.
void answer(HWND dialog) {
  wchar_t title[256];
  GetWindowTextW(dialog, title, 256);
  std::wprintf(L"answering \"%ls\":", title);
  EnumChildWindows(dialog, printStatic, 0);
  std::wprintf(L"\n");
  std::fflush(stdout);
  int id = LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0));
  if (!id || !GetDlgItem(dialog, id)) id = GetDlgItem(dialog, IDOK) ? IDOK : IDYES;
  DWORD_PTR ignored;
  SendMessageTimeoutW(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

int ready(DWORD timeoutMs) {
  DWORD processId = 0;
  if (!waitForMain(timeoutMs, &processId)) return 1;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  ULONGLONG quietSince = GetTickCount64();
  while (GetTickCount64() - quietSince < 2000) {
    if (GetTickCount64() >= deadline) return 1;
    Found dialog{processId, nullptr};
    EnumWindows(findDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog.window) {
      answer(dialog.window);
      quietSince = GetTickCount64();
    }
    Sleep(100);
  }
  return 0;
}

int close(DWORD timeoutMs) {
  HWND main = waitForMain(timeoutMs, nullptr);
  if (!main) return 1;
  PostMessageW(main, WM_CLOSE, 0, 0);
  return 0;
}

int command(int id) {
  HWND main = waitForMain(10000, nullptr);
  if (!main) return 1;
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return 0;
}

BOOL CALLBACK findInformationBox(HWND child, LPARAM context) {
  wchar_t cls[64];
  GetClassNameW(child, cls, 64);
  // The one edit box among the labels that share its id.
  if (_wcsicmp(cls, L"Edit") != 0 || GetDlgCtrlID(child) != informationBoxId) return TRUE;
  *reinterpret_cast<HWND*>(context) = child;
  return FALSE;
}

int info() {
  HWND main = waitForMain(10000, nullptr);
  HWND box = nullptr;
  if (main) EnumChildWindows(main, findInformationBox, reinterpret_cast<LPARAM>(&box));
  if (!box) return 1;
  wchar_t text[512] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(box, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &copied);
  std::wprintf(L"%ls\n", text);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: wintool ready|close [timeout-ms] | command <id> | info\n");
    return 2;
  }
  const DWORD timeoutMs = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 60000;
  if (wcscmp(argv[1], L"ready") == 0) return ready(timeoutMs);
  if (wcscmp(argv[1], L"close") == 0) return close(timeoutMs);
  if (wcscmp(argv[1], L"command") == 0 && argc > 2) return command(_wtoi(argv[2]));
  if (wcscmp(argv[1], L"info") == 0) return info();
  std::fwprintf(stderr, L"unknown command %ls\n", argv[1]);
  return 2;
}
