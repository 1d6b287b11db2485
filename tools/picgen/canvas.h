// A small paletted canvas for drawing the program's pictures, and the writers for the two file
// formats they ship in: 4-bit .bmp and a two-image .ico.
//
// Colours are indices into the standard 16-colour palette below. Shapes are sampled at pixel
// centres without anti-aliasing: with 16 colours a soft edge would only add noise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picgen {

enum Colour : uint8_t {
  Black = 0,
  Maroon = 1,
  Green = 2,
  Olive = 3,
  Navy = 4,
  Purple = 5,
  Teal = 6,
  Silver = 7,
  Grey = 8,
  Red = 9,
  Lime = 10,
  Yellow = 11,
  Blue = 12,
  Fuchsia = 13,
  Aqua = 14,
  White = 15,
  // Not a palette entry: a red and yellow checkerboard, the nearest this palette comes to orange.
  Orange = 16,
};

struct Rgb {
  uint8_t r, g, b;
};
extern const Rgb kPalette[16];

struct Point {
  double x, y;
};

class Canvas {
 public:
  Canvas(int width, int height, uint8_t background = White);

  int width() const { return width_; }
  int height() const { return height_; }
  uint8_t at(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }

  // Every drawing call clips to the canvas. `colour` may be Orange, which dithers.
  void set(int x, int y, uint8_t colour);
  void fillRect(int left, int top, int right, int bottom, uint8_t colour);  // right, bottom exclusive
  void frameRect(int left, int top, int right, int bottom, uint8_t colour, int thickness = 1);
  void fillEllipse(double cx, double cy, double rx, double ry, uint8_t colour);
  void ring(double cx, double cy, double outer, double inner, uint8_t colour);
  // Even-odd fill of a closed polygon.
  void fillPolygon(const std::vector<Point>& points, uint8_t colour);
  // A straight stroke with square ends of the given width.
  void line(double x0, double y0, double x1, double y1, double width, uint8_t colour);
  // Part of a circle's outline between two angles in degrees (0 = right, 90 = down), as a stroke.
  void arc(double cx, double cy, double radius, double from, double to, double width, uint8_t colour);
  // Paints every pixel of colour `inside` that touches (4-neighbour) a pixel of another colour,
  // or the canvas edge, with `edge`: an outline drawn after the fill.
  void outlineRegion(int left, int top, int right, int bottom, uint8_t inside, uint8_t edge);
  // Text art: one string per row; each character maps to a colour through `key`
  // ("X=0" pairs, '.' and ' ' are left untouched).
  void art(int left, int top, const std::vector<std::string>& rows, const std::string& key);

 private:
  int width_, height_;
  std::vector<uint8_t> pixels_;
};

// The .bmp file of a canvas: BITMAPFILEHEADER, BITMAPINFOHEADER, 16 palette entries, bottom-up
// rows of 4-bit pixels padded to 4 bytes.
std::vector<uint8_t> EncodeBmp4(const Canvas& canvas);

// An .ico file holding each canvas as a 4-bit image; pixels of `transparent` are masked out.
std::vector<uint8_t> EncodeIco4(const std::vector<const Canvas*>& images, uint8_t transparent);

}  // namespace picgen
