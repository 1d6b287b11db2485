// Handle table, stock objects, selection, deletion and object queries.
#include <cstdio>
#include <mutex>
#include <new>
#include <utility>

#include "ce/device.h"
#include "ce/gdi/internal.h"
#include "ce/gdi/surface.h"
#include "ce/kernel.h"

namespace ce::gdi {

void Fail(DWORD error) { SetLastError(error); }

void NotImplemented(const char* what) {
  // A short fixed list is enough: each missing feature is reported once.
  static std::mutex lock;
  static const char* seen[32];
  static int count = 0;
  std::lock_guard<std::mutex> guard(lock);
  for (int i = 0; i < count; ++i)
    if (std::strcmp(seen[i], what) == 0) return;
  if (count < 32) seen[count++] = what;
  std::fprintf(stderr, "ce/gdi: not implemented: %s\n", what);
}

// ---- Handle table ----------------------------------------------------------------------------
// A handle is 0x40000000 | generation << 16 | index, so small integers (stock indices, system
// colours, resource ids) are never mistaken for handles. Windows keeps about 10000 objects per
// process; the table holds 16383 and then fails the way Windows does when its quota is spent.

namespace {

constexpr int kMaxHandles = 16384;
constexpr uint32_t kHandleTag = 0x40000000;
constexpr uint16_t kGenerationMask = 0x3FFF;

struct Slot {
  Object* object;
  uint16_t generation;
};

std::mutex tableLock;
Slot slots[kMaxHandles];
uint16_t freeIndices[kMaxHandles];
int freeCount = 0;
int nextUnused = 1;  // index 0 is never used, so no handle is 0

HGDIOBJ MakeHandle(int index, uint16_t generation) {
  return reinterpret_cast<HGDIOBJ>(
      static_cast<uintptr_t>(kHandleTag | (uint32_t{generation} << 16) | static_cast<uint32_t>(index)));
}

}  // namespace

namespace {
void EnsureStock();

HGDIOBJ AddToTable(Object* object) {
  std::lock_guard<std::mutex> guard(tableLock);
  int index;
  if (freeCount > 0) {
    index = freeIndices[--freeCount];
  } else if (nextUnused < kMaxHandles) {
    index = nextUnused++;
  } else {
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  slots[index].object = object;
  object->handle = MakeHandle(index, slots[index].generation);
  return object->handle;
}
}  // namespace

HGDIOBJ AddObject(Object* object) {
  // Stock objects take the first handles, before anything can use the table up.
  EnsureStock();
  return AddToTable(object);
}

void RemoveObject(Object* object) {
  std::lock_guard<std::mutex> guard(tableLock);
  uintptr_t value = reinterpret_cast<uintptr_t>(object->handle);
  int index = static_cast<int>(value & 0xFFFF);
  if (index <= 0 || index >= kMaxHandles || slots[index].object != object) return;
  slots[index].object = nullptr;
  slots[index].generation = static_cast<uint16_t>((slots[index].generation + 1) & kGenerationMask);
  freeIndices[freeCount++] = static_cast<uint16_t>(index);
  object->handle = nullptr;
}

Object* LookupObject(HGDIOBJ handle) {
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if ((value & ~uintptr_t{0x3FFFFFFF}) != kHandleTag) return nullptr;
  int index = static_cast<int>(value & 0xFFFF);
  uint16_t generation = static_cast<uint16_t>((value >> 16) & kGenerationMask);
  std::lock_guard<std::mutex> guard(tableLock);
  if (index <= 0 || index >= kMaxHandles) return nullptr;
  const Slot& slot = slots[index];
  if (!slot.object || slot.generation != generation) return nullptr;
  return slot.object;
}

// ---- Stock objects ---------------------------------------------------------------------------

namespace {

Pen stockPens[3];       // WHITE_PEN, BLACK_PEN, NULL_PEN
Brush stockBrushes[6];  // WHITE_BRUSH .. NULL_BRUSH
Font stockFonts[3];     // system (variable), fixed, GUI
Bitmap stockBitmap;     // the 1x1 bitmap every memory context starts with
uint16_t stockBitmapPixel = 0;
std::once_flag stockOnce;

void InitPen(Pen& p, UINT style, COLORREF color) {
  p.kind = Kind::Pen;
  p.stock = true;
  p.style = style;
  p.width = 0;
  p.color = color;
  p.pixel = ToPixel(color);
}

void InitBrush(Brush& b, UINT style, COLORREF color) {
  b.kind = Kind::Brush;
  b.stock = true;
  b.style = style;
  b.color = color;
  b.pixel = ToPixel(color);
}

void InitFont(Font& f, LONG height, LONG weight, const char16_t* face, BYTE pitch) {
  f.kind = Kind::Font;
  f.stock = true;
  f.logfont.lfHeight = height;
  f.logfont.lfWeight = weight;
  f.logfont.lfPitchAndFamily = pitch;
  for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) f.logfont.lfFaceName[i] = face[i];
}

void InitStock() {
  InitBrush(stockBrushes[0], BS_SOLID, RGB(255, 255, 255));
  InitBrush(stockBrushes[1], BS_SOLID, RGB(192, 192, 192));
  InitBrush(stockBrushes[2], BS_SOLID, RGB(128, 128, 128));
  InitBrush(stockBrushes[3], BS_SOLID, RGB(64, 64, 64));
  InitBrush(stockBrushes[4], BS_SOLID, RGB(0, 0, 0));
  InitBrush(stockBrushes[5], BS_NULL, 0);
  InitPen(stockPens[0], PS_SOLID, RGB(255, 255, 255));
  InitPen(stockPens[1], PS_SOLID, RGB(0, 0, 0));
  InitPen(stockPens[2], PS_NULL, 0);
  // The system font is a small Tahoma, as on the handheld; the fixed font a monospace face.
  InitFont(stockFonts[0], -11, FW_NORMAL, u"Tahoma", VARIABLE_PITCH | FF_SWISS);
  InitFont(stockFonts[1], -11, FW_NORMAL, u"monospace", FIXED_PITCH | FF_MODERN);
  InitFont(stockFonts[2], -11, FW_NORMAL, u"Tahoma", VARIABLE_PITCH | FF_SWISS);
  stockBitmap.kind = Kind::Bitmap;
  stockBitmap.stock = true;
  stockBitmap.surface.top = reinterpret_cast<uint8_t*>(&stockBitmapPixel);
  stockBitmap.surface.step = 2;
  stockBitmap.surface.width = 1;
  stockBitmap.surface.height = 1;
  stockBitmap.strideBytes = 2;
  for (auto& o : stockBrushes) AddToTable(&o);
  for (auto& o : stockPens) AddToTable(&o);
  for (auto& o : stockFonts) AddToTable(&o);
  AddToTable(&stockBitmap);
}

void EnsureStock() { std::call_once(stockOnce, InitStock); }

}  // namespace

Font* DefaultFont() {
  EnsureStock();
  return &stockFonts[0];
}

DC* NewDC() {
  EnsureStock();
  DC* dc = new (std::nothrow) DC;
  if (!dc) {
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  dc->kind = Kind::DC;
  if (!AddObject(dc)) {
    delete dc;
    return nullptr;
  }
  dc->pen = &stockPens[1];
  dc->brush = &stockBrushes[0];
  dc->font = &stockFonts[0];
  return dc;
}

Bitmap* StockBitmap() {
  EnsureStock();
  return &stockBitmap;
}

}  // namespace ce::gdi

using namespace ce::gdi;

HGDIOBJ GetStockObject(int index) {
  EnsureStock();
  if (index >= WHITE_BRUSH && index <= NULL_BRUSH) return stockBrushes[index].handle;
  if (index >= WHITE_PEN && index <= NULL_PEN) return stockPens[index - WHITE_PEN].handle;
  switch (index) {
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case ANSI_VAR_FONT:
      return stockFonts[0].handle;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
      return stockFonts[1].handle;
    case DEFAULT_GUI_FONT:
      return stockFonts[2].handle;
    default:
      Fail(kErrorInvalidParameter);
      return nullptr;
  }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle) {
  DC* dc = LookupDC(hdc);
  Object* object = LookupObject(handle);
  if (!dc || !object) {
    Fail(kErrorInvalidHandle);
    return nullptr;
  }
  Object* previous = nullptr;
  switch (object->kind) {
    case Kind::Pen:
      previous = dc->pen;
      dc->pen = static_cast<Pen*>(object);
      break;
    case Kind::Brush:
      previous = dc->brush;
      dc->brush = static_cast<Brush*>(object);
      break;
    case Kind::Font:
      previous = dc->font;
      dc->font = static_cast<Font*>(object);
      break;
    case Kind::Bitmap: {
      auto* bitmap = static_cast<Bitmap*>(object);
      if (!dc->memoryDC || (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != hdc)) {
        Fail(kErrorInvalidParameter);
        return nullptr;
      }
      previous = dc->bitmap;
      if (dc->bitmap != bitmap) {
        if (!dc->bitmap->stock) dc->bitmap->selectedInto = nullptr;
        if (!bitmap->stock) bitmap->selectedInto = hdc;
      }
      dc->bitmap = bitmap;
      dc->target = bitmap->surface;
      dc->hasClip = false;  // a new bitmap starts with no clip rectangle, as on Windows
      break;
    }
    default:
      Fail(kErrorInvalidHandle);
      return nullptr;
  }
  --previous->selections;
  ++object->selections;
  return previous->handle;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  DC* dc = LookupDC(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN:
      return dc->pen->handle;
    case OBJ_BRUSH:
      return dc->brush->handle;
    case OBJ_FONT:
      return dc->font->handle;
    case OBJ_BITMAP:
      return dc->bitmap ? dc->bitmap->handle : nullptr;
    default:
      return nullptr;
  }
}

DWORD GetObjectType(HGDIOBJ handle) {
  Object* o = LookupObject(handle);
  if (!o) {
    Fail(kErrorInvalidHandle);
    return 0;
  }
  switch (o->kind) {
    case Kind::Pen:
      return OBJ_PEN;
    case Kind::Brush:
      return OBJ_BRUSH;
    case Kind::Font:
      return OBJ_FONT;
    case Kind::Bitmap:
      return OBJ_BITMAP;
    case Kind::DC:
      return static_cast<DC*>(o)->memoryDC ? OBJ_MEMDC : OBJ_DC;
    default:
      return 0;
  }
}

BOOL DeleteObject(HGDIOBJ handle) {
  Object* object = LookupObject(handle);
  if (!object || object->kind == Kind::DC || object->kind == Kind::Icon) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  if (object->stock) return TRUE;
  // Freeing an object a context still draws with would leave that context dangling.
  if (object->selections > 0) {
    Fail(kErrorInvalidParameter);
    return FALSE;
  }
  RemoveObject(object);
  switch (object->kind) {
    case Kind::Pen:
      delete static_cast<Pen*>(object);
      break;
    case Kind::Brush:
      delete static_cast<Brush*>(object);
      break;
    case Kind::Font: {
      auto* font = static_cast<Font*>(object);
      if (font->instance) ReleaseFontInstance(font->instance);
      delete font;
      break;
    }
    case Kind::Bitmap:
      FreeBitmap(static_cast<Bitmap*>(object));
      break;
    default:
      break;
  }
  return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
  Object* object = LookupObject(handle);
  if (!object) {
    Fail(kErrorInvalidHandle);
    return 0;
  }
  auto copy = [&](const void* data, int need, bool partialAllowed) -> int {
    if (!buffer) return need;
    if (size <= 0 || (size < need && !partialAllowed)) {
      Fail(kErrorInvalidParameter);
      return 0;
    }
    int n = size < need ? size : need;
    std::memcpy(buffer, data, static_cast<size_t>(n));
    return n;
  };
  switch (object->kind) {
    case Kind::Pen: {
      auto* p = static_cast<Pen*>(object);
      LOGPEN lp{p->style, {p->width, 0}, p->color};
      return copy(&lp, sizeof lp, false);
    }
    case Kind::Brush: {
      auto* b = static_cast<Brush*>(object);
      LOGBRUSH lb{b->style, b->color, 0};
      return copy(&lb, sizeof lb, false);
    }
    case Kind::Font:
      return copy(&static_cast<Font*>(object)->logfont, sizeof(LOGFONTW), true);
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(object);
      DIBSECTION ds{};
      ds.dsBm.bmWidth = b->surface.width;
      ds.dsBm.bmHeight = b->surface.height;
      ds.dsBm.bmWidthBytes = b->strideBytes;
      ds.dsBm.bmPlanes = 1;
      ds.dsBm.bmBitsPixel = 16;
      if (b->dibSection) {
        ds.dsBm.bmBits = b->memory;
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = b->surface.width;
        ds.dsBmih.biHeight = b->bottomUp ? b->surface.height : -b->surface.height;
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = 16;
        ds.dsBmih.biCompression = b->compression;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b->strideBytes) * static_cast<DWORD>(b->surface.height);
        if (b->compression == BI_BITFIELDS) {
          ds.dsBitfields[0] = 0xF800;
          ds.dsBitfields[1] = 0x07E0;
          ds.dsBitfields[2] = 0x001F;
        }
        if (!buffer) return sizeof(DIBSECTION);
        if (size >= static_cast<int>(sizeof(DIBSECTION))) return copy(&ds, sizeof ds, false);
      }
      return copy(&ds.dsBm, sizeof(BITMAP), false);
    }
    default:
      Fail(kErrorInvalidHandle);
      return 0;
  }
}

// ---- Pixel access for the stand-in -----------------------------------------------------------

bool ce::gdi::GetBitmapPixels(HBITMAP handle, const uint16_t** topRow, int* width, int* height, int* strideBytes) {
  const Bitmap* b = LookupBitmap(handle);
  return b && b->surface.Describe(topRow, width, height, strideBytes);
}
