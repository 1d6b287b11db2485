// Narrow/wide conversion bounds and the WCHAR string helpers.
#include <string>

#include "tests/kernel/kernel_fixture.h"

namespace {

TEST(Conversion, Utf8AndUtf16RoundTripWithSizeQueries) {
  const char* narrow = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € 😀
  const WCHAR wide[] = {u'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 0};
  for (UINT codePage : {CP_ACP, CP_UTF8}) {
    SCOPED_TRACE(codePage);
    EXPECT_EQ(MultiByteToWideChar(codePage, 0, narrow, -1, nullptr, 0), 6) << "size query counts the NUL";
    WCHAR out[8];
    memset(out, 0xb0, sizeof out);
    EXPECT_EQ(MultiByteToWideChar(codePage, 0, narrow, -1, out, 6), 6);
    EXPECT_EQ(std::u16string(out), std::u16string(wide));
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr), 11);
    char back[16];
    memset(back, 0x55, sizeof back);
    BOOL usedDefault = 77;
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, -1, back, 11, nullptr, &usedDefault), 11);
    EXPECT_STREQ(back, narrow);
    EXPECT_EQ(usedDefault, FALSE);
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, 2, back, 16, nullptr, nullptr), 3)
        << "an explicit length has no NUL";
  }
}

TEST(Conversion, OutputThatDoesNotFitFailsWithoutSplittingACharacter) {
  struct Row {
    const char* what;
    const WCHAR* wide;
    int room;
    int kept;  // bytes written before the failure
  };
  const Row rows[] = {
      {"3-byte character after 2 bytes", u"ab\u20AC", 4, 2},
      {"3-byte character at the start", u"\u20AC", 2, 0},
      {"surrogate pair", u"x\U0001F600", 4, 1},
      {"NUL that does not fit", u"abc", 3, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    char out[8];
    memset(out, 0x55, sizeof out);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, row.wide, -1, out, row.room, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    for (int i = row.kept; i < 8; ++i) EXPECT_EQ(out[i], 0x55) << "byte " << i << " was written";
  }
  WCHAR wide[4];
  for (WCHAR& w : wide) w = 0xb0b0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "x\xF0\x9F\x98\x80", -1, wide, 2), 0) << "a pair needs two units";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(wide[1], 0xb0b0);
}

TEST(Conversion, InvalidInputIsReplacedOrRefused) {
  WCHAR wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0,
                                "a\xFF"
                                "b",
                                3, wide, 8),
            3);
  EXPECT_EQ(wide[1], 0xFFFD);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE2\x82", 2, wide, 8), 2) << "a cut sequence: one replacement per byte";
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 8), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  const WCHAR lone[] = {u'a', 0xD800, u'b', 0};
  char narrow[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, narrow, 8, nullptr, nullptr), 6);
  EXPECT_STREQ(narrow,
               "a\xEF\xBF\xBD"
               "b");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, narrow, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  struct Bad {
    const char* what;
    int result;
  };
  const Bad bad[] = {
      {"zero input length", MultiByteToWideChar(CP_ACP, 0, "x", 0, wide, 8)},
      {"unknown code page", MultiByteToWideChar(1252, 0, "x", 1, wide, 8)},
      {"NULL input", MultiByteToWideChar(CP_ACP, 0, nullptr, 1, wide, 8)},
      {"default char with UTF-8", WideCharToMultiByte(CP_UTF8, 0, u"x", 1, narrow, 8, "?", nullptr)},
  };
  for (const Bad& b : bad) EXPECT_EQ(b.result, 0) << b.what;
}

TEST(CrtConversion, WcstombsAndMbstowcsStopBeforeACharacterThatDoesNotFit) {
  char narrow[8];
  memset(narrow, 0x55, sizeof narrow);
  EXPECT_EQ(wcstombs(narrow, u"ab\u20AC", 4), 2u);
  EXPECT_EQ(narrow[2], 0) << "NUL after the whole characters";
  EXPECT_EQ(narrow[3], 0x55);
  EXPECT_EQ(wcstombs(nullptr, u"ab\u20AC", 0), 5u);
  memset(narrow, 0x55, sizeof narrow);
  EXPECT_EQ(wcstombs(narrow, u"abc", 3), 3u);
  EXPECT_EQ(narrow[3], 0x55) << "no room for the NUL: none written, as the C runtime does";
  const WCHAR lone[] = {0xDC00, 0};
  EXPECT_EQ(wcstombs(narrow, lone, 8), size_t(-1));
  WCHAR wide[4];
  EXPECT_EQ(mbstowcs(wide, "x\xC3\xA9", 4), 2u);
  EXPECT_EQ(std::u16string(wide), u"x\u00E9");
  EXPECT_EQ(mbstowcs(wide, "\xFF", 4), size_t(-1));
}

TEST(WideStrings, CompareCopyAndSearch) {
  EXPECT_EQ(lstrlenW(u"Trapmarker"), 10);
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_LT(lstrcmpW(u"Abc", u"abc"), 0);
  EXPECT_EQ(lstrcmpiW(u"TomTom Navigator.exe", u"tomtom navigator.EXE"), 0);
  EXPECT_EQ(lstrcmpiW(u"\u00C4RGER", u"\u00E4rger"), 0);
  EXPECT_EQ(lstrcmpiW(u"\u0416", u"\u0436"), 0) << "Cyrillic";
  EXPECT_GT(lstrcmpiW(u"b", u"A"), 0);
  EXPECT_LT(lstrcmpiW(nullptr, u"a"), 0);
  WCHAR buffer[6];
  for (WCHAR& w : buffer) w = 0xb0b0;
  EXPECT_EQ(lstrcpynW(buffer, u"abcdefgh", 5), buffer);
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_EQ(buffer[5], 0xb0b0) << "nothing past iMaxLength";
  WCHAR upper[] = u"stra\u00DFe \u00E9t\u00E9";
  CharUpperW(upper);
  EXPECT_EQ(std::u16string(upper), u"STRA\u00DFE \u00C9T\u00C9");
  CharLowerW(upper);
  EXPECT_EQ(std::u16string(upper), u"stra\u00DFe \u00E9t\u00E9");

  const WCHAR* path = u"\\Program Files\\Nav\\App.exe";
  EXPECT_EQ(wcsrchr(path, u'\\'), path + 18);
  EXPECT_EQ(wcschr(path, u'N'), path + 15);
  EXPECT_EQ(wcschr(path, u'#'), nullptr);
  const WCHAR* platform = u"PocketPC SmartPhone";
  EXPECT_EQ(wcsstr(platform, u"SmartPhone"), platform + 9);
  EXPECT_EQ(wcsstr(u"smartphone", u"SmartPhone"), nullptr) << "case matters";
  EXPECT_EQ(_wcsicmp(u"ABC", u"abd"), -1);
  EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);
  EXPECT_EQ(_wtoi(u"  -42x"), -42);
  WCHAR* end = nullptr;
  EXPECT_EQ(wcstol(u"0x1F!", &end, 16), 31);
  EXPECT_EQ(*end, u'!');
  EXPECT_EQ(wcstol(u"99999999999", nullptr, 10), 2147483647L) << "saturates at LONG's limit";
}

}  // namespace
