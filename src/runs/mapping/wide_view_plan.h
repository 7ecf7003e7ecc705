#pragma once
// Where the wide view takes its 3 x 3 frames. The stage starts at (x0, y0);
// the tile at column offset c and row offset r (each -1, 0, +1) is taken at
// (x0 + c W, y0 - r H) for a field of view W x H um and drawn into mosaic
// column c + 1, row r + 1 (row 0 at the top), so stage +X shows to the right
// and +Y upward. Portable: no Win32 here.

#include "runs/mapping/scan_points.h"

#include <array>

// Tiles taken right after a long move wait this long for the stage to settle.
constexpr unsigned wideViewSettleMs = 200;

struct WideViewTile {
  int column = 0;   // mosaic column 0..2 from the left
  int row = 0;      // mosaic row 0..2 from the top
  StagePoint position;
  bool settle = false;  // wait wideViewSettleMs after the move, before the grab
};

// The first move, to the far corner (x0 + W, y0 - H), so the stage enters
// the first tile at (x0 - W, y0 + H) from the same side as the rest.
StagePoint wideViewFirstMove(StagePoint start, double fieldWidthUm, double fieldHeightUm);

// The nine tiles in visiting order, a serpentine: the top row left to right,
// the middle row right to left, the bottom row left to right. The outer rows
// follow a move of a whole field height and settle; the middle row does not.
std::array<WideViewTile, 9> wideViewTiles(StagePoint start, double fieldWidthUm, double fieldHeightUm);
