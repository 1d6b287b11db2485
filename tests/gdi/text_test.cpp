// Text: fonts by face name, metrics, the opaque text cell, alignment, and DrawTextW's centring,
// word breaks, line breaks, prefixes and measuring.
#include <gtest/gtest.h>

#include <string>

#include "tests/gdi/gdi_test.h"

using gditest::Canvas;
using gditest::To565;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBack = RGB(0, 0, 255);  // text background, distinct from the canvas
const COLORREF kInk = RGB(255, 0, 0);

// A font selected for the life of the object.
struct UseFont {
  HDC dc;
  HFONT font;
  HGDIOBJ old;
  UseFont(HDC d, int height, int width, int weight, const char16_t* face = u"Tahoma") : dc(d) {
    font = CreateFontW(height, width, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, face);
    old = SelectObject(dc, font);
  }
  ~UseFont() {
    SelectObject(dc, old);
    DeleteObject(font);
  }
};

TEXTMETRICW Metrics(HDC dc) {
  TEXTMETRICW tm;
  std::memset(&tm, 0xb0, sizeof tm);
  EXPECT_TRUE(GetTextMetricsW(dc, &tm));
  return tm;
}

SIZE Extent(HDC dc, const std::u16string& s) {
  SIZE size{-1, -1};
  EXPECT_TRUE(GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size));
  return size;
}

void Colours(HDC dc) {
  SetTextColor(dc, kInk);
  SetBkColor(dc, kBack);
}

}  // namespace

TEST(GdiFonts, TahomaResolvesAndHeightsFollowTheirSign) {
  Canvas c(10, 10);
  struct {
    int height, width, weight;
    int tmHeight;  // expected cell height
  } cases[] = {
      {18, 7, 850, 18},   // titleFont at scale 1: a positive height is the whole cell
      {16, 6, 800, 16},   // buttonFont at scale 1
      {34, 13, 850, 34},  // titleFont at scale 2
      {26, 11, 800, 26},  // buttonFont at scale 2
      {-11, 0, 400, 13},  // a negative height is the character height, the cell adds the leading
  };
  for (auto& t : cases) {
    UseFont f(c.dc, t.height, t.width, t.weight);
    TEXTMETRICW tm = Metrics(c.dc);
    EXPECT_EQ(tm.tmHeight, t.tmHeight) << "height " << t.height;
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    if (t.height < 0) {
      EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, -t.height);
    }
    if (t.width > 0) {
      EXPECT_EQ(tm.tmAveCharWidth, t.width);
    }
    EXPECT_EQ(tm.tmWeight, t.weight);
    WCHAR face[LF_FACESIZE];
    EXPECT_EQ(GetTextFaceW(c.dc, LF_FACESIZE, face), 7);
    EXPECT_EQ(std::u16string(face), u"Tahoma");
  }
}

TEST(GdiFonts, WidthAndWeightChangeTheText) {
  Canvas c(10, 10);
  std::u16string text = u"Select speed (1/2):";
  LONG narrow, wide, regularInk, boldInk;
  {
    UseFont f(c.dc, 18, 5, 400);
    narrow = Extent(c.dc, text).cx;
  }
  {
    UseFont f(c.dc, 18, 9, 400);
    wide = Extent(c.dc, text).cx;
  }
  EXPECT_LT(narrow * 3, wide * 2) << "lfWidth 5 against 9";
  // Bold text puts more ink down than regular text of the same size.
  auto ink = [&](int weight) {
    Canvas page(200, 24);
    UseFont f(page.dc, 18, 7, weight);
    SetBkMode(page.dc, TRANSPARENT);
    TextOutW(page.dc, 2, 2, text.c_str(), static_cast<int>(text.size()));
    return static_cast<LONG>(page.width * page.height - page.Count(kWhite));
  };
  regularInk = ink(400);
  boldInk = ink(850);
  EXPECT_GT(boldInk, regularInk * 13 / 10) << "regular " << regularInk << " bold " << boldInk;
}

TEST(GdiFonts, UnknownFacesFallBackToASansFace) {
  Canvas c(120, 20);
  UseFont f(c.dc, -12, 0, 400, u"No Such Face 123");
  SIZE s = Extent(c.dc, u"Fallback");
  EXPECT_GT(s.cx, 20);
  EXPECT_GT(s.cy, 10);
  SetBkMode(c.dc, TRANSPARENT);
  TextOutW(c.dc, 1, 1, u"Fallback", 8);
  EXPECT_GT(c.width * c.height - c.Count(kWhite), 30) << "nothing drawn";
}

TEST(GdiText, ExtentsAddUpAndCellsAreTheFontHeight) {
  Canvas c(10, 10);
  UseFont f(c.dc, 16, 6, 800);
  SIZE a = Extent(c.dc, u"Gatso"), b = Extent(c.dc, u" 50 mph"), ab = Extent(c.dc, u"Gatso 50 mph");
  EXPECT_EQ(a.cx + b.cx, ab.cx) << "no kerning between runs";
  EXPECT_EQ(ab.cy, 16);
  SIZE empty = Extent(c.dc, u"");
  EXPECT_EQ(empty.cx, 0);
  EXPECT_EQ(empty.cy, 16);
  SIZE s;
  EXPECT_FALSE(GetTextExtentPoint32W(c.dc, nullptr, 3, &s));
  EXPECT_FALSE(GetTextExtentPoint32W(c.dc, u"abc", -1, &s));
}

TEST(GdiText, OpaqueModeFillsTheTextCellWithTheBackground) {
  Canvas c(120, 30);
  UseFont f(c.dc, 16, 6, 800);
  Colours(c.dc);
  SIZE s = Extent(c.dc, u"Cancel");
  ASSERT_TRUE(TextOutW(c.dc, 10, 5, u"Cancel", 6));
  // The cell is exactly the extent wide and the font's height tall, at the given origin.
  RECT box = c.InkBox(kWhite);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.top, 5);
  EXPECT_EQ(box.right, 10 + s.cx);
  EXPECT_EQ(box.bottom, 5 + 16);
  int cell = s.cx * 16;
  int ink = c.Count(kInk), back = c.Count(kBack);
  EXPECT_EQ(ink + back, cell) << "the cell holds only ink and background";
  EXPECT_GT(ink, 20);

  // Transparent mode draws the same ink and nothing else.
  Canvas t(120, 30);
  UseFont g(t.dc, 16, 6, 800);
  Colours(t.dc);
  EXPECT_EQ(SetBkMode(t.dc, TRANSPARENT), OPAQUE);
  TextOutW(t.dc, 10, 5, u"Cancel", 6);
  EXPECT_EQ(t.Count(kBack), 0);
  EXPECT_EQ(t.Count(kInk), ink);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x)
      if (t.Pixel(x, y) == To565(kInk)) {
        EXPECT_EQ(c.Pixel(x, y), To565(kInk)) << x << "," << y;
      }
}

TEST(GdiText, ExtTextOutOpaqueRectangleAndClipping) {
  Canvas c(60, 20);
  UseFont f(c.dc, 16, 6, 800);
  Colours(c.dc);
  SetBkMode(c.dc, TRANSPARENT);
  RECT r{5, 2, 25, 18};
  ASSERT_TRUE(ExtTextOutW(c.dc, 8, 2, ETO_OPAQUE | ETO_CLIPPED, &r, u"WWWWWW", 6, nullptr));
  RECT box = c.InkBox(kWhite);
  EXPECT_EQ(box.left, 5);
  EXPECT_EQ(box.top, 2);
  EXPECT_EQ(box.right, 25) << "text clipped to the rectangle" << c.Map(kWhite);
  EXPECT_EQ(box.bottom, 18);
  EXPECT_GT(c.Count(kInk), 0);
  // The opaque rectangle alone, with no text: the usual way to clear a line.
  c.Fill(kWhite);
  EXPECT_TRUE(ExtTextOutW(c.dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr));
  EXPECT_EQ(c.Count(kBack), 20 * 16);
  // Spacing given per character moves each glyph.
  c.Fill(kWhite);
  INT dx[3] = {20, 20, 20};
  ExtTextOutW(c.dc, 0, 0, 0, nullptr, u"lll", 3, dx);
  int columns = 0;
  for (int x = 0; x < 60; ++x) columns += c.Count(kInk, x, 0, x + 1, 20) > 0;
  EXPECT_GE(c.InkBox(kWhite).right, 41);
  EXPECT_LE(columns, 9) << "three narrow glyphs, far apart" << c.Map(kWhite);
}

TEST(GdiText, AlignmentMovesTheCell) {
  struct {
    UINT align;
    int dx, dy;  // where the cell's top-left lands relative to (50, 20), in extents and heights
  } cases[] = {
      {TA_LEFT | TA_TOP, 0, 0},     {TA_RIGHT | TA_TOP, -2, 0},     {TA_CENTER | TA_TOP, -1, 0},
      {TA_LEFT | TA_BOTTOM, 0, -2}, {TA_LEFT | TA_BASELINE, 0, -1},
  };
  for (auto& t : cases) {
    Canvas c(100, 40);
    UseFont f(c.dc, 16, 6, 800);
    Colours(c.dc);
    TEXTMETRICW tm = Metrics(c.dc);
    SIZE s = Extent(c.dc, u"Mobile");
    EXPECT_EQ(SetTextAlign(c.dc, t.align), static_cast<UINT>(TA_LEFT | TA_TOP));
    TextOutW(c.dc, 50, 20, u"Mobile", 6);
    RECT box = c.InkBox(kWhite);
    int wantLeft = 50 + (t.dx == -2 ? -s.cx : (t.dx == -1 ? -s.cx / 2 : 0));
    int wantTop = 20 + (t.dy == -2 ? -tm.tmHeight : (t.dy == -1 ? -tm.tmAscent : 0));
    EXPECT_EQ(box.left, wantLeft) << "align " << t.align;
    EXPECT_EQ(box.top, wantTop) << "align " << t.align;
  }
}

TEST(GdiDrawText, CentresASingleLineBothWays) {
  Canvas c(100, 50);
  UseFont f(c.dc, 18, 7, 850);
  Colours(c.dc);
  SIZE s = Extent(c.dc, u"Cancel");
  RECT r{10, 5, 90, 45};
  int height = DrawTextW(c.dc, u"Cancel", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RECT box = c.InkBox(kWhite);
  EXPECT_EQ(box.left, 10 + (80 - s.cx) / 2);
  EXPECT_EQ(box.right, box.left + s.cx);
  EXPECT_EQ(box.top, 5 + (40 - 18) / 2);
  EXPECT_EQ(box.bottom, box.top + 18);
  EXPECT_EQ(height, box.bottom - 5) << "with DT_VCENTER the result is the text's bottom from the top";
  // DT_RIGHT and DT_BOTTOM put it in the other corner; the rectangle itself is not changed.
  c.Fill(kWhite);
  DrawTextW(c.dc, u"Cancel", 6, &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
  box = c.InkBox(kWhite);
  EXPECT_EQ(box.right, 90);
  EXPECT_EQ(box.bottom, 45);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom, 45);
}

TEST(GdiDrawText, WordBreaksCentreEachLine) {
  Canvas c(100, 60);
  UseFont f(c.dc, 16, 6, 800);
  Colours(c.dc);
  SIZE first = Extent(c.dc, u"Variable"), second = Extent(c.dc, u"speed"), whole = Extent(c.dc, u"Variable speed");
  ASSERT_GT(whole.cx, 78) << "the caption must be too wide for one line of the button";
  RECT r{11, 4, 89, 36};  // 78 pixels wide, two lines tall: a button caption
  int height = DrawTextW(c.dc, u"Variable speed", -1, &r, DT_CENTER | DT_WORDBREAK);
  EXPECT_EQ(height, 32);
  // Each line's cell, found row by row.
  auto rowBox = [&](int y) {
    int l = -1, rr = -1;
    for (int x = 0; x < 100; ++x)
      if (c.Pixel(x, y) != To565(kWhite)) {
        if (l < 0) l = x;
        rr = x + 1;
      }
    return std::pair<int, int>(l, rr);
  };
  auto line1 = rowBox(4), line2 = rowBox(4 + 16);
  EXPECT_EQ(line1.first, 11 + (78 - first.cx) / 2) << c.Map(kWhite);
  EXPECT_EQ(line1.second - line1.first, first.cx);
  EXPECT_EQ(line2.first, 11 + (78 - second.cx) / 2);
  EXPECT_EQ(line2.second - line2.first, second.cx);
  EXPECT_EQ(c.InkBox(kWhite).bottom, 36);

  // DT_CALCRECT measures the same lines and draws nothing.
  Canvas m(100, 60);
  UseFont g(m.dc, 16, 6, 800);
  RECT calc{11, 4, 89, 4};
  EXPECT_EQ(DrawTextW(m.dc, u"Variable speed", -1, &calc, DT_CENTER | DT_WORDBREAK | DT_CALCRECT), 32);
  EXPECT_EQ(m.Count(kWhite), 100 * 60);
  EXPECT_EQ(calc.bottom, 36);
  EXPECT_EQ(calc.right, 11 + std::max(first.cx, second.cx));
}

TEST(GdiDrawText, CalcRectAgreesWithWhatIsDrawn) {
  const char16_t* texts[] = {u"Gatso",
                             u"Unknown type",
                             u"Reloading map... ",
                             u"Turn timer off",
                             u"A caption long enough to need three lines here",
                             u"Two\r\nlines",
                             u"x\ny\nz"};
  for (const char16_t* text : texts) {
    for (UINT format : {UINT(DT_WORDBREAK), UINT(DT_WORDBREAK | DT_CENTER), UINT(DT_SINGLELINE), UINT(0)}) {
      Canvas c(400, 100);
      UseFont f(c.dc, 16, 6, 800);
      Colours(c.dc);
      RECT calc{20, 10, 100, 10};
      int measured = DrawTextW(c.dc, text, -1, &calc, format | DT_CALCRECT);
      RECT r{20, 10, 100, 90};
      int drawn = DrawTextW(c.dc, text, -1, &r, format | DT_NOCLIP);
      EXPECT_EQ(measured, drawn);
      RECT box = c.InkBox(kWhite);
      EXPECT_EQ(box.top, 10);
      EXPECT_EQ(box.bottom, calc.bottom) << "format " << format;
      EXPECT_EQ(box.bottom - box.top, drawn);
      if (!(format & DT_CENTER)) {
        EXPECT_EQ(box.left, 20);
        EXPECT_EQ(box.right, calc.right) << "format " << format << c.Map(kWhite);
      } else {
        EXPECT_LE(box.right - box.left, calc.right - calc.left);
      }
    }
  }
}

TEST(GdiDrawText, LongWordsStayWholeAndAreClipped) {
  Canvas c(120, 40);
  UseFont f(c.dc, 16, 6, 800);
  Colours(c.dc);
  SIZE s = Extent(c.dc, u"Unbreakablewordhere");
  RECT r{10, 2, 40, 38};
  EXPECT_EQ(DrawTextW(c.dc, u"Unbreakablewordhere", -1, &r, DT_WORDBREAK), 16) << "one line, not split";
  RECT box = c.InkBox(kWhite);
  EXPECT_EQ(box.right, 40) << "clipped to the rectangle";
  c.Fill(kWhite);
  DrawTextW(c.dc, u"Unbreakablewordhere", -1, &r, DT_WORDBREAK | DT_NOCLIP);
  EXPECT_EQ(c.InkBox(kWhite).right, std::min(120, 10 + static_cast<int>(s.cx)));
  RECT calc = r;
  DrawTextW(c.dc, u"Unbreakablewordhere", -1, &calc, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(calc.right, 10 + s.cx) << "the measured rectangle widens to the word";
}

TEST(GdiDrawText, PrefixesUnderlineAndDoubleAmpersandsShowOne) {
  Canvas c(100, 20);
  UseFont f(c.dc, 16, 6, 800);
  SIZE save = Extent(c.dc, u"Save"), amp = Extent(c.dc, u"A&B"), raw = Extent(c.dc, u"&Save");
  RECT r{0, 0, 100, 20};
  RECT calc = r;
  DrawTextW(c.dc, u"&Save", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(calc.right, save.cx);
  calc = r;
  DrawTextW(c.dc, u"A&&B", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(calc.right, amp.cx);
  calc = r;
  DrawTextW(c.dc, u"&Save", -1, &calc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_EQ(calc.right, raw.cx);
  // The prefixed letter is underlined: more ink than the plain word.
  SetBkMode(c.dc, TRANSPARENT);
  DrawTextW(c.dc, u"Save", -1, &r, DT_SINGLELINE);
  int plain = 2000 - c.Count(kWhite);
  c.Fill(kWhite);
  DrawTextW(c.dc, u"&Save", -1, &r, DT_SINGLELINE);
  EXPECT_GT(2000 - c.Count(kWhite), plain);
}

TEST(GdiDrawText, BadArgumentsFail) {
  Canvas c(10, 10);
  RECT r{0, 0, 10, 10};
  EXPECT_EQ(DrawTextW(c.dc, nullptr, 3, &r, 0), 0);
  EXPECT_EQ(DrawTextW(c.dc, u"x", 1, nullptr, 0), 0);
  EXPECT_EQ(DrawTextW(nullptr, u"x", 1, &r, 0), 0);
  EXPECT_EQ(DrawTextW(c.dc, u"", 0, &r, 0), 0);
  EXPECT_FALSE(TextOutW(c.dc, 0, 0, u"x", -1));
  EXPECT_FALSE(ExtTextOutW(c.dc, 0, 0, 0, nullptr, nullptr, 2, nullptr));
}

TEST(GdiText, NewContextsDrawWithTheSystemFont) {
  Canvas c(140, 20);
  TEXTMETRICW tm = Metrics(c.dc);
  EXPECT_GE(tm.tmHeight, 11);
  EXPECT_LE(tm.tmHeight, 16);
  SetBkColor(c.dc, kBack);
  TextOutW(c.dc, 4, 2, u"v1.09N 051121", 13);
  RECT box = c.InkBox(kWhite);
  EXPECT_EQ(box.top, 2);
  EXPECT_EQ(box.bottom, 2 + tm.tmHeight);
  EXPECT_GT(c.Count(RGB(0, 0, 0)), 20) << "black text by default";
}
