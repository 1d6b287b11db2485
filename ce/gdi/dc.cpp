// Device contexts: creation and deletion, drawing state, clipping and capabilities.
#include <type_traits>
#include <utility>

#include "ce/device.h"
#include "ce/gdi/internal.h"
#include "ce/gdi/surface.h"
#include "ce/kernel.h"

using namespace ce::gdi;

HDC CreateCompatibleDC(HDC) {
  DC* dc = NewDC();
  if (!dc) return nullptr;
  dc->bitmap = StockBitmap();
  dc->target = dc->bitmap->surface;
  return static_cast<HDC>(dc->handle);
}

HDC ce::gdi::CreateSurfaceDC(uint16_t* pixels, int width, int height, int strideBytes) {
  if (!pixels || width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      strideBytes < 2 * width) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  DC* dc = NewDC();
  if (!dc) return nullptr;
  dc->memoryDC = false;
  dc->target.top = reinterpret_cast<uint8_t*>(pixels);
  dc->target.step = strideBytes;
  dc->target.width = width;
  dc->target.height = height;
  return static_cast<HDC>(dc->handle);
}

BOOL DeleteDC(HDC hdc) {
  DC* dc = LookupDC(hdc);
  if (!dc) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  RemoveObject(dc);
  if (dc->bitmap && !dc->bitmap->stock) dc->bitmap->selectedInto = nullptr;
  if (dc->bitmap) --dc->bitmap->selections;
  --dc->pen->selections;
  --dc->brush->selections;
  --dc->font->selections;
  delete dc;
  return TRUE;
}
// ---- Context state ---------------------------------------------------------------------------

namespace {

// One member of a context's drawing state: Set stores a value and returns the one it replaced,
// Get reads it; both return `invalid` for a handle that is not a context.
template <typename T>
T SetState(HDC hdc, T DC::*member, std::type_identity_t<T> value, std::type_identity_t<T> invalid) {
  DC* dc = LookupDC(hdc);
  if (!dc) return invalid;
  return std::exchange(dc->*member, value);
}

template <typename T>
T GetState(HDC hdc, T DC::*member, std::type_identity_t<T> invalid) {
  const DC* dc = LookupDC(hdc);
  return dc ? dc->*member : invalid;
}

// Narrows `r` to its overlap with `with` (may leave it empty, right < left).
void Intersect(RECT& r, const RECT& with) {
  if (with.left > r.left) r.left = with.left;
  if (with.top > r.top) r.top = with.top;
  if (with.right < r.right) r.right = with.right;
  if (with.bottom < r.bottom) r.bottom = with.bottom;
}

}  // namespace

COLORREF SetTextColor(HDC hdc, COLORREF color) { return SetState(hdc, &DC::textColor, color & 0xFFFFFF, CLR_INVALID); }
COLORREF GetTextColor(HDC hdc) { return GetState(hdc, &DC::textColor, CLR_INVALID); }
COLORREF SetBkColor(HDC hdc, COLORREF color) { return SetState(hdc, &DC::bkColor, color & 0xFFFFFF, CLR_INVALID); }
COLORREF GetBkColor(HDC hdc) { return GetState(hdc, &DC::bkColor, CLR_INVALID); }

int SetBkMode(HDC hdc, int mode) {
  DC* dc = LookupDC(hdc);
  if (!dc || (mode != OPAQUE && mode != TRANSPARENT)) {
    Fail(dc ? kErrorInvalidParameter : kErrorInvalidHandle);
    return 0;
  }
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

int GetBkMode(HDC hdc) { return GetState(hdc, &DC::bkMode, 0); }

UINT SetTextAlign(HDC hdc, UINT align) {
  return SetState(hdc, &DC::textAlign, align & (TA_UPDATECP | TA_CENTER | TA_BASELINE), GDI_ERROR);
}
UINT GetTextAlign(HDC hdc) { return GetState(hdc, &DC::textAlign, GDI_ERROR); }

int SetPolyFillMode(HDC hdc, int mode) {
  DC* dc = LookupDC(hdc);
  if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
  int old = dc->polyFillMode;
  dc->polyFillMode = mode;
  return old;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
  DC* dc = LookupDC(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->position;
  dc->position = {ClampCoord(x), ClampCoord(y)};
  return TRUE;
}

// ---- Clipping --------------------------------------------------------------------------------

RECT ce::gdi::ClipBounds(const DC* dc) {
  RECT r{0, 0, dc->target.width, dc->target.height};
  if (dc->hasClip) Intersect(r, dc->clip);
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  DC* dc = LookupDC(hdc);
  if (!dc) return ERROR;
  RECT r{ClampCoord(left), ClampCoord(top), ClampCoord(right), ClampCoord(bottom)};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  if (dc->hasClip) Intersect(r, dc->clip);
  dc->clip = r;
  dc->hasClip = true;
  RECT b = ClipBounds(dc);
  return (b.right > b.left && b.bottom > b.top) ? SIMPLEREGION : NULLREGION;
}

int SelectClipRgn(HDC hdc, HRGN region) {
  DC* dc = LookupDC(hdc);
  if (!dc) return ERROR;
  if (region) {
    NotImplemented("clip regions (SelectClipRgn with a region)");
    return ERROR;
  }
  dc->hasClip = false;
  return SIMPLEREGION;
}

int GetClipBox(HDC hdc, LPRECT rect) {
  DC* dc = LookupDC(hdc);
  if (!dc || !rect) return ERROR;
  *rect = ClipBounds(dc);
  return (rect->right > rect->left && rect->bottom > rect->top) ? SIMPLEREGION : NULLREGION;
}

// ---- Capabilities ----------------------------------------------------------------------------

int GetDeviceCaps(HDC hdc, int index) {
  if (!LookupDC(hdc)) {
    Fail(kErrorInvalidHandle);
    return 0;
  }
  switch (index) {
    case DRIVERVERSION:
      return 0x400;
    case TECHNOLOGY:
      return DT_RASDISPLAY;
    case HORZRES:
      return ce::Device().screenWidth;
    case VERTRES:
      return ce::Device().screenHeight;
    case HORZSIZE:
      return ce::Device().screenWidth * 254 / 960;
    case VERTSIZE:
      return ce::Device().screenHeight * 254 / 960;
    case BITSPIXEL:
      return 16;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    case RASTERCAPS:
      return RC_BITBLT | RC_DI_BITMAP | RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    default:
      return 0;
  }
}

bool ce::gdi::GetDCPixels(HDC hdc, const uint16_t** topRow, int* width, int* height, int* strideBytes) {
  const DC* dc = LookupDC(hdc);
  return dc && dc->target.Describe(topRow, width, height, strideBytes);
}
