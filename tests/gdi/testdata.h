// The test pictures: what gdi_make_testdata writes and what the tests expect to read back.
#pragma once

#include "tests/gdi/gdi_test.h"

namespace gditest {

// 78 x 48, 4 bits: white background, a red square (10..29, 10..29), a blue bar in row 40.
inline BmpLayout Picture4Layout() {
  BmpLayout s;
  s.width = 78;
  s.height = 48;
  s.bpp = 4;
  s.palette = Palette16();
  s.index = [](int x, int y) {
    if (x >= 10 && x < 30 && y >= 10 && y < 30) return 9;  // red
    if (y == 40) return 12;                                // blue
    return 15;                                             // white
  };
  return s;
}

// 24 x 16, 24 bits: a horizontal grey ramp, green in the top-left pixel.
inline BmpLayout Picture24Layout() {
  BmpLayout s;
  s.width = 24;
  s.height = 16;
  s.bpp = 24;
  s.color = [](int x, int y) -> COLORREF {
    if (x == 0 && y == 0) return RGB(0, 255, 0);
    return RGB(x * 10, x * 10, x * 10);
  };
  return s;
}

// A 16 x 16 image (all red) and a 32 x 32 image (yellow, its left half transparent).
inline std::vector<uint8_t> TwoSizesIco() {
  return MakeIco(
      {16, 32}, [](int size, int, int) { return size == 16 ? 9 : 11; },
      [](int size, int x, int) { return size == 32 && x < 16; });
}

}  // namespace gditest
