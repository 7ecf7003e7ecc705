// Every test program finds the data folder made, as the program finds it
// once it runs. A DataPaths of its own: the order in which the program's
// objects are built is not known here.

#include "services/data_paths.h"

#include <windows.h>

namespace {

const bool dataFoldersMade = [] {
  const DataPaths paths;
  CreateDirectoryW(paths.dataFolder, nullptr);
  CreateDirectoryW(paths.detailFolder, nullptr);
  return true;
}();

}  // namespace
