// Pens and brushes.
#include <new>

#include "ce/gdi/internal.h"
#include "ce/kernel.h"

using namespace ce::gdi;

// ---- Pens and brushes ------------------------------------------------------------------------

namespace {

template <typename T>
T* Register(T* object) {
  if (!object) {
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  if (!AddObject(object)) {
    delete object;
    return nullptr;
  }
  return object;
}

}  // namespace

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style != PS_SOLID && style != PS_NULL) {
    if (style != PS_DASH && style != PS_DOT) {
      Fail(kErrorInvalidParameter);
      return nullptr;
    }
    NotImplemented("dashed and dotted pens (drawn solid)");
  }
  Pen* pen = new (std::nothrow) Pen;
  if (pen) {
    pen->kind = Kind::Pen;
    pen->style = static_cast<UINT>(style);
    pen->width = width < 0 ? 0 : (width > 1000 ? 1000 : width);
    pen->color = color & 0xFFFFFF;
    pen->pixel = ToPixel(color);
  }
  pen = Register(pen);
  return pen ? static_cast<HPEN>(pen->handle) : nullptr;
}

HPEN CreatePenIndirect(const LOGPEN* lp) {
  if (!lp) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  return CreatePen(static_cast<int>(lp->lopnStyle), lp->lopnWidth.x, lp->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  Brush* brush = new (std::nothrow) Brush;
  if (brush) {
    brush->kind = Kind::Brush;
    brush->color = color & 0xFFFFFF;
    brush->pixel = ToPixel(color);
  }
  brush = Register(brush);
  return brush ? static_cast<HBRUSH>(brush->handle) : nullptr;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  if (lb->lbStyle == BS_NULL) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  if (lb->lbStyle != BS_SOLID) {
    NotImplemented("hatched and pattern brushes");
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  return CreateSolidBrush(lb->lbColor);
}
