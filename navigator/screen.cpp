#include "navigator/screen.h"

#include <cmath>
#include <numbers>

#include "navigator/device_file.h"

namespace nav {
namespace {

constexpr double kMetresPerDegree = 6371000.0 * std::numbers::pi / 180.0;

struct Palette {
  COLORREF land, street, casing, ring, text, bar, barText, marker, flash, flashText;
};
constexpr Palette kDay = {RGB(236, 232, 220), RGB(255, 255, 255), RGB(170, 165, 155), RGB(250, 210, 90),
                          RGB(60, 60, 60),    RGB(40, 70, 120),   RGB(255, 255, 255), RGB(20, 110, 230),
                          RGB(255, 250, 200), RGB(30, 30, 30)};
constexpr Palette kNight = {RGB(20, 28, 45),    RGB(90, 100, 120), RGB(50, 58, 75),    RGB(150, 120, 50),
                            RGB(200, 200, 210), RGB(10, 15, 30),   RGB(210, 210, 220), RGB(80, 170, 255),
                            RGB(60, 60, 80),    RGB(240, 240, 240)};

// Draws a polyline with a pen made for it.
void Line(HDC dc, const std::vector<POINT>& pts, int width, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, width, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, pts.data(), static_cast<int>(pts.size()));
  SelectObject(dc, old);
  DeleteObject(pen);
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
}

}  // namespace

POINT ToScreen(MapPoint p, MapPoint centre, double metresPerPixel, int width, int height) {
  double k = std::cos(Latitude(centre) * std::numbers::pi / 180.0);
  double east = (static_cast<double>(p.x) - centre.x) / 1e5 * kMetresPerDegree * k;
  double north = (static_cast<double>(p.y) - centre.y) / 1e5 * kMetresPerDegree;
  double x = width / 2.0 + east / metresPerPixel, y = height / 2.0 - north / metresPerPixel;
  // Far-off points are pinned well outside the bitmap, where clipping drops them.
  auto pin = [](double v) { return static_cast<LONG>(std::lround(std::clamp(v, -30000.0, 30000.0))); };
  return {pin(x), pin(y)};
}

Screen::~Screen() {
  for (auto& [path, bmp] : icons_)
    if (bmp) DeleteObject(bmp);
  for (auto& [key, font] : fonts_) DeleteObject(font);
}

HBITMAP Screen::Icon(const std::string& path) {
  auto it = icons_.find(path);
  if (it != icons_.end()) return it->second;
  HBITMAP bmp = SHLoadDIBitmap(Wide(path).c_str());
  icons_[path] = bmp;
  return bmp;
}

HFONT Screen::Font(int height, bool bold) {
  int key = height * 2 + (bold ? 1 : 0);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  HFONT f = CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, TEXT("Tahoma"));
  fonts_[key] = f;
  return f;
}

void Screen::Draw(HDC dc, int width, int height, Navigator& navigator) {
  const Palette& pal = navigator.NightColours() ? kNight : kDay;
  const int unit = std::max(1, std::min(width, height) / 240);  // 1 on a 240-pixel screen
  const int barHeight = 20 * unit;
  Fill(dc, {0, 0, width - 1, height - 1}, pal.land);

  MapPoint centre = navigator.ViewCentre();
  double mpp = navigator.ViewSpanMetres() / std::max(1, std::min(width, height));
  auto to = [&](MapPoint p) { return ToScreen(p, centre, mpp, width, height); };

  // Streets: casing first, then the road, so crossings join cleanly.
  const auto& streets = navigator.Streets().Streets();
  std::vector<std::vector<POINT>> lines;
  for (const Street& s : streets) {
    std::vector<POINT> pts;
    for (MapPoint p : s.line) pts.push_back(to(p));
    lines.push_back(std::move(pts));
  }
  for (size_t i = 0; i < streets.size(); i++) Line(dc, lines[i], 7 * unit, pal.casing);
  for (size_t i = 0; i < streets.size(); i++)
    Line(dc, lines[i], 5 * unit, streets[i].speedLimit >= 60 ? pal.ring : pal.street);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, pal.text);
  HGDIOBJ oldFont = SelectObject(dc, Font(9 * unit, false));
  for (size_t i = 0; i < streets.size(); i++) {
    const auto& pts = lines[i];
    POINT a = pts[pts.size() / 2 - (pts.size() % 2 == 0 ? 1 : 0)], b = pts[pts.size() / 2];
    POINT mid = pts.size() % 2 == 0 ? POINT{(a.x + b.x) / 2, (a.y + b.y) / 2} : b;
    WideString name = Wide(streets[i].name);
    TextOutW(dc, mid.x + 4 * unit, mid.y - 12 * unit, name.c_str(), static_cast<int>(name.size()));
  }

  // Points of the visible categories.
  navigator.Categories().Refresh();
  for (const auto& [key, category] : navigator.Categories().Categories()) {
    if (!category.visible) continue;
    HBITMAP icon = category.iconPath.empty() ? nullptr : Icon(category.iconPath);
    BITMAP info{};
    if (icon) GetObjectW(icon, sizeof info, &info);
    for (const Ov2Record& r : category.contents.records) {
      if (!r.isPoint) continue;
      POINT p = to(r.pos);
      if (p.x < -32 || p.y < -32 || p.x > width + 32 || p.y > height + 32) continue;
      if (icon && info.bmWidth > 0 && info.bmHeight > 0) {
        int w = info.bmWidth * unit, h = info.bmHeight * unit;
        TransparentImage(dc, p.x - w / 2, p.y - h / 2, w, h, icon, 0, 0, info.bmWidth, std::abs(info.bmHeight),
                         RGB(255, 0, 255));
      } else {
        Fill(dc, {p.x - 4 * unit, p.y - 4 * unit, p.x + 4 * unit, p.y + 4 * unit}, RGB(200, 30, 30));
      }
    }
  }

  // Destination flag.
  const Destination& target = navigator.Target();
  if (target.set) {
    POINT p = to(target.pos);
    POINT flag[3] = {{p.x, p.y - 16 * unit}, {p.x + 10 * unit, p.y - 12 * unit}, {p.x, p.y - 8 * unit}};
    Line(dc, {p, {p.x, p.y - 16 * unit}}, 2 * unit, RGB(40, 40, 40));
    HBRUSH red = CreateSolidBrush(RGB(220, 30, 30));
    HGDIOBJ oldBrush = SelectObject(dc, red);
    Polygon(dc, flag, 3);
    SelectObject(dc, oldBrush);
    DeleteObject(red);
  }

  // Position marker: an arrow pointing along the heading.
  GpsFix fix = navigator.Position();
  if (fix.valid) {
    POINT c = to(fix.pos);
    double a = fix.heading * std::numbers::pi / 180.0, s = std::sin(a), co = std::cos(a);
    auto rot = [&](double dx, double dy) {  // dy up
      return POINT{static_cast<LONG>(std::lround(c.x + (dx * co + dy * s) * unit)),
                   static_cast<LONG>(std::lround(c.y - (-dx * s + dy * co) * unit))};
    };
    POINT arrow[4] = {rot(0, 12), rot(8, -9), rot(0, -4), rot(-8, -9)};
    HBRUSH brush = CreateSolidBrush(pal.marker);
    HPEN pen = CreatePen(PS_SOLID, unit, RGB(255, 255, 255));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Polygon(dc, arrow, 4);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
  }

  // Status lines: where we are on top, speed and map at the bottom.
  std::string top = "No GPS fix";
  if (fix.valid) {
    LocationInfo here;
    top = navigator.Streets().Locate(fix.pos, 100, here) ? here.street + ", " + here.place : "Off road";
  }
  char bottom[160];
  snprintf(bottom, sizeof bottom, "%d km/h   %s", fix.valid ? fix.speed : 0, navigator.MapName().c_str());
  SelectObject(dc, Font(11 * unit, true));
  SetTextColor(dc, pal.barText);
  Fill(dc, {0, 0, width - 1, barHeight - 1}, pal.bar);
  Fill(dc, {0, height - barHeight, width - 1, height - 1}, pal.bar);
  RECT topRect{4 * unit, 0, width - 4 * unit, barHeight};
  WideString topText = Wide(top), bottomText = Wide(bottom);
  DrawTextW(dc, topText.c_str(), -1, &topRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  RECT bottomRect{4 * unit, height - barHeight, width - 4 * unit, height};
  DrawTextW(dc, bottomText.c_str(), -1, &bottomRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);

  // A flashed message, centred, for its duration.
  std::string flash = navigator.FlashText();
  if (!flash.empty()) {
    RECT box{12 * unit, height / 2 - 30 * unit, width - 12 * unit, height / 2 + 30 * unit};
    HBRUSH brush = CreateSolidBrush(pal.flash);
    HPEN pen = CreatePen(PS_SOLID, unit, pal.flashText);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    RoundRect(dc, box.left, box.top, box.right, box.bottom, 12 * unit, 12 * unit);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    SetTextColor(dc, pal.flashText);
    RECT text{box.left + 6 * unit, box.top + 4 * unit, box.right - 6 * unit, box.bottom - 4 * unit};
    WideString wide = Wide(flash);
    DrawTextW(dc, wide.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
}

}  // namespace nav
