#pragma once
// Where the program keeps its files: "Nerin Station_Data" on the current
// user's desktop, its "Data_Detail" subfolder, and the two settings files.
// The paths are filled by static construction before the entry point runs;
// the folders are made only by makeDataFolders, once the program knows it
// is the only one running.

#include <cwchar>

extern const wchar_t* const mainWindowTitle;  // "Nerin Station"

struct DataPaths {
  wchar_t baseFolder[300] = {};
  wchar_t dataFolder[350] = {};
  wchar_t detailFolder[350] = {};
  wchar_t configFile[400] = {};
  wchar_t objectiveFile[400] = {};
  // The desktop could not be found: the data folder lies at the root of the
  // drive the program was started from instead.
  bool desktopMissing = false;
  // The dated measurement folder "dataFolder\folderStamp" of this run, made
  // by the first save (makeMeasurementFolder); measurementFolderMade goes
  // back to 0 when a new one is wanted.
  wchar_t measurementFolder[400] = {};
  wchar_t folderStamp[16] = {};
  int measurementFolderMade = 0;

  DataPaths();
};

extern DataPaths dataPaths;

// Creates the data folder and its detail folder (an existing folder is fine).
void makeDataFolders();

// When the data folder is not on the desktop, tells the operator in a
// "Warning" box owned by the main window where data and settings go, so that
// nobody looks for them in vain. Call once the main window exists.
void warnIfDataFolderIsNotOnDesktop();
