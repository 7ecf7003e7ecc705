#pragma once
// The dated measurement folder of a run and the result files in it: every
// result (table, spectrum, picture, record) is created only as a new file,
// under a name whose file and record are both free, so that no saved result
// is ever replaced.

#include "services/data_paths.h"

#include <windows.h>

#include <cstdio>
#include <string>

// Forms measurementFolder from the time now when forced or when none was made
// in this run yet, and creates it (an existing folder is fine).
void makeMeasurementFolder(DataPaths& paths, bool force);

// "base.ext", or the first free "base_0.ext", "base_1.ext", ...
std::wstring uniqueFileName(const std::wstring& base, const wchar_t* extension);
// True when the file can be opened for reading.
bool fileExists(const wchar_t* path);
// True when a result may not take this name: a file of that name is there
// (readable or not), or the record a result of that name would have, left
// behind without its result.
bool resultNameTaken(const std::wstring& path);
// Creates the file, which must not exist yet, and opens it for writing in
// text mode; null when it exists or cannot be created. A result file is
// opened only this way, so that none is ever replaced, not even one that
// appeared after its name was chosen.
std::FILE* createNewTextFile(const std::wstring& path);
// The same for a file written by handle (a picture): INVALID_HANDLE_VALUE
// when it exists, cannot be created, or the name is empty.
HANDLE createNewFile(const std::wstring& path);
