// Page drawing checked by pixel probes on the logical surface and on a screen-sized surface that
// stands in for the window.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ce/ce.h"
#include "ce/device.h"
#include "ce/gdi/surface.h"
#include "ui/buttons.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/run_state.h"

namespace fs = std::filesystem;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kYellow = RGB(255, 255, 0);

// What a 16-bit surface shows for a colour: channels cut to 5/6/5 bits and widened again.
COLORREF Shown(COLORREF c) {
  int r = GetRValue(c) >> 3, g = GetGValue(c) >> 2, b = GetBValue(c) >> 3;
  return RGB(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
}

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

class Drawing : public testing::Test {
 protected:
  void SetUp() override {
    buildButtonTable();
    slotAt(PreferencesPage, RotateScreenPlace)->target = 0;
    currentPage = TypePage1;
    pressedSlot = 0;
    timerOption = 0;
    countdownRunning = 0;
    countdownValue = 6;
    mapFolder[0] = 0;
    StringCchCopyW(typeLabel, SelectionLabelChars, u"Unknown type and speed");
    speedLabel[0] = 0;
  }
  void TearDown() override {
    if (memoryDC != NULL) releaseDrawingObjects();
    if (!device_.empty()) {
      std::error_code ec;
      fs::remove_all(device_, ec);
    }
  }

  // The creation sequence's share: sizes, memoryDC, layout, drawing objects.
  void Open(int width, int height, int orient = 0) {
    if (memoryDC != NULL) releaseDrawingObjects();
    physicalWidth = width;
    physicalHeight = height;
    orientation = orient;
    memoryDC = CreateCompatibleDC(NULL);
    ASSERT_NE(memoryDC, nullptr);
    computeLayout(width, height, orient);
    createDrawingObjects();
    ASSERT_NE(logicalSurface, nullptr);
    ASSERT_NE(physicalSurface, nullptr);
  }

  // A device folder with \Map\ as the navigator's map folder.
  fs::path MakeDevice() {
    char pattern[] = "/tmp/tm-draw-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    device_ = pattern;
    fs::create_directories(device_ / "fs" / "Map");
    setenv("CE_DEVICE", device_.c_str(), 1);
    ce::ResetDeviceForTests();
    StringCchCopyA(mapFolder, sizeof mapFolder, "\\Map\\");
    mapFolderKnown = 1;
    return device_ / "fs" / "Map";
  }

  static COLORREF At(int x, int y) { return GetPixel(memoryDC, x, y); }

  // How many pixels of the rectangle (right and bottom exclusive) show colour c.
  static int Count(const RECT& r, COLORREF c) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (At(x, y) == Shown(c)) ++n;
    return n;
  }
  static int CountNot(const RECT& r, COLORREF c) { return (r.right - r.left) * (r.bottom - r.top) - Count(r, c); }

  // The picture origin of a place, as drawButton computes it.
  static POINT PictureOrigin(int place) {
    RECT r = placeRect(place);
    return {r.left + (buttonWidth - 78 * scale) / 2, r.top + (scale * logicalHeight) / 53};
  }

  fs::path device_;
};

#define EXPECT_COLOUR(x, y, want) EXPECT_EQ(Hex(At(x, y)), Hex(Shown(want))) << "at (" << (x) << ", " << (y) << ")"

TEST_F(Drawing, CreationSelectsTheLogicalSurfaceBluePenAndBrushAndTitleFont) {
  Open(240, 320);
  EXPECT_EQ(GetCurrentObject(memoryDC, OBJ_BITMAP), logicalSurface);
  EXPECT_EQ(GetCurrentObject(memoryDC, OBJ_PEN), panelPen);
  EXPECT_EQ(GetCurrentObject(memoryDC, OBJ_BRUSH), panelBrush);
  EXPECT_EQ(GetCurrentObject(memoryDC, OBJ_FONT), titleFont);
  EXPECT_NE(defaultFont, nullptr);
  EXPECT_NE(defaultFont, titleFont);

  DIBSECTION dib = {};
  ASSERT_EQ(GetObjectW(logicalSurface, sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, 240);
  EXPECT_EQ(dib.dsBm.bmHeight, 320);
  EXPECT_EQ(dib.dsBmih.biBitCount, 16);
  EXPECT_GT(dib.dsBmih.biHeight, 0) << "the turned copy reads bottom-up rows";
  EXPECT_EQ(dib.dsBm.bmBits, logicalBits);
}

TEST_F(Drawing, FontsAndSurfacesFollowTheScaleAndOrientation) {
  struct Case {
    int width, height, orient;
    int logicalW, logicalH;
    LONG titleH, titleW, buttonH, buttonW;
  } cases[] = {
      {240, 320, 0, 240, 320, 18, 7, 16, 6},
      {480, 640, 0, 480, 640, 34, 13, 26, 11},
      {240, 320, 1, 320, 240, 18, 7, 16, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " orientation " << c.orient);
    Open(c.width, c.height, c.orient);
    LOGFONTW title = {}, button = {};
    ASSERT_GT(GetObjectW(titleFont, sizeof title, &title), 0);
    ASSERT_GT(GetObjectW(buttonFont, sizeof button, &button), 0);
    EXPECT_EQ(title.lfHeight, c.titleH);
    EXPECT_EQ(title.lfWidth, c.titleW);
    EXPECT_EQ(title.lfWeight, 850);
    EXPECT_EQ(button.lfHeight, c.buttonH);
    EXPECT_EQ(button.lfWidth, c.buttonW);
    EXPECT_EQ(button.lfWeight, 800);
    EXPECT_EQ(ce::ToUtf8(title.lfFaceName), "Tahoma");
    EXPECT_EQ(ce::ToUtf8(button.lfFaceName), "Tahoma");
    EXPECT_EQ(title.lfItalic | title.lfUnderline | title.lfStrikeOut | title.lfCharSet, 0);
    BITMAP logical = {}, physical = {};
    GetObjectW(logicalSurface, sizeof logical, &logical);
    GetObjectW(physicalSurface, sizeof physical, &physical);
    EXPECT_EQ(logical.bmWidth, c.logicalW);
    EXPECT_EQ(logical.bmHeight, c.logicalH);
    EXPECT_EQ(physical.bmWidth, c.width);
    EXPECT_EQ(physical.bmHeight, c.height);
  }
}

TEST_F(Drawing, ReleasePutsBackWhatCreationReplacedAndDeletesEverything) {
  Open(240, 320);
  drawPage();
  drawCancelButton(TRUE);  // leaves the stock black pen and brush selected
  HGDIOBJ made[] = {logicalSurface, physicalSurface, panelPen,   cancelPen, whitePen,
                    panelBrush,     cancelBrush,     whiteBrush, titleFont, buttonFont};
  releaseDrawingObjects();
  EXPECT_EQ(memoryDC, nullptr);
  EXPECT_EQ(logicalSurface, nullptr);
  EXPECT_EQ(titleFont, nullptr);
  for (HGDIOBJ object : made) EXPECT_EQ(GetObjectType(object), 0u) << "an object was not deleted";
  releaseDrawingObjects();  // a second close finds nothing to do
}

TEST_F(Drawing, PageHasTitleBandWhitePanelAndBlueStatusBand) {
  Open(240, 320);
  drawPage();
  const int W = logicalWidth, H = logicalHeight;
  EXPECT_COLOUR(W - 10, 6, panelBlue);                     // title band beyond the title
  EXPECT_GT(Count({5, 0, 200, titleHeight}, kWhite), 30);  // the title's letters
  EXPECT_COLOUR(0, 150, kWhite);                           // panel edge beside the places
  EXPECT_COLOUR(W / 2, titleHeight, kWhite);               // panel's top edge
  EXPECT_COLOUR(W / 2, H - statusHeight, panelBlue);       // the panel ends above the band
  EXPECT_COLOUR(W - cancelWidth - 6, H - 2, panelBlue);    // status band left of Cancel
  EXPECT_COLOUR(0, 0, kBlack);                             // the rounded corner is left alone
  EXPECT_GT(Count({4, H - 14, 90, H - 2}, kWhite), 20);    // version text
  EXPECT_GT(Count({4, H - 38, 200, H - 26}, kWhite), 30);  // "Unknown type and speed"
}

TEST_F(Drawing, ButtonsShowPictureAndCaptionWhiteOrPressedBlue) {
  for (int size : {1, 2}) {
    SCOPED_TRACE(testing::Message() << "scale " << size);
    Open(240 * size, 320 * size);
    drawPage();
    const RECT r = placeRect(1);  // Gatso
    const POINT p = PictureOrigin(1);
    const RECT caption = {p.x, p.y + 48 * scale, p.x + 78 * scale, r.bottom - 2};
    EXPECT_COLOUR(r.left + 4 * scale, r.top + 30 * scale, kWhite);
    EXPECT_COLOUR(p.x + 25 * scale, p.y + 29 * scale, kYellow);  // the camera box
    EXPECT_COLOUR(p.x + 2, p.y + 40 * scale, kWhite);            // picture ground is transparent
    EXPECT_GT(Count(caption, kBlack), 15 * scale);

    drawButton(1, TRUE);
    EXPECT_COLOUR(r.left + 4 * scale, r.top + 30 * scale, panelBlue);
    EXPECT_COLOUR(p.x + 25 * scale, p.y + 29 * scale, kYellow);
    EXPECT_COLOUR(p.x + 2, p.y + 40 * scale, panelBlue);
    EXPECT_EQ(Count(caption, kBlack), 0);
    EXPECT_GT(Count(caption, kWhite), 15 * scale);
    // The neighbour is untouched.
    EXPECT_COLOUR(placeRect(2).left + 4 * scale, placeRect(2).top + 30 * scale, kWhite);

    drawButton(1, FALSE);
    EXPECT_COLOUR(r.left + 4 * scale, r.top + 30 * scale, kWhite);
  }
}

TEST_F(Drawing, BlankPlacesAreNotDrawn) {
  Open(240, 320);
  currentPage = TypePage2;  // place 4 "Custom POI" and place 5 are blank
  drawPage();
  for (int place : {4, 5}) {
    RECT r = placeRect(place);
    EXPECT_EQ(CountNot(r, kWhite), 0) << "blank place " << place << " was drawn";
  }
  EXPECT_GT(CountNot(placeRect(3), kWhite), 100);

  // Once the preferences give custom names, "Custom POI" is a button like the others.
  slotAt(TypePage2, CustomPoiPlace)->target = CustomPoiPage;
  drawPage();
  EXPECT_GT(Count(placeRect(4), kBlack), 100);
  EXPECT_EQ(CountNot(placeRect(5), kWhite), 0);
}

TEST_F(Drawing, CancelButtonIsDarkBlueOrBlackWhenPressedWithWhiteText) {
  for (int size : {1, 2}) {
    SCOPED_TRACE(testing::Message() << "scale " << size);
    Open(240 * size, 320 * size);
    drawPage();
    const int W = logicalWidth, H = logicalHeight;
    const RECT button = {W - cancelWidth - 3, H - statusHeight + 3, W - 3, H - 3};
    const int x = button.left + 8, y = button.bottom - 4;  // left of the text, inside the corners
    EXPECT_COLOUR(x, y, cancelBlue);
    EXPECT_COLOUR(button.left - 2, y, panelBlue);
    EXPECT_GT(Count(button, kWhite), 20 * size);

    drawCancelButton(TRUE);
    EXPECT_COLOUR(x, y, kBlack);
    EXPECT_GT(Count(button, kWhite), 20 * size);
    EXPECT_EQ(Count(button, cancelBlue), 0);

    drawCancelButton(FALSE);
    EXPECT_COLOUR(x, y, cancelBlue);
  }
}

TEST_F(Drawing, TimerButtonIsCrossedWhileTheOptionIsOn) {
  Open(240, 320);
  currentPage = PreferencesPage;
  drawPage();
  const POINT p = PictureOrigin(TimerPlace);
  const RECT corner = {p.x + 13, p.y + 2, p.x + 19, p.y + 8};  // where only the cross reaches
  EXPECT_EQ(CountNot(corner, kWhite), 0);

  timerOption = 1;
  drawPage();
  EXPECT_GT(Count(corner, RGB(255, 0, 0)) + Count(corner, kYellow), 10);
  // The clock itself is still there under the cross.
  EXPECT_COLOUR(p.x + 27, p.y + 2, kYellow);
}

TEST_F(Drawing, CountdownLineShowsOnlyWithTheTimerOptionAndBlanksWipeIt) {
  Open(240, 320);
  const int H = logicalHeight;
  const RECT line = {4, H - 24 - 2 + 1, 80, H - 24 - 2 + 10};

  drawPage();
  EXPECT_EQ(Count(line, kWhite), 0) << "timer option off: no countdown line";

  timerOption = 1;
  drawPage();
  EXPECT_EQ(Count(line, kWhite), 0) << "countdown not running: 23 blanks";

  countdownRunning = 1;
  countdownValue = 4;
  drawPage();
  EXPECT_GT(Count(line, kWhite), 20);

  drawCountdownLine(u"                            ");  // 28 blanks
  EXPECT_EQ(Count(line, kWhite), 0);
  EXPECT_COLOUR(60, H - 24 - 2 + 5, panelBlue);

  drawCountdownLine(u"Saving in 3 s   ");
  EXPECT_GT(Count(line, kWhite), 20);
}

// A 22 x 22 24-bit .bmp of one colour with a white centre, bottom-up.
void WriteIcon(const fs::path& path, uint8_t r, uint8_t g, uint8_t b) {
  const int size = 22, stride = (size * 3 + 3) & ~3;
  std::vector<uint8_t> file(54 + static_cast<size_t>(stride) * size, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, size);
  put32(22, size);
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      bool centre = x >= 9 && x < 13 && y >= 9 && y < 13;
      uint8_t* px = &file[54 + static_cast<size_t>(y) * stride + x * 3];
      px[0] = centre ? 255 : b;
      px[1] = centre ? 255 : g;
      px[2] = centre ? 255 : r;
    }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
}

TEST_F(Drawing, CustomButtonShowsItsCategoryIconWhenTheFileLoads) {
  fs::path map = MakeDevice();
  WriteIcon(map / "Fuel.bmp", 0, 128, 0);
  std::ofstream(map / "Broken.bmp") << "not a bitmap";
  Open(240, 320);
  currentPage = CustomPoiPage;
  const char* names[] = {"Fuel", "Parking", "Broken"};
  for (int i = 0; i < 3; ++i) {
    ButtonSlot* slot = slotAt(CustomPoiPage, i + 1);
    std::u16string name = ce::FromUtf8(names[i]);
    StringCchCopyW(slot->label, LabelChars, reinterpret_cast<LPCWSTR>(name.c_str()));
    slot->target = TargetSave;
  }
  drawPage();

  // Fuel: the icon is doubled to 44 x 44 at (x + 11, y + 1); its white centre shows the fill.
  POINT p = PictureOrigin(1);
  EXPECT_COLOUR(p.x + 11, p.y + 1, RGB(0, 128, 0));
  EXPECT_COLOUR(p.x + 54, p.y + 44, RGB(0, 128, 0));
  EXPECT_COLOUR(p.x + 55, p.y + 23, kBlack);  // the frame's right edge, just beyond the icon
  EXPECT_COLOUR(p.x + 33, p.y + 23, kWhite);  // the icon's white centre is transparent
  EXPECT_COLOUR(p.x + 20, p.y + 30, RGB(0, 128, 0));
  drawButton(1, TRUE);
  EXPECT_COLOUR(p.x + 33, p.y + 23, panelBlue);
  EXPECT_COLOUR(p.x + 20, p.y + 30, RGB(0, 128, 0));

  // Parking has no icon file and Broken's does not load: the empty frame and the caption only.
  for (int place : {2, 3}) {
    POINT q = PictureOrigin(place);
    EXPECT_COLOUR(q.x + 20, q.y + 30, kWhite);
    EXPECT_COLOUR(q.x + 10, q.y + 20, kBlack);  // the frame's left edge
    EXPECT_GT(Count({q.x, q.y + 48, q.x + 78, q.y + 62}, kBlack), 15) << "caption of place " << place;
  }
}

TEST_F(Drawing, CustomIconIsLookedUpInTheMapFolderOnly) {
  fs::path map = MakeDevice();
  WriteIcon(map.parent_path() / "Fuel.bmp", 0, 128, 0);  // beside the map folder, not in it
  Open(240, 320);
  currentPage = CustomPoiPage;
  StringCchCopyW(slotAt(CustomPoiPage, 1)->label, LabelChars, u"Fuel");
  slotAt(CustomPoiPage, 1)->target = TargetSave;
  drawPage();
  POINT p = PictureOrigin(1);
  EXPECT_COLOUR(p.x + 20, p.y + 30, kWhite);
}

// Screen-sized pixels standing in for the window.
struct Screen {
  int width, height;
  std::vector<uint16_t> pixels;
  HDC dc;
  Screen(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0x1234) {
    dc = ce::gdi::CreateSurfaceDC(pixels.data(), w, h, w * 2);
  }
  ~Screen() { DeleteDC(dc); }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

TEST_F(Drawing, PresentFrameTurnsThePageByTheOrientation) {
  // Marks at logical corners and one inside, and where each must land on a 240 x 320 screen.
  struct Mark {
    int x, y;  // logical; negative counts from the far edge
    COLORREF colour;
  };
  const Mark marks[] = {{0, 0, RGB(255, 0, 0)}, {-1, 0, RGB(0, 255, 0)}, {0, -1, RGB(0, 0, 255)}, {5, 7, kYellow}};
  struct Case {
    int orient;
    POINT screen[4];
  } cases[] = {
      {0, {{0, 0}, {239, 0}, {0, 319}, {5, 7}}},
      {1, {{0, 319}, {0, 0}, {239, 319}, {7, 314}}},      // top edge runs up the left side
      {2, {{239, 319}, {0, 319}, {239, 0}, {234, 312}}},  // upside down
      {3, {{239, 0}, {239, 319}, {0, 0}, {232, 5}}},      // top edge runs down the right side
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "orientation " << c.orient);
    Open(240, 320, c.orient);
    drawPage();
    for (const Mark& m : marks)
      SetPixel(memoryDC, m.x < 0 ? logicalWidth + m.x : m.x, m.y < 0 ? logicalHeight + m.y : m.y, m.colour);
    Screen screen(240, 320);
    presentFrame(screen.dc);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(Hex(screen.At(c.screen[i].x, c.screen[i].y)), Hex(Shown(marks[i].colour)))
          << "mark " << i << " at screen (" << c.screen[i].x << ", " << c.screen[i].y << ")";
    EXPECT_EQ(GetCurrentObject(memoryDC, OBJ_BITMAP), logicalSurface);
  }
}

TEST_F(Drawing, HalfTurnShowsTheWholeUnturnedFrameUpsideDown) {
  Open(240, 320, 0);
  drawPage();
  drawButton(3, TRUE);
  Screen upright(240, 320);
  presentFrame(upright.dc);

  Open(240, 320, 2);
  drawPage();
  drawButton(3, TRUE);
  Screen turned(240, 320);
  presentFrame(turned.dc);

  int wrong = 0;
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 240; ++x)
      if (upright.pixels[static_cast<size_t>(y) * 240 + x] !=
          turned.pixels[static_cast<size_t>(319 - y) * 240 + 239 - x])
        ++wrong;
  EXPECT_EQ(wrong, 0);
  // Every screen pixel was written: nothing of the fill value is left.
  int untouched = 0;
  for (uint16_t p : turned.pixels) untouched += p == 0x1234;
  EXPECT_EQ(untouched, 0);
}

TEST_F(Drawing, QuarterTurnsLayThePageOutInLandscape) {
  Open(240, 320, 1);
  EXPECT_TRUE(landscape);
  drawPage();
  Screen screen(240, 320);
  presentFrame(screen.dc);
  // The title band runs up the left edge of the screen: blue there, white panel beside it.
  EXPECT_EQ(Hex(screen.At(5, 10)), Hex(Shown(panelBlue)));
  EXPECT_EQ(Hex(screen.At(titleHeight + 1, 160)), Hex(Shown(kWhite)));
  // The Cancel button, at the page's bottom right, lands at the screen's top right.
  EXPECT_EQ(Hex(screen.At(232, 9)), Hex(Shown(cancelBlue)));
}

}  // namespace
