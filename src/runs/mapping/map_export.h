#pragma once
// The map files: one text table per map ("Nerin", "ConfocalR", "ConfocalG",
// "ConfocalB") and the "MapInfo" line, under names that never replace an
// existing file. The window side opens each path with _wfopen in text mode
// ("w"), so the '\n' line ends written here become CR LF on disk, and calls
// the writers below with the open file. Portable: no Win32 here.

#include "runs/mapping/map_buffers.h"
#include "services/free_file_name.h"

#include <cstdio>
#include <string>
#include <vector>

// The tables in the order a save writes them; without the confocal option
// only the first.
struct MapTable {
  const char* prefix;
  std::vector<float> MapBuffers::*values;
};
inline constexpr MapTable mapTables[] = {
    {"Nerin", &MapBuffers::intensity},
    {"ConfocalR", &MapBuffers::red},
    {"ConfocalG", &MapBuffers::green},
    {"ConfocalB", &MapBuffers::blue},
};
inline int mapTableCount(bool withConfocal) { return withConfocal ? 4 : 1; }

// Writes one map as a table: one line per row, rows 0 .. height - 1, each
// value of the row written as "%f," (so a line ends in a comma), '\n' after
// every row. values is one of the map's four arrays. False when a write
// failed (disk full); the file is the caller's to close.
bool writeMapTableText(std::FILE* file, const MapBuffers& map, const std::vector<float>& values);

// "Map width:%d, height:%d, step:%.1f um, bias voltage:%f\n".
std::string mapInfoText(const MapBuffers& map, double stepUm, float biasVoltage);

// The first free name for a prefix in the folder: folder\prefix.txt, else
// folder\prefix(0).txt, folder\prefix(1).txt, ... Empty when the name would
// be longer than the names are allowed to be (399 wide characters for the
// plain form, 499 for the numbered one) or no number is free; the caller
// then treats the file as one that could not be created.
std::wstring freeTextPath(const std::wstring& folder, const char* prefix, const FileExists& exists);
