// Drawing code for every picture of the program. Each button picture is 78 x 48 on white, which
// the program draws as transparent, so white inside a shape shows the button's fill.
//
// Start at kButtons at the bottom: one row per resource id with its file name and drawing.

#include "tools/picgen/pictures.h"

#include <cmath>
#include <cstring>

namespace picgen {
namespace {

constexpr int kW = 78, kH = 48;

// ---- Glyphs for the speed signs: 10 x 16, three-pixel strokes. ----

// The glyphs side by side, in the order of kGlyphChars: 10 columns each, one blank between.
constexpr char kGlyphChars[] = "0234567?*";
constexpr int kGlyphW = 10, kGlyphH = 16;
const char* const kGlyphSheet[kGlyphH] = {
    "...####... ..######.. ..######.. ......###. #########. ...######. ########## ..######.. ..........",
    ".########. .########. .########. .....####. #########. .########. ########## .########. ..........",
    ".###..###. ###....### ###....### .....####. ###....... .###...... .......### ###....### ..........",
    "###....### ##.....### .......### ....#####. ###....... ###....... .......### ##.....### ....##....",
    "###....### .......### .......### ....##.##. ###....... ###....... ......###. .......### ....##....",
    "###....### ......###. .......### ...###.##. ########.. ###.####.. ......###. ......###. ##..##..##",
    "###....### .....####. ...######. ...##..##. #########. #########. .....###.. .....###.. ###.##.###",
    "###....### ....####.. ...#####.. ..###..##. ###...#### ####..#### .....###.. ....###... .########.",
    "###....### ...####... ...######. ..##...##. .......### ###....### ....###... ....###... ...####...",
    "###....### ..####.... .......### .###...##. .......### ###....### ....###... ....###... .########.",
    "###....### .####..... .......### ########## .......### ###....### ...###.... ....###... ###.##.###",
    "###....### ####...... .......### ########## .......### ###....### ...###.... .......... ##..##..##",
    "###....### ###....... ###....### ......###. ###....### ###....### ...###.... .......... ....##....",
    ".###..###. ###....... ###....### ......###. ####..###. .###..###. ..###..... ....###... ....##....",
    ".########. ########## .########. ......###. .########. .########. ..###..... ....###... ..........",
    "...####... ########## ..######.. ......###. ..#####... ...####... ..###..... ....###... ..........",
};

void DrawGlyph(Canvas& c, int left, int top, char ch, uint8_t colour, int zoom = 1) {
  const char* found = std::strchr(kGlyphChars, ch);
  if (ch == '\0' || !found) return;
  const int column = static_cast<int>(found - kGlyphChars) * (kGlyphW + 1);
  for (int r = 0; r < kGlyphH; ++r)
    for (int x = 0; x < kGlyphW; ++x)
      if (kGlyphSheet[r][column + x] == '#')
        c.fillRect(left + x * zoom, top + r * zoom, left + (x + 1) * zoom, top + (r + 1) * zoom, colour);
}

// A filled rectangle with a one-pixel black frame.
void Box(Canvas& c, int left, int top, int right, int bottom, uint8_t fill) {
  c.fillRect(left, top, right, bottom, fill);
  c.frameRect(left, top, right, bottom, Black);
}

struct Rect {
  int left, top, right, bottom;
};

// A box camera seen from the front: a yellow body on a grey pole, under a black rain hood
// (none when `hood` is empty).
void FrontCamera(Canvas& c, Rect pole, Rect body, Rect hood = {}) {
  Box(c, pole.left, pole.top, pole.right, pole.bottom, Grey);
  Box(c, body.left, body.top, body.right, body.bottom, Yellow);
  c.fillRect(hood.left, hood.top, hood.right, hood.bottom, Black);
}

// A grey pole six pixels wide with a light stripe down its left side.
void Pole(Canvas& c, int left, int top, int bottom) {
  Box(c, left, top, left + 6, bottom, Grey);
  c.fillRect(left + 2, top + 1, left + 3, bottom - 1, Silver);
}

// A round speed-limit sign: red ring, the text in black, centred in the picture.
void SpeedSign(Canvas& c, const char* text) {
  c.fillEllipse(39, 24, 23.5, 23.5, Red);
  c.fillEllipse(39, 24, 18, 18, White);
  c.ring(39, 24, 23.5, 22.6, Maroon);
  int n = static_cast<int>(std::strlen(text));
  int width = n * 10 + (n - 1) * 3;
  int left = 39 - width / 2;
  for (int i = 0; i < n; ++i) DrawGlyph(c, left + i * 13, 16, text[i], Black);
}

// ---- Cameras ----

// The usual road-side camera seen from the side, lens to the left: a housing of `body` colour
// under a dark visor, on a grey pole that runs down to `poleBottom` (no pole when 0).
void SideCamera(Canvas& c, int x, int y, uint8_t body, int poleBottom) {
  if (poleBottom > 0) {
    Pole(c, x + 12, y + 17, poleBottom);
    Box(c, x + 8, y + 15, x + 22, y + 19, Grey);
  }
  // Housing and visor.
  Box(c, x, y, x + 30, y + 16, body);
  c.fillRect(x + 2, y + 2, x + 28, y + 3, White);
  c.fillPolygon({{x - 6.0, y - 4.0}, {x + 31.0, y - 4.0}, {x + 31.0, y + 1.0}, {x - 2.0, y + 1.0}}, Black);
  // Lens barrel and glass.
  c.fillRect(x - 5, y + 4, x, y + 13, Black);
  c.fillRect(x - 6, y + 5, x - 4, y + 12, Teal);
  c.fillRect(x - 6, y + 6, x - 5, y + 8, Aqua);
  // Flash window beside the lens.
  Box(c, x + 4, y + 6, x + 12, y + 12, Silver);
}

// A block arrow along one axis: tip at (x, tipY), shaft of the given width, head 22 wide.
void VerticalArrow(Canvas& c, double x, double tipY, double tailY, uint8_t fill) {
  double dir = tailY > tipY ? 1 : -1;
  double headEnd = tipY + dir * 12;
  std::vector<Point> shape = {{x, tipY},      {x + 11, headEnd}, {x + 4, headEnd}, {x + 4, tailY},
                              {x - 4, tailY}, {x - 4, headEnd},  {x - 11, headEnd}};
  c.fillPolygon(shape, fill);
  c.outlineRegion(0, 0, kW, kH, fill, Black);
}

// ---- The button pictures ----

void Speed20(Canvas& c) { SpeedSign(c, "20"); }
void Speed30(Canvas& c) { SpeedSign(c, "30"); }
void Speed40(Canvas& c) { SpeedSign(c, "40"); }
void Speed50(Canvas& c) { SpeedSign(c, "50"); }
void Speed60(Canvas& c) { SpeedSign(c, "60"); }
void Speed70(Canvas& c) { SpeedSign(c, "70"); }
void SpeedVariable(Canvas& c) { SpeedSign(c, "**"); }
void SpeedUnknown(Canvas& c) { SpeedSign(c, "?"); }

// Drawn over the alarm clock while the timer is on: a cross from corner to corner.
void TimerCross(Canvas& c) {
  c.line(14, 3, 64, 45, 10, Maroon);
  c.line(64, 3, 14, 45, 10, Maroon);
  c.line(14, 3, 64, 45, 7, Orange);
  c.line(64, 3, 14, 45, 7, Orange);
}

// The custom point frame: the category icon is drawn into its opening at (11, 1), 44 square.
void EmptyFrame(Canvas& c) {
  c.fillRect(12, 2, 58, 48, Grey);  // shadow
  Box(c, 10, 0, 56, 46, White);
}

// Gatso: a yellow box on a pole, seen from the front with its lens and flash windows.
void Gatso(Canvas& c) {
  Pole(c, 36, 30, 48);
  Box(c, 24, 2, 54, 32, Yellow);
  c.fillRect(22, 0, 56, 4, Black);  // rain hood
  c.fillRect(28, 8, 37, 17, Black);
  c.fillEllipse(32.5, 12.5, 3.5, 3.5, Teal);
  c.fillRect(31, 10, 33, 12, Aqua);
  Box(c, 41, 8, 50, 17, Silver);
  c.fillRect(28, 21, 50, 23, Olive);
  c.fillRect(28, 25, 50, 27, Olive);
}

// A camera van in the yellow and blue checks of the camera partnerships.
void Mobile(Canvas& c) {
  // Body with the cab to the left.
  c.fillPolygon({{4, 40}, {4, 22}, {14, 10}, {72, 10}, {74, 12}, {74, 40}}, White);
  for (int y = 10; y < 40; ++y)
    for (int x = 4; x < 75; ++x)
      if (c.at(x, y) == White) c.set(x, y, Silver);
  for (int x = 22; x < 74; ++x)
    for (int y = 26; y < 36; ++y)
      if (c.at(x, y) == Silver) c.set(x, y, (((x - 22) / 6 + (y - 26) / 5) & 1) ? Blue : Yellow);
  c.outlineRegion(0, 0, kW, kH, Silver, Black);
  c.fillPolygon({{7, 23}, {15, 13}, {21, 13}, {21, 23}}, Teal);  // windscreen
  c.fillRect(25, 13, 40, 22, Teal);
  // Camera looking out of the rear window.
  c.fillRect(52, 13, 70, 23, Navy);
  c.fillRect(56, 15, 66, 21, Black);
  c.fillEllipse(58, 18, 2.5, 2.5, Aqua);
  c.fillRect(4, 34, 8, 38, Yellow);  // lamp
  c.line(4, 40, 74, 40, 1, Black);
  for (int x : {18, 60}) {
    c.fillEllipse(x, 40, 7, 7, Black);
    c.fillEllipse(x, 40, 3, 3, Silver);
  }
}

void ArrowRight(Canvas& c) {
  c.fillPolygon({{26, 5}, {60, 24}, {26, 43}}, Grey);
  c.outlineRegion(0, 0, kW, kH, Grey, Black);
}

void ArrowLeft(Canvas& c) {
  c.fillPolygon({{52, 5}, {18, 24}, {52, 43}}, Grey);
  c.outlineRegion(0, 0, kW, kH, Grey, Black);
}

void OtherSide(Canvas& c) {
  SideCamera(c, 12, 9, Grey, 48);
  VerticalArrow(c, 62, 45, 3, Lime);
}

void ThisSide(Canvas& c) {
  SideCamera(c, 12, 9, Grey, 48);
  VerticalArrow(c, 62, 3, 45, Lime);
}

void Reversible(Canvas& c) {
  SideCamera(c, 10, 9, Grey, 48);
  VerticalArrow(c, 55, 2, 44, Lime);
  VerticalArrow(c, 69, 46, 4, Lime);
}

// An open-ended spanner lying diagonally.
void Spanner(Canvas& c) {
  c.line(20, 40, 50, 14, 8, Silver);
  c.fillEllipse(20, 40, 6.5, 6.5, Silver);
  c.fillEllipse(55, 10, 10, 10, Silver);
  // Jaw opening towards the top right, and the hole in the handle's end.
  c.fillPolygon({{55, 10}, {61, -2}, {70, 7}}, White);
  c.fillEllipse(56, 10, 4, 4, White);
  c.fillEllipse(20, 40, 2.5, 2.5, White);
  c.outlineRegion(0, 0, kW, kH, Silver, Black);
  c.line(26, 37, 50, 17, 1.2, Grey);
}

// Red light camera: a camera on a tall pole beside a traffic light showing red.
void Redlight(Canvas& c) {
  SideCamera(c, 14, 6, Grey, 48);
  c.fillRect(56, 4, 70, 38, Black);
  c.fillEllipse(63, 10, 4.5, 4.5, Red);
  c.fillEllipse(63, 21, 4.5, 4.5, Olive);
  c.fillEllipse(63, 32, 4.5, 4.5, Green);
  Box(c, 61, 38, 65, 48, Grey);
}

void Remove(Canvas& c) {
  SideCamera(c, 24, 10, Grey, 48);
  c.line(16, 6, 62, 44, 7, Red);
  c.line(62, 6, 16, 44, 7, Red);
  c.outlineRegion(0, 0, kW, kH, Red, Maroon);
}

// A round red push button with a circular arrow on it.
void ClearCameras(Canvas& c) {
  c.fillEllipse(39, 25, 22, 22, Maroon);
  c.fillEllipse(38, 23, 21, 21, Red);
  c.arc(38, 23, 11, -40, 235, 4, Silver);
  // Arrow head at one end of the circle, pointing on round it towards the gap.
  const double kAt = -40 * 3.14159265358979323846 / 180;
  Point p{38 + 11 * std::cos(kAt), 23 + 11 * std::sin(kAt)};
  Point radial{std::cos(kAt), std::sin(kAt)}, along{std::sin(kAt), -std::cos(kAt)};
  c.fillPolygon({{p.x + 7 * along.x, p.y + 7 * along.y},
                 {p.x + 6.5 * radial.x, p.y + 6.5 * radial.y},
                 {p.x - 6.5 * radial.x, p.y - 6.5 * radial.y}},
                Silver);
  c.outlineRegion(0, 0, kW, kH, Silver, Maroon);
}

// A smiling face in a frame, turned on its side.
void RotateScreen(Canvas& c) {
  c.fillRect(17, 2, 63, 46, Black);
  c.fillRect(20, 5, 60, 43, White);
  c.fillEllipse(40, 24, 16, 16, Yellow);
  c.ring(40, 24, 16, 15, Black);
  // Eyes one above the other on the left, the smile opening to the right.
  c.fillEllipse(34, 18, 2.5, 2.5, Black);
  c.fillEllipse(34, 30, 2.5, 2.5, Black);
  c.arc(38, 24, 9, -70, 70, 2.2, Black);
}

// Average speed cameras: three cameras under a gantry over the road.
void Specs(Canvas& c) {
  Box(c, 2, 4, 8, 48, Grey);
  Box(c, 70, 4, 76, 48, Grey);
  Box(c, 2, 4, 76, 10, Grey);
  c.fillRect(4, 6, 74, 8, Silver);
  c.outlineRegion(0, 0, kW, kH, Grey, Black);
  for (int x : {14, 33, 52}) {
    c.fillRect(x + 5, 10, x + 8, 15, Black);
    Box(c, x, 14, x + 13, 24, Yellow);
    c.fillEllipse(x + 6.5, 19, 2.5, 2.5, Black);
  }
}

// A temporary camera: yellow, on a tripod.
void Temporary(Canvas& c) {
  c.line(39, 30, 26, 47, 3, Black);
  c.line(39, 30, 52, 47, 3, Black);
  c.line(39, 30, 39, 47, 3, Black);
  SideCamera(c, 28, 12, Yellow, 0);
  c.fillRect(36, 28, 44, 32, Black);
}

// Truvelo: a yellow box with a large round lens on its front.
void Truvelo(Canvas& c) {
  FrontCamera(c, {36, 34, 42, 48}, {22, 2, 56, 36});
  c.fillEllipse(39, 17, 11, 11, Black);
  c.fillEllipse(39, 17, 7.5, 7.5, Teal);
  c.fillEllipse(39, 17, 3, 3, Navy);
  c.fillRect(35, 12, 38, 14, Aqua);
  c.fillRect(26, 30, 52, 33, Olive);
}

void UnknownType(Canvas& c) {
  SideCamera(c, 12, 9, Grey, 48);
  DrawGlyph(c, 52, 8, '?', Blue, 2);
  c.outlineRegion(48, 0, kW, kH, Blue, Navy);
}

// An alarm clock with two bells, showing ten past ten.
void AlarmClock(Canvas& c) {
  c.line(28, 38, 23, 46, 3, Black);
  c.line(50, 38, 55, 46, 3, Black);
  c.fillEllipse(27, 8, 8, 8, Yellow);
  c.fillEllipse(51, 8, 8, 8, Yellow);
  c.outlineRegion(0, 0, kW, kH, Yellow, Black);
  c.fillRect(37, 1, 41, 6, Black);
  c.fillEllipse(39, 26, 19, 19, Red);
  c.fillEllipse(39, 26, 15, 15, White);
  c.ring(39, 26, 19, 18, Maroon);
  for (int i = 0; i < 12; ++i) {
    static const int kTicks[12][2] = {{0, -13}, {6, -11}, {11, -6}, {13, 0},  {11, 6},   {6, 11},
                                      {0, 13},  {-6, 11}, {-11, 6}, {-13, 0}, {-11, -6}, {-6, -11}};
    c.set(39 + kTicks[i][0], 26 + kTicks[i][1], Black);
    if (i % 3 == 0) c.fillRect(38 + kTicks[i][0], 25 + kTicks[i][1], 40 + kTicks[i][0], 27 + kTicks[i][1], Black);
  }
  c.line(39, 26, 31, 21, 2.5, Black);
  c.line(39, 26, 48, 19, 2, Black);
  c.fillEllipse(39, 26, 1.8, 1.8, Red);
}

struct ButtonPicture {
  int id;
  const char* file;
  void (*draw)(Canvas&);
};

const ButtonPicture kButtons[] = {
    {104, "bitmaps/speed_20.bmp", Speed20},
    {105, "bitmaps/speed_30.bmp", Speed30},
    {106, "bitmaps/speed_40.bmp", Speed40},
    {107, "bitmaps/speed_50.bmp", Speed50},
    {108, "bitmaps/speed_60.bmp", Speed60},
    {109, "bitmaps/speed_70.bmp", Speed70},
    {110, "bitmaps/timer_cross.bmp", TimerCross},
    {111, "bitmaps/custom_frame.bmp", EmptyFrame},
    {112, "bitmaps/gatso.bmp", Gatso},
    {113, "bitmaps/mobile.bmp", Mobile},
    {114, "bitmaps/arrow_right.bmp", ArrowRight},
    {115, "bitmaps/other_side.bmp", OtherSide},
    {117, "bitmaps/preferences.bmp", Spanner},
    {118, "bitmaps/start_over.bmp", ArrowLeft},
    {119, "bitmaps/redlight.bmp", Redlight},
    {120, "bitmaps/remove.bmp", Remove},
    {122, "bitmaps/clear_cameras.bmp", ClearCameras},
    {123, "bitmaps/speed_variable.bmp", SpeedVariable},
    {124, "bitmaps/reversible.bmp", Reversible},
    {125, "bitmaps/rotate_screen.bmp", RotateScreen},
    {126, "bitmaps/gantry.bmp", Specs},
    {127, "bitmaps/temporary.bmp", Temporary},
    {128, "bitmaps/this_side.bmp", ThisSide},
    {129, "bitmaps/truvelo.bmp", Truvelo},
    {130, "bitmaps/speed_unknown.bmp", SpeedUnknown},
    {131, "bitmaps/unknown_type.bmp", UnknownType},
    {132, "bitmaps/timer.bmp", AlarmClock},
};

// ---- Icons ----

// The program icon: a yellow camera box, at 32 and 16 pixels.
void ProgramIcon32(Canvas& c) {
  FrontCamera(c, {13, 22, 19, 32}, {5, 4, 27, 24}, {3, 2, 29, 6});
  c.fillRect(8, 9, 15, 16, Black);
  c.fillEllipse(11.5, 12.5, 2.5, 2.5, Teal);
  Box(c, 18, 9, 24, 16, Silver);
  c.fillRect(8, 19, 24, 21, Olive);
}

void ProgramIcon16(Canvas& c) {
  FrontCamera(c, {6, 11, 10, 16}, {2, 2, 14, 12}, {1, 1, 15, 3});
  c.fillRect(4, 5, 8, 9, Black);
  c.fillRect(5, 6, 7, 8, Teal);
  c.fillRect(9, 5, 12, 9, Silver);
}

// The camera category's map icon: a small camera on a yellow diamond road sign.
void CategoryIcon(Canvas& c) {
  c.fillPolygon({{11, 0}, {22, 11}, {11, 22}, {0, 11}}, Black);
  c.fillPolygon({{11, 2}, {20, 11}, {11, 20}, {2, 11}}, Yellow);
  c.fillRect(7, 8, 15, 14, Black);
  c.fillRect(5, 9, 7, 13, Black);
  c.fillRect(9, 9, 13, 13, Grey);
  c.fillRect(10, 14, 12, 17, Black);
}

void Append(std::vector<OutputFile>& out, const char* path, std::vector<uint8_t> bytes) {
  out.push_back({path, std::move(bytes)});
}

}  // namespace

bool DrawButtonPicture(int id, Canvas& canvas) {
  for (const ButtonPicture& b : kButtons)
    if (b.id == id) {
      b.draw(canvas);
      return true;
    }
  return false;
}

std::vector<OutputFile> GenerateAll() {
  std::vector<OutputFile> out;
  for (const ButtonPicture& b : kButtons) {
    Canvas c(kW, kH);
    b.draw(c);
    Append(out, b.file, EncodeBmp4(c));
  }
  Canvas big(32, 32), small(16, 16);
  ProgramIcon32(big);
  ProgramIcon16(small);
  Append(out, "Trapmarker.ico", EncodeIco4({&big, &small}, White));
  Canvas category(22, 22);
  CategoryIcon(category);
  Append(out, "Roadwatchcameras.bmp", EncodeBmp4(category));
  return out;
}

}  // namespace picgen
