// Resources compiled into the executable: strings, bitmaps, icons and raw data by type and name.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "ce/gdi/internal.h"
#include "ce/gdi/resources.h"
#include "ce/gdi/surface.h"

namespace ce::gdi {

namespace {

ResourceModule* modules = nullptr;  // constant-initialised: safe to use from other initialisers

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Whether a resource name or type given the Win32 way (a number in MAKEINTRESOURCE form, "#12",
// or a name compared without case) is the one an entry holds.
bool NameMatches(LPCWSTR wanted, uint16_t id, const char* name) {
  if (IS_INTRESOURCE(wanted)) return name == nullptr && id == LOWORD(reinterpret_cast<uintptr_t>(wanted));
  if (wanted[0] == u'#') {
    unsigned value = 0;
    int digits = 0;
    for (const char16_t* p = wanted + 1; *p; ++p, ++digits) {
      if (*p < u'0' || *p > u'9' || value > 0xFFFF) return false;
      value = value * 10 + static_cast<unsigned>(*p - u'0');
    }
    return digits > 0 && name == nullptr && value == id;
  }
  if (!name) return false;
  size_t i = 0;
  for (; wanted[i] && name[i]; ++i) {
    char16_t c = wanted[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != static_cast<unsigned char>(name[i])) return false;
  }
  return wanted[i] == 0 && name[i] == 0;
}

const ResourceEntry* Find(LPCWSTR name, LPCWSTR type) {
  if (!name || !type) return nullptr;
  for (ResourceModule* m = modules; m; m = m->next)
    for (size_t i = 0; i < m->count; ++i) {
      const ResourceEntry& e = m->entries[i];
      if (NameMatches(type, e.typeId, e.typeName) && NameMatches(name, e.id, e.name)) return &e;
    }
  return nullptr;
}

// Whether a resource handle is one Find gave out (anything else is refused, not read).
bool IsEntry(const void* p) {
  auto at = reinterpret_cast<uintptr_t>(p);
  for (ResourceModule* m = modules; m; m = m->next) {
    auto base = reinterpret_cast<uintptr_t>(m->entries);
    if (at >= base && at < base + m->count * sizeof(ResourceEntry) && (at - base) % sizeof(ResourceEntry) == 0)
      return true;
  }
  return false;
}

// ---- Icons -----------------------------------------------------------------------------------

Icon* NewIcon(int width, int height) {
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  auto* icon = new (std::nothrow) Icon;
  auto* pixels = static_cast<uint16_t*>(std::calloc(count, 2));
  auto* mask = static_cast<uint8_t*>(std::calloc(count, 1));
  if (!icon || !pixels || !mask) {
    delete icon;
    std::free(pixels);
    std::free(mask);
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  icon->kind = Kind::Icon;
  icon->stock = true;
  icon->pixels = pixels;
  icon->mask = mask;
  icon->width = width;
  icon->height = height;
  return icon;
}

Icon* DecodePngIcon(const uint8_t* data, size_t size) {
  uint8_t* rgba = nullptr;
  int w = 0, h = 0;
  if (!DecodePngRgba(data, size, &rgba, &w, &h)) return nullptr;
  Icon* icon = NewIcon(w, h);
  if (icon) {
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      const uint8_t* p = rgba + i * 4;
      icon->pixels[i] = ToPixel(RGB(p[0], p[1], p[2]));
      icon->mask[i] = p[3] >= 128;
    }
  }
  std::free(rgba);
  return icon;
}

// An icon image in .ico form: a DIB of twice the height, colour rows then a one-bit AND mask.
Icon* DecodeDibIcon(const uint8_t* data, size_t size) {
  if (size < 40) return nullptr;
  uint32_t headerSize = Le32(data);
  if (headerSize < 40 || headerSize > size) return nullptr;
  int32_t width = static_cast<int32_t>(Le32(data + 4));
  int32_t doubled = static_cast<int32_t>(Le32(data + 8));
  unsigned bpp = Le16(data + 14);
  uint32_t colorsUsed = Le32(data + 32);
  if (width <= 0 || width > 256 || doubled <= 0 || doubled > 512 || doubled % 2) return nullptr;
  int height = doubled / 2;
  // Decode the colour half by handing the decoder a copy whose header says the real height.
  auto* copy = static_cast<uint8_t*>(std::malloc(size));
  if (!copy) return nullptr;
  std::memcpy(copy, data, size);
  copy[8] = static_cast<uint8_t>(height);
  copy[9] = static_cast<uint8_t>(height >> 8);
  copy[10] = copy[11] = 0;
  Bitmap* color = DecodeBmp(copy, size);
  std::free(copy);
  if (!color) return nullptr;
  Icon* icon = NewIcon(width, height);
  if (!icon) {
    FreeBitmap(color);
    return nullptr;
  }
  for (int y = 0; y < height; ++y)
    std::memcpy(icon->pixels + static_cast<size_t>(y) * width, color->surface.Row(y), static_cast<size_t>(width) * 2);
  FreeBitmap(color);

  size_t palette = bpp <= 8 ? ((colorsUsed && colorsUsed < (1u << bpp)) ? colorsUsed : (1u << bpp)) * 4 : 0;
  size_t colorRow = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
  size_t maskAt = headerSize + palette + colorRow * height;
  size_t maskRow = ((static_cast<size_t>(width) + 31) / 32) * 4;
  bool haveMask = maskAt <= size && maskRow * height <= size - maskAt;
  bool haveAlpha = false;
  if (bpp == 32 && colorRow * height <= size - headerSize) {
    size_t pixelsAt = headerSize;
    for (int i = 0; i < width * height && !haveAlpha; ++i) haveAlpha = data[pixelsAt + 4 * i + 3] != 0;
  }
  for (int y = 0; y < height; ++y) {
    int fileRow = height - 1 - y;  // rows are stored bottom-up
    for (int x = 0; x < width; ++x) {
      bool drawn = true;
      if (haveAlpha)  // 32-bit images carry their own transparency
        drawn = data[headerSize + colorRow * fileRow + 4 * x + 3] >= 128;
      else if (haveMask)
        drawn = !(data[maskAt + maskRow * fileRow + x / 8] & (0x80 >> (x % 8)));
      icon->mask[static_cast<size_t>(y) * width + x] = drawn;
    }
  }
  return icon;
}

// Picks the image nearest 32 x 32 (then the deepest) from an .ico file.
Icon* DecodeIco(const uint8_t* data, size_t size) {
  if (size < 6 || Le16(data) != 0 || Le16(data + 2) != 1) return nullptr;
  size_t count = Le16(data + 4);
  if (count == 0 || 6 + 16 * count > size) return nullptr;
  size_t best = count;
  long bestScore = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + 16 * i;
    long w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    long score = (std::labs(w - 32) + std::labs(h - 32)) * 64 - Le16(e + 6);
    if (best == count || score < bestScore) {
      best = i;
      bestScore = score;
    }
  }
  const uint8_t* e = data + 6 + 16 * best;
  size_t bytes = Le32(e + 8), offset = Le32(e + 12);
  if (offset > size || bytes > size - offset || bytes < 8) return nullptr;
  const uint8_t* image = data + offset;
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (std::memcmp(image, kPng, 8) == 0) return DecodePngIcon(image, bytes);
  return DecodeDibIcon(image, bytes);
}

std::mutex iconLock;
struct CachedIcon {
  const ResourceEntry* entry;
  Icon* icon;
};
CachedIcon icons[32];
int iconCount = 0;

}  // namespace

bool RegisterResourceModule(ResourceModule* module) {
  module->next = modules;
  modules = module;
  return true;
}

}  // namespace ce::gdi

using namespace ce::gdi;

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int count) {
  if (!buffer || count < 0) {
    Fail(kErrorInvalidParameter);
    return 0;
  }
  const ResourceEntry* e = id <= 0xFFFF ? Find(MAKEINTRESOURCEW(id), RT_STRING) : nullptr;
  if (!e) {
    if (count > 0) buffer[0] = 0;
    Fail(kErrorResourceNotFound);
    return 0;
  }
  auto* text = static_cast<const char16_t*>(e->data);
  int length = static_cast<int>(e->size / 2);
  if (count == 0) {
    // The string in place, read-only and without its terminator.
    LPCWSTR inPlace = text;
    std::memcpy(buffer, &inPlace, sizeof inPlace);
    return length;
  }
  int n = length < count - 1 ? length : count - 1;
  for (int i = 0; i < n; ++i) buffer[i] = text[i];
  buffer[n] = 0;
  return n;
}

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR name) {
  const ResourceEntry* e = Find(name, RT_BITMAP);
  if (!e) {
    Fail(kErrorResourceNotFound);
    return nullptr;
  }
  Bitmap* bitmap = DecodeBmp(static_cast<const uint8_t*>(e->data), e->size);
  return bitmap ? static_cast<HBITMAP>(bitmap->handle) : nullptr;
}

HICON LoadIconW(HINSTANCE, LPCWSTR name) {
  const ResourceEntry* e = Find(name, RT_GROUP_ICON);
  if (!e) {
    Fail(kErrorResourceNotFound);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(iconLock);
  for (int i = 0; i < iconCount; ++i)
    if (icons[i].entry == e) return static_cast<HICON>(icons[i].icon->handle);
  Icon* icon = DecodeIco(static_cast<const uint8_t*>(e->data), e->size);
  if (!icon) {
    Fail(kErrorBadFormat);
    return nullptr;
  }
  if (!AddObject(icon)) return nullptr;  // the table is full; the icon is kept for nothing
  if (iconCount < 32) icons[iconCount++] = {e, icon};
  return static_cast<HICON>(icon->handle);
}

BOOL DestroyIcon(HICON icon) {
  // Icons from resources are shared for the life of the process, as on Windows.
  if (!Lookup<Icon>(icon, Kind::Icon)) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  return TRUE;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON handle) {
  DC* dc = LookupDC(hdc);
  Icon* icon = Lookup<Icon>(handle, Kind::Icon);
  if (!dc || !icon) {
    Fail(kErrorInvalidHandle);
    return FALSE;
  }
  RECT clip = ClipBounds(dc);
  long long x0 = ClampCoord(x), y0 = ClampCoord(y);
  for (int row = 0; row < icon->height; ++row) {
    long long ty = y0 + row;
    if (ty < clip.top || ty >= clip.bottom) continue;
    const uint16_t* src = icon->pixels + static_cast<size_t>(row) * icon->width;
    uint16_t* dst = dc->target.Row(static_cast<int>(ty));
    for (int col = 0; col < icon->width; ++col) {
      long long tx = x0 + col;
      if (tx >= clip.left && tx < clip.right && icon->mask[static_cast<size_t>(row) * icon->width + col])
        dst[tx] = src[col];
    }
  }
  return TRUE;
}

bool ce::gdi::GetIconImage(HICON handle, const uint16_t** pixels, const uint8_t** mask, int* width, int* height) {
  Icon* icon = Lookup<Icon>(handle, Kind::Icon);
  if (!icon) return false;
  if (pixels) *pixels = icon->pixels;
  if (mask) *mask = icon->mask;
  if (width) *width = icon->width;
  if (height) *height = icon->height;
  return true;
}

HRSRC FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type) {
  const ResourceEntry* e = Find(name, type);
  if (!e) Fail(kErrorResourceNotFound);
  return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(e));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (!IsEntry(resource)) {
    Fail(kErrorInvalidHandle);
    return nullptr;
  }
  return const_cast<void*>(reinterpret_cast<const ResourceEntry*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (!IsEntry(resource)) {
    Fail(kErrorInvalidHandle);
    return 0;
  }
  return reinterpret_cast<const ResourceEntry*>(resource)->size;
}
