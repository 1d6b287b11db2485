// The navigator's screen: the streets around the view centre, the visible categories' points
// (with their icons when the map folder has a .bmp of the category's name), the destination, the
// position marker turned to the heading, a status line, and a flashed message while it is due.
#pragma once

#include <map>
#include <string>

#include "ce/ce.h"
#include "navigator/navigator.h"

namespace nav {

// Map position to pixel for a view: `centre` in the middle, `metresPerPixel` both ways, north up.
POINT ToScreen(MapPoint p, MapPoint centre, double metresPerPixel, int width, int height);

class Screen {
 public:
  Screen() = default;
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // Draws the whole picture into `dc`, which covers width × height pixels.
  void Draw(HDC dc, int width, int height, Navigator& navigator);

 private:
  HBITMAP Icon(const std::string& path);
  HFONT Font(int height, bool bold);

  std::map<std::string, HBITMAP> icons_;  // null entries: the icon could not be loaded
  std::map<int, HFONT> fonts_;
};

}  // namespace nav
