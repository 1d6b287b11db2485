// Shapes and lines on 16-bit surfaces. Every filled figure is a list of horizontal spans, one
// per row, computed only for the rows inside the clip rectangle: huge or far-away figures cost
// nothing more than small ones, and no pixel outside the bitmap is ever touched.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ce/gdi/internal.h"

namespace ce::gdi {

// ---- 565 primitives --------------------------------------------------------------------------

void FillSpan(const Surface& s, int y, int x0, int x1, uint16_t pixel) {
  uint16_t* row = s.Row(y);
  std::fill(row + x0, row + x1, pixel);
}

void FillRectClipped(const Surface& s, const RECT& clip, RECT r, uint16_t pixel) {
  r.left = std::max(r.left, clip.left);
  r.top = std::max(r.top, clip.top);
  r.right = std::min(r.right, clip.right);
  r.bottom = std::min(r.bottom, clip.bottom);
  if (r.left >= r.right) return;
  for (int y = r.top; y < r.bottom; ++y) FillSpan(s, y, r.left, r.right, pixel);
}

void PutPixelClipped(const Surface& s, const RECT& clip, int x, int y, uint16_t pixel) {
  if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) s.Row(y)[x] = pixel;
}

namespace {

// ---- Figures as spans ------------------------------------------------------------------------

// A rounded rectangle of w x h pixels whose corners are quarters of an ew x eh ellipse.
// A rectangle has no corner ellipse; an ellipse is all corners.
struct RoundShape {
  long long w, h, ew, eh;

  // Left inset of row k of an ew x eh ellipse: the pixels whose centres lie inside it.
  long long Inset(long long k) const {
    double cy = static_cast<double>(eh) / 2.0;
    double dy = (static_cast<double>(k) + 0.5 - cy) / cy;
    double t = 1.0 - dy * dy;
    double half = static_cast<double>(ew) / 2.0;
    double hw = half * std::sqrt(t > 0 ? t : 0);
    long long inset = static_cast<long long>(std::ceil(half - hw - 0.5 - 1e-9));
    long long most = (ew - 1) / 2;  // every row keeps at least its middle pixel(s)
    return std::clamp(inset, 0LL, most);
  }

  // Row j's pixels [*left, *right] relative to the figure; false outside the figure.
  bool Span(long long j, long long* left, long long* right) const {
    if (j < 0 || j >= h) return false;
    long long inset = 0;
    if (ew > 1 && eh > 1) {
      long long half = eh / 2;
      if (j < half)
        inset = Inset(j);
      else if (j >= h - half)
        inset = Inset(eh - (h - j));
    }
    *left = inset;
    *right = w - 1 - inset;
    return true;
  }
};

// Draws a figure at (x0, y0): the outline of `penWidth` pixels in `penPixel` (none when
// penWidth is 0), the inside in `brushPixel` (none when fill is false). A pixel belongs to the
// outline when a neighbour within penWidth steps (diamond distance) lies outside the figure.
void DrawFigure(const Surface& s, const RECT& clip, long long x0, long long y0, const RoundShape& shape, int penWidth,
                uint16_t penPixel, bool fill, uint16_t brushPixel) {
  long long firstRow = std::max<long long>(0, clip.top - y0);
  long long endRow = std::min<long long>(shape.h, clip.bottom - y0);
  for (long long j = firstRow; j < endRow; ++j) {
    long long left, right;
    if (!shape.Span(j, &left, &right)) continue;
    long long innerLeft = left, innerRight = right;
    if (penWidth > 0) {
      for (int d = -penWidth; d <= penWidth; ++d) {
        long long l, r;
        int reach = penWidth - std::abs(d);
        if (!shape.Span(j + d, &l, &r)) {
          innerLeft = 1;
          innerRight = 0;
          break;
        }
        innerLeft = std::max(innerLeft, l + reach);
        innerRight = std::min(innerRight, r - reach);
      }
    }
    int y = static_cast<int>(y0 + j);
    auto paint = [&](long long a, long long b, uint16_t pixel) {  // relative [a, b]
      long long xa = std::max<long long>(x0 + a, clip.left);
      long long xb = std::min<long long>(x0 + b + 1, clip.right);
      if (xa < xb) FillSpan(s, y, static_cast<int>(xa), static_cast<int>(xb), pixel);
    };
    if (penWidth > 0 && innerLeft > innerRight) {
      paint(left, right, penPixel);
      continue;
    }
    if (penWidth > 0) {
      paint(left, innerLeft - 1, penPixel);
      paint(innerRight + 1, right, penPixel);
    }
    if (fill) paint(innerLeft, innerRight, brushPixel);
  }
}

bool PenDraws(const Pen* pen) { return pen->style != PS_NULL; }
int PenWidth(const Pen* pen) { return pen->width < 1 ? 1 : pen->width; }

// Rectangle, RoundRect and Ellipse share the Windows geometry: the box is normalised, its
// right and bottom edges excluded, and without a pen it is one pixel smaller each way.
BOOL DrawBoxFigure(HDC hdc, int left, int top, int right, int bottom, long long ew, long long eh, bool ellipse) {
  DC* dc = LookupDC(hdc);
  if (!dc) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  long long l = ClampCoord(left), t = ClampCoord(top), r = ClampCoord(right), b = ClampCoord(bottom);
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  bool pen = PenDraws(dc->pen);
  bool fill = dc->brush->style != BS_NULL;
  if (!pen) {
    --r;
    --b;
  }
  if (r <= l || b <= t || (!pen && !fill)) return TRUE;
  RoundShape shape{r - l, b - t, 0, 0};
  if (ellipse) {
    shape.ew = shape.w;
    shape.eh = shape.h;
  } else {
    shape.ew = std::min(std::llabs(ew), shape.w);
    shape.eh = std::min(std::llabs(eh), shape.h);
  }
  DrawFigure(dc->target, ClipBounds(dc), l, t, shape, pen ? PenWidth(dc->pen) : 0, dc->pen->pixel, fill,
             dc->brush->pixel);
  return TRUE;
}

// ---- Lines -----------------------------------------------------------------------------------

// Offsets of a round pen tip of the given width: one span per row, centred on the point.
void StampTip(const Surface& s, const RECT& clip, int x, int y, int width, uint16_t pixel) {
  if (width <= 1) {
    PutPixelClipped(s, clip, x, y, pixel);
    return;
  }
  RoundShape tip{width, width, width, width};
  long long x0 = x - width / 2, y0 = y - width / 2;
  DrawFigure(s, clip, x0, y0, tip, 0, 0, true, pixel);
}

// The pixels of the line from (x0, y0) towards (x1, y1), end point excluded: along the major
// axis one pixel per step, the minor coordinate rounded half up. Only the steps whose pixel can
// touch the clip rectangle are visited.
void DrawLine(const Surface& s, const RECT& clip, long long x0, long long y0, long long x1, long long y1, int width,
              uint16_t pixel) {
  long long dx = x1 - x0, dy = y1 - y0;
  long long adx = std::llabs(dx), ady = std::llabs(dy);
  long long steps = std::max(adx, ady);
  if (steps == 0) return;
  bool xMajor = adx >= ady;
  long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
  long long smaj = (xMajor ? dx : dy) < 0 ? -1 : 1;
  long long smin = (xMajor ? dy : dx) < 0 ? -1 : 1;
  long long amaj = steps, amin = xMajor ? ady : adx;
  auto minorAt = [&](long long i) { return minor0 + smin * ((2 * i * amin + amaj) / (2 * amaj)); };
  long long pad = width / 2 + 1;
  long long majLo = (xMajor ? clip.left : clip.top) - pad, majHi = (xMajor ? clip.right : clip.bottom) + pad;
  long long minLo = (xMajor ? clip.top : clip.left) - pad, minHi = (xMajor ? clip.bottom : clip.right) + pad;
  // Steps whose major coordinate is near the clip.
  long long iLo, iHi;  // inclusive
  if (smaj > 0) {
    iLo = majLo - major0;
    iHi = majHi - major0;
  } else {
    iLo = major0 - majHi;
    iHi = major0 - majLo;
  }
  iLo = std::max(iLo, 0LL);
  iHi = std::min(iHi, steps - 1);
  if (iLo > iHi) return;
  // The minor coordinate is monotonic in i: narrow the range to where it is near the clip too.
  auto inMinor = [&](long long i, bool low) {
    long long m = minorAt(i);
    return low ? (smin > 0 ? m >= minLo : m < minHi) : (smin > 0 ? m < minHi : m >= minLo);
  };
  if (!inMinor(iLo, true)) {  // first i with the minor coordinate past the low side
    long long a = iLo, b = iHi + 1;
    while (a < b) {
      long long m = a + (b - a) / 2;
      if (inMinor(m, true))
        b = m;
      else
        a = m + 1;
    }
    iLo = a;
  }
  if (iLo > iHi) return;
  if (!inMinor(iHi, false)) {  // last i still before the high side
    long long a = iLo - 1, b = iHi;
    while (a < b) {
      long long m = a + (b - a + 1) / 2;
      if (inMinor(m, false))
        a = m;
      else
        b = m - 1;
    }
    iHi = a;
  }
  for (long long i = iLo; i <= iHi; ++i) {
    long long major = major0 + smaj * i, minor = minorAt(i);
    long long x = xMajor ? major : minor, y = xMajor ? minor : major;
    StampTip(s, clip, static_cast<int>(x), static_cast<int>(y), width, pixel);
  }
}

}  // namespace
}  // namespace ce::gdi

using namespace ce::gdi;

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return DrawBoxFigure(dc, left, top, right, bottom, 0, 0, false);
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  return DrawBoxFigure(dc, left, top, right, bottom, ellipseWidth, ellipseHeight, false);
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return DrawBoxFigure(dc, left, top, right, bottom, 0, 0, true);
}

BOOL LineTo(HDC hdc, int x, int y) {
  DC* dc = LookupDC(hdc);
  if (!dc) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  POINT to{ClampCoord(x), ClampCoord(y)};
  if (PenDraws(dc->pen))
    DrawLine(dc->target, ClipBounds(dc), dc->position.x, dc->position.y, to.x, to.y, PenWidth(dc->pen), dc->pen->pixel);
  dc->position = to;
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  DC* dc = LookupDC(hdc);
  if (!dc || !points || count < 2) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return FALSE;
  }
  if (!PenDraws(dc->pen)) return TRUE;
  RECT clip = ClipBounds(dc);
  for (int i = 1; i < count; ++i)
    DrawLine(dc->target, clip, ClampCoord(points[i - 1].x), ClampCoord(points[i - 1].y), ClampCoord(points[i].x),
             ClampCoord(points[i].y), PenWidth(dc->pen), dc->pen->pixel);
  return TRUE;
}

namespace {

struct Crossing {
  double x;
  int direction;  // +1 edge going down, -1 going up (for the winding rule)
};

// Fills the polygon with the pixels whose centres it covers (ALTERNATE: odd crossings,
// WINDING: non-zero winding), row by row inside the clip.
void FillPolygon(const Surface& s, const RECT& clip, const POINT* p, int count, int mode, uint16_t pixel) {
  long long minY = ClampCoord(p[0].y), maxY = minY;
  for (int i = 1; i < count; ++i) {
    minY = std::min<long long>(minY, ClampCoord(p[i].y));
    maxY = std::max<long long>(maxY, ClampCoord(p[i].y));
  }
  long long y0 = std::max<long long>(minY, clip.top), y1 = std::min<long long>(maxY, clip.bottom);
  if (y0 >= y1) return;
  // A row crosses each edge at most once: a small fixed buffer serves the common case.
  Crossing fixed[64];
  Crossing* crossings = fixed;
  if (count > 64) {
    crossings = static_cast<Crossing*>(std::malloc(sizeof(Crossing) * static_cast<size_t>(count)));
    if (!crossings) {
      Fail(kErrorNotEnoughMemory);
      return;
    }
  }
  for (long long y = y0; y < y1; ++y) {
    double yc = static_cast<double>(y) + 0.5;
    int n = 0;
    for (int i = 0; i < count; ++i) {
      const POINT& a = p[i];
      const POINT& b = p[(i + 1) % count];
      double ay = ClampCoord(a.y), by = ClampCoord(b.y);
      if (ay == by) continue;
      bool down = ay < by;
      double top = down ? ay : by, bottom = down ? by : ay;
      if (yc < top || yc >= bottom) continue;
      double ax = ClampCoord(a.x), bx = ClampCoord(b.x);
      crossings[n++] = {ax + (yc - ay) * (bx - ax) / (by - ay), down ? 1 : -1};
    }
    std::sort(crossings, crossings + n, [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
    int winding = 0;
    for (int k = 0; k + 1 < n; ++k) {
      winding += crossings[k].direction;
      bool inside = mode == WINDING ? winding != 0 : (k % 2) == 0;
      if (!inside) continue;
      // Pixels whose centre x + 0.5 lies in [xa, xb).
      double xa = std::ceil(crossings[k].x - 0.5), xb = std::ceil(crossings[k + 1].x - 0.5);
      double l = std::max<double>(xa, clip.left), r = std::min<double>(xb, clip.right);
      if (l < r) FillSpan(s, static_cast<int>(y), static_cast<int>(l), static_cast<int>(r), pixel);
    }
  }
  if (crossings != fixed) std::free(crossings);
}

}  // namespace

BOOL Polygon(HDC hdc, const POINT* points, int count) {
  DC* dc = LookupDC(hdc);
  if (!dc || !points || count < 2) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return FALSE;
  }
  RECT clip = ClipBounds(dc);
  if (dc->brush->style != BS_NULL) FillPolygon(dc->target, clip, points, count, dc->polyFillMode, dc->brush->pixel);
  if (PenDraws(dc->pen)) {
    for (int i = 0; i < count; ++i) {
      const POINT& a = points[i];
      const POINT& b = points[(i + 1) % count];
      DrawLine(dc->target, clip, ClampCoord(a.x), ClampCoord(a.y), ClampCoord(b.x), ClampCoord(b.y), PenWidth(dc->pen),
               dc->pen->pixel);
    }
  }
  return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH handle) {
  DC* dc = LookupDC(hdc);
  Brush* brush = Lookup<Brush>(handle, Kind::Brush);
  if (!dc || !rect || !brush) {
    if (dc && rect && reinterpret_cast<uintptr_t>(handle) <= 64) NotImplemented("FillRect with a system colour index");
    Fail(kErrorInvalidHandle);
    return 0;
  }
  if (brush->style == BS_NULL) return 1;
  RECT r{ClampCoord(rect->left), ClampCoord(rect->top), ClampCoord(rect->right), ClampCoord(rect->bottom)};
  FillRectClipped(dc->target, ClipBounds(dc), r, brush->pixel);
  return 1;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
  DC* dc = LookupDC(hdc);
  if (!dc) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  long long l = ClampCoord(x), t = ClampCoord(y), r = l + ClampCoord(width), b = t + ClampCoord(height);
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  RECT clip = ClipBounds(dc);
  RECT area{static_cast<LONG>(std::max<long long>(l, clip.left)), static_cast<LONG>(std::max<long long>(t, clip.top)),
            static_cast<LONG>(std::min<long long>(r, clip.right)),
            static_cast<LONG>(std::min<long long>(b, clip.bottom))};
  if (area.left >= area.right || area.top >= area.bottom) return TRUE;
  bool brushNull = dc->brush->style == BS_NULL;
  switch (rop) {
    case PATCOPY:
      if (!brushNull) FillRectClipped(dc->target, clip, area, dc->brush->pixel);
      return TRUE;
    case BLACKNESS:
      FillRectClipped(dc->target, clip, area, 0);
      return TRUE;
    case WHITENESS:
      FillRectClipped(dc->target, clip, area, 0xFFFF);
      return TRUE;
    case DSTINVERT:
    case PATINVERT: {
      uint16_t mask = rop == DSTINVERT ? 0xFFFF : (brushNull ? 0 : dc->brush->pixel);
      for (int yy = area.top; yy < area.bottom; ++yy) {
        uint16_t* row = dc->target.Row(yy);
        for (int xx = area.left; xx < area.right; ++xx) row[xx] ^= mask;
      }
      return TRUE;
    }
    default:
      NotImplemented("PatBlt raster operation");
      Fail(kErrorInvalidParameter);
      return FALSE;
  }
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DC* dc = LookupDC(hdc);
  if (!dc) return CLR_INVALID;
  RECT clip = ClipBounds(dc);
  if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return CLR_INVALID;
  uint16_t pixel = ToPixel(color);
  dc->target.Row(y)[x] = pixel;
  return ToColor(pixel);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DC* dc = LookupDC(hdc);
  if (!dc) return CLR_INVALID;
  RECT clip = ClipBounds(dc);
  if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return CLR_INVALID;
  return ToColor(dc->target.Row(y)[x]);
}
