#include "services/library_search.h"

namespace {

bool isSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

bool isDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool isAbsoluteFolder(std::wstring_view folder) {
  if (folder.size() >= 3 && isDriveLetter(folder[0]) && folder[1] == L':' && isSlash(folder[2])) return true;
  // UNC: two slashes and a server name.
  return folder.size() >= 3 && isSlash(folder[0]) && isSlash(folder[1]) && !isSlash(folder[2]);
}

std::wstring_view trimmed(std::wstring_view entry) {
  while (!entry.empty() && (entry.front() == L' ' || entry.front() == L'\t')) entry.remove_prefix(1);
  while (!entry.empty() && (entry.back() == L' ' || entry.back() == L'\t')) entry.remove_suffix(1);
  if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"') {
    entry.remove_prefix(1);
    entry.remove_suffix(1);
  }
  return entry;
}

}  // namespace

std::vector<std::wstring> absolutePathFolders(std::wstring_view pathValue) {
  std::vector<std::wstring> folders;
  while (!pathValue.empty()) {
    const std::size_t end = pathValue.find(L';');
    const std::wstring_view entry = trimmed(pathValue.substr(0, end));
    if (isAbsoluteFolder(entry)) folders.emplace_back(entry);
    if (end == std::wstring_view::npos) break;
    pathValue.remove_prefix(end + 1);
  }
  return folders;
}
