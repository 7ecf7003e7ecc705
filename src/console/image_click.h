#pragma once
// A right click on the camera picture of the main window: where it landed,
// and how far the stage must travel to bring that point to the picture's
// centre or to the laser spot. Portable: no Win32.

#include <optional>

struct ImageClick {
  int x = 0;     // camera px from the left
  int yTop = 0;  // camera px from the top, as the mouse reports it
  int y = 0;     // camera px from the bottom, as the laser spot counts
};

// The click at client pixel (x, yTop) (the signed words of the mouse
// message), or nothing when it lies outside the 1232 x 1028 picture; its
// right and bottom edges still count as inside.
std::optional<ImageClick> imageClickAt(int x, int yTop);

// Byte offset of the pixel under a click in the bottom-up frame buffer. A
// click on the right or top edge samples the last pixel inside the picture.
int framePixelOffset(const ImageClick& click);

enum class ClickTarget { ImageCentre, LaserSpot };

struct StageOffset {
  double xUm = 0.0;
  double yUm = 0.0;
};

// The stage travel for a click: the pixel distance from the target, at
// fieldOfViewUm / 1232 um per pixel, times viewScale (pass 1 unless the
// wide-view mosaic is shown).
StageOffset clickOffsetUm(const ImageClick& click, ClickTarget target, int laserSpotX, int laserSpotY,
                          double fieldOfViewUm, int viewScale);
