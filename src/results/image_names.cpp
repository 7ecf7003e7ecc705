#include "results/image_names.h"

#include <cwchar>

std::wstring folderStamp(int year, int month, int day, int hour, int minute) {
  wchar_t text[64];
  std::swprintf(text, sizeof text / sizeof text[0], L"%02d%02d%02d_%02d-%02d", year - 2000, month, day, hour,
                minute);
  return text;
}

std::wstring uniqueFileName(const std::wstring& base, const std::wstring& extension, const FileExists& exists) {
  std::wstring first = base + L"." + extension;
  if (!exists(first)) return first;
  return firstFreeNumberedName(
      [&](int n) { return base + L"_" + std::to_wstring(n) + L"." + extension; }, 0, exists);
}

std::wstring nextCountedFileName(const std::wstring& folder, const std::wstring& prefix, int& next,
                                 const FileExists& exists) {
  int used = next;
  std::wstring name = firstFreeNumberedName(
      [&](int n) { return folder + L"\\" + prefix + L"(" + std::to_wstring(n) + L").jpg"; }, next, exists, &used);
  next = used + 1;
  return name;
}
