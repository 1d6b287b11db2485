// .bmp files through SHLoadDIBitmap: every depth the decoder takes, row padding and order, and
// files that are missing, short, malformed or garbled, which must fail without a crash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "ce/device.h"
#include "tests/gdi/gdi_test.h"

using gditest::BmpLayout;
using gditest::MakeBmp;
using gditest::To565;

namespace {

class BmpFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = new std::string(gditest::TempFolder("bmp"));
    std::string fs = *root_ + "/fs";
    std::string pics = fs + "/Pictures";
    mkdir(fs.c_str(), 0755);
    mkdir(pics.c_str(), 0755);
    setenv("CE_DEVICE", root_->c_str(), 1);
    ce::ResetDeviceForTests();
  }
  static void TearDownTestSuite() {
    delete root_;
    root_ = nullptr;
  }
  // Writes a file as the device file \Pictures\<name> and loads it.
  static HBITMAP Load(const std::string& name, const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(gditest::WriteFile(*root_ + "/fs/Pictures/" + name, bytes));
    std::u16string path = u"\\Pictures\\" + std::u16string(name.begin(), name.end());
    return SHLoadDIBitmap(path.c_str());
  }
  static std::string* root_;
};
std::string* BmpFiles::root_ = nullptr;

COLORREF Pattern(int x, int y) { return RGB(x * 37 % 256, y * 53 % 256, (x + y) * 29 % 256); }

// Every pixel of `b` against the picture the layout describes, after 565 quantisation.
void ExpectPixels(HBITMAP b, const BmpLayout& s, const char* what) {
  const uint16_t* top;
  int w, h, stride;
  ASSERT_TRUE(ce::gdi::GetBitmapPixels(b, &top, &w, &h, &stride)) << what;
  ASSERT_EQ(w, s.width) << what;
  ASSERT_EQ(h, s.height) << what;
  int bad = 0;
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(reinterpret_cast<const char*>(top) + stride * y);
    for (int x = 0; x < w; ++x) {
      COLORREF want = s.bpp <= 8 ? s.palette[s.index(x, y)] : s.color(x, y);
      uint16_t expected = To565(want);
      if (s.bpp == 16 && !s.bitfields565) {
        // A 555 file's green widens to six bits by repeating its top bit.
        unsigned g5 = GetGValue(want) >> 3;
        expected = static_cast<uint16_t>((expected & ~0x07E0) | (((g5 << 1) | (g5 >> 4)) << 5));
      }
      if (row[x] != expected && bad++ < 5)
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " expected " << std::hex << expected << ", got "
                      << row[x];
    }
  }
}

}  // namespace

TEST_F(BmpFiles, EveryDepthDecodes) {
  std::vector<COLORREF> two = {RGB(0, 0, 0), RGB(255, 255, 255)};
  std::vector<COLORREF> grey;
  for (int i = 0; i < 256; ++i) grey.push_back(RGB(i, 255 - i, i / 2));
  struct Case {
    const char* name;
    int bpp, width, height;
    bool topDown, bitfields;
  } cases[] = {
      {"mono.bmp", 1, 13, 5, false, false},    {"four.bmp", 4, 78, 48, false, false},
      {"four_odd.bmp", 4, 7, 3, false, false}, {"eight.bmp", 8, 9, 4, false, false},
      {"555.bmp", 16, 5, 3, false, false},     {"565.bmp", 16, 5, 3, false, true},
      {"rgb.bmp", 24, 5, 4, false, false},     {"rgb_topdown.bmp", 24, 6, 4, true, false},
      {"rgbx.bmp", 32, 3, 3, false, false},
  };
  for (const Case& c : cases) {
    BmpLayout s;
    s.width = c.width;
    s.height = c.height;
    s.bpp = c.bpp;
    s.topDown = c.topDown;
    s.bitfields565 = c.bitfields;
    if (c.bpp == 1) s.palette = two;
    if (c.bpp == 4) s.palette = gditest::Palette16();
    if (c.bpp == 8) s.palette = grey;
    int colours = static_cast<int>(s.palette.size());
    s.index = [colours](int x, int y) { return (x * 3 + y * 5) % colours; };
    s.color = Pattern;
    HBITMAP b = Load(c.name, MakeBmp(s));
    ASSERT_NE(b, nullptr) << c.name;
    ExpectPixels(b, s, c.name);
    EXPECT_TRUE(DeleteObject(b));
  }
}

TEST_F(BmpFiles, MissingAndUnreachableFilesGiveNull) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SHLoadDIBitmap(u"\\Pictures\\absent.bmp"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SHLoadDIBitmap(u"relative.bmp"), nullptr);
  EXPECT_EQ(SHLoadDIBitmap(u"\\..\\..\\etc\\passwd"), nullptr);
  EXPECT_EQ(SHLoadDIBitmap(u"\\Pictures"), nullptr) << "a folder is not a picture";
  EXPECT_EQ(SHLoadDIBitmap(nullptr), nullptr);
  EXPECT_EQ(Load("empty.bmp", {}), nullptr);
}

TEST_F(BmpFiles, EveryTruncationFails) {
  const BmpLayout s{.width = 22,
                    .height = 22,
                    .bpp = 4,
                    .palette = gditest::Palette16(),
                    .index = [](int x, int y) { return (x ^ y) & 15; },
                    .color = {}};
  std::vector<uint8_t> whole = MakeBmp(s);
  HBITMAP b = Load("whole.bmp", whole);
  ASSERT_NE(b, nullptr);
  DeleteObject(b);
  for (size_t n = 0; n < whole.size(); n += (n < 140 ? 1 : 17)) {
    std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n));
    HBITMAP p = Load("part" + std::to_string(n) + ".bmp", part);
    EXPECT_EQ(p, nullptr) << "a file cut to " << n << " of " << whole.size() << " bytes loaded";
    if (p) DeleteObject(p);
  }
}

TEST_F(BmpFiles, MalformedHeadersFail) {
  const BmpLayout s{.width = 4,
                    .height = 4,
                    .bpp = 8,
                    .palette = gditest::Palette16(),
                    .index = [](int x, int) { return x; },
                    .color = {}};
  const std::vector<uint8_t> good = MakeBmp(s);
  auto put32 = [](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
  };
  auto put16 = [](std::vector<uint8_t>& v, size_t at, unsigned x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
  };
  struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> spoil;
  } cases[] = {
      {"zero width", [&](auto& v) { put32(v, 18, 0); }},
      {"negative width", [&](auto& v) { put32(v, 18, static_cast<uint32_t>(-4)); }},
      {"zero height", [&](auto& v) { put32(v, 22, 0); }},
      {"most negative height", [&](auto& v) { put32(v, 22, 0x80000000u); }},
      {"huge size", [&](auto& v) { put32(v, 18, 100000); }},
      {"two planes", [&](auto& v) { put16(v, 26, 2); }},
      {"3 bits per pixel", [&](auto& v) { put16(v, 28, 3); }},
      {"run-length compression", [&](auto& v) { put32(v, 30, BI_RLE8); }},
      {"unknown compression", [&](auto& v) { put32(v, 30, 77); }},
      {"header size 39", [&](auto& v) { put32(v, 14, 39); }},
      {"header larger than the file", [&](auto& v) { put32(v, 14, 5000); }},
      {"pixels beyond the end", [&](auto& v) { put32(v, 10, static_cast<uint32_t>(v.size())); }},
      {"pixels inside the header", [&](auto& v) { put32(v, 10, 20); }},
      {"palette beyond the end",
       [&](auto& v) {
         put32(v, 46, 0x10000000);
         v.resize(60);
       }},
  };
  for (auto& c : cases) {
    std::vector<uint8_t> bad = good;
    c.spoil(bad);
    HBITMAP b = Load("bad.bmp", bad);
    EXPECT_EQ(b, nullptr) << c.what;
    if (b) DeleteObject(b);
  }
  // Indices past a short palette read as black rather than beyond it.
  std::vector<uint8_t> shortPalette = good;
  put32(shortPalette, 46, 2);
  HBITMAP b = Load("short_palette.bmp", shortPalette);
  ASSERT_NE(b, nullptr);
  const uint16_t* top;
  int w, h, stride;
  ce::gdi::GetBitmapPixels(b, &top, &w, &h, &stride);
  EXPECT_EQ(top[0], To565(gditest::Palette16()[0]));
  EXPECT_EQ(top[3], 0) << "index 3 of a two-colour palette";
  DeleteObject(b);
}

TEST_F(BmpFiles, GarbledFilesNeverCrash) {
  BmpLayout s;
  s.width = 10;
  s.height = 6;
  s.bpp = 24;
  s.color = Pattern;
  std::vector<uint8_t> good = MakeBmp(s);
  std::mt19937 random(20240611);
  int loaded = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> v = good;
    int flips = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < flips; ++i) {
      size_t at = random() % (round % 2 ? 54 : v.size());  // half of the rounds spoil the headers
      v[at] = static_cast<uint8_t>(random());
    }
    if (round % 7 == 0) v.resize(random() % v.size());
    HBITMAP b = Load("garbled" + std::to_string(round) + ".bmp", v);
    if (b) {
      ++loaded;
      BITMAP bm;
      ASSERT_EQ(GetObjectW(b, sizeof bm, &bm), static_cast<int>(sizeof bm));
      EXPECT_GT(bm.bmWidth, 0);
      EXPECT_GT(bm.bmHeight, 0);
      DeleteObject(b);
    }
  }
  EXPECT_GT(loaded, 0) << "flips in the pixels alone still load";
}

// A small 1-bit file must not become a huge bitmap: 4 MiB of pixels is the most a picture gets.
TEST_F(BmpFiles, PicturesOverTheSizeLimitFailAndSmallerOnesLoad) {
  struct Case {
    const char* name;
    int width, height;
    bool loads;
  } cases[] = {{"wide.bmp", 8192, 2048, false}, {"tall.bmp", 256, 16384, false}, {"fits.bmp", 1024, 2048, true}};
  for (const Case& c : cases) {
    BmpLayout s;
    s.width = c.width;
    s.height = c.height;
    s.bpp = 1;
    s.palette = {RGB(0, 0, 0), RGB(255, 255, 255)};
    s.index = [](int x, int y) { return (x + y) & 1; };
    s.color = Pattern;
    HBITMAP b = Load(c.name, MakeBmp(s));
    EXPECT_EQ(b != nullptr, c.loads) << c.name;
    if (b) DeleteObject(b);
  }
}
