// pagerender: draws any page of the program the way the device shows it, without a window, and
// writes the screen to a PNG file. Also makes the contact sheets of the README.
//
//   pagerender [options] out.png
//     --page N           page 1..7 (default 1)
//     --pressed P        place 1..6 shown pressed, or 7 for the Cancel button (default none)
//     --orientation O    0..3, the preferences file's turn (default 0)
//     --size WxH         the screen (default 240x320)
//     --timer            timer option on
//     --countdown S      timer on and its countdown running with S seconds left
//     --custom A,B,...   custom point names, as the preferences file would give them
//     --icon FILE.bmp    the first custom name's category icon (a host .bmp file)
//     --selection T,S    the status line's type and speed labels
//   pagerender --sheet pages [--size WxH] [options] out.png        every page side by side
//   pagerender --sheet orientations [--page N] [options] out.png   one page in the four turns
//
// It runs on a device folder of its own (a temporary CE_DEVICE), so it needs no emulator.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

struct Options {
  int page = 1;
  int pressed = 0;
  int orientation = 0;
  int width = 240, height = 320;
  bool timer = false;
  int countdown = -1;
  std::vector<std::string> custom;
  std::string icon;
  std::string typeLabel, speedLabel;
  bool haveSelection = false;
  std::string sheet;
  std::string out;
};

// One rendered screen: RGB565 rows, top row first.
struct Frame {
  int width = 0, height = 0;
  std::vector<uint16_t> pixels;
};

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

void CopyLabel(WCHAR* to, size_t count, const std::string& text) {
  std::u16string wide = ce::FromUtf8(text);
  StringCchCopyW(to, count, reinterpret_cast<LPCWSTR>(wide.c_str()));
}

// Sets the button table and run state as creation and the preferences file would.
void PrepareRun(const Options& o, int orient) {
  buildButtonTable();
  slotAt(PreferencesPage, RotateScreenPlace)->target = 0;
  orientation = orient;
  timerOption = (o.timer || o.countdown >= 0) ? 1 : 0;
  countdownRunning = o.countdown >= 0 ? 1 : 0;
  countdownValue = o.countdown >= 0 ? o.countdown : 6;
  if (timerOption == 1) CopyLabel(slotAt(PreferencesPage, TimerPlace)->label, LabelChars, "Turn timer off");
  if (!o.custom.empty()) {
    slotAt(TypePage2, CustomPoiPlace)->target = CustomPoiPage;
    for (size_t i = 0; i < o.custom.size() && i < static_cast<size_t>(CustomPlaceCount); ++i) {
      ButtonSlot* slot = slotAt(CustomPoiPage, static_cast<int>(i) + 1);
      CopyLabel(slot->label, LabelChars, o.custom[i]);
      slot->target = TargetSave;
    }
  }
  if (o.haveSelection) {
    CopyLabel(typeLabel, SelectionLabelChars, o.typeLabel);
    CopyLabel(speedLabel, SelectionLabelChars, o.speedLabel);
  }
}

// Draws one page as the paint handler does, with the pressed place highlighted as the stylus
// leaves it, and presents it into a screen-sized buffer.
bool Render(const Options& o, int page, int orient, Frame& frame) {
  PrepareRun(o, orient);
  physicalWidth = o.width;
  physicalHeight = o.height;
  memoryDC = CreateCompatibleDC(NULL);
  if (memoryDC == NULL) return false;
  computeLayout(physicalWidth, physicalHeight, orientation);
  createDrawingObjects();
  if (logicalSurface == NULL || physicalSurface == NULL) {
    releaseDrawingObjects();
    return false;
  }
  currentPage = page;
  pressedSlot = 0;
  drawPage();
  if (o.pressed == CancelButton)
    drawCancelButton(TRUE);
  else if (o.pressed >= 1 && o.pressed <= PlacesPerPage && slotAt(page, o.pressed)->target != 0)
    drawButton(o.pressed, TRUE);

  frame.width = physicalWidth;
  frame.height = physicalHeight;
  frame.pixels.assign(static_cast<size_t>(frame.width) * frame.height, 0);
  HDC screen = ce::gdi::CreateSurfaceDC(frame.pixels.data(), frame.width, frame.height, frame.width * 2);
  bool ok = screen != NULL;
  if (ok) {
    presentFrame(screen);
    DeleteDC(screen);
  }
  releaseDrawingObjects();
  return ok;
}

// Frames side by side on a grey ground with a margin, written as one PNG.
bool WriteSheet(const std::vector<Frame>& frames, const std::string& path) {
  const int gap = 12;
  int width = gap, height = 0;
  for (const Frame& f : frames) {
    width += f.width + gap;
    if (f.height > height) height = f.height;
  }
  height += 2 * gap;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0x50);
  int left = gap;
  for (const Frame& f : frames) {
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) {
        uint16_t p = f.pixels[static_cast<size_t>(y) * f.width + x];
        int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
        uint8_t* to = &rgb[(static_cast<size_t>(y + gap) * width + left + x) * 3];
        to[0] = static_cast<uint8_t>(r5 << 3 | r5 >> 2);
        to[1] = static_cast<uint8_t>(g6 << 2 | g6 >> 4);
        to[2] = static_cast<uint8_t>(b5 << 3 | b5 >> 2);
      }
    left += f.width + gap;
  }
  return ce::gdi::WritePngRgb(rgb.data(), width, height, path.c_str());
}

bool ParseInt(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  value = static_cast<int>(v);
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: pagerender [--page N] [--pressed P] [--orientation O] [--size WxH] [--timer]\n"
               "                  [--countdown S] [--custom A,B] [--icon FILE.bmp] [--selection T,S]\n"
               "                  [--sheet pages|orientations] out.png\n");
  return 2;
}

bool ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--timer") {
      o.timer = true;
    } else if (a == "--page" && hasValue) {
      if (!ParseInt(argv[++i], 1, 7, o.page)) return false;
    } else if (a == "--pressed" && hasValue) {
      if (!ParseInt(argv[++i], 0, 7, o.pressed)) return false;
    } else if (a == "--orientation" && hasValue) {
      if (!ParseInt(argv[++i], 0, 3, o.orientation)) return false;
    } else if (a == "--countdown" && hasValue) {
      if (!ParseInt(argv[++i], 0, 99, o.countdown)) return false;
    } else if (a == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2 || o.width < 16 || o.height < 16 ||
          o.width > 4096 || o.height > 4096)
        return false;
    } else if (a == "--custom" && hasValue) {
      o.custom = SplitCommas(argv[++i]);
    } else if (a == "--icon" && hasValue) {
      o.icon = argv[++i];
    } else if (a == "--selection" && hasValue) {
      std::vector<std::string> parts = SplitCommas(argv[++i]);
      o.typeLabel = parts[0];
      o.speedLabel = parts.size() > 1 ? parts[1] : "";
      o.haveSelection = true;
    } else if (a == "--sheet" && hasValue) {
      o.sheet = argv[++i];
      if (o.sheet != "pages" && o.sheet != "orientations") return false;
    } else if (!a.empty() && a[0] != '-' && o.out.empty()) {
      o.out = a;
    } else {
      return false;
    }
  }
  return !o.out.empty();
}

// A device folder of our own: custom icons are read from its \Map\ folder.
bool MakeDevice(const Options& o, fs::path& root) {
  char pattern[] = "/tmp/pagerender-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return false;
  root = pattern;
  std::error_code ec;
  fs::create_directories(root / "fs" / "Map", ec);
  if (ec) return false;
  setenv("CE_DEVICE", root.c_str(), 1);
  ce::ResetDeviceForTests();
  StringCchCopyA(mapFolder, sizeof mapFolder, "\\Map\\");
  mapFolderKnown = 1;
  if (!o.icon.empty() && !o.custom.empty()) {
    fs::copy_file(o.icon, root / "fs" / "Map" / (o.custom[0] + ".bmp"), fs::copy_options::overwrite_existing, ec);
    if (ec) {
      std::fprintf(stderr, "pagerender: cannot copy %s: %s\n", o.icon.c_str(), ec.message().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, o)) return Usage();
  fs::path device;
  if (!MakeDevice(o, device)) {
    std::fprintf(stderr, "pagerender: cannot make a device folder\n");
    return 1;
  }
  std::vector<Frame> frames;
  bool ok = true;
  if (o.sheet == "pages") {
    for (int page = 1; page <= PageCount && ok; ++page) {
      frames.emplace_back();
      ok = Render(o, page, o.orientation, frames.back());
    }
  } else if (o.sheet == "orientations") {
    for (int turn = 0; turn < 4 && ok; ++turn) {
      frames.emplace_back();
      ok = Render(o, o.page, turn, frames.back());
    }
  } else {
    frames.emplace_back();
    ok = Render(o, o.page, o.orientation, frames.back());
  }
  if (ok) {
    if (frames.size() == 1)
      ok = ce::gdi::WritePng565(frames[0].pixels.data(), frames[0].width, frames[0].height, frames[0].width * 2,
                                o.out.c_str());
    else
      ok = WriteSheet(frames, o.out);
    if (!ok) std::fprintf(stderr, "pagerender: cannot write %s\n", o.out.c_str());
  } else {
    std::fprintf(stderr, "pagerender: drawing failed\n");
  }
  std::error_code ec;
  fs::remove_all(device, ec);
  return ok ? 0 : 1;
}
