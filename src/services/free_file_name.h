#pragma once
// Choosing a name for a result file that does not replace an existing one.
// The existence test is the caller's (on Windows: can the file be opened for
// reading), so the choice itself is portable and testable.

#include <functional>
#include <string>

using FileExists = std::function<bool(const std::wstring& path)>;

// How many numbers a search tries before it gives up. A folder holding that
// many results of one kind is not a real case; the bound only keeps a test
// that always answers "exists" from hanging the program.
constexpr int freeNameSearchLimit = 100000;

// The first of name(first), name(first + 1), ... for which exists is false;
// its number goes to *used. Empty (and *used untouched) when none is free
// within freeNameSearchLimit tries or name gives an empty string.
std::wstring firstFreeNumberedName(const std::function<std::wstring(int number)>& name, int first,
                                   const FileExists& exists, int* used = nullptr);

// ASCII text as a wide string (prefixes and stems of file names).
std::wstring widenAscii(const char* text);
