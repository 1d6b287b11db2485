#include "tests/gdi/gdi_test.h"

#include <gtest/gtest.h>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gditest {

uint16_t To565(COLORREF c) {
  return static_cast<uint16_t>(((GetRValue(c) >> 3) << 11) | ((GetGValue(c) >> 2) << 5) | (GetBValue(c) >> 3));
}

Canvas::Canvas(int w, int h, COLORREF fill, bool bottomUpRows) : width(w), height(h), bottomUp(bottomUpRows) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = bottomUp ? h : -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 16;
  info.bmiHeader.biCompression = BI_RGB;
  dc = CreateCompatibleDC(nullptr);
  void* memory = nullptr;
  bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  bits = static_cast<uint16_t*>(memory);
  previous = SelectObject(dc, bitmap);
  Fill(fill);
}

Canvas::~Canvas() {
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

uint16_t Canvas::Pixel(int x, int y) const {
  int stride = ((width * 2 + 3) / 4) * 4 / 2;
  int row = bottomUp ? height - 1 - y : y;
  return bits[row * stride + x];
}

void Canvas::Fill(COLORREF color) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int stride = ((width * 2 + 3) / 4) * 4 / 2;
      bits[y * stride + x] = To565(color);
    }
}

int Canvas::Count(COLORREF color, int l, int t, int r, int b) const {
  int n = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) n += Pixel(x, y) == To565(color);
  return n;
}

RECT Canvas::InkBox(COLORREF background) const {
  RECT box{width, height, 0, 0};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (Pixel(x, y) != To565(background)) {
        if (x < box.left) box.left = x;
        if (y < box.top) box.top = y;
        if (x + 1 > box.right) box.right = x + 1;
        if (y + 1 > box.bottom) box.bottom = y + 1;
      }
  if (box.right == 0) box = RECT{0, 0, 0, 0};
  return box;
}

void ExpectPicture(const Canvas& c, const char* picture, const std::function<COLORREF(char)>& colourOf) {
  ASSERT_EQ(std::strlen(picture), static_cast<size_t>(c.width * c.height));
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x)
      EXPECT_EQ(c.Pixel(x, y), To565(colourOf(picture[y * c.width + x])))
          << "at " << x << "," << y << c.Map(colourOf('.'));
}

std::string Canvas::Map(COLORREF background, int l, int t, int r, int b) const {
  if (r < 0) r = width;
  if (b < 0) b = height;
  std::string out = "\n";
  for (int y = t; y < b; ++y) {
    for (int x = l; x < r; ++x) out += Pixel(x, y) == To565(background) ? '.' : '#';
    out += '\n';
  }
  return out;
}

const std::vector<COLORREF>& Palette16() {
  static const std::vector<COLORREF> palette = {
      RGB(0, 0, 0),     RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),  RGB(0, 0, 128), RGB(128, 0, 128),
      RGB(0, 128, 128), RGB(192, 192, 192), RGB(128, 128, 128), RGB(255, 0, 0),    RGB(0, 255, 0), RGB(255, 255, 0),
      RGB(0, 0, 255),   RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255)};
  return palette;
}

namespace {

// x as `bytes` little-endian bytes.
void PutLittleEndian(std::vector<uint8_t>& v, uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, unsigned x) { PutLittleEndian(v, x, 2); }
void Put32(std::vector<uint8_t>& v, uint32_t x) { PutLittleEndian(v, x, 4); }

// BITMAPINFOHEADER, masks or palette, and the pixel rows (bottom-up unless topDown).
std::vector<uint8_t> Dib(const BmpLayout& s, int heightField) {
  std::vector<uint8_t> v;
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(s.width));
  Put32(v, static_cast<uint32_t>(heightField));
  Put16(v, 1);
  Put16(v, static_cast<unsigned>(s.bpp));
  Put32(v, s.bitfields565 ? BI_BITFIELDS : BI_RGB);
  size_t rowBytes = ((static_cast<size_t>(s.width) * s.bpp + 31) / 32) * 4;
  Put32(v, static_cast<uint32_t>(rowBytes * s.height));
  Put32(v, 3780);
  Put32(v, 3780);
  Put32(v, s.bpp <= 8 ? static_cast<uint32_t>(s.palette.size()) : 0);
  Put32(v, 0);
  if (s.bitfields565) {
    Put32(v, 0xF800);
    Put32(v, 0x07E0);
    Put32(v, 0x001F);
  }
  if (s.bpp <= 8)
    for (COLORREF c : s.palette) Put32(v, (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
  for (int r = 0; r < s.height; ++r) {
    int y = s.topDown ? r : s.height - 1 - r;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int x = 0; x < s.width; ++x) {
      if (s.bpp <= 8) {
        int bit = x * s.bpp;
        row[bit / 8] |= static_cast<uint8_t>(s.index(x, y) << (8 - s.bpp - bit % 8));
      } else {
        COLORREF c = s.color(x, y);
        if (s.bpp == 24) {
          row[3 * x] = GetBValue(c);
          row[3 * x + 1] = GetGValue(c);
          row[3 * x + 2] = GetRValue(c);
        } else if (s.bpp == 32) {
          row[4 * x] = GetBValue(c);
          row[4 * x + 1] = GetGValue(c);
          row[4 * x + 2] = GetRValue(c);
        } else {
          unsigned p = s.bitfields565 ? To565(c)
                                      : ((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3);
          row[2 * x] = static_cast<uint8_t>(p);
          row[2 * x + 1] = static_cast<uint8_t>(p >> 8);
        }
      }
    }
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

}  // namespace

std::vector<uint8_t> MakeBmp(const BmpLayout& s) {
  std::vector<uint8_t> dib = Dib(s, s.topDown ? -s.height : s.height);
  size_t headers = 40 + (s.bitfields565 ? 12 : 0) + (s.bpp <= 8 ? s.palette.size() * 4 : 0);
  std::vector<uint8_t> v;
  Put16(v, 'B' | ('M' << 8));
  Put32(v, static_cast<uint32_t>(14 + dib.size()));
  Put32(v, 0);
  Put32(v, static_cast<uint32_t>(14 + headers));
  v.insert(v.end(), dib.begin(), dib.end());
  return v;
}

std::vector<uint8_t> MakeIco(const std::vector<int>& sizes, const std::function<int(int, int, int)>& index,
                             const std::function<bool(int, int, int)>& transparent) {
  std::vector<std::vector<uint8_t>> images;
  for (int size : sizes) {
    BmpLayout s;
    s.width = size;
    s.height = size;
    s.bpp = 4;
    s.palette = Palette16();
    s.index = [&](int x, int y) { return index(size, x, y); };
    std::vector<uint8_t> dib = Dib(s, size * 2);
    size_t maskRow = ((static_cast<size_t>(size) + 31) / 32) * 4;
    for (int r = 0; r < size; ++r) {
      int y = size - 1 - r;
      std::vector<uint8_t> row(maskRow, 0);
      for (int x = 0; x < size; ++x)
        if (transparent(size, x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      dib.insert(dib.end(), row.begin(), row.end());
    }
    images.push_back(dib);
  }
  std::vector<uint8_t> v;
  Put16(v, 0);
  Put16(v, 1);
  Put16(v, static_cast<unsigned>(sizes.size()));
  size_t offset = 6 + 16 * sizes.size();
  for (size_t i = 0; i < sizes.size(); ++i) {
    v.push_back(static_cast<uint8_t>(sizes[i]));
    v.push_back(static_cast<uint8_t>(sizes[i]));
    v.push_back(16);
    v.push_back(0);
    Put16(v, 1);
    Put16(v, 4);
    Put32(v, static_cast<uint32_t>(images[i].size()));
    Put32(v, static_cast<uint32_t>(offset));
    offset += images[i].size();
  }
  for (auto& image : images) v.insert(v.end(), image.begin(), image.end());
  return v;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return (std::fclose(f) == 0) && ok;
}

namespace {

std::vector<std::string>& Folders() {
  static std::vector<std::string> folders;
  return folders;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

void RemoveFolders() {
  for (const std::string& dir : Folders()) nftw(dir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

std::string TempFolder(const char* tag) {
  char pattern[256];
  std::snprintf(pattern, sizeof pattern, "/tmp/gdi-%s-XXXXXX", tag);
  const char* made = mkdtemp(pattern);
  if (!made) {
    std::fprintf(stderr, "cannot make a folder from %s\n", pattern);
    return std::string("/nonexistent");  // later steps fail on it
  }
  if (Folders().empty()) std::atexit(RemoveFolders);
  Folders().push_back(made);
  return made;
}

}  // namespace gditest
