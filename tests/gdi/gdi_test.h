// Helpers of the graphics tests: small memory contexts over 16-bit sections, pixel reads, a
// .bmp/.ico writer for test files, and a printable map of a bitmap for failure messages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ce/gdi.h"
#include "ce/gdi/surface.h"
#include "ce/kernel.h"

namespace gditest {

// A memory context holding a w x h section (top-down unless bottomUp) filled with `fill`.
// Everything is released by the destructor, after the old bitmap is selected back.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  uint16_t* bits = nullptr;
  int width = 0, height = 0;
  bool bottomUp = false;

  Canvas(int w, int h, COLORREF fill = RGB(255, 255, 255), bool bottomUpRows = false);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  uint16_t Pixel(int x, int y) const;  // raw 565
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  void Fill(COLORREF color);
  // Number of pixels equal to the 565 form of `color` inside [l, r) x [t, b).
  int Count(COLORREF color, int l, int t, int r, int b) const;
  int Count(COLORREF color) const { return Count(color, 0, 0, width, height); }
  // Bounding box of pixels that differ from `background`; empty rect when none do.
  RECT InkBox(COLORREF background) const;
  // One character per pixel ('.' for `background`, '#' for anything else, or a legend).
  std::string Map(COLORREF background, int l = 0, int t = 0, int r = -1, int b = -1) const;
};

uint16_t To565(COLORREF c);

// Checks every pixel of `c` against `picture`, one character per pixel row after row;
// colourOf(ch) is the colour a character stands for.
void ExpectPicture(const Canvas& c, const char* picture, const std::function<COLORREF(char)>& colourOf);

// A .bmp file. For 1, 4 and 8 bits `index(x, y)` picks from `palette`; for 16 and 24 bits
// `color(x, y)` gives the colour (16 bits: 555, or 565 with bit fields when `bitfields565`).
struct BmpLayout {
  int width = 0;
  int height = 0;
  int bpp = 24;
  bool topDown = false;
  bool bitfields565 = false;
  std::vector<COLORREF> palette;
  std::function<int(int, int)> index;
  std::function<COLORREF(int, int)> color;
};
std::vector<uint8_t> MakeBmp(const BmpLayout& layout);

// An .ico file holding one 4-bit image per size; pixels from `index` into the 16-colour palette,
// `transparent(x, y)` sets the AND mask.
std::vector<uint8_t> MakeIco(const std::vector<int>& sizes, const std::function<int(int, int, int)>& index,
                             const std::function<bool(int, int, int)>& transparent);

// The standard 16-colour palette.
const std::vector<COLORREF>& Palette16();

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A fresh empty folder under the test output folder.
std::string TempFolder(const char* tag);

}  // namespace gditest
