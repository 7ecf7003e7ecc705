#include "mapping/scan_journal.h"

#include "imaging/image_files.h"
#include "mapping/map_export.h"
#include "mapping/map_journal.h"
#include "shell/data_paths.h"
#include "shell/ui_handles.h"

#include <cstdio>
#include <string>
#include <vector>

bool scanJournalOn = true;

namespace {

bool pathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool writeAll(HANDLE file, const std::string& text) {
  DWORD written = 0;
  return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

void closeFile(HANDLE& file) {
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  file = INVALID_HANDLE_VALUE;
}

std::string readWholeFile(const std::wstring& path) {
  std::string text;
  if (std::FILE* file = _wfopen(path.c_str(), L"rb")) {
    char buffer[64 * 1024];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
  }
  return text;
}

// In text mode, as the scan writes its tables.
bool writeTextFile(const std::wstring& path, const std::string& text) {
  std::FILE* file = path.empty() ? nullptr : _wfopen(path.c_str(), L"w");
  if (!file) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

std::wstring freeTablePath(const std::wstring& folder, const char* prefix) {
  return freeTextPath(folder, prefix, [](const std::wstring& path) { return fileExists(path.c_str()); });
}

// One journal turned into its table (and MapInfo for the current map).
// False leaves the journal where it is.
bool recoverJournal(const std::wstring& folder, const std::wstring& name) {
  const std::wstring path = folder + L"\\" + name;
  const std::string text = readWholeFile(path);
  // Made and cut off before its first line was down: it holds nothing.
  if (text.empty()) {
    DeleteFileW(path.c_str());
    return false;
  }
  MapJournal journal;
  const std::string prefix = journalTablePrefix(name);
  if (prefix.empty() || !readMapJournal(text, journal)) return false;
  if (!writeTextFile(freeTablePath(folder, prefix.c_str()), recoveredTable(journal))) return false;
  if (prefix == mapTables[0].prefix && !writeTextFile(freeTablePath(folder, "MapInfo"), journal.infoLine)) {
    return false;
  }
  DeleteFileW(path.c_str());
  return true;
}

template <typename Visit>
void forEachFound(const std::wstring& pattern, bool folders, Visit visit) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::wstring name = found.cFileName;
    if (folder == folders && name != L"." && name != L"..") visit(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

void openScanJournal(ScanJournal& journal, const MapBuffers& map, bool confocal, double stepUm, float biasVoltage) {
  closeScanJournal(journal, false);
  if (!scanJournalOn || !map.measurementFolder) return;
  const std::wstring folder = map.measurementFolder;
  // One number for the scan's journals, free for the first of them: a folder
  // only holds an older journal when its recovery failed.
  int number = -1;
  while (number < 1000 && pathExists(folder + L"\\" + journalName(mapTables[0].prefix, number))) ++number;
  const std::string header = journalHeader(map, stepUm, biasVoltage);
  journal.tables = mapTableCount(confocal);
  for (int t = 0; t < journal.tables; ++t) {
    journal.paths[t] = folder + L"\\" + journalName(mapTables[t].prefix, number);
    HANDLE file = CreateFileW(journal.paths[t].c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    if (!writeAll(file, header) || !FlushFileBuffers(file)) {
      CloseHandle(file);
      DeleteFileW(journal.paths[t].c_str());
      continue;
    }
    journal.files[t] = file;
  }
}

void journalScanRow(ScanJournal& journal, const MapBuffers& map, int y) {
  for (int t = 0; t < journal.tables; ++t) {
    if (journal.files[t] == INVALID_HANDLE_VALUE) continue;
    // A journal that cannot take a row is given up: one with a gap in its
    // rows would recover them in the wrong places.
    if (!writeAll(journal.files[t], journalRow(map, map.*mapTables[t].values, y)) ||
        !FlushFileBuffers(journal.files[t])) {
      closeFile(journal.files[t]);
      DeleteFileW(journal.paths[t].c_str());
    }
  }
}

void closeScanJournal(ScanJournal& journal, bool tablesWritten) {
  for (int t = 0; t < journal.tables; ++t) {
    if (journal.files[t] == INVALID_HANDLE_VALUE) continue;
    closeFile(journal.files[t]);
    if (tablesWritten) DeleteFileW(journal.paths[t].c_str());
  }
  journal.tables = 0;
}

void recoverScanJournals() {
  const std::wstring dataFolder = dataPaths.dataFolder;
  std::wstring recovered, kept;
  forEachFound(dataFolder + L"\\*", true, [&](const std::wstring& name) {
    const std::wstring folder = dataFolder + L"\\" + name;
    bool anyRecovered = false, anyKept = false;
    forEachFound(folder + L"\\*" + journalExtension, false, [&](const std::wstring& journal) {
      if (recoverJournal(folder, journal)) {
        anyRecovered = true;
      } else if (pathExists(folder + L"\\" + journal)) {
        anyKept = true;
      }
    });
    if (anyRecovered) recovered += L"\n" + folder;
    if (anyKept) kept += L"\n" + folder;
  });
  if (recovered.empty() && kept.empty()) return;
  std::wstring text;
  if (!recovered.empty()) {
    text = L"A map scan did not finish. The rows it had measured are saved as its tables in:" + recovered;
  }
  if (!kept.empty()) {
    if (!text.empty()) text += L"\n\n";
    text += L"Rows of an unfinished map scan could not be saved as tables; they stay in the .journal files in:" +
            kept;
  }
  MessageBoxW(hMainWnd, text.c_str(), L"Notice", MB_OK);
}
