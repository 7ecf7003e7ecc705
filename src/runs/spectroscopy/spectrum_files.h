#pragma once
// The I-V and time-evolution files: their names, which never replace an
// existing file, and their text. The window side opens the path with _wfopen
// in text mode ("w"), so the '\n' line ends written here become CR LF on
// disk, and calls the writer with the open file. Portable: no Win32 here.

#include "runs/spectroscopy/spectroscopy_record.h"
#include "services/free_file_name.h"

#include <cstdio>
#include <string>

inline constexpr const char* ivFileStem = "I-V";
inline constexpr const char* timeEvoFileStem = "TimeEvo";

// folder\stem(n).txt for the first n from counter whose file does not
// exist; the counter then moves past n. A second run of the program in the
// same minute shares the dated folder, so its first file must not take the
// first run's number. Empty, counter unchanged, when no number is free.
std::wstring nextSpectrumPath(const std::wstring& folder, const char* stem, int& counter, const FileExists& exists);

// "V(V), I(uA)\n", then one "%f,%f\n" line of voltage and current for each
// of the sweep's 4 x N points. False when a write failed.
bool writeIvCurveText(std::FILE* file, const SpectroscopyRecord& record);

// "Time(sec), I(uA)\n", then one "%f,%f\n" line of time and current for each
// stored sample (pointIndex of them). False when a write failed.
bool writeTimeEvolutionText(std::FILE* file, const SpectroscopyRecord& record);
