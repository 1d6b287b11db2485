// Resources compiled in from test_resources.rc, and the resource compiler's handling of scripts
// it must refuse.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

// Runs the resource compiler on a script; returns its exit status and what it printed.
int RunCompiler(const std::string& dir, const std::string& script, std::string* output) {
  std::string rc = dir + "/script.rc";
  if (!gditest::WriteFile(rc, std::vector<uint8_t>(script.begin(), script.end()))) return -1;
  std::string command = std::string(CE_RC_TOOL) + " -o " + dir + "/out.cpp -d " + dir + "/out.d " + rc + " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  char buf[512];
  output->clear();
  while (std::fgets(buf, sizeof buf, p)) *output += buf;
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(GdiResourceCompiler, RefusesWhatItCannotCompileAndSaysWhere) {
  std::string dir = gditest::TempFolder("rc");
  struct {
    const char* script;
    const char* message;
  } cases[] = {
      {"1 BITMAP \"missing.bmp\"\n", "script.rc:1: error: cannot find \"missing.bmp\""},
      {"\n\n7 DIALOG 0, 0, 10, 10\n", "script.rc:3: error: DIALOG resources are not supported"},
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n", "STRINGTABLE without END"},
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", "script.rc:4: error: string 1 defined twice"},
      {"#if 1\n", "#if without #endif"},
      {"STRINGTABLE { 1 \"bad \\q escape\" }\n", "unknown escape \\q"},
      {"STRINGTABLE { 1 \"open\n }\n", "string not closed on its line"},
      {"#include \"nowhere.h\"\n", "cannot find the included file \"nowhere.h\""},
      {"X CEUX { 1 }\nX CEUX { 2 }\n", "script.rc:2: error: resource defined twice"},
      {"#define ID(x) x\n", "macros with arguments are not supported"},
      {"1 ICON { 1 }\n", "ICON and BITMAP take a file name"},
  };
  for (auto& c : cases) {
    std::string out;
    EXPECT_EQ(RunCompiler(dir, c.script, &out), 1) << c.script;
    EXPECT_NE(out.find(c.message), std::string::npos) << "expected \"" << c.message << "\", got: " << out;
  }
}

TEST(GdiResourceCompiler, WritesADependencyFileOfEverythingItRead) {
  std::string dir = gditest::TempFolder("rc");
  ASSERT_TRUE(gditest::WriteFile(dir + "/ids.h", std::vector<uint8_t>({'#', 'd', 'e', 'f', 'i', 'n', 'e', ' ', 'P',
                                                                        ' ', '7', '\n'})));
  ASSERT_TRUE(gditest::WriteFile(dir + "/p.bmp", gditest::MakeBmp(gditest::Picture24Layout())));
  std::string out;
  ASSERT_EQ(RunCompiler(dir, "#include \"ids.h\"\nP BITMAP \"p.bmp\"\n", &out), 0) << out;
  FILE* f = std::fopen((dir + "/out.d").c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[2048] = {};
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  std::string deps(buf, n);
  EXPECT_NE(deps.find(dir + "/out.cpp:"), std::string::npos) << deps;
  EXPECT_NE(deps.find(dir + "/ids.h"), std::string::npos) << deps;
  EXPECT_NE(deps.find(dir + "/p.bmp"), std::string::npos) << deps;
  EXPECT_NE(deps.find(dir + "/script.rc"), std::string::npos) << deps;
}
