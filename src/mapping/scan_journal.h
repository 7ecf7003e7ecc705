#pragma once
// The map scan's journal files (the format is mapping/map_journal.h): made
// when the scan starts, a row appended to each and flushed to the disk as
// the row is finished, removed once the tables are written. A crash, a
// power cut or Windows shutting down leaves them behind, and the next
// start-up turns them into the tables.

#include "mapping/map_buffers.h"

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
// each under a name no file has yet, with its first line. A journal that
// cannot be made leaves the scan without one; the scan goes on.
void openScanJournal(ScanJournal& journal, const MapBuffers& map, bool confocal, double stepUm, float biasVoltage);
// Row y of every table appended and flushed to the disk.
void journalScanRow(ScanJournal& journal, const MapBuffers& map, int y);
// Closes the journals; with tablesWritten they are deleted, otherwise they
// stay for the next start-up to recover.
void closeScanJournal(ScanJournal& journal, bool tablesWritten);

// Start-up: each journal found in a measurement folder of the data folder
// becomes the table it was for (the "Nerin" journal also the MapInfo line),
// under a free name in its folder, and is deleted. The operator is told in a
// "Notice" box which folders hold recovered rows. A journal that cannot be
// turned into its table stays, and is tried again at the next start.
void recoverScanJournals();
