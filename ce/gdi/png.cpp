// PNG files through libpng's simplified interface (no setjmp in our code).
#include <png.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "ce/gdi/internal.h"
#include "ce/gdi/surface.h"

namespace ce::gdi {

bool WritePngRgb(const uint8_t* rgb, int width, int height, const char* hostPath) {
  if (!rgb || !hostPath || width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  bool ok = png_image_write_to_file(&image, hostPath, 0, rgb, width * 3, nullptr) != 0;
  png_image_free(&image);
  if (!ok) ::unlink(hostPath);  // never leave half a file behind
  return ok;
}

bool WritePng565(const uint16_t* pixels, int width, int height, int strideBytes, const char* hostPath) {
  if (!pixels || width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      (strideBytes >= 0 && strideBytes < 2 * width) || (strideBytes < 0 && -strideBytes < 2 * width))
    return false;
  size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  auto* rgb = static_cast<uint8_t*>(std::malloc(bytes));
  if (!rgb) return false;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(pixels) +
                                                        static_cast<ptrdiff_t>(strideBytes) * y);
    uint8_t* out = rgb + static_cast<size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      COLORREF c = ToColor(row[x]);
      out[3 * x] = GetRValue(c);
      out[3 * x + 1] = GetGValue(c);
      out[3 * x + 2] = GetBValue(c);
    }
  }
  bool ok = WritePngRgb(rgb, width, height, hostPath);
  std::free(rgb);
  return ok;
}

bool WritePng(HDC dc, const char* hostPath) {
  const uint16_t* top;
  int w, h, stride;
  return GetDCPixels(dc, &top, &w, &h, &stride) && WritePng565(top, w, h, stride, hostPath);
}

bool WritePng(HBITMAP bitmap, const char* hostPath) {
  const uint16_t* top;
  int w, h, stride;
  return GetBitmapPixels(bitmap, &top, &w, &h, &stride) && WritePng565(top, w, h, stride, hostPath);
}

namespace {

// Finishes a read begun on `image` into a malloc'd block of the given format.
bool FinishRead(png_image& image, png_uint_32 format, int channels, uint8_t** out, int* width, int* height) {
  if (image.width == 0 || image.height == 0 || image.width > kMaxBitmapSide || image.height > kMaxBitmapSide) {
    png_image_free(&image);
    return false;
  }
  image.format = format;
  size_t bytes = size_t{image.width} * image.height * static_cast<size_t>(channels);
  auto* buffer = static_cast<uint8_t*>(std::malloc(bytes));
  if (!buffer) {
    png_image_free(&image);
    return false;
  }
  png_color black{0, 0, 0};
  if (!png_image_finish_read(&image, &black, buffer, 0, nullptr)) {
    std::free(buffer);
    png_image_free(&image);
    return false;
  }
  *out = buffer;
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return true;
}

}  // namespace

bool ReadPngRgb(const char* hostPath, uint8_t** rgb, int* width, int* height) {
  if (!hostPath || !rgb || !width || !height) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, hostPath)) return false;
  return FinishRead(image, PNG_FORMAT_RGB, 3, rgb, width, height);
}

// For icons stored as PNG: 8-bit RGBA.
bool DecodePngRgba(const uint8_t* data, size_t size, uint8_t** rgba, int* width, int* height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  return FinishRead(image, PNG_FORMAT_RGBA, 4, rgba, width, height);
}

}  // namespace ce::gdi
