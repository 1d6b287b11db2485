// Bitmaps: 16-bit sections and compatible bitmaps, and the .bmp decoder behind SHLoadDIBitmap
// and LoadBitmapW.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <string>

#include "ce/device.h"
#include "ce/gdi/internal.h"

namespace ce::gdi {

Bitmap* NewBitmap(int width, int height, bool bottomUp, bool dibSection) {
  if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  // Rows are padded to four bytes, as device-independent bitmaps are.
  size_t stride = (static_cast<size_t>(width) * 2 + 3) & ~size_t{3};
  size_t bytes = stride * static_cast<size_t>(height);
  if (bytes > kMaxBitmapBytes) {
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  auto* bitmap = new (std::nothrow) Bitmap;
  void* memory = bitmap ? std::calloc(1, bytes) : nullptr;
  if (!memory) {
    delete bitmap;
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  bitmap->kind = Kind::Bitmap;
  bitmap->memory = memory;
  bitmap->strideBytes = static_cast<int>(stride);
  bitmap->dibSection = dibSection;
  bitmap->bottomUp = bottomUp;
  bitmap->surface.width = width;
  bitmap->surface.height = height;
  auto* base = static_cast<uint8_t*>(memory);
  if (bottomUp) {
    bitmap->surface.top = base + stride * static_cast<size_t>(height - 1);
    bitmap->surface.step = -static_cast<ptrdiff_t>(stride);
  } else {
    bitmap->surface.top = base;
    bitmap->surface.step = static_cast<ptrdiff_t>(stride);
  }
  if (!AddObject(bitmap)) {
    std::free(memory);
    delete bitmap;
    return nullptr;
  }
  return bitmap;
}

void FreeBitmap(Bitmap* bitmap) {
  if (!bitmap) return;
  if (bitmap->handle) RemoveObject(bitmap);
  std::free(bitmap->memory);
  delete bitmap;
}

// ---- .bmp decoding -----------------------------------------------------------------------------

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One channel of a bit-field pixel, widened or narrowed to `bits` bits.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  int width = 0;
  void Set(uint32_t m) {
    mask = m;
    shift = 0;
    width = 0;
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + width < 32 && ((m >> (shift + width)) & 1)) ++width;
  }
  unsigned Get(uint32_t v, int bits) const {
    if (!width) return 0;
    uint32_t x = (v & mask) >> shift;
    if (width >= bits) return x >> (width - bits);
    // Widen by repeating the bit pattern, like 565 to 888.
    uint32_t out = 0;
    int have = 0;
    while (have < bits) {
      out = (out << width) | x;
      have += width;
    }
    return out >> (have - bits);
  }
};

uint16_t FromRgb(unsigned r, unsigned g, unsigned b) {
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

}  // namespace

Bitmap* DecodeBmp(const uint8_t* data, size_t size) {
  auto bad = [] {
    Fail(kErrorBadFormat);
    return nullptr;
  };
  if (!data) return bad();
  const uint8_t* file = data;
  size_t fileSize = size;
  bool hasFileHeader = size >= 14 && data[0] == 'B' && data[1] == 'M';
  if (hasFileHeader) {
    data += 14;
    size -= 14;
  }
  if (size < 12) return bad();
  uint32_t headerSize = Le32(data);
  if (headerSize > size || (headerSize != 12 && headerSize < 40)) return bad();

  long long width, height;
  unsigned bpp, planes;
  uint32_t compression = BI_RGB, colorsUsed = 0;
  size_t paletteEntrySize = 4;
  if (headerSize == 12) {
    width = Le16(data + 4);
    height = Le16(data + 6);
    planes = Le16(data + 8);
    bpp = Le16(data + 10);
    paletteEntrySize = 3;
  } else {
    width = static_cast<int32_t>(Le32(data + 4));
    height = static_cast<int32_t>(Le32(data + 8));
    planes = Le16(data + 12);
    bpp = Le16(data + 14);
    compression = Le32(data + 16);
    colorsUsed = Le32(data + 32);
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide || planes != 1) return bad();
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return bad();
  if (compression == BI_RLE4 || compression == BI_RLE8) {
    NotImplemented("run-length encoded .bmp files");
    return bad();
  }
  if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bpp == 16 || bpp == 32))) return bad();

  size_t offset = headerSize;  // where masks and palette start, from the start of the DIB
  Field red, green, blue;
  if (compression == BI_BITFIELDS) {
    const uint8_t* masks = data + 40;
    if (headerSize == 40) {
      if (size < 52) return bad();
      offset += 12;
    } else if (headerSize < 52) {
      return bad();
    }
    red.Set(Le32(masks));
    green.Set(Le32(masks + 4));
    blue.Set(Le32(masks + 8));
  } else if (bpp == 16) {
    red.Set(0x7C00);  // 16-bit files without masks are 555
    green.Set(0x03E0);
    blue.Set(0x001F);
  } else if (bpp == 24 || bpp == 32) {
    red.Set(0xFF0000);
    green.Set(0x00FF00);
    blue.Set(0x0000FF);
  }

  uint16_t palette[256] = {};
  size_t paletteCount = 0;
  if (bpp <= 8) {
    size_t maxColors = size_t{1} << bpp;
    paletteCount = (colorsUsed == 0 || colorsUsed > maxColors) ? maxColors : colorsUsed;
    if (offset + paletteCount * paletteEntrySize > size) return bad();
    for (size_t i = 0; i < paletteCount; ++i) {
      const uint8_t* e = data + offset + i * paletteEntrySize;
      palette[i] = FromRgb(e[2], e[1], e[0]);
    }
    offset += paletteCount * paletteEntrySize;
  }

  size_t pixelsAt = offset;
  if (hasFileHeader) {
    uint32_t off = Le32(file + 10);
    if (off < 14 + headerSize || off > fileSize) return bad();
    pixelsAt = off - 14;
  }
  size_t rowBytes = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
  if (pixelsAt > size || rowBytes * static_cast<size_t>(height) > size - pixelsAt) return bad();
  // A 1-bit file grows sixteenfold into 16-bit pixels: bound what a picture may cost.
  if (static_cast<size_t>(width) * 2 * static_cast<size_t>(height) > kMaxPictureBytes) return bad();

  Bitmap* bitmap = NewBitmap(static_cast<int>(width), static_cast<int>(height), false, false);
  if (!bitmap) return nullptr;
  const uint8_t* pixels = data + pixelsAt;
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = pixels + rowBytes * static_cast<size_t>(topDown ? y : height - 1 - y);
    uint16_t* dst = bitmap->surface.Row(y);
    for (int x = 0; x < width; ++x) {
      switch (bpp) {
        case 1:
        case 4:
        case 8: {
          unsigned bit = static_cast<unsigned>(x) * bpp;
          unsigned index = (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
          dst[x] = index < paletteCount ? palette[index] : 0;  // out-of-palette indices are black
          break;
        }
        case 16: {
          uint32_t v = Le16(src + 2 * x);
          dst[x] = FromRgb(red.Get(v, 8), green.Get(v, 8), blue.Get(v, 8));
          break;
        }
        case 24:
          dst[x] = FromRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
          break;
        default: {
          uint32_t v = Le32(src + 4 * x);
          dst[x] = FromRgb(red.Get(v, 8), green.Get(v, 8), blue.Get(v, 8));
          break;
        }
      }
    }
  }
  return bitmap;
}

}  // namespace ce::gdi

using namespace ce::gdi;

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || info->bmiHeader.biPlanes != 1 ||
      (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  if (section) {
    NotImplemented("CreateDIBSection over a file mapping");
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount != 16) {
    NotImplemented("device-independent sections other than 16 bits per pixel");
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  if (h.biCompression == BI_BITFIELDS) {
    // The masks follow a plain header and sit inside the larger ones.
    const auto* masks = reinterpret_cast<const DWORD*>(reinterpret_cast<const uint8_t*>(info) +
                                                       (h.biSize == sizeof(BITMAPINFOHEADER) ? h.biSize : 40));
    if (masks[0] != 0xF800 || masks[1] != 0x07E0 || masks[2] != 0x001F) {
      NotImplemented("16-bit sections with masks other than 565");
      Fail(kErrorInvalidParameter);
      return nullptr;
    }
  } else if (h.biCompression != BI_RGB) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight < -kMaxBitmapSide || h.biHeight > kMaxBitmapSide) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  bool bottomUp = h.biHeight > 0;
  Bitmap* bitmap = NewBitmap(h.biWidth, bottomUp ? h.biHeight : -h.biHeight, bottomUp, true);
  if (!bitmap) return nullptr;
  bitmap->compression = h.biCompression;
  if (bits) *bits = bitmap->memory;
  return static_cast<HBITMAP>(bitmap->handle);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (!LookupDC(dc)) {
    Fail(kErrorInvalidHandle);
    return nullptr;
  }
  Bitmap* bitmap = NewBitmap(width, height, false, false);
  return bitmap ? static_cast<HBITMAP>(bitmap->handle) : nullptr;
}

HBITMAP SHLoadDIBitmap(LPCWSTR devicePath) {
  std::string host;
  if (!devicePath || !ce::DevicePathToHost(devicePath, host)) {
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
      static_cast<unsigned long long>(st.st_size) > kMaxBitmapBytes * 2) {
    ::close(fd);
    Fail(kErrorBadFormat);
    return nullptr;
  }
  size_t size = static_cast<size_t>(st.st_size);
  auto* data = static_cast<uint8_t*>(std::malloc(size));
  if (!data) {
    ::close(fd);
    Fail(kErrorNotEnoughMemory);
    return nullptr;
  }
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, data + got, size - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  Bitmap* bitmap = DecodeBmp(data, got);
  std::free(data);
  return bitmap ? static_cast<HBITMAP>(bitmap->handle) : nullptr;
}
