// The bounded string family: copies, appends, lengths and printf with Windows' conversions.
#include <functional>
#include <string>

#include "tests/kernel/kernel_fixture.h"

namespace {

struct PrintfRow {
  const char* what;
  const char16_t* expected;
  std::function<HRESULT(WCHAR*, size_t)> call;
};

TEST(StringCchPrintfW, ConversionsFollowWindows) {
  const PrintfRow rows[] = {
      {"signed and unsigned", u"-5|7|4000000000",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%d|%i|%u", -5, 7, 4000000000u); }},
      {"width, left, zero", u"   42|42   |00042|-0042",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%5d|%-5d|%05d|%05d", 42, 42, 42, -42); }},
      {"hex and octal", u"ff FF 0xff 0000BEEF 17",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%x %X %#x %08X %o", 255, 255, 255, 0xBEEF, 15); }},
      {"precision of integers", u"007|  007|",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%.3d|%5.3d|%.0d", 7, 7, 0); }},
      {"signs", u"+3| 3|-3", [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%+d|% d|%+d", 3, 3, -3); }},
      {"star width", u"   9|9   |",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%*d|%*d|", 4, 9, -4, 9); }},
      {"64-bit", u"-1234567890123 ffffffffff",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%lld %I64x", -1234567890123LL, 0xFFFFFFFFFFULL); }},
      {"long is 32 bits", u"-1 4294967295",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%ld %lu", -1, 0xFFFFFFFFu); }},
      {"%s is wide", u"<wide>", [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"<%s>", u"wide"); }},
      {"%S and %hs are narrow", u"narrow \u00E9t\u00E9",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%S %hs", "narrow", "\xC3\xA9t\xC3\xA9"); }},
      {"%ls and %ws are wide", u"a b",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%ls %ws", u"a", u"b"); }},
      {"characters", u"Z y \u20AC",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%c %C %c", u'Z', 'y', u'\u20AC'); }},
      {"string width and precision", u"ab    |abc|  xyz",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%-6s|%.3s|%5s", u"ab", u"abcdef", u"xyz"); }},
      {"percent", u"100%", [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"100%%"); }},
      {"null string", u"(null)",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%s", static_cast<const WCHAR*>(nullptr)); }},
      {"floating point", u"  3.1|2.50|1e+03",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%5.1f|%.2f|%.0e", 3.14159, 2.5, 1000.0); }},
      {"pointer width", u"0000000000000010",
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%p", reinterpret_cast<void*>(16)); }},
      {"file names of the channel", u"client.TomTomNavigationServer.77.1.message",
       [](WCHAR* d, size_t n) {
         return StringCchPrintfW(d, n, u"%S.%S.%u.%u.message", "client", "TomTomNavigationServer", 77u, 1u);
       }},
  };
  for (const PrintfRow& row : rows) {
    WCHAR buffer[64];
    for (WCHAR& w : buffer) w = 0xb0b0;
    HRESULT hr = row.call(buffer, 64);
    EXPECT_EQ(hr, S_OK) << row.what;
    EXPECT_EQ(Narrow(buffer), Narrow(row.expected)) << row.what;
  }
}

TEST(StringCchPrintfW, CutsWithANulAndSaysSo) {
  struct Row {
    const char* what;
    size_t room;
    const char16_t* expected;
    HRESULT hr;
    std::function<HRESULT(WCHAR*, size_t)> call;
  };
  const Row rows[] = {
      {"exact fit", 6, u"abcde", S_OK, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%s", u"abcde"); }},
      {"one too long", 6, u"abcde", STRSAFE_E_INSUFFICIENT_BUFFER,
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%s", u"abcdef"); }},
      {"number cut", 4, u"123", STRSAFE_E_INSUFFICIENT_BUFFER,
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%d", 123456); }},
      {"surrogate pair not split", 3, u"a", STRSAFE_E_INSUFFICIENT_BUFFER,
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"a%sb", u"\U0001F600"); }},
      {"nothing after a cut", 4, u"ab", STRSAFE_E_INSUFFICIENT_BUFFER,
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"ab%sc", u"\U0001F600"); }},
      {"room for the NUL only", 1, u"", STRSAFE_E_INSUFFICIENT_BUFFER,
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"x"); }},
      {"%n is refused", 16, u"a", STRSAFE_E_INVALID_PARAMETER,
       [](WCHAR* d, size_t n) {
         int k;
         return StringCchPrintfW(d, n, u"a%n", &k);
       }},
      {"unknown conversion", 16, u"a", STRSAFE_E_INVALID_PARAMETER,
       [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"a%k"); }},
  };
  for (const Row& row : rows) {
    WCHAR buffer[17];
    for (WCHAR& w : buffer) w = 0xb0b0;
    EXPECT_EQ(row.call(buffer, row.room), row.hr) << row.what;
    EXPECT_EQ(Narrow(buffer), Narrow(row.expected)) << row.what;
    EXPECT_EQ(buffer[row.room], 0xb0b0) << row.what << ": written past the buffer";
  }
  WCHAR untouched[2] = {0xb0b0, 0xb0b0};
  EXPECT_EQ(StringCchPrintfW(untouched, 0, u"x"), STRSAFE_E_INVALID_PARAMETER);
  EXPECT_EQ(untouched[0], 0xb0b0) << "a size of 0 writes nothing";
}

TEST(StringCchPrintfA, NarrowVersionSwapsTheStringKinds) {
  char buffer[32];
  memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(StringCchPrintfA(buffer, sizeof buffer, "%s|%S|%ls|%c|%05.1f", "narrow", u"wide", u"\u00E9", 'q', 2.25),
            S_OK);
  EXPECT_STREQ(buffer, "narrow|wide|\xC3\xA9|q|002.2");
  memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(StringCchPrintfA(buffer, 3, "a%S", u"\u20AC"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(buffer, "a") << "a UTF-8 sequence is not split";
}

TEST(StringCch, CopyCatAndLength) {
  WCHAR w[6];
  for (WCHAR& c : w) c = 0xb0b0;
  EXPECT_EQ(StringCchCopyW(w, 6, u"abc"), S_OK);
  EXPECT_EQ(Narrow(w), "abc");
  EXPECT_EQ(StringCchCatW(w, 6, u"de"), S_OK);
  EXPECT_EQ(Narrow(w), "abcde");
  EXPECT_EQ(StringCchCatW(w, 6, u"f"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(Narrow(w), "abcde");
  EXPECT_EQ(StringCchCopyW(w, 4, u"abcdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(Narrow(w), "abc");
  EXPECT_EQ(StringCchCopyNW(w, 6, u"abcdef", 2), S_OK);
  EXPECT_EQ(Narrow(w), "ab");
  EXPECT_EQ(StringCchCatNW(w, 6, u"xyz", 1), S_OK);
  EXPECT_EQ(Narrow(w), "abx");
  EXPECT_EQ(StringCchCopyW(w, 3, u"a\U0001F600"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(Narrow(w), "a") << "a surrogate pair is not split";
  EXPECT_EQ(StringCchCopyW(w, 0, u"a"), STRSAFE_E_INVALID_PARAMETER);
  WCHAR full[3] = {u'a', u'b', u'c'};
  EXPECT_EQ(StringCchCatW(full, 3, u"d"), STRSAFE_E_INVALID_PARAMETER) << "no NUL in the destination";

  char a[5];
  EXPECT_EQ(StringCchCopyA(a, 5, "hello"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(a, "hell");
  EXPECT_EQ(StringCchCopyA(a, 5, "h\xC3\xA9\xC3\xA9"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(a, "h\xC3\xA9") << "a UTF-8 sequence is not split";
  EXPECT_EQ(StringCchCopyNA(a, 5, "xyz", 2), S_OK);
  EXPECT_EQ(StringCchCatA(a, 5, "12"), S_OK);
  EXPECT_STREQ(a, "xy12");
  EXPECT_EQ(StringCchCatNA(a, 5, "3", 1), STRSAFE_E_INSUFFICIENT_BUFFER);

  size_t length = 99;
  EXPECT_EQ(StringCchLengthW(u"abc", 4, &length), S_OK);
  EXPECT_EQ(length, 3u);
  length = 99;
  EXPECT_EQ(StringCchLengthW(u"abc", 3, &length), STRSAFE_E_INVALID_PARAMETER) << "no NUL within cchMax";
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(StringCchLengthA("abcd", MAX_PATH, &length), S_OK);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(StringCchLengthA(nullptr, MAX_PATH, &length), STRSAFE_E_INVALID_PARAMETER);
  EXPECT_TRUE(FAILED(STRSAFE_E_INSUFFICIENT_BUFFER)) << "error codes are negative HRESULTs";
  EXPECT_TRUE(SUCCEEDED(S_OK));
}

}  // namespace
