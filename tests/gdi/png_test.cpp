// PNG files: written and read back, from pixels, contexts and bottom-up bitmaps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "tests/gdi/gdi_test.h"

using gditest::Canvas;

TEST(GdiPng, Pixels565RoundTripAsWidenedRgb) {
  std::string dir = gditest::TempFolder("png");
  const uint16_t pixels[2][3] = {{0x0000, 0xFFFF, 0xF800}, {0x07E0, 0x001F, 0x64D9}};
  const uint8_t expected[6][3] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {99, 154, 206}};
  std::string path = dir + "/round.png";
  ASSERT_TRUE(ce::gdi::WritePng565(&pixels[0][0], 3, 2, 6, path.c_str()));
  uint8_t* rgb = nullptr;
  int w = 0, h = 0;
  ASSERT_TRUE(ce::gdi::ReadPngRgb(path.c_str(), &rgb, &w, &h));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  for (int i = 0; i < 6; ++i)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rgb[i * 3 + k], expected[i][k]) << "pixel " << i << " channel " << k;
  std::free(rgb);
}

TEST(GdiPng, ContextsAndBitmapsAreWrittenTopRowFirst) {
  std::string dir = gditest::TempFolder("png");
  Canvas c(4, 3, RGB(255, 255, 255), true);  // bottom-up memory
  SetPixel(c.dc, 0, 0, RGB(255, 0, 0));
  for (int viaBitmap = 0; viaBitmap < 2; ++viaBitmap) {
    std::string path = dir + (viaBitmap ? "/bitmap.png" : "/dc.png");
    ASSERT_TRUE(viaBitmap ? ce::gdi::WritePng(c.bitmap, path.c_str()) : ce::gdi::WritePng(c.dc, path.c_str()));
    uint8_t* rgb = nullptr;
    int w, h;
    ASSERT_TRUE(ce::gdi::ReadPngRgb(path.c_str(), &rgb, &w, &h));
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(rgb[(2 * 4) * 3 + 1], 255) << "the bottom-left pixel is white";
    std::free(rgb);
  }
}

TEST(GdiPng, FailuresLeaveNoFile) {
  std::string dir = gditest::TempFolder("png");
  uint16_t one = 0;
  EXPECT_FALSE(ce::gdi::WritePng565(&one, 1, 1, 2, (dir + "/missing/folder/x.png").c_str()));
  EXPECT_FALSE(ce::gdi::WritePng565(&one, 0, 1, 2, (dir + "/empty.png").c_str()));
  EXPECT_FALSE(ce::gdi::WritePng565(nullptr, 1, 1, 2, (dir + "/null.png").c_str()));
  EXPECT_FALSE(ce::gdi::WritePng565(&one, 2, 1, 2, (dir + "/stride.png").c_str())) << "stride shorter than a row";
  struct stat st {};
  EXPECT_NE(stat((dir + "/empty.png").c_str(), &st), 0);
  EXPECT_FALSE(ce::gdi::WritePng(static_cast<HDC>(nullptr), (dir + "/nodc.png").c_str()));

  uint8_t* rgb = nullptr;
  int w, h;
  EXPECT_FALSE(ce::gdi::ReadPngRgb((dir + "/absent.png").c_str(), &rgb, &w, &h));
  ASSERT_TRUE(gditest::WriteFile(dir + "/junk.png", {0x89, 'P', 'N', 'G', 1, 2, 3}));
  EXPECT_FALSE(ce::gdi::ReadPngRgb((dir + "/junk.png").c_str(), &rgb, &w, &h));
  EXPECT_EQ(rgb, nullptr);
}
