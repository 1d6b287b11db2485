// Shapes, lines, pixels and colours: Win32 geometry checked pixel by pixel on small bitmaps.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "tests/gdi/gdi_test.h"

using gditest::Canvas;
using gditest::ExpectPicture;
using gditest::To565;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);

// Selects a pen and a brush for the life of the object.
struct Tools {
  HDC dc;
  HPEN pen;
  HBRUSH brush;
  HGDIOBJ oldPen, oldBrush;
  Tools(HDC d, HPEN p, HBRUSH b) : dc(d), pen(p), brush(b) {
    oldPen = SelectObject(dc, pen);
    oldBrush = SelectObject(dc, brush);
  }
  ~Tools() {
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
  }
};

}  // namespace

TEST(GdiColours, RgbIsShownAsA16BitDisplayShowsIt) {
  struct {
    COLORREF in;
    uint16_t pixel;
    COLORREF shown;
  } cases[] = {
      {RGB(0, 0, 0), 0x0000, RGB(0, 0, 0)},           {RGB(255, 255, 255), 0xFFFF, RGB(255, 255, 255)},
      {RGB(96, 152, 200), 0x64D9, RGB(99, 154, 206)},  // panel blue
      {RGB(48, 100, 152), 0x3333, RGB(49, 101, 156)},  // cancel blue
      {RGB(7, 3, 7), 0x0000, RGB(0, 0, 0)},            // below one step: truncated away
      {RGB(8, 4, 8), 0x0821, RGB(8, 4, 8)},            // one step of each channel
      {RGB(255, 0, 0), 0xF800, RGB(255, 0, 0)},       {RGB(0, 255, 0), 0x07E0, RGB(0, 255, 0)},
      {RGB(0, 0, 255), 0x001F, RGB(0, 0, 255)},       {RGB(128, 128, 128), 0x8410, RGB(132, 130, 132)},
  };
  Canvas c(1, 1);
  for (auto& t : cases) {
    EXPECT_EQ(SetPixel(c.dc, 0, 0, t.in), t.shown) << std::hex << "RGB " << t.in;
    EXPECT_EQ(c.Pixel(0, 0), t.pixel) << std::hex << "RGB " << t.in;
    EXPECT_EQ(GetPixel(c.dc, 0, 0), t.shown) << std::hex << "RGB " << t.in;
  }
  // A shown colour is stable: showing it again changes nothing.
  for (auto& t : cases) {
    SetPixel(c.dc, 0, 0, t.shown);
    EXPECT_EQ(c.Pixel(0, 0), t.pixel);
  }
  EXPECT_EQ(SetPixel(c.dc, 1, 0, kRed), CLR_INVALID);
  EXPECT_EQ(GetPixel(c.dc, -1, 0), CLR_INVALID);
}

TEST(GdiShapes, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  Canvas c(8, 7);
  Tools t(c.dc, CreatePen(PS_SOLID, 0, kRed), CreateSolidBrush(kBlue));
  ASSERT_TRUE(Rectangle(c.dc, 1, 1, 6, 5));
  const char* expected =
      "........"
      ".RRRRR.."
      ".RBBBR.."
      ".RBBBR.."
      ".RRRRR.."
      "........"
      "........";
  ExpectPicture(c, expected, [](char e) { return e == 'R' ? kRed : (e == 'B' ? kBlue : kWhite); });
  // Corners given the other way round draw the same rectangle.
  Canvas d(8, 7);
  Tools u(d.dc, CreatePen(PS_SOLID, 0, kRed), CreateSolidBrush(kBlue));
  Rectangle(d.dc, 6, 5, 1, 1);
  EXPECT_EQ(c.Map(kWhite), d.Map(kWhite));
}

TEST(GdiShapes, NullPenMakesTheFigureOnePixelSmaller) {
  Canvas c(8, 8);
  HGDIOBJ oldPen = SelectObject(c.dc, GetStockObject(NULL_PEN));
  HGDIOBJ oldBrush = SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  Rectangle(c.dc, 1, 1, 6, 5);
  EXPECT_EQ(c.Count(RGB(0, 0, 0)), 4 * 3) << c.Map(kWhite);
  EXPECT_EQ(c.InkBox(kWhite).right, 5);
  EXPECT_EQ(c.InkBox(kWhite).bottom, 4);
  // Nothing to draw at all with a null pen and a null brush.
  c.Fill(kWhite);
  SelectObject(c.dc, GetStockObject(NULL_BRUSH));
  EXPECT_TRUE(Rectangle(c.dc, 0, 0, 8, 8));
  EXPECT_TRUE(RoundRect(c.dc, 0, 0, 8, 8, 3, 3));
  EXPECT_EQ(c.Count(kWhite), 64);
  // A null brush leaves the inside alone.
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  SelectObject(c.dc, pen);
  Rectangle(c.dc, 0, 0, 8, 8);
  EXPECT_EQ(c.Count(kRed), 28);
  EXPECT_EQ(c.Count(kWhite, 1, 1, 7, 7), 36);
  SelectObject(c.dc, oldPen);
  SelectObject(c.dc, oldBrush);
  DeleteObject(pen);
}

TEST(GdiShapes, RoundRectCornersFollowTheEllipse) {
  // 20 x 12 with 9 x 9 corners: the top row starts two pixels in, the third row is full.
  Canvas c(24, 16);
  Tools t(c.dc, CreatePen(PS_SOLID, 0, kRed), CreateSolidBrush(kBlue));
  ASSERT_TRUE(RoundRect(c.dc, 0, 0, 20, 12, 9, 9));
  struct {
    int x, y;
    COLORREF want;
    const char* what;
  } probes[] = {
      {0, 0, kWhite, "top-left corner cut off"},
      {19, 0, kWhite, "top-right corner cut off"},
      {0, 11, kWhite, "bottom-left corner cut off"},
      {19, 11, kWhite, "bottom-right corner cut off"},
      {1, 0, kWhite, "top row starts two pixels in"},
      {2, 0, kRed, "top row's first pixel"},
      {17, 0, kRed, "top row's last pixel"},
      {18, 0, kWhite, "top row ends two pixels in"},
      {1, 1, kRed, "second row starts one pixel in"},
      {0, 2, kRed, "third row is full width"},
      {0, 6, kRed, "left edge"},
      {19, 6, kRed, "right edge"},
      {20, 6, kWhite, "right edge excluded"},
      {10, 0, kRed, "top edge"},
      {10, 11, kRed, "bottom edge"},
      {10, 12, kWhite, "bottom edge excluded"},
      {10, 6, kBlue, "inside"},
      {1, 2, kBlue, "inside next to the corner"},
      {2, 1, kBlue, "inside the corner's curve"},
  };
  for (auto& p : probes)
    EXPECT_EQ(c.Pixel(p.x, p.y), To565(p.want)) << p.what << " at " << p.x << "," << p.y << c.Map(kWhite);
  // Symmetric left-right and top-bottom.
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      EXPECT_EQ(c.Pixel(x, y), c.Pixel(19 - x, y)) << x << "," << y;
      EXPECT_EQ(c.Pixel(x, y), c.Pixel(x, 11 - y)) << x << "," << y;
    }
  // The outline is closed: every blue pixel has no white 4-neighbour.
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      if (c.Pixel(x, y) != To565(kBlue)) continue;
      int n[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (auto& q : n) EXPECT_NE(c.Pixel(q[0], q[1]), To565(kWhite)) << "leak at " << x << "," << y;
    }
}

TEST(GdiShapes, RoundRectCornerSizesAreClampedAndZeroIsARectangle) {
  Canvas a(12, 8), b(12, 8), r(12, 8);
  {
    Tools t(a.dc, CreatePen(PS_SOLID, 0, kRed), CreateSolidBrush(kBlue));
    RoundRect(a.dc, 0, 0, 12, 8, 500, 500);  // larger than the box: an ellipse
  }
  {
    Tools t(b.dc, CreatePen(PS_SOLID, 0, kRed), CreateSolidBrush(kBlue));
    Ellipse(b.dc, 0, 0, 12, 8);
  }
  EXPECT_EQ(a.Map(kWhite), b.Map(kWhite));
  {
    Tools t(r.dc, CreatePen(PS_SOLID, 0, kRed), CreateSolidBrush(kBlue));
    RoundRect(r.dc, 0, 0, 12, 8, 0, 0);
  }
  EXPECT_EQ(r.Count(kWhite), 0) << r.Map(kWhite);
}

TEST(GdiShapes, EllipseTouchesEachSideOfItsBox) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 5}, {9, 9}, {10, 4}, {31, 17}};
  for (auto& s : sizes) {
    Canvas c(40, 30);
    Tools t(c.dc, CreatePen(PS_SOLID, 0, kRed), CreateSolidBrush(kBlue));
    Ellipse(c.dc, 3, 2, 3 + s[0], 2 + s[1]);
    RECT box = c.InkBox(kWhite);
    EXPECT_EQ(box.left, 3) << s[0] << "x" << s[1];
    EXPECT_EQ(box.top, 2) << s[0] << "x" << s[1];
    EXPECT_EQ(box.right, 3 + s[0]) << s[0] << "x" << s[1];
    EXPECT_EQ(box.bottom, 2 + s[1]) << s[0] << "x" << s[1] << c.Map(kWhite);
  }
}

TEST(GdiShapes, WidePensDrawTheOutlineInsideTheFigure) {
  Canvas c(12, 12);
  Tools t(c.dc, CreatePen(PS_SOLID, 3, kRed), CreateSolidBrush(kBlue));
  Rectangle(c.dc, 1, 1, 11, 11);
  EXPECT_EQ(c.Count(kBlue), 4 * 4) << c.Map(kWhite);
  EXPECT_EQ(c.Count(kRed), 100 - 16);
  EXPECT_EQ(c.Pixel(3, 5), To565(kRed));
  EXPECT_EQ(c.Pixel(4, 5), To565(kBlue));
}

TEST(GdiLines, LineToLeavesOutTheEndPoint) {
  struct {
    int x0, y0, x1, y1;
    std::vector<std::pair<int, int>> pixels;
  } cases[] = {
      {1, 1, 5, 1, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}}, {5, 1, 1, 1, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}},
      {2, 0, 2, 3, {{2, 0}, {2, 1}, {2, 2}}},         {0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}}, {3, 3, 3, 3, {}},
  };
  for (auto& t : cases) {
    Canvas c(8, 6);
    MoveToEx(c.dc, t.x0, t.y0, nullptr);
    ASSERT_TRUE(LineTo(c.dc, t.x1, t.y1));
    std::string want(48, '.');
    for (auto& p : t.pixels) want[p.second * 8 + p.first] = '#';
    std::string got;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) got += c.Pixel(x, y) == To565(kWhite) ? '.' : '#';
    EXPECT_EQ(got, want) << "line " << t.x0 << "," << t.y0 << " to " << t.x1 << "," << t.y1 << c.Map(kWhite);
    POINT at;
    MoveToEx(c.dc, 0, 0, &at);
    EXPECT_EQ(at.x, t.x1);
    EXPECT_EQ(at.y, t.y1);
  }
}

TEST(GdiLines, PolylineAndWidePens) {
  Canvas c(10, 10);
  POINT pts[] = {{1, 1}, {8, 1}, {8, 8}};
  EXPECT_TRUE(Polyline(c.dc, pts, 3));
  EXPECT_EQ(c.Count(RGB(0, 0, 0)), 7 + 7) << c.Map(kWhite);
  EXPECT_FALSE(Polyline(c.dc, pts, 1));

  Canvas w(12, 12);
  HPEN pen = CreatePen(PS_SOLID, 3, kRed);
  HGDIOBJ old = SelectObject(w.dc, pen);
  MoveToEx(w.dc, 2, 6, nullptr);
  LineTo(w.dc, 10, 6);
  SelectObject(w.dc, old);
  DeleteObject(pen);
  RECT box = w.InkBox(kWhite);
  EXPECT_EQ(box.bottom - box.top, 3) << w.Map(kWhite);
  EXPECT_EQ(w.Pixel(5, 5), To565(kRed));
  EXPECT_EQ(w.Pixel(5, 7), To565(kRed));
}

TEST(GdiShapes, PolygonFillsThePixelsItCovers) {
  Canvas c(14, 14);
  HGDIOBJ oldPen = SelectObject(c.dc, GetStockObject(NULL_PEN));
  HGDIOBJ oldBrush = SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  POINT square[] = {{2, 2}, {12, 2}, {12, 12}, {2, 12}};
  Polygon(c.dc, square, 4);
  EXPECT_EQ(c.Count(RGB(0, 0, 0)), 100) << c.Map(kWhite);
  EXPECT_EQ(c.InkBox(kWhite).left, 2);
  EXPECT_EQ(c.InkBox(kWhite).right, 12);

  // A five-pointed star: its centre is outside with ALTERNATE and inside with WINDING.
  POINT star[] = {{7, 0}, {11, 13}, {0, 5}, {13, 5}, {3, 13}};
  c.Fill(kWhite);
  SetPolyFillMode(c.dc, ALTERNATE);
  Polygon(c.dc, star, 5);
  EXPECT_EQ(c.Pixel(6, 7), To565(kWhite)) << c.Map(kWhite);
  c.Fill(kWhite);
  SetPolyFillMode(c.dc, WINDING);
  Polygon(c.dc, star, 5);
  EXPECT_EQ(c.Pixel(6, 7), 0) << c.Map(kWhite);
  // With a pen the outline closes the figure, right and bottom edges included.
  HPEN red = CreatePen(PS_SOLID, 0, kRed);
  SelectObject(c.dc, red);
  c.Fill(kWhite);
  Polygon(c.dc, square, 4);
  EXPECT_EQ(c.Count(kWhite), 14 * 14 - 121) << c.Map(kWhite);
  EXPECT_EQ(c.Count(kRed), 40);
  SelectObject(c.dc, oldPen);
  SelectObject(c.dc, oldBrush);
  DeleteObject(red);
}

// Every drawing call aimed far outside, or at huge figures, on a context that sees the middle of
// a larger buffer: the pixels around it must stay untouched.
TEST(GdiClipping, NothingIsWrittenOutsideTheBitmap) {
  const int W = 40, H = 30, X0 = 10, Y0 = 8, w = 20, h = 14;
  std::vector<uint16_t> buffer(W * H, 0xAAAA);
  HDC dc = ce::gdi::CreateSurfaceDC(&buffer[Y0 * W + X0], w, h, W * 2);
  ASSERT_NE(dc, nullptr);
  HPEN pen = CreatePen(PS_SOLID, 5, kRed);
  HBRUSH brush = CreateSolidBrush(kBlue);
  SelectObject(dc, pen);
  SelectObject(dc, brush);
  HDC src = CreateCompatibleDC(nullptr);
  HBITMAP srcBitmap = CreateCompatibleBitmap(src, 8, 8);
  SelectObject(src, srcBitmap);
  POINT far[] = {{INT_MIN, INT_MIN}, {INT_MAX, 5}, {5, INT_MAX}, {-30, 7}};
  const int big = 1 << 30;
  RECT huge{-big, -big, big, big};
  const auto calls = {
      +[](HDC d) { return Rectangle(d, INT_MIN, INT_MIN, INT_MAX, INT_MAX) != 0; },
      +[](HDC d) { return RoundRect(d, -100000000, -5, 100000000, 9, INT_MAX, INT_MIN) != 0; },
      +[](HDC d) { return Ellipse(d, -1000000, -1000000, 1000000, 1000000) != 0; },
      +[](HDC d) { return Ellipse(d, -50, -50, -10, -10) != 0; },
      +[](HDC d) { return Rectangle(d, 15, 10, 2000, 900) != 0; },
      +[](HDC d) { return MoveToEx(d, INT_MIN, INT_MIN, nullptr) && LineTo(d, INT_MAX, INT_MAX); },
      +[](HDC d) { return MoveToEx(d, -3, 4, nullptr) && LineTo(d, 1 << 29, 5); },
      +[](HDC d) { return MoveToEx(d, 19, -100, nullptr) && LineTo(d, 19, 100); },
      +[](HDC d) { return PatBlt(d, INT_MAX, INT_MAX, INT_MIN, INT_MIN, PATCOPY) != 0; },
      +[](HDC d) { return PatBlt(d, -5, -5, 1000, 1000, DSTINVERT) != 0; },
      +[](HDC d) { return SetPixel(d, 20, 0, 0) == CLR_INVALID && SetPixel(d, -1, -1, 0) == CLR_INVALID; },
      +[](HDC d) { return TextOutW(d, -7, 10, u"Clipped text", 12) != 0; },
      +[](HDC d) { return TextOutW(d, INT_MAX - 5, INT_MIN, u"far", 3) != 0; },
  };
  int i = 0;
  for (auto call : calls) {
    EXPECT_TRUE(call(dc)) << "call " << i;
    ++i;
  }
  EXPECT_TRUE(Polygon(dc, far, 4));
  EXPECT_TRUE(Polyline(dc, far, 4));
  EXPECT_TRUE(FillRect(dc, &huge, brush));
  EXPECT_TRUE(BitBlt(dc, -4, -4, 100, 100, src, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dc, 15, 10, 100, 100, src, -3, -3, SRCCOPY));
  EXPECT_TRUE(StretchBlt(dc, -1000, -1000, INT_MAX, INT_MAX, src, 0, 0, 8, 8, SRCCOPY));
  EXPECT_TRUE(StretchBlt(dc, 30, 30, -100, -100, src, 0, 0, 8, 8, SRCCOPY));
  EXPECT_TRUE(TransparentImage(dc, -10, -10, 1 << 28, 1 << 28, srcBitmap, 0, 0, 8, 8, kWhite));
  EXPECT_TRUE(TransparentImage(dc, 5, 5, 100, 100, src, -50, -50, 200, 200, kWhite));
  RECT textBox{-100, -100, 300, 300};
  EXPECT_NE(DrawTextW(dc, u"A long text that wraps over many lines and then some", -1, &textBox,
                      DT_WORDBREAK | DT_CENTER | DT_NOCLIP),
            0);
  EXPECT_TRUE(ExtTextOutW(dc, -3, -3, ETO_OPAQUE | ETO_CLIPPED, &huge, u"x", 1, nullptr));
  int touched = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if ((x < X0 || x >= X0 + w || y < Y0 || y >= Y0 + h) && buffer[y * W + x] != 0xAAAA) ++touched;
  EXPECT_EQ(touched, 0) << "pixels written outside the bitmap";
  DeleteDC(dc);
  DeleteObject(pen);
  DeleteObject(brush);
  DeleteDC(src);
  DeleteObject(srcBitmap);
}

TEST(GdiClipping, ClipRectangleLimitsDrawing) {
  Canvas c(10, 10);
  EXPECT_EQ(IntersectClipRect(c.dc, 2, 2, 5, 6), SIMPLEREGION);
  RECT box;
  EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.bottom, 6);
  PatBlt(c.dc, 0, 0, 10, 10, BLACKNESS);
  EXPECT_EQ(c.Count(RGB(0, 0, 0)), 3 * 4) << c.Map(kWhite);
  EXPECT_EQ(IntersectClipRect(c.dc, 7, 7, 9, 9), NULLREGION);
  EXPECT_EQ(SetPixel(c.dc, 8, 8, 0), CLR_INVALID);
  EXPECT_EQ(SelectClipRgn(c.dc, nullptr), SIMPLEREGION);
  EXPECT_NE(SetPixel(c.dc, 8, 8, 0), CLR_INVALID);
}

TEST(GdiShapes, FillRectAndPatBltCoverExactlyTheirRectangle) {
  Canvas c(8, 8);
  RECT r{1, 2, 4, 7};
  HBRUSH red = CreateSolidBrush(kRed);
  EXPECT_TRUE(FillRect(c.dc, &r, red));
  EXPECT_EQ(c.Count(kRed), 3 * 5);
  EXPECT_EQ(c.Count(kRed, 1, 2, 4, 7), 15);
  RECT inverted{4, 7, 1, 2};
  c.Fill(kWhite);
  FillRect(c.dc, &inverted, red);
  EXPECT_EQ(c.Count(kRed), 0) << "FillRect does not reorder its corners";
  DeleteObject(red);
  EXPECT_TRUE(PatBlt(c.dc, 6, 6, -3, -2, BLACKNESS));
  EXPECT_EQ(c.Count(RGB(0, 0, 0), 3, 4, 6, 6), 6) << c.Map(kWhite);
  EXPECT_TRUE(PatBlt(c.dc, 0, 0, 8, 8, DSTINVERT));
  EXPECT_EQ(c.Count(kWhite), 6);
}
