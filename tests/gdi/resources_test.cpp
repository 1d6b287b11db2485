// Resources compiled in from test_resources.rc (by windres, embedded as .res data).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ce/gdi/resources.h"
#include "tests/gdi/gdi_test.h"
#include "tests/gdi/test_resources.h"
#include "tests/gdi/testdata.h"

using gditest::To565;

TEST(GdiResources, LoadStringCopiesTruncatesAndLendsInPlace) {
  WCHAR buffer[64];
  std::memset(buffer, 0xb0, sizeof buffer);
  EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, buffer, 64), 10);
  EXPECT_EQ(std::u16string(buffer), u"Trapmarker");
  EXPECT_EQ(LoadStringW(nullptr, IDS_CLASS, buffer, 64), 10);
  EXPECT_EQ(std::u16string(buffer), u"TRAPMARKER");
  EXPECT_EQ(LoadStringW(nullptr, IDS_ESCAPES, buffer, 64), 29);
  EXPECT_EQ(std::u16string(buffer), u"Tab\there, \"quoted\", A\\ café €");
  EXPECT_EQ(LoadStringW(nullptr, IDS_JOINED, buffer, 64), 7);
  EXPECT_EQ(std::u16string(buffer), u"one two");

  // Truncated to the buffer, always terminated, nothing written past it.
  std::memset(buffer, 0xb0, sizeof buffer);
  EXPECT_EQ(LoadStringW(nullptr, IDS_LONG, buffer, 5), 4);
  EXPECT_EQ(std::u16string(buffer), u"0123");
  EXPECT_EQ(buffer[5], 0xb0b0);
  EXPECT_EQ(LoadStringW(nullptr, IDS_LONG, buffer, 1), 0);
  EXPECT_EQ(buffer[0], 0);

  // A count of 0 lends the string itself.
  const WCHAR* inPlace = nullptr;
  EXPECT_EQ(LoadStringW(nullptr, IDS_LONG, reinterpret_cast<LPWSTR>(&inPlace), 0), 20);
  ASSERT_NE(inPlace, nullptr);
  EXPECT_EQ(std::u16string(inPlace, 20), u"0123456789abcdefghij");

  SetLastError(0xdeadbeef);
  buffer[0] = u'x';
  EXPECT_EQ(LoadStringW(nullptr, 2, buffer, 64), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(GetLastError(), 1814u);  // ERROR_RESOURCE_NAME_NOT_FOUND
  EXPECT_EQ(LoadStringW(nullptr, 0x10001, buffer, 64), 0);
  EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, nullptr, 64), 0);
}

TEST(GdiResources, LoadBitmapDecodesThePicture) {
  const LPCWSTR names[] = {MAKEINTRESOURCEW(IDB_PICTURE4), u"#104"};
  for (LPCWSTR name : names) {
    HBITMAP b = LoadBitmapW(nullptr, name);
    ASSERT_NE(b, nullptr);
    gditest::BmpLayout layout = gditest::Picture4Layout();
    const uint16_t* top;
    int w, h, stride;
    ASSERT_TRUE(ce::gdi::GetBitmapPixels(b, &top, &w, &h, &stride));
    ASSERT_EQ(w, 78);
    ASSERT_EQ(h, 48);
    for (int y = 0; y < h; ++y) {
      const auto* row = reinterpret_cast<const uint16_t*>(reinterpret_cast<const char*>(top) + stride * y);
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(row[x], To565(layout.palette[layout.index(x, y)])) << "at " << x << "," << y;
    }
    // Each call makes a new bitmap for the caller to delete.
    HBITMAP again = LoadBitmapW(nullptr, name);
    EXPECT_NE(again, b);
    EXPECT_TRUE(DeleteObject(again));
    EXPECT_TRUE(DeleteObject(b));
  }
  HBITMAP rgb = LoadBitmapW(nullptr, MAKEINTRESOURCEW(IDB_PICTURE24));
  ASSERT_NE(rgb, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, rgb);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 23, 15), RGB(231, 231, 231));  // 230 grey as a 16-bit display shows it
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(rgb);

  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(106)), nullptr);
  EXPECT_EQ(GetLastError(), 1814u);
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(IDS_TITLE)), nullptr) << "a string is not a bitmap";
}

TEST(GdiResources, LoadIconPicksTheImageNearest32AndKeepsItsMask) {
  HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(IDI_APP));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(IDI_APP)), icon) << "resource icons are shared";
  const uint16_t* pixels;
  const uint8_t* mask;
  int w, h;
  ASSERT_TRUE(ce::gdi::GetIconImage(icon, &pixels, &mask, &w, &h));
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(mask[0], 0) << "left half transparent";
  EXPECT_EQ(mask[31 * 32 + 16], 1);
  EXPECT_EQ(pixels[5 * 32 + 20], To565(RGB(255, 255, 0)));

  gditest::Canvas c(40, 40, RGB(0, 0, 255));
  EXPECT_TRUE(DrawIcon(c.dc, 4, 4, icon));
  EXPECT_EQ(c.Count(RGB(255, 255, 0)), 16 * 32);
  EXPECT_EQ(c.Count(RGB(255, 255, 0), 20, 4, 36, 36), 16 * 32);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_TRUE(ce::gdi::GetIconImage(icon, nullptr, nullptr, &w, &h)) << "shared icons outlive DestroyIcon";
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(102)), nullptr);
}

TEST(GdiResources, UserTypesAreFoundByNameWithoutCase) {
  HRSRC marker = FindResourceW(nullptr, u"hi_res_aware", u"CeUx");
  ASSERT_NE(marker, nullptr);
  ASSERT_EQ(SizeofResource(nullptr, marker), 2u);
  const auto* value = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, marker)));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value[0] | (value[1] << 8), 1) << "a 16-bit value 1";

  HRSRC data = FindResourceW(nullptr, u"DATA_BLOCK", RT_RCDATA);
  ASSERT_NE(data, nullptr);
  const uint8_t expected[] = {0x34, 0x12, 7, 0, 0, 0, 'a', 'b', 'c', 0};
  ASSERT_EQ(SizeofResource(nullptr, data), sizeof expected);
  EXPECT_EQ(std::memcmp(LockResource(LoadResource(nullptr, data)), expected, sizeof expected), 0);

  EXPECT_EQ(FindResourceW(nullptr, u"HI_RES_AWARE", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceW(nullptr, u"HI_RES", u"CEUX"), nullptr);
  EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_PICTURE24), RT_BITMAP), nullptr);
  // A made-up resource handle is refused, not read.
  int notAResource = 0;
  EXPECT_EQ(SizeofResource(nullptr, reinterpret_cast<HRSRC>(&notAResource)), 0u);
  EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(&notAResource)), nullptr);
}

namespace {

// A .res record of a named type and name, written the way windres writes one.
std::vector<uint8_t> ResRecordBytes(const std::u16string& type, const std::u16string& name,
                                    const std::vector<uint8_t>& data) {
  std::vector<uint8_t> r;
  auto put32 = [&r](uint32_t v) {
    for (int i = 0; i < 4; ++i) r.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto putName = [&r](const std::u16string& s) {
    for (char16_t c : s) {
      r.push_back(static_cast<uint8_t>(c));
      r.push_back(static_cast<uint8_t>(c >> 8));
    }
    r.push_back(0);
    r.push_back(0);
  };
  put32(static_cast<uint32_t>(data.size()));
  put32(0);  // header size, below
  putName(type);
  putName(name);
  while (r.size() % 4) r.push_back(0);
  put32(0);                               // data version
  r.insert(r.end(), {0x30, 0x10, 9, 4});  // memory flags, language 1033
  put32(0);                               // version
  put32(0);                               // characteristics
  uint32_t header = static_cast<uint32_t>(r.size());
  for (int i = 0; i < 4; ++i) r[4 + i] = static_cast<uint8_t>(header >> (8 * i));
  r.insert(r.end(), data.begin(), data.end());
  while (r.size() % 4) r.push_back(0);
  return r;
}

}  // namespace

// A damaged .res is read as far as it holds and no further: a record that does not fit the
// module, or whose names run past its header, ends the search there, and nothing is read outside.
TEST(GdiResources, DamagedResDataIsReadOnlyAsFarAsItHolds) {
  struct Case {
    const char* what;
    std::u16string type;
    void (*damage)(std::vector<uint8_t>& res);
    bool found;
  } cases[] = {
      {"whole record", u"TESTA", [](std::vector<uint8_t>&) {}, true},
      {"data size past the end", u"TESTB", [](std::vector<uint8_t>& r) { r[1] = 0x10; }, false},
      {"header size past the end", u"TESTC", [](std::vector<uint8_t>& r) { r[5] = 0x10; }, false},
      {"header size below the smallest", u"TESTD", [](std::vector<uint8_t>& r) { r[4] = 16; }, false},
      {"name without its terminator", u"TESTE",
       [](std::vector<uint8_t>& r) {
         for (size_t i = 8; i < r.size() - 4; i += 2)
           if (r[i] == 0 && r[i + 1] == 0) r[i] = 'Z';
       },
       false},
      {"cut inside the header", u"TESTF", [](std::vector<uint8_t>& r) { r.resize(20); }, false},
  };
  static std::vector<std::vector<uint8_t>> kept;  // registered modules live for the process
  static std::vector<ce::gdi::ResourceModule> modules(sizeof cases / sizeof cases[0]);
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    std::vector<uint8_t> res = ResRecordBytes(c.type, u"ITEM", {1, 2, 3, 4, 5});
    c.damage(res);
    kept.push_back(res);
    modules[i] = {kept.back().data(), kept.back().size(), nullptr};
    ce::gdi::RegisterResourceModule(&modules[i]);
    HRSRC found = FindResourceW(nullptr, u"ITEM", c.type.c_str());
    EXPECT_EQ(found != nullptr, c.found) << c.what;
    if (found) {
      EXPECT_EQ(SizeofResource(nullptr, found), 5u) << c.what;
      EXPECT_EQ(static_cast<const uint8_t*>(LoadResource(nullptr, found))[4], 5) << c.what;
    }
  }
  // Resources compiled in are still found past the damaged modules.
  EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_PICTURE24), RT_BITMAP), nullptr);
}

// A string block whose counts run past its end gives the strings before the damage only.
TEST(GdiResources, StringBlockWithACountPastItsEnd) {
  // Block 4096 holds ids 65520..65535: "ok" at 65520, then a count of 50 with two units left.
  std::vector<uint8_t> block = {2, 0, 'o', 0, 'k', 0, 50, 0, 'x', 0, 'y', 0};
  std::vector<uint8_t> res;
  {
    // Type and name as ordinals: RT_STRING and 4096.
    std::vector<uint8_t> r;
    auto put32 = [&r](uint32_t v) {
      for (int i = 0; i < 4; ++i) r.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put32(static_cast<uint32_t>(block.size()));
    put32(32);
    put32(0x0006FFFF);
    put32(0x1000FFFF);
    put32(0);
    r.insert(r.end(), {0x30, 0x10, 9, 4});
    put32(0);
    put32(0);
    r.insert(r.end(), block.begin(), block.end());
    res = r;
  }
  static std::vector<uint8_t> kept;
  static ce::gdi::ResourceModule module;
  kept = res;
  module = {kept.data(), kept.size(), nullptr};
  ce::gdi::RegisterResourceModule(&module);
  WCHAR buffer[64];
  EXPECT_EQ(LoadStringW(nullptr, 65520, buffer, 64), 2);
  EXPECT_EQ(std::u16string(buffer), u"ok");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadStringW(nullptr, 65521, buffer, 64), 0);
  EXPECT_EQ(GetLastError(), 1814u);
  EXPECT_EQ(LoadStringW(nullptr, 65522, buffer, 64), 0);
  // The compiled-in strings are untouched by the extra module.
  EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, buffer, 64), 10);
}
