#include "imaging/image_names.h"

#include <cwchar>

std::wstring folderStamp(int year, int month, int day, int hour, int minute) {
  wchar_t text[64];
  std::swprintf(text, sizeof text / sizeof text[0], L"%02d%02d%02d_%02d-%02d", year - 2000, month, day, hour,
                minute);
  return text;
}
