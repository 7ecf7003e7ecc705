#pragma once
// The arithmetic of drawing the maps into their windows: the false-colour
// scale, the colour-scale range, the pixels of the map bitmaps, the colour
// bar and the range labels. The window side only creates the bitmap, hands
// it these pixels (SetDIBits with a 32-bit top-down header, that is a
// negative biHeight), stretches it and paints the bar and the labels where
// this file says. Portable: no Win32 here.

#include "runs/mapping/map_buffers.h"
#include "services/placed_text.h"

#include <cstdint>
#include <vector>

// Width kept free at the right of the "Nerin View" window for the colour bar
// and its labels: the intensity map is stretched onto the client area less this.
constexpr int colourBarMarginPx = 60;

// Colour of a scale level 0..1023 as a GDI COLORREF (red in bits 0-7, green
// 8-15, blue 16-23): black through red and yellow to white.
std::uint32_t mapColour(int level);

// A COLORREF as a pixel of a 32-bit DIB (bytes blue, green, red, 0).
inline std::uint32_t dibPixel(std::uint32_t colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// Level of a value on the scale: trunc((value - scaleMin) * 1023 /
// (scaleMax - scaleMin)) in single precision, held to 0..1023; a value whose
// level is not a number (NaN readings, an overflowing range) is level 0.
int mapLevel(float value, float scaleMin, float scaleMax);

// Rows an intensity drawing paints, inclusive (none when last < first).
struct MapRows {
  int first = 0;
  int last = -1;
};

// The rows and colour-scale range of drawMap for lastRow (negative: all
// rows) and topFirst: rows 0..lastRow seeded from the value at [0][0] (the
// scan, after each row), or the last lastRow + 1 rows seeded from the
// bottom-left value [0][height - 1] (the Show command). Writes the range into
// map.scaleMin and map.scaleMax; an empty range (all values equal) becomes
// scaleMin .. scaleMin + 1, so the map draws black.
MapRows findIntensityRange(MapBuffers& map, int lastRow, bool topFirst);

// The intensity bitmap: width x height DIB pixels, top row first, the rows
// of findIntensityRange in the colour map of their level and the other rows
// black. Updates the map's range as findIntensityRange does.
void renderIntensity(MapBuffers& map, int lastRow, bool topFirst, std::vector<std::uint32_t>& pixels);

// The confocal bitmap: channel 1 red, 2 green, 3 blue, anything else all
// three; each value converted to an integer and kept to its low 8 bits.
void renderConfocal(const MapBuffers& map, int channel, std::vector<std::uint32_t>& pixels);

// The vertical colour bar at the right of a client area whose right and
// bottom edges are R and B: `levels` rows of `width` pixels from x = left,
// the low end of the scale at the bottom.
struct ColourBar {
  int left = 0;     // R - 45
  int width = 25;
  int height = 0;   // B - 15
  int levels = 0;   // trunc(height * 0.9); no bar when 0 or less
};
ColourBar colourBarLayout(int clientRight, int clientBottom);
int colourBarRowY(const ColourBar& bar, int k);                // trunc((levels - k) + height * 0.1)
std::uint32_t colourBarColour(const ColourBar& bar, int k);    // COLORREF of level k * 1023 / levels

// The two range labels, "%.2f%s" of scaleMax and scaleMin with the unit, at
// (R - 55, 0) and (R - 55, B - 15).
struct ScaleLabels {
  PlacedText top;
  PlacedText bottom;
};
ScaleLabels scaleLabels(const MapBuffers& map, int clientRight, int clientBottom, const char* unit);
