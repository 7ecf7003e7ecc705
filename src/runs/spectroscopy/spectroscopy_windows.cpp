#include "runs/spectroscopy/spectroscopy_windows.h"

SpectroscopyRecord spectroscopy;
SpectroscopyWindows spectroscopyWindows;
