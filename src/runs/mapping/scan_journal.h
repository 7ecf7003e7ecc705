#pragma once
// The map scan's journal files (the format is runs/mapping/map_journal.h): made
// when the scan starts, each with the scan's record beside it
// ("Nerin.journal.json"), a row appended to each and flushed to the disk as
// the row is finished, removed once its table is written. A crash, a power
// cut or Windows shutting down leaves them behind, and the next start-up
// turns them into the tables.

#include "results/result_record.h"
#include "runs/mapping/map_buffers.h"

#include <windows.h>

#include <string>

// On; a measurement turns it off to compare the scan without its journal.
extern bool scanJournalOn;

struct ScanJournal {
  HANDLE files[4] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
  std::wstring paths[4];
  int tables = 0;  // 1, or 4 with the confocal option
};

// Makes one journal per table of the scan in the map's measurement folder,
// each under a name no file has yet, with its first line and the scan's
// record beside it. A journal that cannot be made leaves the scan without
// one; the scan goes on.
void openScanJournal(ScanJournal& journal, const MapBuffers& map, bool confocal, double stepUm, float biasVoltage,
                     const ResultRecord& record);
// Row y of every table appended and flushed to the disk.
void journalScanRow(ScanJournal& journal, const MapBuffers& map, int y);
// Closes the journals. The journal of each table written (tableWritten[t],
// in the order of mapTables) is deleted; the others stay for the next
// start-up to recover. Null: none was written.
void closeScanJournal(ScanJournal& journal, const bool* tableWritten);

// Start-up: each journal found in a measurement folder of the data folder
// becomes the table it was for (the "Nerin" journal also the MapInfo line),
// created as a new file under a free name in its folder with its record,
// and only then is deleted. A journal that cannot be read or turned into
// its table stays as it is. A journal recovered but not deletable is marked
// ("<journal>.recovered") and never recovered again. The operator is told
// in one "Notice" box where rows were recovered and which journals stay.
void recoverScanJournals();
