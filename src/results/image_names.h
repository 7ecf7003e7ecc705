#pragma once
// Names of the measurement folders and picture files. Portable: the file
// system is reached only through the existence test the caller passes.

#include "services/free_file_name.h"

#include <string>

// "%02d%02d%02d_%02d-%02d" of (year - 2000, month, day, hour, minute):
// 5 December 2025 at 14:58 gives "251205_14-58".
std::wstring folderStamp(int year, int month, int day, int hour, int minute);

// "base.ext" when no such file exists, otherwise the first of "base_0.ext",
// "base_1.ext", ... that does not (empty when none is free).
std::wstring uniqueFileName(const std::wstring& base, const std::wstring& extension, const FileExists& exists);

// "folder\prefix(n).jpg" for the first n, from `next` on, whose file does not
// exist yet; `next` is left one past it. The counters that number camera
// images and snapshots start at 0 in every run, while a folder made in the
// same minute by an earlier run is the same folder: skipping taken numbers
// keeps that run's pictures.
std::wstring nextCountedFileName(const std::wstring& folder, const std::wstring& prefix, int& next,
                                 const FileExists& exists);
