#pragma once
// Where the scale bars of the camera picture go. Portable: the drawing code
// only turns these numbers into GDI calls.

// The bar length for a picture f micrometres wide: 1000 um above 3000, 500
// above 1500, 100 above 300, 50 above 150, otherwise 10 (limits exclusive).
int scaleBarLengthUm(double fieldUm);

// The live scale bar on a w x h picture: a 5-pixel bar whose right end is 100
// pixels from the right edge and whose length is lengthUm at the field of view
// (fieldUm / scale micrometres across), and its "%d um" label, white with a
// black outline, starting 50 pixels left of the bar's right end.
struct LiveScaleBar {
  int lengthUm;
  int left, top, right, bottom;  // the Rectangle call's corners (top below bottom on screen)
  int labelX, labelY;            // where the white label goes
};
LiveScaleBar liveScaleBar(double fieldUm, double scale, int w, int h);

// The wide-view scale bar: 10 um of the camera picture (imageWidthPx pixels
// for fieldOfViewUm) near the bottom right, labelled 30 um while the 3 x 3
// mosaic is shown (it shrinks each frame to a third), 10 um otherwise.
struct WideScaleBar {
  int labelUm;
  int left, top, right, bottom;
  int labelX, labelY;
};
WideScaleBar wideScaleBar(int imageWidth, int imageHeight, double fieldOfViewUm, bool wideViewShown);

// The four one-pixel shifts of a label's black outline, in the order they
// are drawn; the label itself then goes on top, unshifted.
struct LabelOffset {
  int dx, dy;
};
extern const LabelOffset liveLabelOutline[4];
extern const LabelOffset wideLabelOutline[4];
