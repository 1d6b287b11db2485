// Text: logical fonts, metrics, ExtTextOutW and DrawTextW (lines, centring, word breaks).
#include <algorithm>
#include <cstdlib>
#include <new>

#include "ce/gdi/internal.h"
#include "ce/kernel/utf.h"

namespace ce::gdi {
namespace {

// Next code point of UTF-16 text; an unpaired surrogate reads as U+FFFD.
char32_t NextChar(const char16_t* text, size_t count, size_t* i) {
  return ce::detail::DecodeUtf16(text, count, *i, nullptr);
}

long long MeasureRun(FontInstance* fi, const char16_t* text, size_t count) {
  long long width = 0;
  for (size_t i = 0; i < count;) width += InstanceGlyph(fi, NextChar(text, count, &i)).advance;
  return width;
}

void DrawGlyph(const Surface& s, const RECT& clip, long long x, long long y, const GlyphImage& g, uint16_t pixel) {
  if (!g.bits) return;
  long long x0 = x + g.left, y0 = y - g.top;
  long long r0 = std::max<long long>(0, clip.top - y0), r1 = std::min<long long>(g.rows, clip.bottom - y0);
  long long c0 = std::max<long long>(0, clip.left - x0), c1 = std::min<long long>(g.width, clip.right - x0);
  for (long long r = r0; r < r1; ++r) {
    const uint8_t* bits = g.bits + g.pitch * r;
    uint16_t* row = s.Row(static_cast<int>(y0 + r));
    for (long long c = c0; c < c1; ++c)
      if (bits[c >> 3] & (0x80 >> (c & 7))) row[x0 + c] = pixel;
  }
}

RECT Intersect(RECT a, const RECT& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  if (a.right < a.left) a.right = a.left;
  if (a.bottom < a.top) a.bottom = a.top;
  return a;
}

RECT MakeRect(long long l, long long t, long long r, long long b) {
  return RECT{ClampCoord(l), ClampCoord(t), ClampCoord(r), ClampCoord(b)};
}

// One line of text with its cell's top-left at (x, top): background, glyphs, underlines.
// `underlined` (optional) marks characters to underline, as DrawTextW's prefix does.
void DrawLine(DC* dc, FontInstance* fi, const RECT& clip, long long x, long long top, const char16_t* text,
              size_t count, const INT* dx, const bool* underlined, bool opaque) {
  const FontMetrics& m = InstanceMetrics(fi);
  long long baseline = top + m.ascent;
  uint16_t ink = ToPixel(dc->textColor);
  long long width = 0;
  if (opaque) {
    if (dx) {
      for (size_t i = 0; i < count; ++i) width += dx[i];
    } else {
      width = MeasureRun(fi, text, count);
    }
    FillRectClipped(dc->target, clip, MakeRect(x, top, x + width, top + m.ascent + m.descent), ToPixel(dc->bkColor));
  }
  long long pen = x;
  for (size_t i = 0; i < count;) {
    size_t at = i;
    const GlyphImage& g = InstanceGlyph(fi, NextChar(text, count, &i));
    DrawGlyph(dc->target, clip, pen, baseline, g, ink);
    long long advance = dx ? dx[at] + (i - at > 1 ? dx[at + 1] : 0) : g.advance;
    if (underlined && underlined[at])
      FillRectClipped(dc->target, clip,
                      MakeRect(pen, baseline + m.underlinePosition, pen + advance,
                               baseline + m.underlinePosition + m.lineThickness),
                      ink);
    pen += advance;
  }
  if (m.underline)
    FillRectClipped(dc->target, clip,
                    MakeRect(x, baseline + m.underlinePosition, pen, baseline + m.underlinePosition + m.lineThickness),
                    ink);
  if (m.strikeOut) {
    long long y = baseline - m.ascent / 3;
    FillRectClipped(dc->target, clip, MakeRect(x, y, pen, y + m.lineThickness), ink);
  }
}

int TextHeight(const FontMetrics& m) { return m.ascent + m.descent; }

}  // namespace
}  // namespace ce::gdi

using namespace ce::gdi;

// ---- Fonts -----------------------------------------------------------------------------------

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
  if (!lf) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  auto* font = new (std::nothrow) Font;
  if (!font) {
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  font->kind = Kind::Font;
  font->logfont = *lf;
  font->logfont.lfFaceName[LF_FACESIZE - 1] = 0;
  if (!AddObject(font)) {
    delete font;
    return nullptr;
  }
  return static_cast<HFONT>(font->handle);
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  for (int i = 0; faceName && faceName[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = faceName[i];
  return CreateFontIndirectW(&lf);
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm) {
  DC* dc = LookupDC(hdc);
  if (!dc || !tm) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return FALSE;
  }
  FontInstance* fi = ResolveFont(dc->font);
  FontLock lock;
  const FontMetrics& m = InstanceMetrics(fi);
  const LOGFONTW& lf = dc->font->logfont;
  *tm = TEXTMETRICW{};
  tm->tmHeight = TextHeight(m);
  tm->tmAscent = m.ascent;
  tm->tmDescent = m.descent;
  tm->tmInternalLeading = m.internalLeading;
  tm->tmExternalLeading = m.externalLeading;
  tm->tmAveCharWidth = m.aveCharWidth;
  tm->tmMaxCharWidth = m.maxCharWidth;
  tm->tmWeight = m.weight;
  tm->tmOverhang = m.overhang;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFFFC;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = lf.lfItalic ? 255 : 0;
  tm->tmUnderlined = lf.lfUnderline ? 255 : 0;
  tm->tmStruckOut = lf.lfStrikeOut ? 255 : 0;
  // The low bit set means variable pitch (the name says the opposite, as on Windows);
  // 2 and 4: a scalable TrueType font.
  tm->tmPitchAndFamily = static_cast<BYTE>((m.fixedPitch ? 0 : 1) | 2 | 4 | (lf.lfPitchAndFamily & 0xF0));
  tm->tmCharSet = lf.lfCharSet;
  return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR faceName) {
  DC* dc = LookupDC(hdc);
  if (!dc || count < 0) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return 0;
  }
  FontInstance* fi = ResolveFont(dc->font);
  FontLock lock;
  const char16_t* name = dc->font->logfont.lfFaceName[0] ? dc->font->logfont.lfFaceName : InstanceMetrics(fi).family;
  int length = 0;
  while (length < LF_FACESIZE - 1 && name[length]) ++length;
  if (!faceName) return length + 1;
  if (count == 0) return 0;
  int n = std::min(length, count - 1);
  for (int i = 0; i < n; ++i) faceName[i] = name[i];
  faceName[n] = 0;
  return n + 1;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
  DC* dc = LookupDC(hdc);
  if (!dc || !size || count < 0 || (count > 0 && !text)) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return FALSE;
  }
  FontInstance* fi = ResolveFont(dc->font);
  FontLock lock;
  long long width = MeasureRun(fi, text, static_cast<size_t>(count));
  size->cx = ClampCoord(width);
  size->cy = TextHeight(InstanceMetrics(fi));
  return TRUE;
}

// ---- ExtTextOutW -----------------------------------------------------------------------------

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx) {
  DC* dc = LookupDC(hdc);
  if (!dc || (count > 0 && !text) || count > 0x7FFFFFFF) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return FALSE;
  }
  FontInstance* fi = ResolveFont(dc->font);
  FontLock lock;
  const FontMetrics& m = InstanceMetrics(fi);
  RECT clip = ClipBounds(dc);
  RECT box{};
  if (rect) box = MakeRect(rect->left, rect->top, rect->right, rect->bottom);
  if (rect && (options & ETO_OPAQUE)) FillRectClipped(dc->target, clip, box, ToPixel(dc->bkColor));
  if (rect && (options & ETO_CLIPPED)) clip = Intersect(clip, box);
  if (count == 0) return TRUE;

  long long width = 0;
  if (dx) {
    for (UINT i = 0; i < count; ++i) width += dx[i];
  } else {
    width = MeasureRun(fi, text, count);
  }
  long long left = ClampCoord(x), top = ClampCoord(y);
  if (dc->textAlign & TA_UPDATECP) {
    left = dc->position.x;
    top = dc->position.y;
  }
  UINT horizontal = dc->textAlign & TA_CENTER;
  if (horizontal == TA_CENTER)
    left -= width / 2;
  else if (horizontal == TA_RIGHT)
    left -= width;
  UINT vertical = dc->textAlign & TA_BASELINE;
  if (vertical == TA_BASELINE)
    top -= m.ascent;
  else if (vertical == TA_BOTTOM)
    top -= TextHeight(m);
  DrawLine(dc, fi, clip, left, top, text, count, dx, nullptr, dc->bkMode == OPAQUE);
  if (dc->textAlign & TA_UPDATECP) {
    // The current position moves along the text, from the side the alignment names.
    if (horizontal == TA_LEFT) dc->position.x = ClampCoord(dc->position.x + width);
    if (horizontal == TA_RIGHT) dc->position.x = ClampCoord(dc->position.x - width);
  }
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  if (count < 0) {
    Fail(kErrorInvalidParameter);
    return FALSE;
  }
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

// ---- DrawTextW -------------------------------------------------------------------------------

namespace {

// The characters DrawTextW shows: '&' prefixes removed ("&&" shows one '&'), each character a
// prefix marked in `underlined`. A fixed buffer serves ordinary captions.
struct Shown {
  char16_t fixedText[256];
  bool fixedMarks[256];
  char16_t* text = fixedText;
  bool* underlined = fixedMarks;
  size_t count = 0;
  bool Build(const char16_t* in, size_t n, bool prefixes) {
    if (n > 256) {
      text = static_cast<char16_t*>(std::malloc(n * sizeof(char16_t)));
      underlined = static_cast<bool*>(std::malloc(n * sizeof(bool)));
      if (!text || !underlined) return false;
    }
    bool marked = false;
    for (size_t i = 0; i < n; ++i) {
      if (prefixes && in[i] == u'&' && !marked) {
        if (i + 1 < n && in[i + 1] == u'&') {
          ++i;  // "&&" is a literal ampersand
        } else {
          marked = true;
          continue;
        }
      }
      text[count] = in[i];
      underlined[count] = marked;
      marked = false;
      ++count;
    }
    return true;
  }
  ~Shown() {
    if (text != fixedText) std::free(text);
    if (underlined != fixedMarks) std::free(underlined);
  }
};

bool IsBreak(char16_t c) { return c == u'\n' || c == u'\r'; }

// Where the line starting at `pos` ends when it may hold `limit` pixels: the last space run
// before the first character that overflows; a first word wider than the line stays whole.
// [pos, *visibleEnd) is shown and the next line starts at *next (spaces at the break skipped).
void BreakLine(FontInstance* fi, const char16_t* t, size_t pos, size_t end, long long limit, size_t* visibleEnd,
               size_t* next) {
  long long width = 0;
  size_t breakAt = pos;  // start of the latest run of spaces; pos: none yet
  for (size_t i = pos; i < end;) {
    size_t at = i;
    char32_t c = NextChar(t, end, &i);
    if (c == u' ' && at > pos && t[at - 1] != u' ') breakAt = at;
    width += InstanceGlyph(fi, c).advance;
    if (width > limit && c != u' ') {
      size_t stop = breakAt;
      if (breakAt == pos) {
        stop = i;
        while (stop < end && t[stop] != u' ') ++stop;
      }
      *visibleEnd = stop;
      while (stop < end && t[stop] == u' ') ++stop;
      *next = stop;
      return;
    }
  }
  *visibleEnd = end;
  *next = end;
}

}  // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  DC* dc = LookupDC(hdc);
  if (!dc || !rect || (!text && count != 0)) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return 0;
  }
  size_t length = 0;
  if (count < 0) {
    while (text[length]) ++length;
  } else {
    length = static_cast<size_t>(count);
  }
  if (format & DT_EXPANDTABS) NotImplemented("DrawTextW with DT_EXPANDTABS (tabs drawn as characters)");
  Shown shown;
  if (!shown.Build(text, length, !(format & DT_NOPREFIX))) {
    Fail(kErrorNotEnoughMemory);
    return 0;
  }
  FontInstance* fi = ResolveFont(dc->font);
  FontLock lock;
  const FontMetrics& m = InstanceMetrics(fi);
  const int lineHeight = TextHeight(m) + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
  const bool single = format & DT_SINGLELINE;
  const bool calc = format & DT_CALCRECT;
  const RECT r = MakeRect(rect->left, rect->top, rect->right, rect->bottom);
  const long long limit = static_cast<long long>(r.right) - r.left;
  RECT clip = ClipBounds(dc);
  if (!(format & DT_NOCLIP)) clip = Intersect(clip, r);

  // Measuring ignores vertical placement: the rectangle grows down from its top.
  const bool placed = single && (format & (DT_VCENTER | DT_BOTTOM)) && !calc;
  long long y = r.top;
  if (placed) {
    long long room = static_cast<long long>(r.bottom) - r.top - lineHeight;
    y += (format & DT_VCENTER) ? room / 2 : room;
  }
  const long long firstY = y;
  long long widest = 0;
  const char16_t* t = shown.text;
  size_t n = shown.count, pos = 0;
  while (pos < n) {
    size_t end = n;
    if (!single)
      for (end = pos; end < n && !IsBreak(t[end]);) ++end;
    size_t shownEnd = end, next = end;
    if ((format & DT_WORDBREAK) && !single) BreakLine(fi, t, pos, end, limit, &shownEnd, &next);
    long long width = MeasureRun(fi, t + pos, shownEnd - pos);
    widest = std::max(widest, width);
    if (!calc) {
      long long x = r.left;
      if (format & DT_CENTER)
        x += (limit - width) / 2;
      else if (format & DT_RIGHT)
        x += limit - width;
      DrawLine(dc, fi, clip, x, y, t + pos, shownEnd - pos, nullptr, shown.underlined + pos, dc->bkMode == OPAQUE);
    }
    y += lineHeight;
    pos = next;
    if (pos == end && end < n) {  // a hard break: "\r\n", "\n" or "\r"
      pos += (t[end] == u'\r' && end + 1 < n && t[end + 1] == u'\n') ? 2 : 1;
      if (pos == n) break;
    }
  }
  if (calc) {
    rect->right = ClampCoord(r.left + widest);
    rect->bottom = ClampCoord(y);
  }
  long long result = placed ? y - r.top : y - firstY;
  return static_cast<int>(std::clamp<long long>(result, 0, kCoordLimit));
}
