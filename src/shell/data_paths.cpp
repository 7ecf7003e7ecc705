#include "shell/data_paths.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

const wchar_t* const mainWindowTitle = L"Nerin Station";

DataPaths::DataPaths() {
  // CSIDL_DESKTOP (0), no owner window, no creation. An existing folder is
  // fine, so the directory results are not checked.
  if (!SHGetSpecialFolderPathW(nullptr, baseFolder, CSIDL_DESKTOP, FALSE)) baseFolder[0] = L'\0';
  _snwprintf(dataFolder, 349, L"%ls\\%ls_Data", baseFolder, mainWindowTitle);
  CreateDirectoryW(dataFolder, nullptr);
  _snwprintf(detailFolder, 349, L"%ls\\Data_Detail", dataFolder);
  CreateDirectoryW(detailFolder, nullptr);
  _snwprintf(configFile, 399, L"%ls\\Config.txt", dataFolder);
  _snwprintf(objectiveFile, 399, L"%ls\\Objective.txt", dataFolder);
}

DataPaths dataPaths;
