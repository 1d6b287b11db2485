// Resources compiled into the executable as standard .res data: strings, bitmaps, icons and
// raw data found by type and name, the way a Windows loader finds them.
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

// A resource's type or name as a .res record holds it: an ordinal, or a UTF-16 text.
struct ResName {
  uint16_t id = 0;                // the ordinal; 0 when the name is a text
  const uint8_t* text = nullptr;  // little-endian UTF-16, `length` units, no terminator
  size_t length = 0;
};

// One record of a .res file, every field checked against the bounds of the module.
struct ResRecord {
  const uint8_t* header;
  ResName type, name;
  uint16_t language;
  const uint8_t* data;
  uint32_t size;
};

// Reads a type or name field at `at`, which must end before `end`; moves `at` past it.
bool ReadName(const uint8_t* base, size_t& at, size_t end, ResName& out) {
  if (end - at < 2) return false;
  if (Le16(base + at) == 0xFFFF) {
    if (end - at < 4) return false;
    out = {Le16(base + at + 2), nullptr, 0};
    at += 4;
    return true;
  }
  size_t start = at;
  while (end - at >= 2 && Le16(base + at) != 0) at += 2;
  if (end - at < 2) return false;  // no terminator inside the header
  out = {0, base + start, (at - start) / 2};
  at += 2;
  return true;
}

// The record at `at` (a DWORD boundary), and in `at` where the next one starts. False at the end
// of the module or at a record that does not fit it.
bool NextRecord(const ResourceModule& m, size_t& at, ResRecord& r) {
  const uint8_t* base = m.data;
  if (at > m.size || m.size - at < 8) return false;
  uint32_t dataSize = Le32(base + at), headerSize = Le32(base + at + 4);
  // The smallest header: sizes, two ordinals, then version, flags, language, version, traits.
  if (headerSize < 32 || headerSize > m.size - at || dataSize > m.size - at - headerSize) return false;
  size_t end = at + headerSize, p = at + 8;
  if (!ReadName(base, p, end, r.type) || !ReadName(base, p, end, r.name)) return false;
  p = (p + 3) & ~size_t{3};
  if (p > end || end - p < 16) return false;
  r.header = base + at;
  r.language = Le16(base + p + 6);
  r.data = base + end;
  r.size = dataSize;
  size_t next = end + dataSize;
  at = next + ((4 - next % 4) % 4);
  return true;
}

// Upper-case ASCII, as resource names compare.
char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Whether a resource name or type given the Win32 way (a number in MAKEINTRESOURCE form, "#12",
// or a name compared without case) is the one a record holds.
bool NameMatches(LPCWSTR wanted, const ResName& held) {
  if (IS_INTRESOURCE(wanted)) return held.text == nullptr && held.id == LOWORD(reinterpret_cast<uintptr_t>(wanted));
  if (wanted[0] == u'#') {
    unsigned value = 0;
    int digits = 0;
    for (const char16_t* p = wanted + 1; *p; ++p, ++digits) {
      if (*p < u'0' || *p > u'9' || value > 0xFFFF) return false;
      value = value * 10 + static_cast<unsigned>(*p - u'0');
    }
    return digits > 0 && held.text == nullptr && value == held.id;
  }
  if (!held.text) return false;
  size_t i = 0;
  for (; wanted[i] && i < held.length; ++i)
    if (Upper(wanted[i]) != Upper(Le16(held.text + 2 * i))) return false;
  return wanted[i] == 0 && i == held.length;
}

bool Find(LPCWSTR name, LPCWSTR type, ResRecord& found) {
  if (!name || !type) return false;
  for (ResourceModule* m = modules; m; m = m->next) {
    ResRecord r;
    for (size_t at = 0; NextRecord(*m, at, r);)
      if (r.size > 0 && NameMatches(type, r.type) && NameMatches(name, r.name)) {
        found = r;
        return true;
      }
  }
  return false;
}

// The record whose header is at `p`, if `p` is one FindResourceW gave out (anything else is
// refused, not read).
bool RecordAt(const void* p, ResRecord& found) {
  for (ResourceModule* m = modules; m; m = m->next) {
    ResRecord r;
    for (size_t at = 0; NextRecord(*m, at, r);)
      if (r.header == p) {
        found = r;
        return true;
      }
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

// Picks the image nearest 32 x 32 (then the deepest) of an icon group: a GRPICONDIR whose
// 14-byte entries name RT_ICON resources by ordinal, each a DIB of twice the height or a PNG.
Icon* DecodeIconGroup(const ResRecord& group) {
  const uint8_t* data = group.data;
  size_t size = group.size;
  if (size < 6 || Le16(data) != 0 || Le16(data + 2) != 1) return nullptr;
  size_t count = Le16(data + 4);
  if (count == 0 || 6 + 14 * count > size) return nullptr;
  size_t best = count;
  long bestScore = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + 14 * i;
    long w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    long score = (std::labs(w - 32) + std::labs(h - 32)) * 64 - Le16(e + 6);
    if (best == count || score < bestScore) {
      best = i;
      bestScore = score;
    }
  }
  uint16_t id = Le16(data + 6 + 14 * best + 12);
  ResRecord image;
  if (!Find(MAKEINTRESOURCEW(id), RT_ICON, image) || image.size < 8) return nullptr;
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (std::memcmp(image.data, kPng, 8) == 0) return DecodePngIcon(image.data, image.size);
  return DecodeDibIcon(image.data, image.size);
}

std::mutex iconLock;
struct CachedIcon {
  const uint8_t* group;  // the group's record
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

// Strings live in blocks of 16: block id/16 + 1 holds string id%16 among its sixteen counted
// UTF-16 texts (a count of 0 is a string that does not exist).
int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int count) {
  if (!buffer || count < 0) {
    Fail(kErrorInvalidParameter);
    return 0;
  }
  ResRecord block;
  const uint8_t* text = nullptr;
  size_t length = 0;
  if (id <= 0xFFFF && Find(MAKEINTRESOURCEW(id / 16 + 1), RT_STRING, block)) {
    size_t at = 0;
    for (UINT i = 0; i <= id % 16 && block.size - at >= 2; ++i) {
      size_t units = Le16(block.data + at);
      at += 2;
      if (units > (block.size - at) / 2) break;  // a count past the block's end
      if (i == id % 16 && units > 0) {
        text = block.data + at;
        length = units;
      }
      at += 2 * units;
    }
  }
  if (!text) {
    if (count > 0) buffer[0] = 0;
    Fail(kErrorResourceNotFound);
    return 0;
  }
  if (count == 0) {
    // The string in place, read-only and without its terminator (the module is DWORD-aligned,
    // so the text is too).
    LPCWSTR inPlace = reinterpret_cast<LPCWSTR>(text);
    std::memcpy(buffer, &inPlace, sizeof inPlace);
    return static_cast<int>(length);
  }
  int n = static_cast<int>(length) < count - 1 ? static_cast<int>(length) : count - 1;
  for (int i = 0; i < n; ++i) buffer[i] = Le16(text + 2 * i);
  buffer[n] = 0;
  return n;
}

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR name) {
  ResRecord r;
  if (!Find(name, RT_BITMAP, r)) {
    Fail(kErrorResourceNotFound);
    return nullptr;
  }
  // A bitmap resource is a packed DIB: the .bmp file without its file header.
  Bitmap* bitmap = DecodeBmp(r.data, r.size);
  return bitmap ? static_cast<HBITMAP>(bitmap->handle) : nullptr;
}

HICON LoadIconW(HINSTANCE, LPCWSTR name) {
  ResRecord group;
  if (!Find(name, RT_GROUP_ICON, group)) {
    Fail(kErrorResourceNotFound);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(iconLock);
  for (int i = 0; i < iconCount; ++i)
    if (icons[i].group == group.header) return static_cast<HICON>(icons[i].icon->handle);
  Icon* icon = DecodeIconGroup(group);
  if (!icon) {
    Fail(kErrorBadFormat);
    return nullptr;
  }
  if (!AddObject(icon)) return nullptr;  // the table is full; the icon is kept for nothing
  if (iconCount < 32) icons[iconCount++] = {group.header, icon};
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
  ResRecord r;
  if (!Find(name, type, r)) {
    Fail(kErrorResourceNotFound);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<uint8_t*>(r.header));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  ResRecord r;
  if (!RecordAt(resource, r)) {
    Fail(kErrorInvalidHandle);
    return nullptr;
  }
  return const_cast<uint8_t*>(r.data);
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  ResRecord r;
  if (!RecordAt(resource, r)) {
    Fail(kErrorInvalidHandle);
    return 0;
  }
  return r.size;
}
