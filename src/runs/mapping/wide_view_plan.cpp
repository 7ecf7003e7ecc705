#include "runs/mapping/wide_view_plan.h"

StagePoint wideViewFirstMove(StagePoint start, double fieldWidthUm, double fieldHeightUm) {
  return {start.xUm + fieldWidthUm, start.yUm - fieldHeightUm};
}

std::array<WideViewTile, 9> wideViewTiles(StagePoint start, double fieldWidthUm, double fieldHeightUm) {
  std::array<WideViewTile, 9> tiles;
  size_t n = 0;
  for (int r = -1; r <= 1; ++r) {
    const bool leftToRight = r != 0;
    for (int step = 0; step < 3; ++step) {
      const int c = leftToRight ? step - 1 : 1 - step;
      tiles[n++] = {c + 1, r + 1, {start.xUm + c * fieldWidthUm, start.yUm - r * fieldHeightUm}, r != 0};
    }
  }
  return tiles;
}
