#include "results/result_files.h"

#include "results/image_names.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>

HANDLE createNewFile(const std::wstring& path) {
  if (path.empty()) return INVALID_HANDLE_VALUE;
  return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void makeMeasurementFolder(DataPaths& paths, bool force) {
  if (force || !paths.measurementFolderMade) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring stamp = folderStamp(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute);
    std::swprintf(paths.folderStamp, sizeof paths.folderStamp / sizeof paths.folderStamp[0], L"%ls",
                  stamp.c_str());
  }
  std::swprintf(paths.measurementFolder, sizeof paths.measurementFolder / sizeof paths.measurementFolder[0],
                L"%ls\\%ls", paths.dataFolder, paths.folderStamp);
  CreateDirectoryW(paths.measurementFolder, nullptr);
  paths.measurementFolderMade = 1;
}

bool fileExists(const wchar_t* path) {
  std::FILE* probe = _wfopen(path, L"r");
  if (!probe) return false;
  std::fclose(probe);
  return true;
}

bool resultNameTaken(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  const bool unreadableFile =
      attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  return fileExists(path.c_str()) || unreadableFile || fileExists((path + L".json").c_str());
}

std::FILE* createNewTextFile(const std::wstring& path) {
  const HANDLE handle = createNewFile(path);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
  if (descriptor == -1) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "w");
  if (!file) _close(descriptor);
  return file;
}

std::wstring uniqueFileName(const std::wstring& base, const wchar_t* extension) {
  return uniqueFileName(base, std::wstring(extension), resultNameTaken);
}
