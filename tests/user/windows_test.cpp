// Windows on the headless screen: stylus and keys, foreground and activation, search, geometry,
// presented pictures, cursors and the shell's full-screen call.
#include <cstring>

#include "ce/device.h"
#include "tests/user/recorder.h"

using namespace usertest;

namespace {

class WindowTest : public UserTest {};

TEST_F(WindowTest, TapAndDragArriveInClientCoordinatesWithMovesOnlyWhileDown) {
  HWND w = MakeWindow(u"Main");
  ASSERT_TRUE(MoveWindow(w, 10, 20, 200, 150, FALSE));
  PumpIdle();
  seen.clear();

  EXPECT_FALSE(ce::null::StylusMove(50, 50)) << "no move is reported while the stylus is up";
  ASSERT_TRUE(ce::null::StylusDown(30, 40));
  PumpIdle();
  ASSERT_TRUE(ce::null::StylusMove(60, 70));
  PumpIdle();
  ASSERT_TRUE(ce::null::StylusMove(80, 90));
  ASSERT_TRUE(ce::null::StylusMove(90, 100));  // queued behind the last move: the two become one
  ASSERT_TRUE(ce::null::StylusUp(300, 200));   // off the window: still this window's, as it went down here
  PumpIdle();

  struct Expect {
    UINT msg;
    WPARAM keys;
    int x, y;
  } want[] = {
      {WM_LBUTTONDOWN, MK_LBUTTON, 20, 20},
      {WM_MOUSEMOVE, MK_LBUTTON, 50, 50},
      {WM_MOUSEMOVE, MK_LBUTTON, 80, 80},
      {WM_LBUTTONUP, 0, 290, 180},
  };
  auto got = OnlyFor(w);
  ASSERT_EQ(got.size(), std::size(want));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].msg, want[i].msg) << i << ": expected " << MessageName(want[i].msg) << ", got "
                                       << MessageName(got[i].msg);
    EXPECT_EQ(got[i].wParam, want[i].keys) << i;
    EXPECT_EQ(GET_X_LPARAM(got[i].lParam), want[i].x) << i;
    EXPECT_EQ(GET_Y_LPARAM(got[i].lParam), want[i].y) << i;
  }
  EXPECT_FALSE(ce::null::StylusUp(1, 1)) << "a second lift has no stylus to lift";
}

TEST_F(WindowTest, StylusGoesToTheTopmostWindowUnderIt) {
  HWND back = MakeWindow(u"Back");
  HWND front = MakeWindow(u"Front", WS_VISIBLE, 100, 100, 50, 50);
  PumpIdle();
  seen.clear();
  ASSERT_TRUE(ce::null::Tap(120, 110));
  ASSERT_TRUE(ce::null::Tap(10, 10));
  PumpIdle();
  ASSERT_EQ(OnlyFor(front).size(), 2u);
  EXPECT_EQ(OnlyFor(front)[0].lParam, MAKELPARAM(20, 10));
  ASSERT_EQ(OnlyFor(back).size(), 2u);
  EXPECT_EQ(OnlyFor(back)[0].lParam, MAKELPARAM(10, 10));
  ShowWindow(front, SW_HIDE);
  ShowWindow(back, SW_HIDE);
  EXPECT_FALSE(ce::null::StylusDown(10, 10)) << "nothing visible under the stylus";
}

TEST_F(WindowTest, KeyGoesToTheActiveWindowAndTranslateMakesTheCharacter) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  seen.clear();
  ASSERT_TRUE(ce::null::KeyPress('Y', u'y'));
  PumpIdle();
  const std::vector<Want> want = {{WM_KEYDOWN, true, 'Y'}, {WM_CHAR, true, u'y'}, {WM_KEYUP, true, 'Y'}};
  ExpectSequence(OnlyFor(w), want, "key");
  DestroyWindow(w);
  EXPECT_FALSE(ce::null::KeyPress('Y', u'y')) << "no active window, no key";
}

TEST_F(WindowTest, ForegroundMovesActivationWithInactiveFirstAndAcceptsTheLowBit) {
  HWND a = MakeWindow(u"A");
  HWND b = MakeWindow(u"B");
  PumpIdle();
  EXPECT_EQ(GetForegroundWindow(), b) << "the newest visible window is active";
  seen.clear();
  HWND withBit = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(a) | 1);
  ASSERT_TRUE(SetForegroundWindow(withBit));
  EXPECT_EQ(GetForegroundWindow(), a);
  const std::vector<Want> want = {{WM_ACTIVATE, true, WA_INACTIVE}, {WM_ACTIVATE, true, WA_ACTIVE}};
  ExpectSequence(seen, want, "activation");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].hwnd, b);
  EXPECT_EQ(seen[0].lParam, reinterpret_cast<LPARAM>(a)) << "the deactivated window learns who took over";
  EXPECT_EQ(seen[1].hwnd, a);
  EXPECT_EQ(seen[1].lParam, reinterpret_cast<LPARAM>(b));
  seen.clear();
  EXPECT_TRUE(SetForegroundWindow(a));
  EXPECT_TRUE(seen.empty()) << "the active window is not activated again";
  EXPECT_FALSE(SetForegroundWindow(reinterpret_cast<HWND>(0x4444)));
  EXPECT_FALSE(SetForegroundWindow(nullptr));
  EXPECT_FALSE(IsWindow(withBit)) << "only the foreground call takes the CE low bit";
  HWND elsewhere = ce::user::MakeForeignHandle(0x1234);  // another program's: none on this screen
  EXPECT_FALSE(SetForegroundWindow(elsewhere));
  EXPECT_FALSE(IsWindow(elsewhere));
  EXPECT_FALSE(PostMessageW(elsewhere, WM_CLOSE, 0, 0));
  EXPECT_EQ(GetForegroundWindow(), a);
}

TEST_F(WindowTest, FindWindowMatchesClassTitleOrBothIgnoringCase) {
  HWND main = MakeWindow(u"Trapmarker");
  HWND other = MakeWindow(u"Other", 0);
  struct Case {
    const char16_t* cls;
    const char16_t* title;
    HWND expect;
  } cases[] = {
      {u"TestWnd", u"Trapmarker", main}, {u"testwnd", u"TRAPMARKER", main},  {nullptr, u"Other", other},
      {u"TestWnd", u"Other", other},     {u"NoSuchClass", nullptr, nullptr}, {u"TestWnd", u"Trap", nullptr},
      {nullptr, u"", nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindWindowW(c.cls, c.title), c.expect)
        << "class " << (c.cls ? ce::ToUtf8(c.cls) : "NULL") << ", title " << (c.title ? ce::ToUtf8(c.title) : "NULL");
  }
  EXPECT_NE(FindWindowW(u"TestWnd", nullptr), nullptr);
  DestroyWindow(main);
  EXPECT_EQ(FindWindowW(u"TestWnd", u"Trapmarker"), nullptr) << "a destroyed window is not found";
}

TEST_F(WindowTest, FindWindowFoldsTitlesLikeFileNames) {
  struct Case {
    const char16_t* title;  // as the window was made
    const char16_t* asked;  // as FindWindowW is asked
    bool found;
  } cases[] = {
      {u"\u00C9cran", u"\u00E9CRAN", true},                                                      // Latin-1
      {u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179", true},                                    // Latin Extended-A
      {u"\u0391\u03B8\u03AE\u03BD\u03B1", u"\u03B1\u0398\u03AE\u039D\u0391", true},              // Greek
      {u"\u041C\u043E\u0441\u043A\u0432\u0430", u"\u043C\u041E\u0421\u041A\u0412\u0410", true},  // Cyrillic
      {u"\u0401\u0436", u"\u0451\u0416", true},  // Cyrillic beyond the basic capitals
      {u"x\u00D7y", u"x\u00F7y", false},         // multiply and divide signs are not a pair
      {u"Ab", u"Abc", false},
  };
  for (const Case& c : cases) {
    HWND w = MakeWindow(c.title);
    EXPECT_EQ(FindWindowW(nullptr, c.asked) == w, c.found)
        << "title " << ce::ToUtf8(c.title) << " asked as " << ce::ToUtf8(c.asked) << ": expected "
        << (c.found ? "found" : "not found");
    EXPECT_EQ(_wcsicmp(c.title, c.asked) == 0, c.found) << "file names fold the same way";
    DestroyWindow(w);
  }
}

TEST_F(WindowTest, ClassesRegisterOnceAndAtomsNameThem) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = u"testwnd";
  EXPECT_EQ(RegisterClassW(&wc), 0) << "the class exists already (names ignore case)";
  wc.lpszClassName = u"Second";
  ATOM atom = RegisterClassW(&wc);
  ASSERT_NE(atom, 0);
  HWND w = CreateWindowExW(0, MAKEINTRESOURCEW(atom), u"By atom", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(FindWindowW(u"SECOND", nullptr), w);
  EXPECT_FALSE(UnregisterClassW(u"Second", nullptr)) << "a class in use stays";
  DestroyWindow(w);
  EXPECT_TRUE(UnregisterClassW(u"Second", nullptr));
  EXPECT_EQ(CreateWindowExW(0, u"Second", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  wc.lpfnWndProc = nullptr;
  wc.lpszClassName = u"NoProc";
  EXPECT_EQ(RegisterClassW(&wc), 0);
}

TEST_F(WindowTest, MoveWindowResizesKeepsThePictureAndRepaintsWhatIsNew) {
  HWND w = MakeWindow(u"Main", WS_VISIBLE, 0, 0, 100, 80);
  PumpIdle();
  HDC dc = GetDC(w);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 100, 80};
  FillRect(dc, &all, red);
  DeleteObject(red);
  ReleaseDC(w, dc);
  seen.clear();
  ASSERT_TRUE(MoveWindow(w, 5, 6, 120, 80, FALSE));
  RECT rc;
  ASSERT_TRUE(GetClientRect(w, &rc));
  EXPECT_EQ(rc.right, 120);
  EXPECT_EQ(rc.bottom, 80);
  ASSERT_TRUE(GetWindowRect(w, &rc));
  EXPECT_EQ(rc.left, 5);
  EXPECT_EQ(rc.top, 6);
  ExpectSequence(seen, {{WM_SIZE, true, SIZE_RESTORED}}, "resize");
  EXPECT_EQ(seen.at(0).lParam, MAKELPARAM(120, 80));
  RECT update;
  ASSERT_TRUE(GetUpdateRect(w, &update, FALSE));
  EXPECT_EQ(update.left, 100) << "only the uncovered strip is invalid";
  EXPECT_EQ(update.right, 120);
  PumpIdle();
  ce::null::Frame f;
  ASSERT_TRUE(ce::null::LastFrame(w, &f));
  EXPECT_EQ(f.width, 120);
  EXPECT_EQ(f.pixels.at(10 * 120 + 50), 0xF800) << "the old picture survives the resize";
}

TEST_F(WindowTest, ReleaseDcAndEndPaintPresentTheWindowPicture) {
  HWND w = MakeWindow(u"Main", WS_VISIBLE, 0, 0, 16, 8);
  hook = [](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT* r) {
    if (msg != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT rc{0, 0, 16, 8};
    FillRect(dc, &rc, blue);
    DeleteObject(blue);
    EndPaint(hwnd, &ps);
    *r = 0;
    return true;
  };
  PumpIdle();
  ce::null::Frame f;
  ASSERT_TRUE(ce::null::LastFrame(w, &f));
  EXPECT_EQ(f.count, 1);
  EXPECT_EQ(f.pixels.at(0), 0x001F);

  HDC dc = GetDC(w);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetPixel(dc, 3, 2, RGB(0, 255, 0)), RGB(0, 255, 0));
  EXPECT_EQ(ReleaseDC(w, dc), 1);
  EXPECT_EQ(ReleaseDC(w, dc), 0) << "a DC is released once";
  ASSERT_TRUE(ce::null::LastFrame(w, &f));
  EXPECT_EQ(f.count, 2);
  EXPECT_EQ(f.pixels.at(2 * 16 + 3), 0x07E0);

  ce::null::Frame screen = ce::null::Screen();
  EXPECT_EQ(screen.width, kScreenW);
  EXPECT_EQ(screen.pixels.at(2 * kScreenW + 3), 0x07E0);
  EXPECT_EQ(screen.pixels.at(20 * kScreenW + 20), 0) << "outside every window the screen is black";

  ShowWindow(w, SW_HIDE);
  dc = GetDC(w);
  ReleaseDC(w, dc);
  ASSERT_TRUE(ce::null::LastFrame(w, &f));
  EXPECT_EQ(f.count, 2) << "a hidden window presents nothing";
}

TEST_F(WindowTest, ScreenDcHasTheDeviceSizeAndMakesCompatibleDcs) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), kScreenW);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), kScreenH);
  HDC mem = CreateCompatibleDC(screen);
  EXPECT_NE(mem, nullptr);
  DeleteDC(mem);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), kScreenW);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), kScreenH);
}

TEST_F(WindowTest, CursorSwapsReturnThePreviousOne) {
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_NE(wait, nullptr);
  ASSERT_NE(arrow, nullptr);
  EXPECT_NE(wait, arrow);
  EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), wait) << "system cursors are shared";
  HCURSOR before = GetCursor();
  EXPECT_EQ(SetCursor(wait), before);
  EXPECT_EQ(GetCursor(), wait);
  EXPECT_EQ(ce::null::CursorShape(), 2);
  EXPECT_EQ(SetCursor(before), wait);
  EXPECT_EQ(GetCursor(), before);
}

TEST_F(WindowTest, FullScreenTakesTheShellBitsOfAWindow) {
  HWND w = MakeWindow(u"Main");
  struct Case {
    HWND hwnd;
    DWORD state;
    BOOL ok;
  } cases[] = {
      {w, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON, TRUE},  // 42
      {w, SHFS_SHOWTASKBAR, TRUE},
      {w, 0x40, FALSE},
      {nullptr, 42, FALSE},
  };
  for (const Case& c : cases) EXPECT_EQ(SHFullScreen(c.hwnd, c.state), c.ok) << "state " << c.state;
  EXPECT_EQ(ce::null::FullScreenState(w), SHFS_SHOWTASKBAR) << "the last accepted state";
}

TEST_F(WindowTest, WindowTextAndLongsRoundTrip) {
  HWND w = MakeWindow(u"Title");
  WCHAR buf[4];
  std::memset(buf, 0xb0, sizeof buf);
  EXPECT_EQ(GetWindowTextW(w, buf, 4), 3) << "cut to the buffer";
  EXPECT_EQ(std::u16string(buf), u"Tit");
  ASSERT_TRUE(SetWindowTextW(w, u"New"));
  EXPECT_EQ(FindWindowW(nullptr, u"New"), w);
  EXPECT_EQ(SetWindowLongPtrW(w, GWLP_USERDATA, 1234), 0);
  EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 1234);
  EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
}

}  // namespace
