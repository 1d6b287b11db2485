// Date and time pictures, and FILETIME conversion.
#include "tests/kernel/kernel_fixture.h"

namespace {

SYSTEMTIME At(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
  SYSTEMTIME t;
  memset(&t, 0, sizeof t);
  t.wYear = y, t.wMonth = mo, t.wDay = d, t.wHour = h, t.wMinute = mi, t.wSecond = s;
  t.wDayOfWeek = 6;  // wrong on purpose: the day of the week is worked out from the date
  return t;
}

TEST(DateFormat, PicturesGiveTheirFields) {
  const SYSTEMTIME leap = At(2024, 2, 29, 13, 5, 9);
  struct Row {
    LPCWSTR format;
    DWORD flags;
    const char* expected;
  };
  const Row rows[] = {
      {u"yyyyMMdd", 0, "20240229"},
      {u"d/M/yy", 0, "29/2/24"},
      {u"ddd dd MMM", 0, "Thu 29 Feb"},
      {u"dddd, MMMM d, yyyy", 0, "Thursday, February 29, 2024"},
      {u"'Day' d 'o''clock'", 0, "Day 29 o'clock"},
      {u"y", 0, "24"},
      {nullptr, 0, "2/29/2024"},
      {nullptr, DATE_LONGDATE, "Thursday, February 29, 2024"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.format ? Narrow(row.format) : std::string("default"));
    WCHAR out[64];
    for (WCHAR& w : out) w = 0xb0b0;
    int n = GetDateFormatW(LOCALE_SYSTEM_DEFAULT, row.flags, &leap, row.format, out, 64);
    EXPECT_EQ(Narrow(out), row.expected);
    EXPECT_EQ(n, int(strlen(row.expected)) + 1) << "characters written, NUL included";
  }
}

TEST(TimeFormat, PicturesAndFlags) {
  const SYSTEMTIME afternoon = At(2024, 2, 29, 13, 5, 9);
  const SYSTEMTIME midnight = At(2024, 2, 29, 0, 0, 0);
  struct Row {
    const SYSTEMTIME* time;
    LPCWSTR format;
    DWORD flags;
    const char* expected;
  };
  const Row rows[] = {
      {&afternoon, u"HHmmss", 0, "130509"},
      {&afternoon, u"H:m:s", 0, "13:5:9"},
      {&afternoon, u"hh:mm tt", 0, "01:05 PM"},
      {&midnight, u"h:mm t", 0, "12:00 A"},
      {&afternoon, nullptr, 0, "1:05:09 PM"},
      {&afternoon, nullptr, TIME_NOSECONDS, "1:05 PM"},
      {&afternoon, nullptr, TIME_NOTIMEMARKER, "1:05:09"},
      {&afternoon, nullptr, TIME_FORCE24HOURFORMAT, "13:05:09"},
      {&afternoon, nullptr, TIME_NOMINUTESORSECONDS, "1 PM"},
      {&afternoon, u"'at' HH'h'", 0, "at 13h"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.format ? Narrow(row.format) : "default, flags " + std::to_string(row.flags));
    WCHAR out[64];
    for (WCHAR& w : out) w = 0xb0b0;
    int n = GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, row.flags, row.time, row.format, out, 64);
    EXPECT_EQ(Narrow(out), row.expected);
    EXPECT_EQ(n, int(strlen(row.expected)) + 1);
  }
}

TEST(DateFormat, SmallBuffersAndBadInput) {
  const SYSTEMTIME t = At(2024, 2, 29, 13, 5, 9);
  EXPECT_EQ(GetDateFormatW(0x800, 0, &t, u"yyyyMMdd", nullptr, 0), 9) << "size query";
  WCHAR out[9];
  for (WCHAR& w : out) w = 0xb0b0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetDateFormatW(0x800, 0, &t, u"yyyyMMdd", out, 8), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(out[0], 0xb0b0) << "nothing written when it does not fit";
  EXPECT_EQ(GetTimeFormatW(0x800, 0, &t, u"HHmmss", out, 7), 7);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetTimeFormatW(0x800, 0, &t, u"HHmmss", out, 6), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));

  SYSTEMTIME bad = At(2023, 2, 29, 0, 0, 0);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetDateFormatW(0x800, 0, &bad, u"yyyy", out, 9), 0) << "no 29 February in 2023";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  bad = At(2024, 1, 1, 24, 0, 0);
  EXPECT_EQ(GetTimeFormatW(0x800, 0, &bad, u"HH", out, 9), 0);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetDateFormatW(0x800, DATE_SHORTDATE, &t, u"yyyy", out, 9), 0) << "flags with a picture";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FLAGS));
}

TEST(DateFormat, WithoutADateFormatsNow) {
  SYSTEMTIME now;
  memset(&now, 0xb0, sizeof now);
  GetLocalTime(&now);
  EXPECT_GE(now.wYear, 2024);
  EXPECT_LE(now.wMonth, 12);
  WCHAR out[9];
  ASSERT_EQ(GetDateFormatW(0x800, 0, nullptr, u"yyyyMMdd", out, 9), 9);
  EXPECT_EQ(out[0], u'0' + now.wYear / 1000) << "the current year";
}

TEST(FileTime, RoundTripsThroughSystemTime) {
  const SYSTEMTIME times[] = {At(1601, 1, 1, 0, 0, 0), At(1970, 1, 1, 0, 0, 0), At(2000, 2, 29, 23, 59, 59),
                              At(2038, 1, 19, 3, 14, 8)};
  for (const SYSTEMTIME& t : times) {
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    SYSTEMTIME back;
    memset(&back, 0xb0, sizeof back);
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wYear, t.wYear);
    EXPECT_EQ(back.wMonth, t.wMonth);
    EXPECT_EQ(back.wDay, t.wDay);
    EXPECT_EQ(back.wHour, t.wHour);
    EXPECT_EQ(back.wSecond, t.wSecond);
  }
  FILETIME epoch;
  SYSTEMTIME unixStart = At(1970, 1, 1, 0, 0, 0);
  ASSERT_TRUE(SystemTimeToFileTime(&unixStart, &epoch));
  EXPECT_EQ((unsigned long long)epoch.dwHighDateTime << 32 | epoch.dwLowDateTime, 116444736000000000ull);
  SYSTEMTIME back;
  FileTimeToSystemTime(&epoch, &back);
  EXPECT_EQ(back.wDayOfWeek, 4) << "1 January 1970 was a Thursday";
}

}  // namespace
