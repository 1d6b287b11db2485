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

// A new pen or brush of `color`, completed by `fill`, and registered; null (with the last error
// set) when memory or handles run out.
template <typename T, typename Fill>
T* MakeColoured(Kind kind, COLORREF color, Fill&& fill) {
  T* object = new (std::nothrow) T;
  if (object) {
    object->kind = kind;
    object->color = color & 0xFFFFFF;
    object->pixel = ToPixel(color);
    fill(*object);
  }
  return Register(object);
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
  Pen* pen = MakeColoured<Pen>(Kind::Pen, color, [&](Pen& p) {
    p.style = static_cast<UINT>(style);
    p.width = width < 0 ? 0 : (width > 1000 ? 1000 : width);
  });
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
  Brush* brush = MakeColoured<Brush>(Kind::Brush, color, [](Brush&) {});
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
