// The stand-in's own drawing entry points (not Win32): device contexts over caller-owned pixels,
// read access to bitmaps, and PNG files. The windowing backends, tests and tools use these.
//
// Pixels are RGB565 everywhere (red in the top 5 bits). A colour widens to 8 bits per channel by
// bit replication (r8 = r5 << 3 | r5 >> 2, g8 = g6 << 2 | g6 >> 4), and narrows by truncation
// (r5 = r8 >> 3, g6 = g8 >> 2): this is what a 16-bit display shows for RGB(r, g, b).
#pragma once

#include <cstdint>

#include "ce/types.h"

namespace ce::gdi {

// A device context that draws straight into `pixels`: `height` rows of `width` RGB565 pixels,
// top row first, each row `strideBytes` apart (strideBytes >= 2 * width). The caller owns the
// pixels and keeps them alive until DeleteDC, which frees the context and never the pixels.
// It starts with the same default pen, brush, font and colours as CreateCompatibleDC; selecting a
// bitmap into it fails, as for a window's context. NULL (ERROR_INVALID_PARAMETER) for bad
// arguments, NULL (ERROR_NOT_ENOUGH_MEMORY) when no handle is left.
HDC CreateSurfaceDC(uint16_t* pixels, int width, int height, int strideBytes);

// Read access to a bitmap's pixels: the top row, the size, and the distance in bytes from one
// row to the row below it, which is NEGATIVE for a bottom-up device-independent bitmap
// (row y starts at (const char*)*topRow + y * *strideBytes). False for a handle that is not a
// bitmap. The pointer stays valid until the bitmap is deleted.
bool GetBitmapPixels(HBITMAP bitmap, const uint16_t** topRow, int* width, int* height, int* strideBytes);

// The same for whatever a context draws into: the selected bitmap or a surface's pixels.
bool GetDCPixels(HDC dc, const uint16_t** topRow, int* width, int* height, int* strideBytes);

// An icon's image for a window manager: RGB565 pixels, top row first, width * height of them,
// and one byte per pixel that is 1 where the icon is drawn. False for a handle that is not an icon.
bool GetIconImage(HICON icon, const uint16_t** pixels, const uint8_t** mask, int* width, int* height);

// PNG files (8-bit RGB). The writers return false, leaving no partial file behind, when the
// image is empty or the file cannot be written.
bool WritePng565(const uint16_t* topDownPixels, int width, int height, int strideBytes, const char* hostPath);
bool WritePngRgb(const uint8_t* rgb, int width, int height, const char* hostPath);
bool WritePng(HDC dc, const char* hostPath);
bool WritePng(HBITMAP bitmap, const char* hostPath);

// Reads any PNG as 8-bit RGB (alpha composed over black). On success *rgb is a malloc'd block of
// width * height * 3 bytes that the caller frees with free(); false for a missing or bad file.
bool ReadPngRgb(const char* hostPath, uint8_t** rgb, int* width, int* height);

}  // namespace ce::gdi
