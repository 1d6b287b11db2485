// Composed scenes compared with reference pictures in tests/gdi/reference/. A scene may differ
// from its reference by a little in a few pixels; beyond that the test fails and writes what it
// drew beside the build, to be looked at. With GDI_UPDATE_REFERENCE=1 the references are
// rewritten instead (look at them before committing).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "tests/gdi/gdi_test.h"
#include "tests/gdi/test_resources.h"

using gditest::Canvas;

namespace {

// Compares a canvas with reference/<name>.png: a pixel matches when no channel is more than
// `channelTolerance` off, and at most `pixelTolerance` pixels may fail to match.
void ExpectMatchesReference(const Canvas& c, const char* name, int channelTolerance = 8, int pixelTolerance = 8) {
  std::string reference = std::string(GDI_REFERENCE_DIR) + "/" + name + ".png";
  const char* update = std::getenv("GDI_UPDATE_REFERENCE");
  if (update && std::string(update) == "1") {
    ASSERT_TRUE(ce::gdi::WritePng(c.dc, reference.c_str()));
    GTEST_SKIP() << "rewrote " << reference;
  }
  mkdir(GDI_OUTPUT_DIR, 0755);
  std::string actual = std::string(GDI_OUTPUT_DIR) + "/" + name + ".png";
  uint8_t* rgb = nullptr;
  int w = 0, h = 0;
  if (!ce::gdi::ReadPngRgb(reference.c_str(), &rgb, &w, &h)) {
    ce::gdi::WritePng(c.dc, actual.c_str());
    FAIL() << "no reference picture " << reference << "; the scene is in " << actual;
  }
  int bad = 0, worst = 0;
  if (w == c.width && h == c.height) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        COLORREF got = c.At(x, y);
        const uint8_t* want = rgb + (static_cast<size_t>(y) * w + x) * 3;
        int d = std::max({std::abs(GetRValue(got) - want[0]), std::abs(GetGValue(got) - want[1]),
                          std::abs(GetBValue(got) - want[2])});
        worst = std::max(worst, d);
        if (d > channelTolerance) ++bad;
      }
  }
  std::free(rgb);
  if (w != c.width || h != c.height || bad > pixelTolerance) {
    ce::gdi::WritePng(c.dc, actual.c_str());
    FAIL() << name << ": " << bad << " pixels differ from the reference (largest difference " << worst << ", size " << w
           << "x" << h << " against " << c.width << "x" << c.height << "); the scene drawn is in " << actual;
  }
}

const COLORREF kPanelBlue = RGB(96, 152, 200);
const COLORREF kCancelBlue = RGB(48, 100, 152);
const COLORREF kWhite = RGB(255, 255, 255);

// A page of picture buttons at a given scale, drawn with the calls a capture screen makes.
void DrawButtonPage(Canvas& c, int scale, int pressed) {
  const int W = c.width, H = c.height;
  const int titleHeight = 14 * scale + 5, statusHeight = 37 * scale + 1;
  const int buttonWidth = W / 2, buttonHeight = (H - titleHeight - statusHeight + 2) / 3;
  const int cancelWidth = ((W + 80) / 160) * 40;
  HDC dc = c.dc;
  HPEN bluePen = CreatePen(PS_SOLID, 0, kPanelBlue), cancelPen = CreatePen(PS_SOLID, 0, kCancelBlue),
       whitePen = CreatePen(PS_SOLID, 0, kWhite);
  HBRUSH blueBrush = CreateSolidBrush(kPanelBlue), cancelBrush = CreateSolidBrush(kCancelBlue),
         whiteBrush = CreateSolidBrush(kWhite);
  HFONT title = CreateFontW(16 * scale + 2, 6 * scale + 1, 0, 0, 850, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
  HFONT caption = CreateFontW(10 * scale + 6, 5 * scale + 1, 0, 0, 800, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
  HGDIOBJ oldPen = SelectObject(dc, bluePen), oldBrush = SelectObject(dc, blueBrush);
  HGDIOBJ oldFont = SelectObject(dc, title);

  RoundRect(dc, 0, 0, W, H, 9, 9);
  SetBkColor(dc, kPanelBlue);
  SetTextColor(dc, kWhite);
  ExtTextOutW(dc, 5, 4 - 4 * scale, 0, nullptr, u"Select POI type (1/2):", 22, nullptr);
  SelectObject(dc, whitePen);
  SelectObject(dc, whiteBrush);
  RoundRect(dc, 0, titleHeight, W, H - statusHeight, 9, 9);
  const char16_t* labels[6] = {u"Gatso", u"Mobile", u"Temporary", u"Unknown speed", u"Redlight", u""};
  HBITMAP picture = LoadBitmapW(nullptr, MAKEINTRESOURCEW(IDB_PICTURE4));
  for (int i = 0; i < 6; ++i) {
    bool down = i + 1 == pressed;
    SelectObject(dc, down ? bluePen : whitePen);
    SelectObject(dc, down ? blueBrush : whiteBrush);
    SetBkColor(dc, down ? kPanelBlue : kWhite);
    SetTextColor(dc, down ? kWhite : RGB(0, 0, 0));
    int left = (i % 2) * (buttonWidth - 1) + 1, top = titleHeight + (i / 2) * (buttonHeight - 1) + 1;
    if (top + buttonHeight > H - statusHeight) --top;
    RoundRect(dc, left, top, left + buttonWidth - 1, top + buttonHeight - 1, 9, 9);
    int x = left + (buttonWidth - 78 * scale) / 2, y = top + (scale * H) / 53;
    TransparentImage(dc, x, y, 78 * scale, 48 * scale, picture, 0, 0, 78, 48, kWhite);
    SelectObject(dc, caption);
    RECT r{x, y + 48 * scale, x + 78 * scale, y + 80 * scale};
    DrawTextW(dc, labels[i], -1, &r, DT_CENTER | DT_WORDBREAK | DT_TOP);
  }
  DeleteObject(picture);
  SelectObject(dc, oldFont);
  SetBkColor(dc, kPanelBlue);
  SetTextColor(dc, kWhite);
  ExtTextOutW(dc, 4, H - 12 * scale - 2, 0, nullptr, u"v1.09N 051121", 13, nullptr);
  ExtTextOutW(dc, 4, H - 24 * scale - 2, 0, nullptr, u"Saving in 5 s   ", 16, nullptr);
  ExtTextOutW(dc, 4, H - 36 * scale - 2, 0, nullptr, u"Gatso 50 mph                       ", 35, nullptr);
  SelectObject(dc, cancelPen);
  SelectObject(dc, cancelBrush);
  SetBkColor(dc, kCancelBlue);
  RoundRect(dc, W - cancelWidth - 3, H - statusHeight + 3, W - 3, H - 3, 9, 9);
  SelectObject(dc, title);
  RECT cancel{W - cancelWidth - 3, H - statusHeight + 10 * scale, W - 3, H - statusHeight + 10 * scale + 30};
  DrawTextW(dc, u"Cancel", -1, &cancel, DT_CENTER | DT_SINGLELINE | DT_TOP);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(bluePen), static_cast<HGDIOBJ>(cancelPen), static_cast<HGDIOBJ>(whitePen),
                    static_cast<HGDIOBJ>(blueBrush), static_cast<HGDIOBJ>(cancelBrush),
                    static_cast<HGDIOBJ>(whiteBrush), static_cast<HGDIOBJ>(title), static_cast<HGDIOBJ>(caption)})
    EXPECT_TRUE(DeleteObject(o));
}

}  // namespace

TEST(GdiReference, ButtonPageAt240x320) {
  Canvas c(240, 320, RGB(0, 0, 0), true);
  DrawButtonPage(c, 1, 0);
  ExpectMatchesReference(c, "button_page_240x320");
}

TEST(GdiReference, ButtonPageAt480x640WithAPressedButton) {
  Canvas c(480, 640, RGB(0, 0, 0), true);
  DrawButtonPage(c, 2, 3);
  ExpectMatchesReference(c, "button_page_480x640_pressed");
}

TEST(GdiReference, ShapesLinesAndCopies) {
  Canvas c(160, 120, RGB(255, 255, 255));
  HDC dc = c.dc;
  HPEN thick = CreatePen(PS_SOLID, 3, RGB(200, 40, 40));
  HBRUSH green = CreateSolidBrush(RGB(40, 160, 60));
  HGDIOBJ oldPen = SelectObject(dc, thick), oldBrush = SelectObject(dc, green);
  Ellipse(dc, 5, 5, 55, 40);
  RoundRect(dc, 60, 5, 120, 40, 20, 12);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(LTGRAY_BRUSH));
  POINT star[] = {{140, 4}, {155, 40}, {124, 18}, {156, 18}, {126, 40}};
  SetPolyFillMode(dc, WINDING);
  Polygon(dc, star, 5);
  SelectObject(dc, thick);
  POINT road[] = {{5, 110}, {40, 60}, {80, 95}, {150, 50}};
  Polyline(dc, road, 4);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  for (int i = 0; i < 12; ++i) {
    MoveToEx(dc, 80, 80, nullptr);
    LineTo(dc, 80 + (i % 4 - 2) * 12, 80 + (i / 4 - 1) * 25 + 7);
  }
  HBITMAP picture = LoadBitmapW(nullptr, MAKEINTRESOURCEW(IDB_PICTURE24));
  HDC src = CreateCompatibleDC(dc);
  HGDIOBJ held = SelectObject(src, picture);
  StretchBlt(dc, 100, 60, 48, -32, src, 0, 0, 24, 16, SRCCOPY);
  BitBlt(dc, 100, 95, 24, 16, src, 0, 0, SRCINVERT);
  SelectObject(src, held);
  DeleteDC(src);
  DeleteObject(picture);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(thick);
  DeleteObject(green);
  ExpectMatchesReference(c, "shapes_lines_copies");
}
