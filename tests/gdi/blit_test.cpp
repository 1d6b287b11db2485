// Block copies: clipping on both sides, overlapping copies, raster operations, stretch factors,
// mirroring, and the transparent stretched copy.
#include <gtest/gtest.h>

#include "tests/gdi/gdi_test.h"

using gditest::Canvas;
using gditest::ExpectPicture;
using gditest::To565;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);

// A source whose every pixel is distinct: pixel (x, y) holds the 565 value y * 16 + x + 1.
void Number(Canvas& c) {
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      uint16_t v = static_cast<uint16_t>(y * 16 + x + 1);
      const uint16_t* top;
      int w, h, stride;
      ce::gdi::GetBitmapPixels(c.bitmap, &top, &w, &h, &stride);
      const_cast<uint16_t*>(reinterpret_cast<const uint16_t*>(reinterpret_cast<const char*>(top) + stride * y))[x] = v;
    }
}

uint16_t Source(int x, int y) { return static_cast<uint16_t>(y * 16 + x + 1); }

}  // namespace

TEST(GdiBlit, BitBltCopiesAndClipsToBothBitmaps) {
  Canvas src(6, 5), dst(8, 8, kWhite);
  Number(src);
  // Source partly outside on the left and top, destination partly outside on the right.
  ASSERT_TRUE(BitBlt(dst.dc, 5, 2, 6, 6, src.dc, -2, -1, SRCCOPY));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      int sx = x - 5 - 2, sy = y - 2 - 1;
      bool copied = x >= 5 && y >= 2 && y < 8 && sx >= 0 && sy >= 0 && sx < 6 && sy < 5;
      uint16_t want = copied ? Source(sx, sy) : To565(kWhite);
      EXPECT_EQ(dst.Pixel(x, y), want) << "at " << x << "," << y;
    }
}

TEST(GdiBlit, CopiesBetweenBottomUpAndTopDownBitmapsKeepRowOrder) {
  Canvas src(4, 3, kWhite, true), dst(4, 3, kWhite, false);
  SetPixel(src.dc, 1, 0, RGB(255, 0, 0));
  BitBlt(dst.dc, 0, 0, 4, 3, src.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Pixel(1, 0), To565(RGB(255, 0, 0)));
  EXPECT_EQ(dst.Count(kWhite), 11);
}

TEST(GdiBlit, OverlappingCopyWithinOneBitmap) {
  for (int dy : {-2, 2}) {
    for (int dx : {-3, 3}) {
      Canvas c(10, 10);
      Number(c);
      BitBlt(c.dc, 3 + dx, 3 + dy, 4, 4, c.dc, 3, 3, SRCCOPY);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
          EXPECT_EQ(c.Pixel(3 + dx + x, 3 + dy + y), Source(3 + x, 3 + y))
              << "shift " << dx << "," << dy << " at " << x << "," << y;
    }
  }
}

TEST(GdiBlit, RasterOperations) {
  struct {
    DWORD rop;
    uint16_t want;  // destination 0x00FF, source 0x0F0F
  } cases[] = {
      {SRCCOPY, 0x0F0F},   {NOTSRCCOPY, 0xF0F0}, {SRCAND, 0x000F},    {SRCPAINT, 0x0FFF},
      {SRCINVERT, 0x0FF0}, {BLACKNESS, 0x0000},  {WHITENESS, 0xFFFF}, {DSTINVERT, 0xFF00},
  };
  for (auto& t : cases) {
    Canvas src(1, 1), dst(1, 1);
    src.bits[0] = 0x0F0F;
    dst.bits[0] = 0x00FF;
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, t.rop));
    EXPECT_EQ(dst.bits[0], t.want) << std::hex << "rop " << t.rop;
  }
  Canvas a(1, 1), b(1, 1);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(BitBlt(a.dc, 0, 0, 1, 1, b.dc, 0, 0, 0x00BB0226 /* MERGEPAINT */));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(GdiBlit, StretchFactorsPickTheNearestSourcePixel) {
  struct {
    int dw, dh, sw, sh;
  } cases[] = {{8, 6, 4, 3}, {4, 3, 8, 6}, {12, 3, 4, 3}, {5, 7, 3, 2}, {4, 3, 4, 3}, {1, 1, 8, 6}};
  for (auto& t : cases) {
    Canvas src(8, 6), dst(16, 16, kWhite);
    Number(src);
    ASSERT_TRUE(StretchBlt(dst.dc, 1, 2, t.dw, t.dh, src.dc, 0, 0, t.sw, t.sh, SRCCOPY));
    for (int y = 0; y < t.dh; ++y)
      for (int x = 0; x < t.dw; ++x) {
        // The source pixel under the destination pixel's centre.
        int sx = static_cast<int>((x + 0.5) * t.sw / t.dw), sy = static_cast<int>((y + 0.5) * t.sh / t.dh);
        EXPECT_EQ(dst.Pixel(1 + x, 2 + y), Source(sx, sy))
            << t.sw << "x" << t.sh << " to " << t.dw << "x" << t.dh << " at " << x << "," << y;
      }
    EXPECT_EQ(dst.Count(kWhite), 256 - t.dw * t.dh);
  }
}

TEST(GdiBlit, NegativeStretchSizesMirror) {
  Canvas src(3, 2), dst(3, 2);
  Number(src);
  // A negative destination width runs from x + width to x: the picture is flipped left to right.
  StretchBlt(dst.dc, 3, 0, -3, 2, src.dc, 0, 0, 3, 2, SRCCOPY);
  EXPECT_EQ(dst.Pixel(0, 0), Source(2, 0));
  EXPECT_EQ(dst.Pixel(2, 1), Source(0, 1));
  StretchBlt(dst.dc, 0, 2, 3, -2, src.dc, 0, 0, 3, 2, SRCCOPY);
  EXPECT_EQ(dst.Pixel(0, 0), Source(0, 1));
  // Both sides negative: no flip.
  StretchBlt(dst.dc, 3, 0, -3, 2, src.dc, 3, 0, -3, 2, SRCCOPY);
  EXPECT_EQ(dst.Pixel(0, 0), Source(0, 0));
  // BitBlt with a negative size copies nothing.
  dst.Fill(kWhite);
  EXPECT_TRUE(BitBlt(dst.dc, 0, 0, -3, 2, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Count(kWhite), 6);
}

TEST(GdiBlit, TransparentImageLeavesOutTheKeyColourAfterQuantising) {
  Canvas src(4, 2), dst(8, 4, RGB(0, 0, 255));
  src.Fill(kWhite);
  SetPixel(src.dc, 1, 0, RGB(255, 0, 0));
  SetPixel(src.dc, 2, 1, RGB(0, 255, 0));
  // RGB(250, 253, 251) shows as white on a 16-bit display, so it names the same key.
  ASSERT_TRUE(TransparentImage(dst.dc, 0, 0, 8, 4, src.dc, 0, 0, 4, 2, RGB(250, 253, 251)));
  const char* expected =
      "BBRRBBBB"
      "BBRRBBBB"
      "BBBBGGBB"
      "BBBBGGBB";
  ExpectPicture(dst, expected,
                [](char e) { return e == 'R' ? RGB(255, 0, 0) : (e == 'G' ? RGB(0, 255, 0) : RGB(0, 0, 255)); });
  // The source may be a bitmap instead of a context; TransparentBlt is the same copy.
  Canvas viaBitmap(8, 4, RGB(0, 0, 255)), viaBlt(8, 4, RGB(0, 0, 255));
  HGDIOBJ held = SelectObject(src.dc, src.previous);
  EXPECT_TRUE(TransparentImage(viaBitmap.dc, 0, 0, 8, 4, src.bitmap, 0, 0, 4, 2, kWhite));
  SelectObject(src.dc, held);
  EXPECT_TRUE(TransparentBlt(viaBlt.dc, 0, 0, 8, 4, src.dc, 0, 0, 4, 2, kWhite));
  EXPECT_EQ(viaBitmap.Map(RGB(0, 0, 255)), dst.Map(RGB(0, 0, 255)));
  EXPECT_EQ(viaBlt.Map(RGB(0, 0, 255)), dst.Map(RGB(0, 0, 255)));
}

TEST(GdiBlit, TransparentImageRefusesEmptyOrNegativeSizes) {
  Canvas src(2, 2), dst(2, 2);
  const int sizes[][4] = {{0, 2, 2, 2}, {2, -1, 2, 2}, {2, 2, 0, 2}, {2, 2, 2, -2}};
  for (auto& s : sizes) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(TransparentImage(dst.dc, 0, 0, s[0], s[1], src.dc, 0, 0, s[2], s[3], 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  HPEN notASource = CreatePen(PS_SOLID, 0, 0);
  EXPECT_FALSE(TransparentImage(dst.dc, 0, 0, 2, 2, notASource, 0, 0, 2, 2, 0));
  DeleteObject(notASource);
}

TEST(GdiBlit, StretchedPicturesScaleByWholeFactors) {
  // The button pictures are drawn at 1x, 2x and 3x: every source pixel becomes a k x k block.
  for (int k = 1; k <= 3; ++k) {
    Canvas src(5, 3), dst(15, 9, kWhite);
    Number(src);
    TransparentImage(dst.dc, 0, 0, 5 * k, 3 * k, src.dc, 0, 0, 5, 3, kWhite);
    for (int y = 0; y < 3 * k; ++y)
      for (int x = 0; x < 5 * k; ++x) EXPECT_EQ(dst.Pixel(x, y), Source(x / k, y / k)) << "factor " << k;
  }
}
