#include "console/remote/remote_control.h"

#include "console/remote/remote_commands.h"
#include "console/remote/remote_key.h"
#include "console/remote/remote_link.h"
#include "console/remote/remote_protocol.h"
#include "services/data_paths.h"
#include "services/reporting.h"
#include "services/ui_handles.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
  out.pop_back();  // the terminating zero
  return out;
}

std::vector<std::string> programArguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; argv && i < count; ++i) args.push_back(utf8(argv[i]));
  if (argv) LocalFree(argv);
  return args;
}

void warn(const std::string& why) {
  const std::string text = "The remote control is off: " + why + ".\nNerin Station runs on without it.";
  MessageBoxA(hMainWnd, text.c_str(), "Warning", MB_OK);
}

}  // namespace

void startRemoteControl() {
  const RemoteOption option = parseRemoteOption(programArguments());
  if (!option.error.empty()) {
    warn(option.error);
    return;
  }
  if (!option.wanted) return;
  const RemoteKey key = writeFreshRemoteKey(dataPaths.dataFolder);
  if (key.hex.empty()) {
    warn(key.error);
    return;
  }
  std::string error;
  if (!openRemoteLink(option.port, key.hex, startRemoteCommands(), error)) {
    stopRemoteCommands();
    warn("127.0.0.1:" + std::to_string(option.port) + " cannot be listened on (" + error + ")");
    return;
  }
  showInfo(("Remote control on 127.0.0.1:" + std::to_string(option.port)).c_str());
}

void stopRemoteControl() {
  closeRemoteLink();
  stopRemoteCommands();
}
