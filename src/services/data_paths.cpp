#include "services/data_paths.h"

#include "services/ui_handles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

const wchar_t* const mainWindowTitle = L"Nerin Station";

DataPaths::DataPaths() {
  // CSIDL_DESKTOP (0), no owner window, no creation.
  if (!SHGetSpecialFolderPathW(nullptr, baseFolder, CSIDL_DESKTOP, FALSE)) {
    baseFolder[0] = L'\0';
    desktopMissing = true;
  }
  _snwprintf(dataFolder, 349, L"%ls\\%ls_Data", baseFolder, mainWindowTitle);
  if (desktopMissing) {
    // "\Nerin Station_Data" on the current drive, written out in full now:
    // the files stay where the operator is told they are even if the current
    // folder changes later.
    wchar_t full[350];
    const DWORD length = GetFullPathNameW(dataFolder, 350, full, nullptr);
    if (length > 0 && length < 350) wcscpy(dataFolder, full);
  }
  _snwprintf(detailFolder, 349, L"%ls\\Data_Detail", dataFolder);
  _snwprintf(configFile, 399, L"%ls\\Config.txt", dataFolder);
  _snwprintf(objectiveFile, 399, L"%ls\\Objective.txt", dataFolder);
}

DataPaths dataPaths;

void makeDataFolders() {
  // A failure shows when a file cannot be written there.
  CreateDirectoryW(dataPaths.dataFolder, nullptr);
  CreateDirectoryW(dataPaths.detailFolder, nullptr);
}

void warnIfDataFolderIsNotOnDesktop() {
  if (!dataPaths.desktopMissing) return;
  const std::wstring text =
      L"The desktop folder could not be found. Data and settings are kept in " +
      std::wstring(dataPaths.dataFolder);
  MessageBoxW(hMainWnd, text.c_str(), L"Warning", MB_OK);
}
