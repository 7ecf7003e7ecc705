#include "console/image_click.h"

#include "services/scan_geometry.h"

#include <algorithm>

std::optional<ImageClick> imageClickAt(int x, int yTop) {
  const int y = imageHeightPx - yTop;
  if (x < 0 || x > imageWidthPx || y < 0 || y > imageHeightPx) return std::nullopt;
  return ImageClick{x, yTop, y};
}

int framePixelOffset(const ImageClick& click) {
  const int x = std::min(click.x, imageWidthPx - 1);
  const int y = std::min(click.y, imageHeightPx - 1);
  return (y * imageWidthPx + x) * 4;
}

StageOffset clickOffsetUm(const ImageClick& click, ClickTarget target, int laserSpotX, int laserSpotY,
                          double fieldOfViewUm, int viewScale) {
  const int dx = target == ClickTarget::ImageCentre ? click.x - imageWidthPx / 2 : click.x - laserSpotX;
  const int dy = target == ClickTarget::ImageCentre ? click.y - imageHeightPx / 2 : click.y - laserSpotY;
  const double umPerPixel = fieldOfViewUm / 1232.0 * viewScale;
  return {dx * umPerPixel, dy * umPerPixel};
}
