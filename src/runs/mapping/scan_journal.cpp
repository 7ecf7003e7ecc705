#include "runs/mapping/scan_journal.h"

#include "results/result_files.h"
#include "results/result_record_files.h"
#include "runs/mapping/map_export.h"
#include "runs/mapping/map_journal.h"
#include "services/data_paths.h"
#include "services/ui_handles.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

bool scanJournalOn = true;

namespace {

constexpr wchar_t recordExtension[] = L".json";
// Beside a journal that was recovered but could not be deleted.
constexpr wchar_t recoveredMark[] = L".recovered";

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

// A journal and the record beside it.
bool deleteJournal(const std::wstring& path) {
  if (!DeleteFileW(path.c_str())) return false;
  DeleteFileW((path + recordExtension).c_str());
  return true;
}

// A journal's name is taken while anything of an earlier journal of that
// name is left.
bool journalNameTaken(const std::wstring& path) {
  return pathExists(path) || pathExists(path + recordExtension) || pathExists(path + recoveredMark);
}

// The whole file; nothing when it cannot be opened or read to its end.
std::optional<std::string> readWholeFile(const std::wstring& path) {
  std::FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return std::nullopt;
  std::string text;
  char buffer[64 * 1024];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  const bool whole = !std::ferror(file);
  std::fclose(file);
  if (!whole) return std::nullopt;
  return text;
}

// A new file under the first free name for the prefix, in text mode as the
// scan writes its tables. Its path; empty, and nothing left behind, when it
// could not be written whole.
std::wstring writeNewTable(const std::wstring& folder, const char* prefix, const std::string& text) {
  const std::wstring path = freeTextPath(folder, prefix, resultNameTaken);
  std::FILE* file = path.empty() ? nullptr : createNewTextFile(path);
  if (!file) return {};
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) == 0 && written) return path;
  DeleteFileW(path.c_str());
  return {};
}

LocalTime lastWrittenAt(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return localTimeNow();
  return localTimeOf(data.ftLastWriteTime);
}

enum class Recovery { nothing, recovered, recoveredNotDeleted, kept };

// One journal turned into its table (and MapInfo for the current map), each
// with its record, and then deleted. When anything of that fails, the
// journal stays and nothing made for it is left.
Recovery recoverJournal(const std::wstring& folder, const std::wstring& name) {
  const std::wstring path = folder + L"\\" + name;
  if (pathExists(path + recoveredMark)) {
    // Its tables were made at an earlier start; only its removal is left.
    if (deleteJournal(path)) DeleteFileW((path + recoveredMark).c_str());
    return Recovery::nothing;
  }
  const std::optional<std::string> text = readWholeFile(path);
  if (!text) return Recovery::kept;
  // Made and cut off before its first line was down: it holds nothing.
  if (text->empty()) {
    deleteJournal(path);
    return Recovery::nothing;
  }
  MapJournal journal;
  const std::string prefix = journalTablePrefix(name);
  if (prefix.empty() || !readMapJournal(*text, journal)) return Recovery::kept;

  std::vector<std::wstring> made;
  const auto undo = [&made] {
    for (const std::wstring& file : made) {
      if (file.empty()) continue;  // not made
      DeleteFileW((file + recordExtension).c_str());
      DeleteFileW(file.c_str());
    }
    return Recovery::kept;
  };
  made.push_back(writeNewTable(folder, prefix.c_str(), recoveredTable(journal)));
  if (prefix == mapTables[0].prefix) made.push_back(writeNewTable(folder, "MapInfo", journal.infoLine));
  for (const std::wstring& file : made) {
    if (file.empty()) return undo();
  }
  RecoveredScan scan{recordFileName(path), lastWrittenAt(path), journal.width, journal.height,
                     journal.stepUm,       journal.biasVoltageV, {}};
  for (const std::wstring& file : made) scan.files.push_back(recordFileName(file));
  const std::string scanRecord = readWholeFile(path + recordExtension).value_or("");
  if (!writeRecordTextBeside(made, recoveredRecordText(scanRecord, scan))) return undo();

  if (deleteJournal(path)) return Recovery::recovered;
  // Marked, so that no later start makes its tables a second time; when
  // not even that works, the rows stay in the journal alone.
  std::FILE* mark = createNewTextFile(path + recoveredMark);
  if (!mark) return undo();
  std::fclose(mark);
  return Recovery::recoveredNotDeleted;
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

void openScanJournal(ScanJournal& journal, const MapBuffers& map, bool confocal, double stepUm, float biasVoltage,
                     const ResultRecord& record) {
  closeScanJournal(journal, nullptr);
  if (!scanJournalOn || !map.measurementFolder) return;
  const std::wstring folder = map.measurementFolder;
  // One number for the scan's journals, free for the first of them: a folder
  // only holds an older journal when its recovery failed.
  int number = -1;
  while (number < 1000 && journalNameTaken(folder + L"\\" + journalName(mapTables[0].prefix, number))) ++number;
  const std::string header = journalHeader(map, stepUm, biasVoltage);
  // As it stands, should the scan not finish.
  ResultRecord unfinished = record;
  unfinished.outcome = RunOutcome::failed;
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
    writeRecordsBeside({journal.paths[t]}, unfinished);
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
      deleteJournal(journal.paths[t]);
    }
  }
}

void closeScanJournal(ScanJournal& journal, const bool* tableWritten) {
  for (int t = 0; t < journal.tables; ++t) {
    if (journal.files[t] == INVALID_HANDLE_VALUE) continue;
    closeFile(journal.files[t]);
    if (tableWritten && tableWritten[t]) deleteJournal(journal.paths[t]);
  }
  journal.tables = 0;
}

void recoverScanJournals() {
  const std::wstring dataFolder = dataPaths.dataFolder;
  std::wstring recovered, kept, notDeleted;
  forEachFound(dataFolder + L"\\*", true, [&](const std::wstring& name) {
    const std::wstring folder = dataFolder + L"\\" + name;
    bool anyRecovered = false;
    forEachFound(folder + L"\\*" + journalExtension, false, [&](const std::wstring& journal) {
      const std::wstring line = L"\n" + folder + L"\\" + journal;
      switch (recoverJournal(folder, journal)) {
        case Recovery::recovered: anyRecovered = true; break;
        case Recovery::recoveredNotDeleted: anyRecovered = true; notDeleted += line; break;
        case Recovery::kept: kept += line; break;
        case Recovery::nothing: break;
      }
    });
    if (anyRecovered) recovered += L"\n" + folder;
  });
  std::wstring text;
  const auto tell = [&text](const wchar_t* what, const std::wstring& list) {
    if (list.empty()) return;
    if (!text.empty()) text += L"\n\n";
    text += what + list;
  };
  tell(L"A map scan did not finish. The rows it had measured are saved as its tables in:", recovered);
  tell(L"These journals of unfinished map scans could not be read or turned into tables; they stay as they are:",
       kept);
  tell(L"These journals were saved as tables but could not be deleted; they will not be read again and may be "
       L"deleted by hand:",
       notDeleted);
  if (!text.empty()) MessageBoxW(hMainWnd, text.c_str(), L"Notice", MB_OK);
}
