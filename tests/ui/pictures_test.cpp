// The program's compiled-in resources: the 27 button pictures, the strings, the icon and the
// high-resolution marker, as the drawing and the shell load them.

#include <gtest/gtest.h>

#include <cstring>

#include "ce/ce.h"
#include "ce/device.h"
#include "ce/gdi/surface.h"
#include "resources/resource.h"

namespace {

const int kPictureIds[] = {104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 117, 118,
                           119, 120, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132};

TEST(Pictures, EveryButtonPictureLoadsAs78By48OnWhite) {
  ASSERT_EQ(sizeof kPictureIds / sizeof kPictureIds[0], 27u);
  for (int id : kPictureIds) {
    SCOPED_TRACE(testing::Message() << "picture " << id);
    HBITMAP picture = LoadBitmapW(NULL, MAKEINTRESOURCEW(id));
    ASSERT_NE(picture, nullptr);
    const uint16_t* top = nullptr;
    int width = 0, height = 0, stride = 0;
    ASSERT_TRUE(ce::gdi::GetBitmapPixels(picture, &top, &width, &height, &stride));
    EXPECT_EQ(width, 78);
    EXPECT_EQ(height, 48);
    // White ground in the corners, and a picture on it: enough pixels that are not white.
    auto at = [&](int x, int y) {
      return reinterpret_cast<const uint16_t*>(reinterpret_cast<const char*>(top) + y * stride)[x];
    };
    int drawn = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) drawn += at(x, y) != 0xFFFF;
    if (id != 110) {  // the cross reaches into the top corners
      EXPECT_EQ(at(0, 0), 0xFFFF);
      EXPECT_EQ(at(77, 0), 0xFFFF);
    }
    EXPECT_EQ(at(0, 47), 0xFFFF);
    EXPECT_GT(drawn, 150);
    EXPECT_LT(drawn, 78 * 48 * 3 / 4);
    DeleteObject(picture);
  }
  // Ids between the pictures hold none.
  for (int id : {103, 116, 121, 133}) EXPECT_EQ(LoadBitmapW(NULL, MAKEINTRESOURCEW(id)), nullptr) << id;
}

TEST(Pictures, EveryPictureIsItsOwnDrawing) {
  // Two ids sharing one file would show the same picture for two meanings.
  std::vector<std::vector<uint16_t>> seen;
  for (int id : kPictureIds) {
    HBITMAP picture = LoadBitmapW(NULL, MAKEINTRESOURCEW(id));
    ASSERT_NE(picture, nullptr);
    const uint16_t* top = nullptr;
    int width = 0, height = 0, stride = 0;
    ASSERT_TRUE(ce::gdi::GetBitmapPixels(picture, &top, &width, &height, &stride));
    std::vector<uint16_t> pixels;
    for (int y = 0; y < height; ++y) {
      const uint16_t* row = reinterpret_cast<const uint16_t*>(reinterpret_cast<const char*>(top) + y * stride);
      pixels.insert(pixels.end(), row, row + width);
    }
    for (const auto& other : seen) EXPECT_NE(pixels, other) << "picture " << id << " repeats another";
    seen.push_back(std::move(pixels));
    DeleteObject(picture);
  }
}

TEST(Resources, TitleClassIconAndHighResolutionMarker) {
  WCHAR text[100];
  ASSERT_GT(LoadStringW(NULL, IDS_APP_TITLE, text, 100), 0);
  EXPECT_EQ(ce::ToUtf8(text), "Trapmarker");
  ASSERT_GT(LoadStringW(NULL, IDS_APP_CLASS, text, 100), 0);
  EXPECT_EQ(ce::ToUtf8(text), "TRAPMARKER");
  EXPECT_NE(LoadIconW(NULL, MAKEINTRESOURCEW(IDI_TRAPMARKER)), nullptr);

  HRSRC marker = FindResourceW(NULL, u"HI_RES_AWARE", u"CEUX");
  ASSERT_NE(marker, nullptr);
  ASSERT_EQ(SizeofResource(NULL, marker), 2u);
  const void* data = LockResource(LoadResource(NULL, marker));
  ASSERT_NE(data, nullptr);
  uint16_t value = 0;
  std::memcpy(&value, data, 2);
  EXPECT_EQ(value, 1);
}

}  // namespace
