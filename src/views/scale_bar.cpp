#include "views/scale_bar.h"

int scaleBarLengthUm(double fieldUm) {
  if (fieldUm > 3000) return 1000;
  if (fieldUm > 1500) return 500;
  if (fieldUm > 300) return 100;
  if (fieldUm > 150) return 50;
  return 10;
}

LiveScaleBar liveScaleBar(double fieldUm, double scale, int w, int h) {
  LiveScaleBar bar{};
  const double f = fieldUm / scale;
  bar.lengthUm = scaleBarLengthUm(f);
  bar.left = static_cast<int>(w - w * (bar.lengthUm / f) - 100);
  bar.top = h - 50;
  bar.right = w - 100;
  bar.bottom = h - 55;
  // The label box spans (left, h - 46) to (w - 100, h - 36); the text starts
  // 50 pixels in from the box's right edge.
  bar.labelX = bar.right - 50;
  bar.labelY = h - 46;
  return bar;
}

WideScaleBar wideScaleBar(int imageWidth, int imageHeight, double fieldOfViewUm, bool wideViewShown) {
  WideScaleBar bar{};
  bar.left = imageWidth - 150;
  bar.top = imageHeight - 100;
  bar.right = bar.left + static_cast<int>((imageWidth * 10) / fieldOfViewUm);
  bar.bottom = bar.top + 5;
  bar.labelUm = wideViewShown ? 30 : 10;
  bar.labelX = bar.left;
  bar.labelY = bar.top + 5;
  return bar;
}

const LabelOffset liveLabelOutline[4] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
const LabelOffset wideLabelOutline[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
