#pragma once
// Where a vendor runtime may be looked for on PATH. Portable, so the rules
// are unit-tested natively.

#include <string>
#include <string_view>
#include <vector>

// The folders of a PATH value (entries separated by ';') that may be searched
// for a vendor runtime, in order: only absolute ones, drive-rooted ("C:\x",
// "C:/x") or UNC ("\\server\share"), with surrounding quotes removed. Empty
// and relative entries (".", "bin", "C:bin") are left out, because they would
// make the search depend on the folder the program was started from.
std::vector<std::wstring> absolutePathFolders(std::wstring_view pathValue);
