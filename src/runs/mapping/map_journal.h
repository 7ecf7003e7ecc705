#pragma once
// The journal of a map scan: while the scan runs, every finished row of each
// map goes to "<table>.journal" in the measurement folder ("Nerin.journal",
// and with the confocal option "ConfocalR.journal" and so on), so that a
// crash or a power cut loses at most the row under way. A journal is the
// table's own text after one first line, the scan's MapInfo line:
//
//   Map width:12, height:10, step:1.4 um, bias voltage:0.500000
//   0.001000,0.002000,...,
//
// each line ending in CR LF as in the tables. The scan removes its journals
// once the tables are written; a journal found at start-up is turned into
// the table the scan would have written, its missing rows as zeros.
// Portable: no Win32 here.

#include "runs/mapping/map_buffers.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr wchar_t journalExtension[] = L".journal";

// The journal's name for a table, "<prefix>.journal" or, with a number n of
// 0 or more, "<prefix>(n).journal" (a folder that still holds an older one).
std::wstring journalName(const char* prefix, int number);
// The table prefix of a journal's file name ("Nerin" of "Nerin(0).journal");
// empty for a name that is not a journal's.
std::string journalTablePrefix(std::wstring_view fileName);

// The first line: the MapInfo line, ending in CR LF.
std::string journalHeader(const MapBuffers& map, double stepUm, float biasVoltage);
// Row y of one of the map's arrays as its table line, ending in CR LF.
std::string journalRow(const MapBuffers& map, const std::vector<float>& values, int y);

// What a journal holds.
struct MapJournal {
  std::string infoLine;           // the MapInfo line, with "\n"
  int width = 0;
  int height = 0;
  double stepUm = 0.0;
  double biasVoltageV = 0.0;
  std::vector<std::string> rows;  // complete rows, each with "\n"
};

// False when the first line is not a MapInfo line of a sensible size. The
// rows end at the first line that is not a complete row of `width` values
// (the one a crash cut short) and at `height` rows.
bool readMapJournal(std::string_view text, MapJournal& journal);

// The table the scan would have written: the journal's rows, then rows of
// zeros up to the map's height; lines end in "\n" (the writer's text mode
// makes them CR LF).
std::string recoveredTable(const MapJournal& journal);
