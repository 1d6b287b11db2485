// Block copies between 16-bit surfaces: BitBlt, StretchBlt (nearest neighbour) and the
// transparent stretched copy. Destination pixels are clipped to the destination's clip box and
// source pixels to the source bitmap; a destination pixel without a source pixel stays as it is.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ce/gdi/internal.h"

namespace ce::gdi {
namespace {

enum class Op { Copy, NotCopy, And, Or, Xor };

bool SourceOp(DWORD rop, Op* op) {
  switch (rop) {
    case SRCCOPY:
      *op = Op::Copy;
      return true;
    case NOTSRCCOPY:
      *op = Op::NotCopy;
      return true;
    case SRCAND:
      *op = Op::And;
      return true;
    case SRCPAINT:
      *op = Op::Or;
      return true;
    case SRCINVERT:
      *op = Op::Xor;
      return true;
    default:
      return false;
  }
}

bool PatternOnly(DWORD rop) {
  return rop == PATCOPY || rop == PATINVERT || rop == DSTINVERT || rop == BLACKNESS || rop == WHITENESS;
}

inline uint16_t Apply(Op op, uint16_t d, uint16_t s) {
  switch (op) {
    case Op::Copy:
      return s;
    case Op::NotCopy:
      return static_cast<uint16_t>(~s);
    case Op::And:
      return d & s;
    case Op::Or:
      return d | s;
    default:
      return d ^ s;
  }
}

// Source positions of destination columns (or rows) [first, end) of a span of `dn` pixels that
// shows `sn` source pixels starting at `s0`: pixel i takes source pixel floor((i + 1/2) * sn / dn),
// counted from the far end when mirrored.
struct Map {
  int fixed[1024];
  int* at = fixed;
  bool Build(long long first, long long end, long long dn, long long s0, long long sn, bool mirror) {
    size_t n = static_cast<size_t>(end - first);
    if (n > 1024) {
      at = static_cast<int*>(std::malloc(n * sizeof(int)));
      if (!at) {
        at = fixed;
        Fail(kErrorNotEnoughMemory);
        return false;
      }
    }
    for (long long i = first; i < end; ++i) {
      long long j = ((2 * i + 1) * sn) / (2 * dn);
      if (mirror) j = sn - 1 - j;
      long long v = s0 + j;
      at[i - first] = v < -1 ? -1 : (v > kCoordLimit ? kCoordLimit : static_cast<int>(v));
    }
    return true;
  }
  ~Map() {
    if (at != fixed) std::free(at);
  }
};

// A span given by its start and a size that may be negative, turned to run forwards.
void MakePositive(long long& start, long long& size) {
  if (size < 0) {
    start += size;
    size = -size;
  }
}

// Copies the source rectangle (sx, sy, sw, sh) onto the destination rectangle (dx, dy, dw, dh);
// negative sizes mirror. With `keyed`, source pixels equal to `key` are left out.
bool StretchCopy(const Surface& dst, const RECT& clip, long long dx, long long dy, long long dw, long long dh,
                 const Surface& src, long long sx, long long sy, long long sw, long long sh, Op op, bool keyed,
                 uint16_t key) {
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return true;
  bool mirrorX = (dw < 0) != (sw < 0), mirrorY = (dh < 0) != (sh < 0);
  MakePositive(dx, dw);
  MakePositive(dy, dh);
  MakePositive(sx, sw);
  MakePositive(sy, sh);
  long long i0 = std::max<long long>(0, clip.left - dx), i1 = std::min<long long>(dw, clip.right - dx);
  long long j0 = std::max<long long>(0, clip.top - dy), j1 = std::min<long long>(dh, clip.bottom - dy);
  if (i0 >= i1 || j0 >= j1) return true;

  bool sameScale = dw == sw && dh == sh && !mirrorX && !mirrorY;
  if (sameScale && !keyed) {
    // Plain copy: clip the source too, then whole rows at a time (memmove: the rectangles may
    // overlap when both sides are the same surface).
    i0 = std::max(i0, -sx);
    i1 = std::min<long long>(i1, src.width - sx);
    j0 = std::max(j0, -sy);
    j1 = std::min<long long>(j1, src.height - sy);
    if (i0 >= i1 || j0 >= j1) return true;
    bool upward = src.top == dst.top && dy > sy;
    for (long long k = 0; k < j1 - j0; ++k) {
      long long j = upward ? j1 - 1 - k : j0 + k;
      uint16_t* d = dst.Row(static_cast<int>(dy + j)) + (dx + i0);
      const uint16_t* s = src.Row(static_cast<int>(sy + j)) + (sx + i0);
      size_t n = static_cast<size_t>(i1 - i0);
      if (op == Op::Copy) {
        std::memmove(d, s, n * 2);
      } else {
        for (size_t x = 0; x < n; ++x) d[x] = Apply(op, d[x], s[x]);
      }
    }
    return true;
  }

  Map cols;
  if (!cols.Build(i0, i1, dw, sx, sw, mirrorX)) return false;
  for (long long j = j0; j < j1; ++j) {
    long long r = ((2 * j + 1) * sh) / (2 * dh);
    long long srcY = sy + (mirrorY ? sh - 1 - r : r);
    if (srcY < 0 || srcY >= src.height) continue;
    const uint16_t* s = src.Row(static_cast<int>(srcY));
    uint16_t* d = dst.Row(static_cast<int>(dy + j));
    for (long long i = i0; i < i1; ++i) {
      int srcX = cols.at[i - i0];
      if (srcX < 0 || srcX >= src.width) continue;
      uint16_t p = s[srcX];
      if (keyed && p == key) continue;
      uint16_t& out = d[dx + i];
      out = Apply(op, out, p);
    }
  }
  return true;
}

}  // namespace
}  // namespace ce::gdi

using namespace ce::gdi;

BOOL StretchBlt(HDC hdest, int x, int y, int width, int height, HDC hsrc, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
  DC* dest = LookupDC(hdest);
  if (!dest) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  if (PatternOnly(rop)) return PatBlt(hdest, x, y, width, height, rop);
  Op op;
  if (!SourceOp(rop, &op)) {
    NotImplemented("raster operation");
    Fail(kErrorInvalidParameter);
    return FALSE;
  }
  DC* src = LookupDC(hsrc);
  if (!src) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  return StretchCopy(dest->target, ClipBounds(dest), ClampCoord(x), ClampCoord(y), ClampCoord(width),
                     ClampCoord(height), src->target, ClampCoord(srcX), ClampCoord(srcY), ClampCoord(srcWidth),
                     ClampCoord(srcHeight), op, false, 0)
             ? TRUE
             : FALSE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  // A negative size copies nothing (it would mirror in a stretched copy).
  if (width < 0 || height < 0) {
    if (!LookupDC(dest)) {
      Fail(kErrorInvalidHandle);
      return FALSE;
    }
    return TRUE;
  }
  return StretchBlt(dest, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL TransparentImage(HDC hdest, LONG x, LONG y, LONG width, LONG height, HANDLE hsrc, LONG srcX, LONG srcY,
                      LONG srcWidth, LONG srcHeight, COLORREF transparent) {
  DC* dest = LookupDC(hdest);
  const Surface* source = nullptr;
  Object* object = LookupObject(hsrc);
  if (object && object->kind == Kind::DC) source = &static_cast<DC*>(object)->target;
  if (object && object->kind == Kind::Bitmap) source = &static_cast<Bitmap*>(object)->surface;
  if (!dest || !source) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) {
    Fail(kErrorInvalidParameter);
    return FALSE;
  }
  return StretchCopy(dest->target, ClipBounds(dest), ClampCoord(x), ClampCoord(y), ClampCoord(width),
                     ClampCoord(height), *source, ClampCoord(srcX), ClampCoord(srcY), ClampCoord(srcWidth),
                     ClampCoord(srcHeight), Op::Copy, true, ToPixel(transparent))
             ? TRUE
             : FALSE;
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent) {
  return TransparentImage(dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, transparent);
}
