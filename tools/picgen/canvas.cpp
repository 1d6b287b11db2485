#include "tools/picgen/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace picgen {

const Rgb kPalette[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

Canvas::Canvas(int width, int height, uint8_t background)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), background) {}

void Canvas::set(int x, int y, uint8_t colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (colour == Orange) colour = ((x + y) & 1) ? Yellow : Red;
  pixels_[static_cast<size_t>(y * width_ + x)] = colour & 15;
}

void Canvas::fillRect(int left, int top, int right, int bottom, uint8_t colour) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) set(x, y, colour);
}

void Canvas::frameRect(int left, int top, int right, int bottom, uint8_t colour, int thickness) {
  fillRect(left, top, right, top + thickness, colour);
  fillRect(left, bottom - thickness, right, bottom, colour);
  fillRect(left, top, left + thickness, bottom, colour);
  fillRect(right - thickness, top, right, bottom, colour);
}

void Canvas::fillEllipse(double cx, double cy, double rx, double ry, uint8_t colour) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      if (dx * dx + dy * dy <= 1.0) set(x, y, colour);
    }
}

void Canvas::ring(double cx, double cy, double outer, double inner, uint8_t colour) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      double dx = x + 0.5 - cx, dy = y + 0.5 - cy, d = std::sqrt(dx * dx + dy * dy);
      if (d <= outer && d > inner) set(x, y, colour);
    }
}

void Canvas::fillPolygon(const std::vector<Point>& points, uint8_t colour) {
  size_t n = points.size();
  if (n < 3) return;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      double px = x + 0.5, py = y + 0.5;
      bool inside = false;
      for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const Point& a = points[i];
        const Point& b = points[j];
        if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) inside = !inside;
      }
      if (inside) set(x, y, colour);
    }
}

void Canvas::line(double x0, double y0, double x1, double y1, double width, uint8_t colour) {
  double dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
  if (len == 0) {
    fillEllipse(x0, y0, width / 2, width / 2, colour);
    return;
  }
  // The stroke is the rectangle around the segment, extended by half the width at both ends.
  double ux = dx / len * width / 2, uy = dy / len * width / 2;
  fillPolygon({{x0 - ux - uy, y0 - uy + ux},
               {x1 + ux - uy, y1 + uy + ux},
               {x1 + ux + uy, y1 + uy - ux},
               {x0 - ux + uy, y0 - uy - ux}},
              colour);
}

void Canvas::arc(double cx, double cy, double radius, double from, double to, double width, uint8_t colour) {
  const double kDeg = 3.14159265358979323846 / 180.0;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      double d = std::sqrt(dx * dx + dy * dy);
      if (std::fabs(d - radius) > width / 2) continue;
      double a = std::atan2(dy, dx) / kDeg;
      if (a < from) a += 360;
      if (a < from) a += 360;
      if (a <= to) set(x, y, colour);
    }
}

void Canvas::outlineRegion(int left, int top, int right, int bottom, uint8_t inside, uint8_t edge) {
  std::vector<std::pair<int, int>> marks;
  for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y)
    for (int x = std::max(left, 0); x < std::min(right, width_); ++x) {
      if (at(x, y) != inside) continue;
      bool border = x == 0 || y == 0 || x == width_ - 1 || y == height_ - 1 || at(x - 1, y) != inside ||
                    at(x + 1, y) != inside || at(x, y - 1) != inside || at(x, y + 1) != inside;
      if (border) marks.emplace_back(x, y);
    }
  for (auto [x, y] : marks) set(x, y, edge);
}

void Canvas::art(int left, int top, const std::vector<std::string>& rows, const std::string& key) {
  // The key is a list of "X=n" entries separated by blanks.
  int colourOf[256];
  std::fill(std::begin(colourOf), std::end(colourOf), -1);
  for (size_t i = 0; i + 2 < key.size(); ++i)
    if (key[i + 1] == '=' && (i == 0 || key[i - 1] == ' '))
      colourOf[static_cast<unsigned char>(key[i])] = std::atoi(key.c_str() + i + 2);
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) {
      int colour = colourOf[static_cast<unsigned char>(rows[r][c])];
      if (colour >= 0) set(left + static_cast<int>(c), top + static_cast<int>(r), static_cast<uint8_t>(colour));
    }
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

int RowBytes(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, uint32_t imageSize) {
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 16);  // colours used
  Put32(out, 0);   // colours important: all
}

void PutPalette(std::vector<uint8_t>& out) {
  for (const Rgb& c : kPalette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
}

void PutPixels4(std::vector<uint8_t>& out, const Canvas& canvas) {
  int stride = RowBytes(canvas.width(), 4);
  for (int y = canvas.height() - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int x = 0; x < canvas.width(); ++x)
      row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(canvas.at(x, y) << ((x & 1) ? 0 : 4));
    out.insert(out.end(), row.begin(), row.end());
  }
}

}  // namespace

std::vector<uint8_t> EncodeBmp4(const Canvas& canvas) {
  uint32_t imageSize = static_cast<uint32_t>(RowBytes(canvas.width(), 4) * canvas.height());
  uint32_t offset = 14 + 40 + 16 * 4;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + imageSize);
  Put32(out, 0);
  Put32(out, offset);
  PutInfoHeader(out, canvas.width(), canvas.height(), imageSize);
  PutPalette(out);
  PutPixels4(out, canvas);
  return out;
}

std::vector<uint8_t> EncodeIco4(const std::vector<const Canvas*>& images, uint8_t transparent) {
  std::vector<std::vector<uint8_t>> bodies;
  for (const Canvas* c : images) {
    // The colour image with masked pixels set to black, then the AND mask (1 = transparent).
    Canvas colour = *c;
    for (int y = 0; y < c->height(); ++y)
      for (int x = 0; x < c->width(); ++x)
        if (c->at(x, y) == transparent) colour.set(x, y, Black);
    int maskStride = RowBytes(c->width(), 1);
    uint32_t xorSize = static_cast<uint32_t>(RowBytes(c->width(), 4) * c->height());
    uint32_t andSize = static_cast<uint32_t>(maskStride * c->height());
    std::vector<uint8_t> body;
    PutInfoHeader(body, c->width(), c->height() * 2, xorSize + andSize);
    PutPalette(body);
    PutPixels4(body, colour);
    for (int y = c->height() - 1; y >= 0; --y) {
      std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
      for (int x = 0; x < c->width(); ++x)
        if (c->at(x, y) == transparent) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x & 7));
      body.insert(body.end(), row.begin(), row.end());
    }
    bodies.push_back(std::move(body));
  }
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<uint8_t>(images[i]->width()));
    out.push_back(static_cast<uint8_t>(images[i]->height()));
    out.push_back(16);  // colours
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 4);  // bits per pixel
    Put32(out, static_cast<uint32_t>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(bodies[i].size());
  }
  for (const auto& b : bodies) out.insert(out.end(), b.begin(), b.end());
  return out;
}

}  // namespace picgen
