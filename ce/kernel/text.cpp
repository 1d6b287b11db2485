// Text: UTF-8/UTF-16 conversion, case folding and the WCHAR string helpers.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ce/device.h"
#include "ce/kernel/internal.h"

namespace ce::detail {

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;  // Latin-1 capitals, not the multiply sign
  if (c >= 0x100 && c <= 0x17F) {                          // Latin Extended-A: pairs, with a few shifts
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek capitals
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

char32_t DecodeUtf8(const char* s, size_t n, size_t& i, bool* valid) {
  unsigned char b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  size_t len;
  char32_t c, min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, c = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, c = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    if (valid) *valid = false;
    return 0xFFFD;
  }
  if (i + len > n) {
    ++i;
    if (valid) *valid = false;
    return 0xFFFD;
  }
  for (size_t k = 1; k < len; ++k) {
    unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      if (valid) *valid = false;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    if (valid) *valid = false;
    return 0xFFFD;
  }
  i += len;
  return c;
}

char32_t DecodeUtf16(const WCHAR* s, size_t n, size_t& i, bool* valid) {
  char32_t c = s[i++];
  if (c < 0xD800 || c > 0xDFFF) return c;
  if (c <= 0xDBFF && i < n && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
    char32_t low = s[i++];
    return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
  }
  if (valid) *valid = false;
  return 0xFFFD;
}

size_t EncodeUtf8(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = char(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = char(0xC0 | (c >> 6));
    out[1] = char(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = char(0xE0 | (c >> 12));
    out[1] = char(0x80 | ((c >> 6) & 0x3F));
    out[2] = char(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = char(0xF0 | (c >> 18));
  out[1] = char(0x80 | ((c >> 12) & 0x3F));
  out[2] = char(0x80 | ((c >> 6) & 0x3F));
  out[3] = char(0x80 | (c & 0x3F));
  return 4;
}

size_t EncodeUtf16(char32_t c, WCHAR* out) {
  if (c < 0x10000) {
    out[0] = WCHAR(c);
    return 1;
  }
  c -= 0x10000;
  out[0] = WCHAR(0xD800 + (c >> 10));
  out[1] = WCHAR(0xDC00 + (c & 0x3FF));
  return 2;
}

std::string FoldedName(const std::string& name) {
  std::string out;
  // Names are mostly ASCII, where folding is a byte for byte lower case.
  if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    out = name;
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    return out;
  }
  out.reserve(name.size());
  char buf[4];
  for (size_t i = 0; i < name.size();) {
    char32_t c = FoldCase(DecodeUtf8(name.data(), name.size(), i, nullptr));
    out.append(buf, EncodeUtf8(c, buf));
  }
  return out;
}

bool NamesEqualIgnoringCase(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldCase(DecodeUtf8(a.data(), a.size(), i, nullptr)) != FoldCase(DecodeUtf8(b.data(), b.size(), j, nullptr)))
      return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace ce::detail

namespace ce {

namespace {

// The whole of `in` in the other encoding, ill-formed units replaced as the decoder does.
template <typename Out, size_t kMaxUnits, typename In, typename Decode, typename Encode>
Out Transcode(const In& in, Decode decode, Encode encode) {
  Out out;
  out.reserve(in.size());
  typename Out::value_type buf[kMaxUnits];
  for (size_t i = 0; i < in.size();) out.append(buf, encode(decode(in.data(), in.size(), i, nullptr), buf));
  return out;
}

}  // namespace

namespace {

// Text that is ASCII throughout, the usual case for names and paths, converts unit for unit.
template <typename Out, typename In>
bool CopyIfAscii(const In* in, size_t n, Out& out) {
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<uint32_t>(in[i]) >= 0x80) return false;
  }
  out.assign(in, in + n);
  return true;
}

}  // namespace

std::string ToUtf8(const std::u16string& wide) {
  std::string out;
  if (CopyIfAscii(wide.data(), wide.size(), out)) return out;
  return Transcode<std::string, 4>(wide, detail::DecodeUtf16, detail::EncodeUtf8);
}

std::string ToUtf8(LPCWSTR wide) {
  if (!wide) return std::string();
  std::string out;
  const size_t n = std::char_traits<char16_t>::length(wide);
  if (CopyIfAscii(wide, n, out)) return out;
  return ToUtf8(std::u16string(wide, n));
}

std::u16string FromUtf8(const std::string& narrow) {
  std::u16string out;
  if (CopyIfAscii(reinterpret_cast<const unsigned char*>(narrow.data()), narrow.size(), out)) return out;
  return Transcode<std::u16string, 2>(narrow, detail::DecodeUtf8, detail::EncodeUtf16);
}

}  // namespace ce

using ce::detail::Fail;

namespace {

bool KnownCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_UTF8; }

// Converts the n units of `in` one character at a time: `decode` reads a character, `encode`
// writes it in the other form (at most kMaxUnits units). With outSize 0 it only counts. Returns
// the units the whole text takes, or 0 with the last error set.
template <size_t kMaxUnits, typename In, typename Out, typename Decode, typename Encode>
int Convert(const In* in, size_t n, Out* out, size_t outSize, bool strict, Decode decode, Encode encode) {
  size_t written = 0;
  Out buf[kMaxUnits];
  for (size_t i = 0; i < n;) {
    bool valid = true;
    const char32_t c = decode(in, n, i, &valid);
    if (!valid && strict) return Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    const size_t units = encode(c, buf);
    if (outSize > 0) {
      if (written + units > outSize) return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
      std::copy(buf, buf + units, out + written);
    }
    written += units;
    if (written > size_t(INT_MAX)) return Fail(ERROR_INVALID_PARAMETER, 0);
  }
  return int(written);
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
  if (!KnownCodePage(CodePage) || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
      cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr) ||
      (dwFlags & ~(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) != 0)
    return Fail(ERROR_INVALID_PARAMETER, 0);
  const size_t n = cbMultiByte == -1 ? strlen(lpMultiByteStr) + 1 : size_t(cbMultiByte);
  return Convert<2>(lpMultiByteStr, n, lpWideCharStr, size_t(cchWideChar), (dwFlags & MB_ERR_INVALID_CHARS) != 0,
                    ce::detail::DecodeUtf8, ce::detail::EncodeUtf16);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar) {
  if (!KnownCodePage(CodePage) || lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr) || lpDefaultChar != nullptr ||
      (dwFlags & ~WC_ERR_INVALID_CHARS) != 0)
    return Fail(ERROR_INVALID_PARAMETER, 0);
  if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
  const size_t n = cchWideChar == -1 ? wcslen(lpWideCharStr) + 1 : size_t(cchWideChar);
  return Convert<4>(lpWideCharStr, n, lpMultiByteStr, size_t(cbMultiByte), (dwFlags & WC_ERR_INVALID_CHARS) != 0,
                    ce::detail::DecodeUtf16, ce::detail::EncodeUtf8);
}

// ---------------------------------------------------------------------------------------------
// WCHAR string helpers

int lstrlenW(LPCWSTR lpString) {
  if (lpString == nullptr) return 0;
  size_t n = wcslen(lpString);
  return n > size_t(INT_MAX) ? INT_MAX : int(n);
}

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return (a == b) ? 0 : (a == nullptr ? -1 : 1);
  return wcscmp(a, b);
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return (a == b) ? 0 : (a == nullptr ? -1 : 1);
  return _wcsicmp(a, b);
}

LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
  if (lpString1 == nullptr || iMaxLength <= 0) return lpString1;
  int i = 0;
  if (lpString2)
    for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
  lpString1[i] = 0;
  return lpString1;
}

namespace {

char32_t UpperCase(char32_t c) {
  // The inverse of FoldCase over the ranges it folds: find the capital whose fold is c.
  if (c < 0x80) return (c >= U'a' && c <= U'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (ce::detail::FoldCase(c - 1) == c) return c - 1;
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

}  // namespace

LPWSTR CharLowerW(LPWSTR lpsz) {
  if (lpsz == nullptr || IS_INTRESOURCE(lpsz)) return lpsz;  // a single character is not supported
  for (WCHAR* p = lpsz; *p; ++p)
    if (*p < 0xD800 || *p > 0xDFFF) *p = WCHAR(ce::detail::FoldCase(*p));
  return lpsz;
}

LPWSTR CharUpperW(LPWSTR lpsz) {
  if (lpsz == nullptr || IS_INTRESOURCE(lpsz)) return lpsz;
  for (WCHAR* p = lpsz; *p; ++p)
    if (*p < 0xD800 || *p > 0xDFFF) *p = WCHAR(UpperCase(*p));
  return lpsz;
}

size_t wcslen(const WCHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

size_t wcsnlen(const WCHAR* s, size_t maxLen) {
  size_t n = 0;
  while (n < maxLen && s[n]) ++n;
  return n;
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
  for (;; ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
    if (*a == 0) return 0;
  }
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (a[i] == 0) return 0;
  }
  return 0;
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char32_t x = ce::detail::FoldCase(a[i]), y = ce::detail::FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) { return _wcsnicmp(a, b, SIZE_MAX); }

const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
  for (;; ++s) {
    if (*s == c) return s;
    if (*s == 0) return nullptr;
  }
}

WCHAR* wcschr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
  const WCHAR* found = nullptr;
  for (;; ++s) {
    if (*s == c) found = s;
    if (*s == 0) return found;
  }
}

WCHAR* wcsrchr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle) {
  size_t n = wcslen(needle);
  if (n == 0) return haystack;
  for (; *haystack; ++haystack)
    if (wcsncmp(haystack, needle, n) == 0) return haystack;
  return nullptr;
}

WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle) {
  return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(haystack), needle));
}

long wcstol(const WCHAR* s, WCHAR** end, int base) {
  const WCHAR* p = s;
  while (*p == u' ' || *p == u'\t' || *p == u'\n' || *p == u'\r' || *p == u'\f' || *p == u'\v') ++p;
  bool negative = false;
  if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
  if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
    // Only take the prefix when a hex digit follows it.
    WCHAR d = p[2];
    if ((d >= u'0' && d <= u'9') || (d >= u'a' && d <= u'f') || (d >= u'A' && d <= u'F')) {
      p += 2;
      base = 16;
    }
  }
  if (base == 0) base = (*p == u'0') ? 8 : 10;
  if (base < 2 || base > 36) {
    if (end) *end = const_cast<WCHAR*>(s);
    return 0;
  }
  long long value = 0;
  bool any = false;
  const long long limit = negative ? 2147483648LL : 2147483647LL;
  for (;; ++p) {
    int digit;
    if (*p >= u'0' && *p <= u'9')
      digit = *p - u'0';
    else if (*p >= u'a' && *p <= u'z')
      digit = *p - u'a' + 10;
    else if (*p >= u'A' && *p <= u'Z')
      digit = *p - u'A' + 10;
    else
      break;
    if (digit >= base) break;
    any = true;
    value = value * base + digit;
    if (value > limit) value = limit;  // saturate, keep consuming digits
  }
  if (end) *end = const_cast<WCHAR*>(any ? p : s);
  return long(negative ? -value : value);
}

int _wtoi(const WCHAR* s) { return s ? int(wcstol(s, nullptr, 10)) : 0; }

namespace {

// The C runtime's conversion of a NUL-terminated text of `len` units: an invalid character fails
// it (size_t(-1)); with `dst`, only whole characters are written and what fits is terminated.
template <size_t kMaxUnits, typename In, typename Out, typename Decode, typename Encode>
size_t ConvertTerminated(Out* dst, const In* src, size_t len, size_t n, Decode decode, Encode encode) {
  size_t written = 0;
  Out buf[kMaxUnits];
  for (size_t i = 0; i < len;) {
    bool valid = true;
    const char32_t c = decode(src, len, i, &valid);
    if (!valid) return size_t(-1);
    const size_t units = encode(c, buf);
    if (dst) {
      if (written + units > n) {  // never a part of a character; terminate what fits
        if (written < n) dst[written] = 0;
        return written;
      }
      std::copy(buf, buf + units, dst + written);
    }
    written += units;
  }
  if (dst && written < n) dst[written] = 0;
  return written;
}

}  // namespace

size_t wcstombs(char* dst, const WCHAR* src, size_t n) {
  return ConvertTerminated<4>(dst, src, wcslen(src), n, ce::detail::DecodeUtf16, ce::detail::EncodeUtf8);
}

size_t mbstowcs(WCHAR* dst, const char* src, size_t n) {
  return ConvertTerminated<2>(dst, src, strlen(src), n, ce::detail::DecodeUtf8, ce::detail::EncodeUtf16);
}
