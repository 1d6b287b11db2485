// The X11 screen under Xvfb: two processes finding and activating each other's windows, stylus and
// keys through XTest, message boxes answered from outside, and pictures on the captured screen.
// This process runs the X11 backend itself; the other side is the probe program.
#include <algorithm>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "ce/ce.h"
#include "ce/device.h"
#include "ce/gdi/surface.h"
#include "ce/user/backend.h"
#include "tests/harness/harness.h"

namespace {

struct Rec {
  UINT msg;
  WPARAM wParam;
  int x, y;
};
std::vector<Rec> seen;

LRESULT CALLBACK LocalProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT || msg == WM_ACTIVATE || msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP ||
      msg == WM_KEYDOWN) {
    seen.push_back(Rec{msg, wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class X11Test : public ::testing::Test {
 protected:
  // One screen for the whole process: this process's own X connection stays with it.
  static void SetUpTestSuite() {
    dev = new harness::Device();
    if (!dev->ok() || !dev->StartScreen()) return;
    dev->SetEnvironment();
    ce::ResetDeviceForTests();
    ready =
        ce::user::UseBackend(ce::user::BackendKind::X11) && ce::user::CurrentBackend() == ce::user::BackendKind::X11;
  }
  static void TearDownTestSuite() {
    delete dev;
    dev = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(ready) << "no Xvfb screen";
    ce::user::ResetForTests();
    seen.clear();
    logPath = dev->root() + "/probe-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
    WNDCLASSW wc{};
    wc.lpfnWndProc = LocalProc;
    wc.lpszClassName = u"LocalClass";
    ASSERT_NE(RegisterClassW(&wc), 0);
  }
  void TearDown() override {
    dev->StopPrograms();
    ce::user::ResetForTests();
  }

  harness::Program* StartProbe(const std::string& cls, const std::string& title) {
    return dev->Start(PROBE_PATH, {"window", cls, title, logPath});
  }
  std::string ProbeLog() const {
    std::ifstream in(logPath);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  bool WaitForLog(const std::string& line, int timeoutMs = 3000) {
    if (harness::WaitFor([&] { return ProbeLog().find(line + "\n") != std::string::npos; }, timeoutMs)) return true;
    ADD_FAILURE() << "the probe never logged \"" << line << "\"; its log:\n" << ProbeLog();
    return false;
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  static bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    return harness::WaitFor(
        [&] {
          Pump();
          return done();
        },
        timeoutMs, 2);
  }
  // Keeps only the stylus messages of what was seen.
  static void KeepStylus() {
    std::vector<Rec> kept;
    for (const Rec& r : seen) {
      if (r.msg >= WM_MOUSEFIRST && r.msg <= WM_MOUSELAST) kept.push_back(r);
    }
    seen = kept;
  }
  static bool Saw(UINT msg, WPARAM wParam) {
    for (const Rec& r : seen) {
      if (r.msg == msg && r.wParam == wParam) return true;
    }
    return false;
  }

  static harness::Device* dev;
  static bool ready;
  std::string logPath;
};

harness::Device* X11Test::dev = nullptr;
bool X11Test::ready = false;

TEST_F(X11Test, FindWindowSeesAnotherProgramsWindowUntilItIsDestroyedOrKilled) {
  harness::Program* probe = StartProbe("ProbeClass", "Probe One");
  ASSERT_NE(probe, nullptr);
  ASSERT_TRUE(dev->screen().WaitForWindow("ProbeClass", "Probe One", 5000));

  HWND byClass = FindWindowW(u"ProbeClass", nullptr);
  ASSERT_NE(byClass, nullptr);
  EXPECT_EQ(FindWindowW(nullptr, u"Probe One"), byClass);
  EXPECT_EQ(FindWindowW(u"probeclass", u"PROBE ONE"), byClass) << "names compare ignoring case";
  EXPECT_EQ(FindWindowW(u"ProbeClass", u"Another"), nullptr);
  EXPECT_EQ(FindWindowW(u"OtherClass", u"Probe One"), nullptr);
  EXPECT_TRUE(IsWindow(byClass));

  EXPECT_TRUE(PostMessageW(byClass, WM_CLOSE, 0, 0)) << "a close request crosses to the other process";
  ASSERT_TRUE(probe->Wait(5000));
  EXPECT_EQ(probe->ExitCode(), 0);
  EXPECT_EQ(FindWindowW(u"ProbeClass", nullptr), nullptr);
  EXPECT_FALSE(IsWindow(byClass));

  harness::Program* second = StartProbe("ProbeClass", "Probe Two");
  ASSERT_TRUE(dev->screen().WaitForWindow("ProbeClass", "Probe Two", 5000));
  HWND found = FindWindowW(u"ProbeClass", u"Probe Two");
  ASSERT_NE(found, nullptr);
  second->Kill(SIGKILL);
  ASSERT_TRUE(second->Wait(5000));
  EXPECT_TRUE(harness::WaitFor([] { return FindWindowW(u"ProbeClass", nullptr) == nullptr; }, 2000))
      << "the window of a killed program is gone";
  EXPECT_FALSE(IsWindow(found));
  EXPECT_FALSE(SetForegroundWindow(found)) << "a vanished window cannot come forward";
}

// Another client's titles in each encoding X carries them: WM_NAME as Latin-1 STRING (what
// XStoreName writes) or as UTF-8, and _NET_WM_NAME; all are found by their UTF-16 title.
TEST_F(X11Test, FindWindowReadsTitlesInLatin1AndUtf8) {
  Display* other = XOpenDisplay(dev->screen().display().c_str());
  ASSERT_NE(other, nullptr);
  struct Case {
    const char* cls;
    const char* bytes;  // the title as stored
    const char* encoding;
    std::u16string title;
  } cases[] = {
      {"LatinClass",
       "\xC9"
       "cran d'\xE9t\xE9",
       "STRING", u"\u00C9cran d'\u00E9t\u00E9"},
      {"Utf8Class",
       "\xC3\x89"
       "cran \xE2\x82\xAC",
       "UTF8_STRING", u"\u00C9cran \u20AC"},
  };
  std::vector<::Window> made;
  for (const Case& c : cases) {
    ::Window w = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 10, 10, 0, 0, 0);
    char name[32], klass[32];
    std::snprintf(name, sizeof name, "%s", c.cls);
    std::snprintf(klass, sizeof klass, "%s", c.cls);
    XClassHint hint{name, klass};
    XSetClassHint(other, w, &hint);
    XChangeProperty(other, w, XA_WM_NAME, XInternAtom(other, c.encoding, False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(c.bytes), static_cast<int>(std::strlen(c.bytes)));
    XMapWindow(other, w);
    made.push_back(w);
  }
  XSync(other, False);
  for (const Case& c : cases) {
    std::u16string cls(c.cls, c.cls + std::strlen(c.cls));
    EXPECT_TRUE(harness::WaitFor([&] { return FindWindowW(cls.c_str(), c.title.c_str()) != nullptr; }, 2000))
        << c.cls << " titled in " << c.encoding;
  }
  for (::Window w : made) XDestroyWindow(other, w);
  XCloseDisplay(other);
}

TEST_F(X11Test, ForegroundMovesTheFocusAndBothSidesGetActivate) {
  HWND local =
      CreateWindowExW(0, u"LocalClass", u"Local", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(local, nullptr);
  ASSERT_TRUE(dev->screen().WaitForWindow("LocalClass", "Local", 3000));
  harness::XWin localX;
  ASSERT_TRUE(dev->screen().Find("LocalClass", "Local", &localX));

  ASSERT_NE(StartProbe("ProbeClass", "Probe"), nullptr);
  harness::XWin probeX;
  ASSERT_TRUE(dev->screen().WaitForWindow("ProbeClass", "Probe", 5000, &probeX));
  ASSERT_TRUE(WaitForLog("WM_ACTIVATE 1 0 0")) << "a new window is activated";
  EXPECT_TRUE(PumpUntil([] { return Saw(WM_ACTIVATE, WA_INACTIVE); })) << "we lost the focus to the probe";
  HWND probe = FindWindowW(u"ProbeClass", u"Probe");
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(GetForegroundWindow(), probe);

  seen.clear();
  ASSERT_TRUE(SetForegroundWindow(local));
  EXPECT_EQ(seen.size() > 0 ? seen[0].msg : 0u, static_cast<UINT>(WM_ACTIVATE));
  EXPECT_TRUE(Saw(WM_ACTIVATE, WA_ACTIVE));
  EXPECT_EQ(dev->screen().Focus(), localX.id);
  EXPECT_TRUE(WaitForLog("WM_ACTIVATE 0 0 0")) << "the probe heard that it lost the focus";
  EXPECT_EQ(GetForegroundWindow(), local);

  seen.clear();
  HWND withBit = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(probe) | 1);
  ASSERT_TRUE(SetForegroundWindow(withBit));
  EXPECT_EQ(dev->screen().Focus(), probeX.id);
  EXPECT_TRUE(PumpUntil([] { return Saw(WM_ACTIVATE, WA_INACTIVE); }));
  EXPECT_EQ(GetForegroundWindow(), probe);
  EXPECT_TRUE(harness::WaitFor(
      [&] {
        std::string log = ProbeLog();
        return log.rfind("WM_ACTIVATE 1 0 0") > log.rfind("WM_ACTIVATE 0 0 0");
      },
      3000))
      << "the probe was activated again; its log:\n"
      << ProbeLog();
}

TEST_F(X11Test, AnotherProgramsWindowCanBeHiddenShownAndPostedTo) {
  ASSERT_NE(StartProbe("ProbeClass", "Probe"), nullptr);
  ASSERT_TRUE(dev->screen().WaitForWindow("ProbeClass", "Probe", 5000));
  HWND probe = FindWindowW(u"ProbeClass", u"Probe");
  ASSERT_NE(probe, nullptr);
  EXPECT_TRUE(ShowWindow(probe, SW_HIDE));
  EXPECT_TRUE(dev->screen().WaitForNoWindow("ProbeClass", "Probe", 2000)) << "hidden windows are not viewable";
  EXPECT_EQ(FindWindowW(u"ProbeClass", u"Probe"), probe) << "a hidden window is still found";
  ShowWindow(probe, SW_SHOWNORMAL);
  harness::XWin shown;
  ASSERT_TRUE(dev->screen().WaitForWindow("ProbeClass", "Probe", 2000, &shown));
  EXPECT_EQ(dev->screen().Focus(), shown.id) << "SW_SHOWNORMAL activates";
  EXPECT_TRUE(PostMessageW(probe, WM_USER, 7, MAKELPARAM(3, 4)));
  WaitForLog("WM_USER 7 3 4");
}

TEST_F(X11Test, UncoveredWindowIsPaintedAgain) {
  HWND local = CreateWindowExW(0, u"LocalClass", u"Under", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(local, nullptr);
  auto paints = [] {
    int n = 0;
    for (const Rec& r : seen) n += r.msg == WM_PAINT;
    return n;
  };
  ASSERT_TRUE(PumpUntil([&] { return paints() == 1; }));
  Pump();
  EXPECT_EQ(paints(), 1) << "mapping a new window paints it once";
  harness::Program* probe = StartProbe("ProbeClass", "Cover");
  ASSERT_TRUE(dev->screen().WaitForWindow("ProbeClass", "Cover", 5000));
  probe->Kill(SIGKILL);
  ASSERT_TRUE(probe->Wait(5000));
  EXPECT_TRUE(PumpUntil([&] { return paints() >= 2; })) << "the exposed window is painted again";
}

TEST_F(X11Test, TapAndDragReachTheWindowProcedureWithTheirPositions) {
  HWND w = CreateWindowExW(0, u"LocalClass", u"Touch", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                           nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(dev->screen().WaitForWindow("LocalClass", "Touch", 3000));
  Pump();
  seen.clear();

  harness::Screen& screen = dev->screen();
  screen.MoveTo(5, 5);  // the pointer moving with nothing pressed: a move without MK_LBUTTON, as on Win32
  screen.Tap(30, 40);
  ASSERT_TRUE(PumpUntil([] { return !seen.empty() && seen.back().msg == WM_LBUTTONUP; }));
  KeepStylus();
  std::vector<Rec> hovers;
  for (const Rec& r : seen)
    if (r.msg == WM_MOUSEMOVE) hovers.push_back(r);
  ASSERT_FALSE(hovers.empty()) << "a hover reaches the window";
  for (const Rec& r : hovers) EXPECT_EQ(r.wParam, static_cast<WPARAM>(0)) << "a hover carries no button";
  seen.erase(std::remove_if(seen.begin(), seen.end(), [](const Rec& r) { return r.msg == WM_MOUSEMOVE; }), seen.end());
  ASSERT_EQ(seen.size(), 2u) << "a tap is a down and an up";
  EXPECT_EQ(seen[0].msg, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(seen[0].x, 30);
  EXPECT_EQ(seen[0].y, 40);
  EXPECT_EQ(seen[1].x, 30);
  EXPECT_EQ(seen[1].y, 40);

  seen.clear();
  screen.Drag(10, 10, 100, 150, 6);
  ASSERT_TRUE(PumpUntil([] { return !seen.empty() && seen.back().msg == WM_LBUTTONUP; }));
  KeepStylus();
  while (!seen.empty() && seen.front().msg == WM_MOUSEMOVE && seen.front().wParam == 0)
    seen.erase(seen.begin());  // the pointer going to where the drag starts
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front().msg, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(seen.front().x, 10);
  EXPECT_EQ(seen.front().y, 10);
  for (size_t i = 1; i + 1 < seen.size(); ++i) {
    EXPECT_EQ(seen[i].msg, static_cast<UINT>(WM_MOUSEMOVE)) << i;
    EXPECT_EQ(seen[i].wParam, static_cast<WPARAM>(MK_LBUTTON)) << i;
    EXPECT_GE(seen[i].x, 10);
    EXPECT_LE(seen[i].x, 100);
  }
  const Rec& lastMove = seen[seen.size() - 2];
  EXPECT_EQ(lastMove.x, 100);
  EXPECT_EQ(lastMove.y, 150);
  EXPECT_EQ(seen.back().x, 100);
  EXPECT_EQ(seen.back().y, 150);
}

TEST_F(X11Test, MessageBoxIsADialogWindowAnsweredYesByTapAndNoByKey) {
  const std::string text = "TomTom Navigator not running - do you want to start it?";
  harness::Program* first = dev->Start(PROBE_PATH, {"msgbox", "Trapmarker - Error", text, "0x14"});
  ASSERT_NE(first, nullptr);
  harness::MessageBox box;
  ASSERT_TRUE(dev->screen().WaitForMessageBox(5000, &box));
  EXPECT_EQ(box.window.cls, "Dialog");
  EXPECT_EQ(box.window.instance, "Dialog");
  EXPECT_EQ(box.caption, "Trapmarker - Error");
  EXPECT_EQ(box.text, text);
  ASSERT_EQ(box.buttons.size(), 2u);
  EXPECT_NE(box.Find(IDYES), nullptr);
  EXPECT_NE(box.Find(IDNO), nullptr);
  if (const char* shots = std::getenv("TM_SCREENSHOTS")) dev->screen().CapturePng(std::string(shots) + "/msgbox.png");
  ASSERT_TRUE(dev->screen().TapButton(box, IDYES));
  ASSERT_TRUE(first->Wait(5000));
  EXPECT_EQ(first->ExitCode(), IDYES);
  EXPECT_TRUE(dev->screen().WaitForNoWindow("Dialog", "", 2000));

  harness::Program* second = dev->Start(PROBE_PATH, {"msgbox", "Question", "Clear?", "4"});
  ASSERT_TRUE(dev->screen().AnswerMessageBox(IDNO, /*byKey=*/true));
  ASSERT_TRUE(second->Wait(5000));
  EXPECT_EQ(second->ExitCode(), IDNO);
}

// A picture drawn with GDI reaches the screen with the same colours at depth 16 and 24.
class X11DepthTest : public ::testing::TestWithParam<int> {};

TEST_P(X11DepthTest, WindowDrawnWithGdiAppearsOnTheCapturedScreen) {
  harness::Profile profile;
  profile.depth = GetParam();
  harness::Device device(profile);
  ASSERT_TRUE(device.StartScreen());
  const std::string log = device.root() + "/probe.log";
  ASSERT_NE(device.Start(PROBE_PATH, {"window", "Bands", "Bands", log}), nullptr);
  ASSERT_TRUE(device.screen().WaitForWindow("Bands", "Bands", 5000));

  // Band centres across the 240-pixel screen, and what RGB565 makes of each colour.
  struct Probe {
    int x;
    uint32_t rgb;
  } want[] = {{30, 0xFF0000}, {90, 0x00FF00}, {150, 0x0000FF}, {210, 0x103452}};
  harness::Image shot;
  bool match = harness::WaitFor(
      [&] {
        if (!device.screen().Capture(&shot)) return false;
        for (const Probe& p : want) {
          if (shot.Pixel(p.x, 160) != p.rgb) return false;
        }
        return true;
      },
      3000);
  for (const Probe& p : want) {
    EXPECT_EQ(shot.Pixel(p.x, 160), p.rgb) << "depth " << GetParam() << " at x " << p.x << std::hex << ": expected "
                                           << p.rgb << ", got " << shot.Pixel(p.x, 160);
  }
  EXPECT_TRUE(match);
  EXPECT_EQ(shot.width, 240);
  EXPECT_EQ(shot.height, 320);

  // The PNG holds the same pixels.
  const std::string png = device.root() + "/shot.png";
  ASSERT_TRUE(shot.SavePng(png));
  uint8_t* rgb = nullptr;
  int w = 0, h = 0;
  ASSERT_TRUE(ce::gdi::ReadPngRgb(png.c_str(), &rgb, &w, &h));
  ASSERT_EQ(w, 240);
  ASSERT_EQ(h, 320);
  const uint8_t* p = rgb + (160 * 240 + 210) * 3;
  EXPECT_EQ((uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2], 0x103452u);
  std::free(rgb);
}

INSTANTIATE_TEST_SUITE_P(Depths, X11DepthTest, ::testing::Values(16, 24));

}  // namespace
