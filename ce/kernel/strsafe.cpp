// The bounded string family (StringCch*) for WCHAR and char, with Windows' printf conventions.
// A cut never leaves half a character behind: a surrogate pair or a UTF-8 sequence that does not
// fit is left out whole.
#include <cstdio>
#include <string>

#include "ce/kernel/internal.h"

namespace {

template <class C>
size_t Length(const C* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// Number of leading units of s[0..n) that end on a character boundary, at most limit.
size_t WholeUnits(const char* s, size_t n, size_t limit) {
  if (limit >= n) return n;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

size_t WholeUnits(const WCHAR* s, size_t n, size_t limit) {
  if (limit >= n) return n;
  if (limit > 0 && s[limit] >= 0xDC00 && s[limit] <= 0xDFFF && s[limit - 1] >= 0xD800 && s[limit - 1] <= 0xDBFF)
    return limit - 1;
  return limit;
}

bool BadCch(size_t cch) { return cch == 0 || cch > size_t(STRSAFE_MAX_CCH); }

// Copies src[0..n) to dest, cut to fit cchDest with a NUL.
template <class C>
HRESULT CopyInto(C* dest, size_t cchDest, const C* src, size_t n) {
  size_t take = WholeUnits(src, n, cchDest - 1);
  for (size_t i = 0; i < take; ++i) dest[i] = src[i];
  dest[take] = 0;
  return take == n ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}

template <class C>
HRESULT Copy(C* dest, size_t cchDest, const C* src, size_t maxCopy) {
  if (dest == nullptr || BadCch(cchDest) || maxCopy > size_t(STRSAFE_MAX_CCH)) return STRSAFE_E_INVALID_PARAMETER;
  size_t n = 0;
  if (src)
    while (n < maxCopy && src[n]) ++n;
  return CopyInto(dest, cchDest, src, n);
}

template <class C>
HRESULT Cat(C* dest, size_t cchDest, const C* src, size_t maxCopy) {
  if (dest == nullptr || BadCch(cchDest) || maxCopy > size_t(STRSAFE_MAX_CCH)) return STRSAFE_E_INVALID_PARAMETER;
  size_t used = 0;
  while (used < cchDest && dest[used]) ++used;
  if (used == cchDest) return STRSAFE_E_INVALID_PARAMETER;  // dest holds no NUL within its size
  size_t n = 0;
  if (src)
    while (n < maxCopy && src[n]) ++n;
  return CopyInto(dest + used, cchDest - used, src, n);
}

template <class C>
HRESULT LengthOf(const C* psz, size_t cchMax, size_t* pcch) {
  HRESULT hr = STRSAFE_E_INVALID_PARAMETER;
  size_t n = 0;
  if (psz != nullptr && !BadCch(cchMax)) {
    while (n < cchMax && psz[n]) ++n;
    if (n < cchMax) hr = S_OK;
  }
  if (pcch) *pcch = SUCCEEDED(hr) ? n : 0;
  return hr;
}

// ---------------------------------------------------------------------------------------------
// printf

// Output of a printf into a fixed buffer: keeps room for the NUL, and once something did not fit
// it drops everything after it, so the result is a clean prefix.
template <class C>
struct Sink {
  C* dst;
  size_t cap;  // units including the NUL
  size_t len = 0;
  bool cut = false;

  void Put(const C* units, size_t n) {
    if (cut) return;
    if (len + n > cap - 1) {
      cut = true;
      return;
    }
    for (size_t i = 0; i < n; ++i) dst[len + i] = units[i];
    len += n;
  }
  void Put(C c) { Put(&c, 1); }
  void Repeat(C c, size_t n) {
    for (size_t i = 0; i < n && !cut; ++i) Put(c);
  }
  // One character, given as a code point, in this sink's encoding.
  void PutChar(char32_t c);
};

template <>
void Sink<char>::PutChar(char32_t c) {
  char buf[4];
  Put(buf, ce::detail::EncodeUtf8(c, buf));
}

template <>
void Sink<WCHAR>::PutChar(char32_t c) {
  WCHAR buf[2];
  Put(buf, ce::detail::EncodeUtf16(c, buf));
}

struct Conversion {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = 0;
  int precision = -1;
};

// Characters of a string argument in its own encoding, counted as the output will count them.
template <class C, class S>
void PutString(Sink<C>& out, const Conversion& conversion, const S* s) {
  static const char kNull[] = "(null)";
  std::u32string chars;
  if (s == nullptr) {
    for (const char* p = kNull; *p; ++p) chars.push_back(char32_t(*p));
  } else {
    size_t n = 0;
    // Precision limits the characters taken from the argument.
    size_t limit = conversion.precision >= 0 ? size_t(conversion.precision) : SIZE_MAX;
    while (n < limit && s[n]) ++n;
    for (size_t i = 0; i < n;) {
      if constexpr (sizeof(S) == 1)
        chars.push_back(ce::detail::DecodeUtf8(reinterpret_cast<const char*>(s), n, i, nullptr));
      else
        chars.push_back(ce::detail::DecodeUtf16(reinterpret_cast<const WCHAR*>(s), n, i, nullptr));
    }
  }
  size_t pad = size_t(conversion.width) > chars.size() ? size_t(conversion.width) - chars.size() : 0;
  if (!conversion.left) out.Repeat(C(' '), pad);
  for (char32_t c : chars) out.PutChar(c);
  if (conversion.left) out.Repeat(C(' '), pad);
}

template <class C>
void PutNumber(Sink<C>& out, const Conversion& conversion, unsigned long long magnitude, bool negative, int base,
               bool upper, bool isSigned) {
  char digits[72];
  size_t n = 0;
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  while (magnitude != 0) {
    digits[n++] = set[magnitude % unsigned(base)];
    magnitude /= unsigned(base);
  }
  bool wasZero = n == 0;
  size_t precision = conversion.precision >= 0 ? size_t(conversion.precision) : 1;
  if (precision > 64) precision = 64;
  while (n < precision) digits[n++] = '0';
  char prefix[3] = {0, 0, 0};
  size_t prefixLen = 0;
  if (isSigned) {
    if (negative)
      prefix[prefixLen++] = '-';
    else if (conversion.plus)
      prefix[prefixLen++] = '+';
    else if (conversion.space)
      prefix[prefixLen++] = ' ';
  }
  if (conversion.alt && !wasZero) {
    if (base == 16) {
      prefix[prefixLen++] = '0';
      prefix[prefixLen++] = upper ? 'X' : 'x';
    } else if (base == 8 && digits[n - 1] != '0') {
      digits[n++] = '0';
    }
  }
  size_t body = prefixLen + n;
  size_t pad = size_t(conversion.width) > body ? size_t(conversion.width) - body : 0;
  bool zeroPad = conversion.zero && !conversion.left && conversion.precision < 0;
  if (!conversion.left && !zeroPad) out.Repeat(C(' '), pad);
  for (size_t i = 0; i < prefixLen; ++i) out.Put(C(prefix[i]));
  if (zeroPad) out.Repeat(C('0'), pad);
  while (n > 0) out.Put(C(digits[--n]));
  if (conversion.left) out.Repeat(C(' '), pad);
}

template <class C>
void PutFloat(Sink<C>& out, const Conversion& conversion, char conv, long double value, bool isLong) {
  char format[32];
  snprintf(format, sizeof format, "%%%s%s%s%s%s*.*%s%c", conversion.left ? "-" : "", conversion.plus ? "+" : "",
           conversion.space ? " " : "", conversion.zero ? "0" : "", conversion.alt ? "#" : "", isLong ? "L" : "", conv);
  int precision = conversion.precision < 0 ? 6 : (conversion.precision > 100 ? 100 : conversion.precision);
  int width = conversion.width > 1000 ? 1000 : conversion.width;
  std::string text(1200, '\0');
  int n = isLong ? snprintf(text.data(), text.size(), format, width, precision, value)
                 : snprintf(text.data(), text.size(), format, width, precision, double(value));
  if (n < 0) return;
  if (size_t(n) >= text.size()) {
    text.assign(size_t(n) + 1, '\0');
    n = isLong ? snprintf(text.data(), text.size(), format, width, precision, value)
               : snprintf(text.data(), text.size(), format, width, precision, double(value));
  }
  for (int i = 0; i < n; ++i) out.Put(C(text[size_t(i)]));
}

enum class Size { kDefault, kShort, kChar, kLong, kLongLong, kPointer, kLongDouble, kWide };

template <class C>
HRESULT Format(C* dest, size_t cchDest, const C* format, va_list args) {
  if (dest == nullptr || BadCch(cchDest)) return STRSAFE_E_INVALID_PARAMETER;
  if (format == nullptr) {
    dest[0] = 0;
    return STRSAFE_E_INVALID_PARAMETER;
  }
  constexpr bool kWideVersion = sizeof(C) == 2;
  Sink<C> out{dest, cchDest};
  HRESULT result = S_OK;
  for (const C* p = format; *p && !out.cut; ++p) {
    if (*p != C('%')) {
      out.Put(*p);
      continue;
    }
    ++p;
    Conversion conversion;
    for (;; ++p) {
      if (*p == C('-'))
        conversion.left = true;
      else if (*p == C('+'))
        conversion.plus = true;
      else if (*p == C(' '))
        conversion.space = true;
      else if (*p == C('0'))
        conversion.zero = true;
      else if (*p == C('#'))
        conversion.alt = true;
      else
        break;
    }
    if (*p == C('*')) {
      int w = va_arg(args, int);
      if (w < 0) {
        conversion.left = true;
        w = w == INT32_MIN ? INT32_MAX : -w;
      }
      conversion.width = w;
      ++p;
    } else {
      while (*p >= C('0') && *p <= C('9')) {
        conversion.width = conversion.width > 100000 ? conversion.width : conversion.width * 10 + int(*p - C('0'));
        ++p;
      }
    }
    if (*p == C('.')) {
      ++p;
      conversion.precision = 0;
      if (*p == C('*')) {
        int prec = va_arg(args, int);
        conversion.precision = prec < 0 ? -1 : prec;
        ++p;
      } else {
        while (*p >= C('0') && *p <= C('9')) {
          conversion.precision =
              conversion.precision > 100000 ? conversion.precision : conversion.precision * 10 + int(*p - C('0'));
          ++p;
        }
      }
    }
    Size size = Size::kDefault;
    if (*p == C('h')) {
      ++p;
      size = Size::kShort;
      if (*p == C('h')) {
        ++p;
        size = Size::kChar;
      }
    } else if (*p == C('l')) {
      ++p;
      size = Size::kLong;
      if (*p == C('l')) {
        ++p;
        size = Size::kLongLong;
      }
    } else if (*p == C('w')) {
      ++p;
      size = Size::kWide;
    } else if (*p == C('L')) {
      ++p;
      size = Size::kLongDouble;
    } else if (*p == C('z') || *p == C('t') || *p == C('j')) {
      ++p;
      size = Size::kPointer;
    } else if (*p == C('I')) {
      if (p[1] == C('6') && p[2] == C('4')) {
        p += 3;
        size = Size::kLongLong;
      } else if (p[1] == C('3') && p[2] == C('2')) {
        p += 3;
        size = Size::kLong;
      } else {
        ++p;
        size = Size::kPointer;
      }
    }
    C conv = *p;
    if (conv == 0) {
      result = STRSAFE_E_INVALID_PARAMETER;
      break;
    }
    switch (conv) {
      case C('%'):
        out.Put(C('%'));
        break;
      case C('d'):
      case C('i'): {
        long long v;
        if (size == Size::kLongLong)
          v = va_arg(args, long long);
        else if (size == Size::kPointer)
          v = va_arg(args, intptr_t);
        else
          v = va_arg(args, int);
        if (size == Size::kShort) v = short(v);
        if (size == Size::kChar) v = static_cast<signed char>(v);
        unsigned long long magnitude =
            v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        PutNumber(out, conversion, magnitude, v < 0, 10, false, true);
        break;
      }
      case C('u'):
      case C('x'):
      case C('X'):
      case C('o'): {
        unsigned long long v;
        if (size == Size::kLongLong)
          v = va_arg(args, unsigned long long);
        else if (size == Size::kPointer)
          v = va_arg(args, uintptr_t);
        else
          v = va_arg(args, unsigned);
        if (size == Size::kShort) v = static_cast<unsigned short>(v);
        if (size == Size::kChar) v = static_cast<unsigned char>(v);
        int base = conv == C('u') ? 10 : conv == C('o') ? 8 : 16;
        PutNumber(out, conversion, v, false, base, conv == C('X'), false);
        break;
      }
      case C('p'): {
        Conversion pointerConversion = conversion;
        pointerConversion.precision = int(2 * sizeof(void*));
        PutNumber(out, pointerConversion, uintptr_t(va_arg(args, void*)), false, 16, true, false);
        break;
      }
      case C('c'):
      case C('C'): {
        // %c is the version's own character width; %C the other; h narrow, l/w wide.
        bool wide = (conv == C('c')) == kWideVersion;
        if (size == Size::kShort) wide = false;
        if (size == Size::kLong || size == Size::kWide) wide = true;
        int v = va_arg(args, int);
        char32_t c = wide ? char32_t(static_cast<WCHAR>(v)) : char32_t(static_cast<unsigned char>(v));
        if (!wide && c >= 0x80) c = 0xFFFD;  // a lone byte of a longer UTF-8 character
        Conversion charConversion = conversion;
        charConversion.precision = -1;
        size_t pad = size_t(conversion.width) > 1 ? size_t(conversion.width) - 1 : 0;
        if (!charConversion.left) out.Repeat(C(' '), pad);
        out.PutChar(c);
        if (charConversion.left) out.Repeat(C(' '), pad);
        break;
      }
      case C('s'):
      case C('S'): {
        bool wide = (conv == C('s')) == kWideVersion;
        if (size == Size::kShort) wide = false;
        if (size == Size::kLong || size == Size::kWide) wide = true;
        if (wide)
          PutString(out, conversion, va_arg(args, const WCHAR*));
        else
          PutString(out, conversion, va_arg(args, const char*));
        break;
      }
      case C('e'):
      case C('E'):
      case C('f'):
      case C('F'):
      case C('g'):
      case C('G'):
      case C('a'):
      case C('A'): {
        long double v = size == Size::kLongDouble ? va_arg(args, long double) : va_arg(args, double);
        PutFloat(out, conversion, char(conv), v, size == Size::kLongDouble);
        break;
      }
      default:  // %n and anything unknown
        result = STRSAFE_E_INVALID_PARAMETER;
        break;
    }
    if (result != S_OK) break;
  }
  dest[out.len] = 0;
  if (result != S_OK) return result;
  return out.cut ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

}  // namespace

HRESULT StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc) {
  return Copy(pszDest, cchDest, pszSrc, size_t(STRSAFE_MAX_CCH));
}
HRESULT StringCchCopyA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc) {
  return Copy(pszDest, cchDest, pszSrc, size_t(STRSAFE_MAX_CCH));
}
HRESULT StringCchCopyNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToCopy) {
  return Copy(pszDest, cchDest, pszSrc, cchToCopy);
}
HRESULT StringCchCopyNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToCopy) {
  return Copy(pszDest, cchDest, pszSrc, cchToCopy);
}
HRESULT StringCchCatW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc) {
  return Cat(pszDest, cchDest, pszSrc, size_t(STRSAFE_MAX_CCH));
}
HRESULT StringCchCatA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc) {
  return Cat(pszDest, cchDest, pszSrc, size_t(STRSAFE_MAX_CCH));
}
HRESULT StringCchCatNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToAppend) {
  return Cat(pszDest, cchDest, pszSrc, cchToAppend);
}
HRESULT StringCchCatNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToAppend) {
  return Cat(pszDest, cchDest, pszSrc, cchToAppend);
}
HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t* pcchLength) { return LengthOf(psz, cchMax, pcchLength); }
HRESULT StringCchLengthA(LPCSTR psz, size_t cchMax, size_t* pcchLength) { return LengthOf(psz, cchMax, pcchLength); }

HRESULT StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list argList) {
  va_list args;
  va_copy(args, argList);
  HRESULT hr = Format(pszDest, cchDest, pszFormat, args);
  va_end(args);
  return hr;
}

HRESULT StringCchVPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, va_list argList) {
  va_list args;
  va_copy(args, argList);
  HRESULT hr = Format(pszDest, cchDest, pszFormat, args);
  va_end(args);
  return hr;
}

HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  HRESULT hr = Format(pszDest, cchDest, pszFormat, args);
  va_end(args);
  return hr;
}

HRESULT StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  HRESULT hr = Format(pszDest, cchDest, pszFormat, args);
  va_end(args);
  return hr;
}
