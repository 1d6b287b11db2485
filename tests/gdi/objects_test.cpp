// Device contexts and objects: defaults, selection and restore, deletion rules, GetObjectW,
// bad handles, running out of handles, surface contexts and device capabilities.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ce/device.h"
#include "tests/gdi/gdi_test.h"

using gditest::Canvas;
using gditest::To565;

TEST(GdiObjects, NewContextHoldsTheDefaults) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
  BITMAP bm;
  std::memset(&bm, 0xb0, sizeof bm);
  ASSERT_EQ(GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmHeight, 1);
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
  // A context made from another context is just as independent.
  HDC second = CreateCompatibleDC(dc);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, dc);
  EXPECT_TRUE(DeleteDC(second));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc)) << "a deleted context must not be deleted twice";
}

TEST(GdiObjects, StockObjectsHaveTheirColoursAndSurviveDeletion) {
  struct {
    int index;
    UINT style;
    COLORREF color;
  } brushes[] = {{WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255)}, {LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192)},
                 {GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128)},  {DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64)},
                 {BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0)},       {NULL_BRUSH, BS_NULL, 0}};
  for (auto& b : brushes) {
    LOGBRUSH lb;
    std::memset(&lb, 0xb0, sizeof lb);
    HGDIOBJ h = GetStockObject(b.index);
    ASSERT_EQ(GetObjectW(h, sizeof lb, &lb), static_cast<int>(sizeof lb)) << "brush " << b.index;
    EXPECT_EQ(lb.lbStyle, b.style) << "brush " << b.index;
    if (b.style == BS_SOLID) {
      EXPECT_EQ(lb.lbColor, b.color) << "brush " << b.index;
    }
    EXPECT_TRUE(DeleteObject(h));
    EXPECT_EQ(GetObjectType(h), static_cast<DWORD>(OBJ_BRUSH)) << "stock brush " << b.index << " was freed";
  }
  struct {
    int index;
    UINT style;
    COLORREF color;
  } pens[] = {{WHITE_PEN, PS_SOLID, RGB(255, 255, 255)}, {BLACK_PEN, PS_SOLID, 0}, {NULL_PEN, PS_NULL, 0}};
  for (auto& p : pens) {
    LOGPEN lp;
    std::memset(&lp, 0xb0, sizeof lp);
    ASSERT_EQ(GetObjectW(GetStockObject(p.index), sizeof lp, &lp), static_cast<int>(sizeof lp));
    EXPECT_EQ(lp.lopnStyle, p.style) << "pen " << p.index;
    EXPECT_EQ(lp.lopnColor, p.color) << "pen " << p.index;
  }
  EXPECT_EQ(GetObjectType(GetStockObject(SYSTEM_FONT)), static_cast<DWORD>(OBJ_FONT));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetStockObject(9), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(GdiObjects, SelectObjectReturnsWhatItReplaced) {
  Canvas c(4, 4);
  HPEN pen = CreatePen(PS_SOLID, 0, RGB(1, 2, 3));
  HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
  ASSERT_TRUE(pen && brush && font);
  EXPECT_EQ(SelectObject(c.dc, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(c.dc, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(c.dc, font), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(SelectObject(c.dc, pen), pen) << "selecting the same object again gives itself back";

  // A selected object is not freed; once replaced it is.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteObject(pen));
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_FALSE(DeleteObject(c.bitmap));
  EXPECT_NE(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(SelectObject(c.dc, GetStockObject(BLACK_PEN)), pen);
  EXPECT_EQ(SelectObject(c.dc, GetStockObject(WHITE_BRUSH)), brush);
  EXPECT_EQ(SelectObject(c.dc, GetStockObject(SYSTEM_FONT)), font);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(GetObjectType(pen), 0u) << "a deleted handle must no longer resolve";
  EXPECT_EQ(SelectObject(c.dc, pen), nullptr);
}

TEST(GdiObjects, ABitmapLivesInOneContextAtATime) {
  Canvas c(4, 4);
  HDC other = CreateCompatibleDC(nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SelectObject(other, c.bitmap), nullptr);
  EXPECT_NE(GetLastError(), 0xdeadbeefu);
  // Freed from the first context, it can go into the second.
  HGDIOBJ old = SelectObject(c.dc, c.previous);
  EXPECT_EQ(old, c.bitmap);
  HGDIOBJ otherDefault = SelectObject(other, c.bitmap);
  EXPECT_NE(otherDefault, nullptr);
  EXPECT_EQ(SelectObject(other, otherDefault), c.bitmap);
  c.previous = SelectObject(c.dc, c.bitmap);
  // Deleting the context releases the bitmap it held.
  HDC holder = CreateCompatibleDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(holder, 3, 3);
  SelectObject(holder, b);
  EXPECT_FALSE(DeleteObject(b));
  EXPECT_TRUE(DeleteDC(holder));
  EXPECT_TRUE(DeleteObject(b));
  DeleteDC(other);
}

TEST(GdiObjects, BadHandlesFailWithoutTouchingMemory) {
  Canvas c(2, 2);
  const HGDIOBJ garbage[] = {nullptr, reinterpret_cast<HGDIOBJ>(1), reinterpret_cast<HGDIOBJ>(0x12345678),
                             reinterpret_cast<HGDIOBJ>(~uintptr_t{0}), static_cast<HGDIOBJ>(&c)};
  for (HGDIOBJ h : garbage) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SelectObject(c.dc, h), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeleteObject(h));
    EXPECT_EQ(GetObjectW(h, 0, nullptr), 0);
    EXPECT_FALSE(DeleteDC(static_cast<HDC>(h)));
    EXPECT_FALSE(Rectangle(static_cast<HDC>(h), 0, 0, 2, 2));
    EXPECT_FALSE(BitBlt(c.dc, 0, 0, 2, 2, static_cast<HDC>(h), 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(static_cast<HDC>(h), 0, 0), CLR_INVALID);
    EXPECT_EQ(GetDeviceCaps(static_cast<HDC>(h), BITSPIXEL), 0);
  }
  // A context is not an object to select or delete with DeleteObject.
  EXPECT_EQ(SelectObject(c.dc, c.dc), nullptr);
  EXPECT_FALSE(DeleteObject(c.dc));
}

TEST(GdiObjects, GetObjectDescribesEachKind) {
  HPEN pen = CreatePen(PS_SOLID, 3, RGB(10, 20, 30));
  LOGPEN lp;
  std::memset(&lp, 0xb0, sizeof lp);
  EXPECT_EQ(GetObjectW(pen, 0, nullptr), static_cast<int>(sizeof(LOGPEN)));
  EXPECT_EQ(GetObjectW(pen, sizeof lp - 1, &lp), 0) << "a buffer too small for a pen fails";
  ASSERT_EQ(GetObjectW(pen, sizeof lp, &lp), static_cast<int>(sizeof lp));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_SOLID));
  EXPECT_EQ(lp.lopnWidth.x, 3);
  EXPECT_EQ(lp.lopnColor, RGB(10, 20, 30)) << "the logical colour is kept, not the displayed one";
  DeleteObject(pen);

  LOGFONTW in{};
  in.lfHeight = 18;
  in.lfWidth = 7;
  in.lfWeight = 850;
  std::memcpy(in.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
  HFONT font = CreateFontIndirectW(&in);
  LOGFONTW out;
  std::memset(&out, 0xb0, sizeof out);
  ASSERT_EQ(GetObjectW(font, sizeof out, &out), static_cast<int>(sizeof out));
  EXPECT_EQ(std::memcmp(&in, &out, sizeof in), 0);
  DeleteObject(font);

  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 5, 3, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  DIBSECTION ds;
  std::memset(&ds, 0xb0, sizeof ds);
  ASSERT_EQ(GetObjectW(dib, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 5);
  EXPECT_EQ(ds.dsBm.bmHeight, 3);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 12) << "rows are padded to four bytes";
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 16);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBmih.biHeight, 3);
  BITMAP bm;
  EXPECT_EQ(GetObjectW(dib, sizeof bm, &bm), static_cast<int>(sizeof bm));
  DeleteObject(dib);
}

TEST(GdiObjects, RunningOutOfHandlesFailsCleanlyAndRecovers) {
  std::vector<HBRUSH> made;
  HBRUSH b;
  while ((b = CreateSolidBrush(RGB(1, 1, 1))) != nullptr && made.size() < 100000) made.push_back(b);
  EXPECT_LT(made.size(), 100000u) << "the handle table never ran out";
  EXPECT_GT(made.size(), 10000u) << "fewer handles than a Windows process gets";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
  for (HBRUSH h : made) ASSERT_TRUE(DeleteObject(h));
  HBRUSH again = CreateSolidBrush(RGB(2, 2, 2));
  EXPECT_NE(again, nullptr);
  DeleteObject(again);
}

TEST(GdiObjects, HugeBitmapsFailWithNotEnoughMemory) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 30000, 30000, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = reinterpret_cast<void*>(1);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(bits, nullptr) << "a failed section must not leave a pointer behind";
  EXPECT_EQ(CreateCompatibleBitmap(dc, 30000, 30000), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  DeleteDC(dc);
}

TEST(GdiObjects, SectionsAcceptOnly16BitLayouts) {
  struct Case {
    WORD bpp;
    DWORD compression;
    DWORD masks[3];
    LONG width, height;
    bool ok;
  } cases[] = {
      {16, BI_RGB, {}, 4, 4, true},
      {16, BI_RGB, {}, 4, -4, true},
      {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 4, 4, true},
      {16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}, 4, 4, false},
      {24, BI_RGB, {}, 4, 4, false},
      {32, BI_RGB, {}, 4, 4, false},
      {16, BI_RGB, {}, 0, 4, false},
      {16, BI_RGB, {}, 4, 0, false},
      {16, BI_RGB, {}, -4, 4, false},
      {16, BI_RLE8, {}, 4, 4, false},
  };
  for (const Case& c : cases) {
    struct {
      BITMAPINFOHEADER h;
      DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), c.width, c.height, 1, c.bpp, c.compression, 0, 0, 0, 0, 0},
           {c.masks[0], c.masks[1], c.masks[2]}};
    HBITMAP b = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
    EXPECT_EQ(b != nullptr, c.ok) << "bpp " << c.bpp << " compression " << c.compression << " size " << c.width << "x"
                                  << c.height;
    if (b) DeleteObject(b);
  }
}

TEST(GdiObjects, BottomUpSectionsKeepTheirTopRowLast) {
  Canvas c(3, 2, RGB(0, 0, 0), true);
  SetPixel(c.dc, 0, 0, RGB(255, 0, 0));
  // Memory starts with the bottom row.
  int strideWords = 4;  // 3 pixels padded to 8 bytes
  EXPECT_EQ(c.bits[strideWords], To565(RGB(255, 0, 0)));
  EXPECT_EQ(c.bits[0], 0);
  const uint16_t* top;
  int w, h, stride;
  ASSERT_TRUE(ce::gdi::GetBitmapPixels(c.bitmap, &top, &w, &h, &stride));
  EXPECT_EQ(stride, -8);
  EXPECT_EQ(top[0], To565(RGB(255, 0, 0)));
}

TEST(GdiObjects, SurfaceContextDrawsIntoCallerPixels) {
  std::vector<uint16_t> pixels(6 * 4, 0x1234);  // 5 pixels wide with one spare pixel per row
  HDC dc = ce::gdi::CreateSurfaceDC(pixels.data(), 5, 4, 12);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_DC));
  RECT r{-10, 1, 100, 3};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      uint16_t want = (x < 5 && y >= 1 && y < 3) ? 0 : 0x1234;
      EXPECT_EQ(pixels[y * 6 + x], want) << "at " << x << "," << y;
    }
  // A window's context takes no bitmap.
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(mem, 2, 2);
  EXPECT_EQ(SelectObject(dc, b), nullptr);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(pixels[0], 0x1234) << "deleting the context must leave the pixels alone";
  DeleteObject(b);
  DeleteDC(mem);

  EXPECT_EQ(ce::gdi::CreateSurfaceDC(nullptr, 5, 4, 12), nullptr);
  EXPECT_EQ(ce::gdi::CreateSurfaceDC(pixels.data(), 5, 4, 8), nullptr) << "stride shorter than a row";
  EXPECT_EQ(ce::gdi::CreateSurfaceDC(pixels.data(), 0, 4, 12), nullptr);
}

TEST(GdiObjects, DeviceCapsReportTheDeviceScreen) {
  std::string dir = gditest::TempFolder("caps");
  ASSERT_TRUE(gditest::WriteFile(dir + "/device.ini", std::vector<uint8_t>{}));
  {
    std::string ini = "[screen]\nwidth=480\nheight=640\n";
    ASSERT_TRUE(gditest::WriteFile(dir + "/device.ini", std::vector<uint8_t>(ini.begin(), ini.end())));
  }
  setenv("CE_DEVICE", dir.c_str(), 1);
  ce::ResetDeviceForTests();
  Canvas c(2, 2);
  std::vector<uint16_t> pixels(4);
  HDC surface = ce::gdi::CreateSurfaceDC(pixels.data(), 2, 2, 4);
  for (HDC dc : {c.dc, surface}) {
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 480);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 640);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  }
  DeleteDC(surface);
}
