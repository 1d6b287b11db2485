// Local and system time, FILETIME conversion and the date and time format pictures (US English).
#include <time.h>

#include <string>

#include "ce/kernel/internal.h"

using ce::detail::Fail;

namespace {

const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool ValidDate(const SYSTEMTIME& t) {
  return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
         t.wDay <= DaysInMonth(t.wYear, t.wMonth);
}

bool ValidTime(const SYSTEMTIME& t) {
  return t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

int DayOfWeek(const SYSTEMTIME& t) {
  long long days = DaysFromCivil(t.wYear, t.wMonth, t.wDay);
  return int(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
}

void FromTm(const tm& parts, long nanoseconds, SYSTEMTIME* out) {
  out->wYear = WORD(parts.tm_year + 1900);
  out->wMonth = WORD(parts.tm_mon + 1);
  out->wDayOfWeek = WORD(parts.tm_wday);
  out->wDay = WORD(parts.tm_mday);
  out->wHour = WORD(parts.tm_hour);
  out->wMinute = WORD(parts.tm_min);
  out->wSecond = WORD(parts.tm_sec > 59 ? 59 : parts.tm_sec);
  out->wMilliseconds = WORD(nanoseconds / 1000000);
}

void Append(std::u16string& out, const char* ascii) {
  while (*ascii) out.push_back(char16_t(*ascii++));
}

void AppendNumber(std::u16string& out, unsigned value, int minDigits) {
  char buf[16];
  snprintf(buf, sizeof buf, "%0*u", minDigits, value);
  Append(out, buf);
}

// Copies a quoted run starting at format[i] == '\''; '' inside gives one quote.
void AppendQuoted(std::u16string& out, LPCWSTR format, size_t& i) {
  ++i;
  while (format[i]) {
    if (format[i] == u'\'') {
      if (format[i + 1] == u'\'') {
        out.push_back(u'\'');
        i += 2;
        continue;
      }
      ++i;
      return;
    }
    out.push_back(format[i++]);
  }
}

size_t RunLength(LPCWSTR format, size_t i) {
  size_t n = 1;
  while (format[i + n] == format[i]) ++n;
  return n;
}

// Walks a picture format: quoted text is copied to `out` as it stands, and each run of one
// character goes to element(c, run).
template <typename Element>
void ForEachRun(std::u16string& out, LPCWSTR format, Element&& element) {
  for (size_t i = 0; format[i];) {
    if (format[i] == u'\'') {
      AppendQuoted(out, format, i);
      continue;
    }
    const size_t run = RunLength(format, i);
    element(format[i], run);
    i += run;
  }
}

std::u16string FormatDate(const SYSTEMTIME& t, LPCWSTR format) {
  std::u16string out;
  ForEachRun(out, format, [&](WCHAR c, size_t run) {
    if (c == u'd') {
      if (run == 1)
        AppendNumber(out, t.wDay, 1);
      else if (run == 2)
        AppendNumber(out, t.wDay, 2);
      else if (run == 3)
        out.append(std::u16string(kDayNames[DayOfWeek(t)], kDayNames[DayOfWeek(t)] + 3));
      else
        Append(out, kDayNames[DayOfWeek(t)]);
    } else if (c == u'M') {
      if (run == 1)
        AppendNumber(out, t.wMonth, 1);
      else if (run == 2)
        AppendNumber(out, t.wMonth, 2);
      else if (run == 3)
        out.append(std::u16string(kMonthNames[t.wMonth - 1], kMonthNames[t.wMonth - 1] + 3));
      else
        Append(out, kMonthNames[t.wMonth - 1]);
    } else if (c == u'y') {
      if (run == 1)
        AppendNumber(out, t.wYear % 100, 1);
      else if (run == 2)
        AppendNumber(out, t.wYear % 100, 2);
      else
        AppendNumber(out, t.wYear, 4);
    } else if (c == u'g') {
      Append(out, "A.D.");
    } else {
      out.append(run, c);
    }
  });
  return out;
}

std::u16string FormatTime(const SYSTEMTIME& t, DWORD flags, LPCWSTR format) {
  std::u16string out;
  size_t keep = 0;  // end of the last element written: separators before a dropped element go too
  ForEachRun(out, format, [&](WCHAR c, size_t run) {
    int digits = run >= 2 ? 2 : 1;
    bool element = true;
    bool drop = false;
    if (c == u'h' || c == u'H') {
      bool twelve = c == u'h' && !(flags & TIME_FORCE24HOURFORMAT);
      unsigned hour = t.wHour;
      if (twelve) hour = hour % 12 == 0 ? 12 : hour % 12;
      AppendNumber(out, hour, digits);
    } else if (c == u'm') {
      drop = (flags & TIME_NOMINUTESORSECONDS) != 0;
      if (!drop) AppendNumber(out, t.wMinute, digits);
    } else if (c == u's') {
      drop = (flags & (TIME_NOMINUTESORSECONDS | TIME_NOSECONDS)) != 0;
      if (!drop) AppendNumber(out, t.wSecond, digits);
    } else if (c == u't') {
      drop = (flags & (TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT)) != 0;
      if (!drop) Append(out, run >= 2 ? (t.wHour < 12 ? "AM" : "PM") : (t.wHour < 12 ? "A" : "P"));
    } else {
      element = false;
      out.append(run, c);
    }
    if (element) {
      if (drop) {
        out.resize(keep);
      } else {
        keep = out.size();
      }
    }
  });
  return out;
}

// Copies a formatted text with its NUL into the caller's buffer, by the Win32 rules.
int Deliver(const std::u16string& text, LPWSTR buffer, int cch) {
  size_t need = text.size() + 1;
  if (cch == 0) return int(need);
  if (size_t(cch) < need) return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
  return int(need);
}

// The clock now, as local time or as UTC.
void ReadClock(LPSYSTEMTIME out, bool local) {
  if (out == nullptr) return;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts;
  if (local)
    localtime_r(&now.tv_sec, &parts);
  else
    gmtime_r(&now.tv_sec, &parts);
  FromTm(parts, now.tv_nsec, out);
}

}  // namespace

// The time asked for, or the local time now when none is given.
static SYSTEMTIME GivenOrNow(const SYSTEMTIME* given) {
  SYSTEMTIME t;
  if (given)
    t = *given;
  else
    GetLocalTime(&t);
  return t;
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) { ReadClock(lpSystemTime, true); }

void GetSystemTime(LPSYSTEMTIME lpSystemTime) { ReadClock(lpSystemTime, false); }

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (lpFileTime == nullptr || lpSystemTime == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  unsigned long long ticks = (unsigned long long)lpFileTime->dwHighDateTime << 32 | lpFileTime->dwLowDateTime;
  if (ticks >= 0x8000000000000000ull) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  long long seconds = (long long)(ticks / 10000000ull) - 11644473600LL;
  long long days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  long long rest = seconds - days * 86400;
  // Civil date from days since 1970 (inverse of DaysFromCivil).
  long long z = days + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1;
  long long m = mp < 10 ? mp + 3 : mp - 9;
  long long y = yoe + era * 400 + (m <= 2);
  lpSystemTime->wYear = WORD(y);
  lpSystemTime->wMonth = WORD(m);
  lpSystemTime->wDay = WORD(d);
  lpSystemTime->wDayOfWeek = WORD(((days % 7) + 7 + 4) % 7);
  lpSystemTime->wHour = WORD(rest / 3600);
  lpSystemTime->wMinute = WORD(rest / 60 % 60);
  lpSystemTime->wSecond = WORD(rest % 60);
  lpSystemTime->wMilliseconds = WORD(ticks / 10000ull % 1000ull);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
  if (lpSystemTime == nullptr || lpFileTime == nullptr || !ValidDate(*lpSystemTime) || !ValidTime(*lpSystemTime))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  const SYSTEMTIME& t = *lpSystemTime;
  long long seconds = DaysFromCivil(t.wYear, t.wMonth, t.wDay) * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
  *lpFileTime = ce::detail::FileTimeFromUnix(seconds, long(t.wMilliseconds) * 1000000L);
  return TRUE;
}

int GetDateFormatW(LCID, DWORD dwFlags, const SYSTEMTIME* lpDate, LPCWSTR lpFormat, LPWSTR lpDateStr, int cchDate) {
  if (cchDate < 0 || (cchDate > 0 && lpDateStr == nullptr)) return Fail(ERROR_INVALID_PARAMETER, 0);
  if ((dwFlags & ~(DATE_SHORTDATE | DATE_LONGDATE)) != 0 || (lpFormat != nullptr && dwFlags != 0) ||
      dwFlags == (DATE_SHORTDATE | DATE_LONGDATE))
    return Fail(ERROR_INVALID_FLAGS, 0);
  const SYSTEMTIME date = GivenOrNow(lpDate);
  if (!ValidDate(date)) return Fail(ERROR_INVALID_PARAMETER, 0);
  if (lpFormat == nullptr) lpFormat = (dwFlags & DATE_LONGDATE) ? u"dddd, MMMM dd, yyyy" : u"M/d/yyyy";
  return Deliver(FormatDate(date, lpFormat), lpDateStr, cchDate);
}

int GetTimeFormatW(LCID, DWORD dwFlags, const SYSTEMTIME* lpTime, LPCWSTR lpFormat, LPWSTR lpTimeStr, int cchTime) {
  if (cchTime < 0 || (cchTime > 0 && lpTimeStr == nullptr)) return Fail(ERROR_INVALID_PARAMETER, 0);
  if ((dwFlags & ~(TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT)) != 0)
    return Fail(ERROR_INVALID_FLAGS, 0);
  const SYSTEMTIME time = GivenOrNow(lpTime);
  if (!ValidTime(time)) return Fail(ERROR_INVALID_PARAMETER, 0);
  if (lpFormat == nullptr) lpFormat = u"h:mm:ss tt";
  return Deliver(FormatTime(time, dwFlags, lpFormat), lpTimeStr, cchTime);
}
