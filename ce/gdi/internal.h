// Internals of the software renderer shared by its source files: the handle table, the object
// records, the 565 pixel primitives and the font engine's interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ce/gdi.h"

namespace ce::gdi {

// Last-error codes this library sets.
constexpr DWORD kErrorInvalidHandle = 6;        // ERROR_INVALID_HANDLE
constexpr DWORD kErrorNotEnoughMemory = 8;      // ERROR_NOT_ENOUGH_MEMORY
constexpr DWORD kErrorInvalidParameter = 87;    // ERROR_INVALID_PARAMETER
constexpr DWORD kErrorResourceNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
constexpr DWORD kErrorFileNotFound = 2;         // ERROR_FILE_NOT_FOUND
constexpr DWORD kErrorBadFormat = 11;           // ERROR_BAD_FORMAT
void Fail(DWORD error);                         // SetLastError, kept in one place

// Says once per process on stderr that a caller asked for something this renderer leaves out.
void NotImplemented(const char* what);

// Coordinates are clamped to +-2^27 (the range Windows keeps) so no sum or difference overflows.
constexpr int kCoordLimit = 1 << 27;
inline int ClampCoord(long long v) {
  return v < -kCoordLimit ? -kCoordLimit : (v > kCoordLimit ? kCoordLimit : static_cast<int>(v));
}

// Largest bitmap: 32767 pixels a side and 256 MiB of pixels.
constexpr int kMaxBitmapSide = 32767;
constexpr size_t kMaxBitmapBytes = size_t{256} << 20;
// Largest bitmap a picture file may decode into: four full 800 x 480 screens and more.
constexpr size_t kMaxPictureBytes = size_t{4} << 20;

// ---- Colours ---------------------------------------------------------------------------------

inline uint16_t ToPixel(COLORREF c) {
  return static_cast<uint16_t>(((c & 0xF8) << 8) | ((c & 0xFC00) >> 5) | ((c & 0xF80000) >> 19));
}
inline COLORREF ToColor(uint16_t p) {
  unsigned r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
  return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

// ---- Objects ---------------------------------------------------------------------------------

enum class Kind : uint8_t { None, Pen, Brush, Font, Bitmap, DC, Icon };

struct Object {
  Kind kind = Kind::None;
  bool stock = false;
  int selections = 0;  // contexts that hold this object selected
  HGDIOBJ handle = nullptr;
};

struct Pen : Object {
  UINT style = PS_SOLID;
  int width = 0;
  COLORREF color = 0;
  uint16_t pixel = 0;
};

struct Brush : Object {
  UINT style = BS_SOLID;
  COLORREF color = 0;
  uint16_t pixel = 0;
};

struct FontInstance;

struct Font : Object {
  LOGFONTW logfont{};
  FontInstance* instance = nullptr;  // resolved on first use, shared with equal fonts
};

// 16-bit pixels addressed top row first; `step` is negative for bottom-up memory.
struct Surface {
  uint8_t* top = nullptr;
  ptrdiff_t step = 0;
  int width = 0;
  int height = 0;
  uint16_t* Row(int y) const { return reinterpret_cast<uint16_t*>(top + step * y); }
  // Where the pixels are, for the stand-in's own readers; every out pointer may be null.
  bool Describe(const uint16_t** topRow, int* w, int* h, int* strideBytes) const {
    if (topRow) *topRow = Row(0);
    if (w) *w = width;
    if (h) *h = height;
    if (strideBytes) *strideBytes = static_cast<int>(step);
    return true;
  }
};

struct Bitmap : Object {
  Surface surface;
  void* memory = nullptr;  // owned pixel block (null for none)
  int strideBytes = 0;     // positive row pitch
  bool dibSection = false;
  bool bottomUp = false;
  DWORD compression = BI_RGB;
  HDC selectedInto = nullptr;
};

struct DC : Object {
  bool memoryDC = true;      // false: a surface context over caller pixels
  Bitmap* bitmap = nullptr;  // selected bitmap (memory contexts)
  Surface target;            // where drawing goes
  Pen* pen = nullptr;
  Brush* brush = nullptr;
  Font* font = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  UINT textAlign = TA_LEFT | TA_TOP;
  int polyFillMode = ALTERNATE;
  POINT position{0, 0};
  bool hasClip = false;
  RECT clip{0, 0, 0, 0};  // meaningful when hasClip
};

struct Icon : Object {
  uint16_t* pixels = nullptr;  // width * height, top row first
  uint8_t* mask = nullptr;     // one byte per pixel, 1 = drawn
  int width = 0;
  int height = 0;
};

// Handle table. Lookups of a stale, foreign or garbage handle return null, never touch memory.
HGDIOBJ AddObject(Object* object);  // null and ERROR_NOT_ENOUGH_MEMORY when the table is full
void RemoveObject(Object* object);
Object* LookupObject(HGDIOBJ handle);
template <typename T>
T* Lookup(HGDIOBJ handle, Kind kind) {
  Object* o = LookupObject(handle);
  return (o && o->kind == kind) ? static_cast<T*>(o) : nullptr;
}
inline DC* LookupDC(HDC dc) { return Lookup<DC>(dc, Kind::DC); }
inline Bitmap* LookupBitmap(HGDIOBJ b) { return Lookup<Bitmap>(b, Kind::Bitmap); }

// A fresh bitmap of 16-bit pixels (zeroed), registered in the table; null with the last error
// set on failure. bottomUp only changes where rows live in memory.
Bitmap* NewBitmap(int width, int height, bool bottomUp, bool dibSection);
void FreeBitmap(Bitmap* bitmap);

// Decodes a packed DIB or a whole .bmp file into a new bitmap; null (ERROR_BAD_FORMAT) for
// anything malformed or truncated.
Bitmap* DecodeBmp(const uint8_t* data, size_t size);

// A PNG held in memory as 8-bit RGBA (malloc'd; the caller frees it).
bool DecodePngRgba(const uint8_t* data, size_t size, uint8_t** rgba, int* width, int* height);

// Drawing area of a context: its target surface clipped by the clip rectangle.
RECT ClipBounds(const DC* dc);

// ---- 565 primitives (the only pixel format) ----------------------------------------------------

void FillSpan(const Surface& s, int y, int x0, int x1, uint16_t pixel);  // [x0, x1), unclipped
void FillRectClipped(const Surface& s, const RECT& clip, RECT r, uint16_t pixel);
void PutPixelClipped(const Surface& s, const RECT& clip, int x, int y, uint16_t pixel);

// ---- Fonts -----------------------------------------------------------------------------------

struct GlyphImage {
  int left = 0;  // from the pen position to the first column
  int top = 0;   // from the baseline up to the first row
  int width = 0;
  int rows = 0;
  int pitch = 0;    // bytes per row, one bit per pixel, most significant bit first
  int advance = 0;  // pixels to the next pen position
  const uint8_t* bits = nullptr;
};

struct FontMetrics {
  int ascent = 0;
  int descent = 0;
  int internalLeading = 0;
  int externalLeading = 0;
  int aveCharWidth = 0;
  int maxCharWidth = 0;
  int weight = FW_NORMAL;
  int overhang = 0;
  bool fixedPitch = false;
  bool underline = false;
  bool strikeOut = false;
  int underlinePosition = 1;  // pixels below the baseline
  int lineThickness = 1;
  char16_t family[LF_FACESIZE] = {};
};

// The instance drawing `font`; never null (a font that cannot be found draws nothing).
FontInstance* ResolveFont(Font* font);
const FontMetrics& InstanceMetrics(const FontInstance* instance);
// Holds the font engine's lock while text is measured or drawn.
class FontLock {
 public:
  FontLock();
  ~FontLock();
  FontLock(const FontLock&) = delete;
  FontLock& operator=(const FontLock&) = delete;
};
// A glyph of `ch` under a FontLock; the image stays valid until the lock is released.
const GlyphImage& InstanceGlyph(FontInstance* instance, char32_t ch);
void ReleaseFontInstance(FontInstance* instance);

// The font every new context starts with (the stock system font).
Font* DefaultFont();
// A new context in the table with the stock black pen, white brush and system font selected
// (no bitmap yet); null with the last error set when the table is full.
DC* NewDC();
// The 1x1 bitmap every memory context starts with.
Bitmap* StockBitmap();

}  // namespace ce::gdi
