// Message sequences of creation, painting, timers, nested sends and closing, and the queue's order,
// on the headless screen.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/user/recorder.h"

using namespace usertest;

namespace {

const std::vector<Want> kCreateVisibleSeq = {
    {WM_CREATE, false, 0},
    {WM_SIZE, true, SIZE_RESTORED},
    {WM_SHOWWINDOW, true, TRUE},
    {WM_ACTIVATE, true, WA_ACTIVE},
};
const std::vector<Want> kFirstPaintSeq = {
    {WM_PAINT, false, 0}, {WM_ERASEBKGND, false, 0},  // a window's first paint erases its background
};
const std::vector<Want> kCreateHiddenSeq = {
    {WM_CREATE, false, 0},
    {WM_SIZE, true, SIZE_RESTORED},
};
const std::vector<Want> kCreateFailsSeq = {
    {WM_CREATE, false, 0},
    {WM_DESTROY, false, 0},
    {WM_NCDESTROY, false, 0},
};
const std::vector<Want> kCloseInCreateSeq = {
    {WM_CREATE, false, 0},
    {WM_CLOSE, false, 0},
    {WM_DESTROY, false, 0},
    {WM_NCDESTROY, false, 0},
};
const std::vector<Want> kCloseActiveSeq = {
    {WM_CLOSE, false, 0},
    {WM_ACTIVATE, true, WA_INACTIVE},
    {WM_DESTROY, false, 0},
    {WM_NCDESTROY, false, 0},
};
const std::vector<Want> kNestedSendSeq = {
    {WM_USER, false, 0},
    {WM_USER + 1, false, 0},
    {WM_USER + 2, false, 0},
};

class MessageTest : public UserTest {};

TEST_F(MessageTest, CreatingAVisibleWindowSendsCreateSizeShowActivateThenPaintsOnce) {
  HWND w = MakeWindow(u"Main");
  ASSERT_NE(w, nullptr);
  ExpectSequence(seen, kCreateVisibleSeq, "create");
  EXPECT_EQ(seen.at(0).hwnd, w);
  EXPECT_EQ(seen.at(1).lParam, MAKELPARAM(kScreenW, kScreenH)) << "CW_USEDEFAULT covers the device's screen";
  seen.clear();
  PumpIdle();
  ExpectSequence(seen, kFirstPaintSeq, "first paint");
  seen.clear();
  EXPECT_EQ(PumpIdle(), 0) << "a validated window is not painted again";
}

TEST_F(MessageTest, HiddenWindowIsNotPaintedUntilShown) {
  HWND w = MakeWindow(u"Hidden", 0);
  ASSERT_NE(w, nullptr);
  ExpectSequence(seen, kCreateHiddenSeq, "create hidden");
  seen.clear();
  EXPECT_TRUE(InvalidateRect(w, nullptr, FALSE));
  EXPECT_EQ(PumpIdle(), 0);
  EXPECT_FALSE(ShowWindow(w, SW_SHOW)) << "ShowWindow returns the previous visibility";
  PumpIdle();
  std::vector<Want> want = {
      {WM_SHOWWINDOW, true, TRUE}, {WM_ACTIVATE, true, WA_ACTIVE}, {WM_PAINT, false, 0}, {WM_ERASEBKGND, false, 0}};
  ExpectSequence(seen, want, "show");
}

TEST_F(MessageTest, CreateFailsWhenCreateHandlerReturnsMinusOne) {
  hook = [](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
    if (msg != WM_CREATE) return false;
    *r = -1;
    return true;
  };
  EXPECT_EQ(MakeWindow(u"Refused"), nullptr);
  ExpectSequence(seen, kCreateFailsSeq, "refused create");
  EXPECT_EQ(FindWindowW(u"TestWnd", nullptr), nullptr);
}

TEST_F(MessageTest, CloseSentDuringCreateDestroysAtOnceAndCreateReturnsNull) {
  hook = [](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT* r) {
    if (msg == WM_CREATE) {
      SendMessageW(hwnd, WM_CLOSE, 0, 0);
      *r = 0;
      return true;
    }
    if (msg == WM_DESTROY) {
      PostQuitMessage(0);
      *r = 0;
      return true;
    }
    return false;
  };
  EXPECT_EQ(MakeWindow(u"Closing"), nullptr);
  ExpectSequence(seen, kCloseInCreateSeq, "close in create");
  MSG msg;
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE) << "the quit message ends the loop";
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

TEST_F(MessageTest, DefaultCloseDestroysAndQuitCarriesTheExitCode) {
  hook = [](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
    if (msg != WM_DESTROY) return false;
    PostQuitMessage(3);
    *r = 0;
    return true;
  };
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  seen.clear();
  EXPECT_EQ(SendMessageW(w, WM_CLOSE, 0, 0), 0);
  ExpectSequence(seen, kCloseActiveSeq, "close");
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  MSG msg;
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageTest, SendMessageIsANestedDirectCall) {
  hook = [](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT* r) {
    if (msg == WM_USER)
      *r = SendMessageW(hwnd, WM_USER + 1, 0, 0) + 1;
    else if (msg == WM_USER + 1)
      *r = SendMessageW(hwnd, WM_USER + 2, 0, 0) + 10;
    else if (msg == WM_USER + 2)
      *r = 100;
    else
      return false;
    return true;
  };
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  seen.clear();
  EXPECT_EQ(SendMessageW(w, WM_USER, 0, 0), 111) << "each level returns its callee's result";
  ExpectSequence(seen, kNestedSendSeq, "nested send");
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "sending queues nothing";
}

TEST_F(MessageTest, QueueGivesPostedThenQuitThenInputThenPaintThenTimer) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  seen.clear();
  ASSERT_EQ(SetTimer(w, 7, 10, nullptr), 7u);
  std::this_thread::sleep_for(std::chrono::milliseconds(25));  // let the timer fall due
  InvalidateRect(w, nullptr, FALSE);
  ASSERT_TRUE(ce::null::StylusDown(5, 5));
  PostMessageW(w, WM_USER, 1, 0);
  PostMessageW(w, WM_USER + 1, 2, 0);
  PostQuitMessage(9);

  const std::vector<Want> want = {
      {WM_USER, true, 1},   {WM_USER + 1, true, 2}, {WM_QUIT, true, 9}, {WM_LBUTTONDOWN, true, MK_LBUTTON},
      {WM_PAINT, false, 0}, {WM_TIMER, true, 7},
  };
  std::vector<Rec> got;
  MSG msg;
  while (got.size() < want.size() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    got.push_back(Rec{msg.hwnd, msg.message, msg.wParam, msg.lParam});
    if (msg.message != WM_QUIT) DispatchMessageW(&msg);
  }
  ExpectSequence(got, want, "queue order");
  KillTimer(w, 7);
}

TEST_F(MessageTest, PaintWaitsForInvalidationAndForAnEmptyQueue) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE)) << "nothing invalid, no paint";

  PostMessageW(w, WM_USER, 0, 0);
  InvalidateRect(w, nullptr, FALSE);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER)) << "a posted message goes before the paint";
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT)) << "WM_PAINT stays until the window is validated";
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  EXPECT_TRUE(ValidateRect(w, nullptr));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, BeginPaintReportsTheUnionOfInvalidRectsAndTheEraseFlag) {
  PAINTSTRUCT ps{};
  hook = [&ps](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT* r) {
    if (msg != WM_PAINT) return false;
    std::memset(&ps, 0xb0, sizeof ps);  // poisoned: BeginPaint must fill every field it reports
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    *r = 0;
    return true;
  };
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  struct Case {
    RECT a, b;
    BOOL eraseA, eraseB;
    RECT expect;
    BOOL expectErase;
  } cases[] = {
      {{10, 10, 20, 20}, {30, 5, 40, 15}, FALSE, FALSE, {10, 5, 40, 20}, FALSE},
      {{0, 0, 5, 5}, {2, 2, 3, 3}, FALSE, TRUE, {0, 0, 5, 5}, TRUE},  // WM_ERASEBKGND unhandled: still to erase
      {{300, 200, 400, 300}, {-10, -10, 1, 1}, FALSE, FALSE, {0, 0, kScreenW, kScreenH}, FALSE},  // clipped to client
  };
  for (const Case& c : cases) {
    InvalidateRect(w, &c.a, c.eraseA);
    InvalidateRect(w, &c.b, c.eraseB);
    PumpIdle();
    EXPECT_EQ(ps.rcPaint.left, c.expect.left);
    EXPECT_EQ(ps.rcPaint.top, c.expect.top);
    EXPECT_EQ(ps.rcPaint.right, c.expect.right);
    EXPECT_EQ(ps.rcPaint.bottom, c.expect.bottom);
    EXPECT_EQ(ps.fErase, c.expectErase);
  }
}

TEST_F(MessageTest, ValidateRectRemovesCoveredPartsOnly) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  RECT u;
  InvalidateRect(w, nullptr, FALSE);
  RECT top{0, 0, kScreenW, 100};
  ValidateRect(w, &top);
  ASSERT_TRUE(GetUpdateRect(w, &u, FALSE));
  EXPECT_EQ(u.top, 100);
  EXPECT_EQ(u.bottom, kScreenH);
  RECT middle{50, 150, 60, 160};  // inside: the region is not a rectangle any more, so it stays
  ValidateRect(w, &middle);
  EXPECT_TRUE(GetUpdateRect(w, &u, FALSE));
  RECT rest{0, 100, kScreenW, kScreenH};
  ValidateRect(w, &rest);
  EXPECT_FALSE(GetUpdateRect(w, &u, FALSE));
}

TEST_F(MessageTest, TimerFiresAtItsPeriodAndStopsWhenKilled) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  seen.clear();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(SetTimer(w, 1, 40, nullptr), 1u);
  int ticks = 0;
  MSG msg;
  while (ticks < 3 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER) ++ticks;
    DispatchMessageW(&msg);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(120)) << "three periods of 40 ms";
  EXPECT_EQ(OnlyFor(w).size(), 3u);
  EXPECT_TRUE(KillTimer(w, 1));
  EXPECT_FALSE(KillTimer(w, 1)) << "a timer is killed once";
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
}

TEST_F(MessageTest, LateTimerFiresOnceAndRestartingItResetsThePeriod) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  SetTimer(w, 2, 10, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // six periods missed
  MSG msg;
  int ticks = 0;
  while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) ++ticks;
  EXPECT_EQ(ticks, 1) << "missed periods are not delivered one by one";

  SetTimer(w, 2, 1000, nullptr);  // same id: replaced
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x4444), 1, 10, nullptr), 0u) << "no timer for a bad window";
}

std::atomic<int> timerProcCalls{0};
HWND timerProcWindow = nullptr;
VOID CALLBACK CountingTimerProc(HWND hwnd, UINT msg, UINT_PTR, DWORD) {
  if (msg == WM_TIMER) ++timerProcCalls;
  timerProcWindow = hwnd;
}

TEST_F(MessageTest, TimerProcIsCalledByDispatchAndTimersDieWithTheirWindow) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  seen.clear();
  timerProcCalls = 0;
  SetTimer(w, 3, 10, CountingTimerProc);
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  ASSERT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  DispatchMessageW(&msg);
  EXPECT_EQ(timerProcCalls.load(), 1);
  EXPECT_EQ(timerProcWindow, w);
  EXPECT_TRUE(seen.empty()) << "a timer with a procedure does not reach the window procedure";

  UINT_PTR threadTimer = SetTimer(nullptr, 0, 10, CountingTimerProc);
  EXPECT_NE(threadTimer, 0u);
  KillTimer(nullptr, threadTimer);
  DestroyWindow(w);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, PostedMessagesOfADestroyedWindowAreDropped) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  EXPECT_TRUE(PostMessageW(w, WM_USER, 0, 0));
  DestroyWindow(w);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PostMessageW(w, WM_USER, 0, 0)) << "posting to a destroyed window fails";
}

TEST_F(MessageTest, PostFromAnotherThreadWakesABlockedGetMessage) {
  HWND w = MakeWindow(u"Main");
  PumpIdle();
  std::thread poster([w] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    PostMessageW(w, WM_USER + 2, 42, 0);
  });
  MSG msg;
  BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  poster.join();
  EXPECT_EQ(got, TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(MessageTest, MessageFiltersSelectByWindowAndRange) {
  HWND a = MakeWindow(u"A");
  HWND b = MakeWindow(u"B");
  PumpIdle();
  PostMessageW(a, WM_USER, 0, 0);
  PostMessageW(b, WM_USER + 1, 0, 0);
  PostMessageW(nullptr, WM_USER + 2, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a);
  EXPECT_EQ(GetMessageW(&msg, reinterpret_cast<HWND>(0x4444), 0, 0), -1) << "a bad window filter fails";
}

}  // namespace
