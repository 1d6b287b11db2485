// Message boxes on the headless screen: recorded boxes with queued answers, and real boxes answered
// by taps and keys while their modal loop runs.
#include <functional>

#include "tests/user/recorder.h"

using namespace usertest;

namespace {

class MessageBoxTest : public UserTest {};

TEST_F(MessageBoxTest, RecordedBoxesTakeQueuedAnswersElseTheDefaultButton) {
  HWND owner = MakeWindow(u"Main");
  struct Case {
    UINT type;
    int queued;  // 0: none
    int expect;
  } cases[] = {
      {MB_OK, 0, IDOK},
      {MB_YESNO | MB_ICONHAND, 0, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, 0, IDNO},
      {MB_YESNO, IDNO, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, 0, IDCANCEL},
  };
  for (const Case& c : cases) {
    if (c.queued) ce::null::QueueMessageBoxAnswer(c.queued);
    EXPECT_EQ(MessageBoxW(owner, u"Text", u"Caption", c.type), c.expect) << "type " << c.type;
  }
  auto boxes = ce::null::MessageBoxes();
  ASSERT_EQ(boxes.size(), std::size(cases));
  EXPECT_EQ(boxes[1].owner, owner);
  EXPECT_EQ(boxes[1].caption, u"Caption");
  EXPECT_EQ(boxes[1].text, u"Text");
  EXPECT_EQ(boxes[1].type, static_cast<UINT>(MB_YESNO | MB_ICONHAND));
  EXPECT_EQ(boxes[3].answer, IDNO);
  EXPECT_EQ(FindWindowW(u"Dialog", nullptr), nullptr) << "a recorded box makes no window";
}

// Runs `during` from a timer while MessageBoxW's loop runs, with the box's window.
int ShowBoxAndAct(HWND owner, UINT type, std::function<void(HWND box)> during) {
  static std::function<void(HWND)> action;
  static bool done;
  action = std::move(during);
  done = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowW(u"Dialog", u"Question");
    if (!box || done) return;
    done = true;
    action(box);
  });
  int answer = MessageBoxW(owner, u"Delete all collected cameras?", u"Question", type);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(done) << "the box never appeared";
  return answer;
}

POINT ButtonCentre(HWND box, int id) {
  RECT at;
  GetWindowRect(box, &at);
  for (const auto& b : ce::null::DialogButtons(box)) {
    if (b.id == id) return POINT{at.left + (b.rect.left + b.rect.right) / 2, at.top + (b.rect.top + b.rect.bottom) / 2};
  }
  ADD_FAILURE() << "the box has no button " << id;
  return POINT{-1, -1};
}

TEST_F(MessageBoxTest, RealBoxIsAnsweredByATapOnAButton) {
  ce::null::SetRealMessageBoxes(true);
  HWND owner = MakeWindow(u"Main");
  PumpIdle();
  seen.clear();
  int answer = ShowBoxAndAct(owner, MB_YESNO | MB_ICONHAND, [](HWND box) {
    ce::null::Frame f;
    EXPECT_TRUE(ce::null::LastFrame(box, &f)) << "the box was drawn before it was answered";
    EXPECT_EQ(GetForegroundWindow(), box);
    POINT yes = ButtonCentre(box, IDYES);
    ce::null::Tap(yes.x, yes.y);
  });
  EXPECT_EQ(answer, IDYES);
  EXPECT_EQ(FindWindowW(u"Dialog", nullptr), nullptr) << "the box is gone once answered";
  EXPECT_EQ(GetForegroundWindow(), owner) << "the owner is active again";
  const std::vector<Want> want = {{WM_ACTIVATE, true, WA_INACTIVE}, {WM_ACTIVATE, true, WA_ACTIVE}};
  ExpectSequence(OnlyFor(owner), want, "owner around the box");
}

TEST_F(MessageBoxTest, RealBoxFiresOnlyWhenTheStylusIsLiftedOnThePressedButton) {
  ce::null::SetRealMessageBoxes(true);
  HWND owner = MakeWindow(u"Main");
  PumpIdle();
  int answer = ShowBoxAndAct(owner, MB_YESNO, [](HWND box) {
    POINT yes = ButtonCentre(box, IDYES);
    POINT no = ButtonCentre(box, IDNO);
    ce::null::StylusDown(yes.x, yes.y);
    ce::null::StylusMove(no.x, no.y);
    ce::null::StylusUp(no.x, no.y);  // went down on Yes, lifted on No: nothing
    ce::null::StylusDown(no.x, no.y);
    ce::null::StylusUp(no.x, no.y);
  });
  EXPECT_EQ(answer, IDNO);
}

TEST_F(MessageBoxTest, KeysAnswerByLetterEnterAndEscape) {
  ce::null::SetRealMessageBoxes(true);
  HWND owner = MakeWindow(u"Main");
  PumpIdle();
  struct Case {
    UINT type;
    UINT vk;
    int expect;
  } cases[] = {
      {MB_YESNO, 'Y', IDYES},       {MB_YESNO, 'N', IDNO},          {MB_YESNO | MB_DEFBUTTON2, VK_RETURN, IDNO},
      {MB_YESNO, VK_RETURN, IDYES}, {MB_YESNO, VK_ESCAPE, IDNO},    {MB_YESNOCANCEL, VK_ESCAPE, IDCANCEL},
      {MB_OK, VK_ESCAPE, IDOK},     {MB_OKCANCEL, VK_RETURN, IDOK},
  };
  for (const Case& c : cases) {
    UINT vk = c.vk;
    int answer = ShowBoxAndAct(owner, c.type, [vk](HWND) {
      ce::null::KeyPress('X', u'x');  // not an answer
      ce::null::KeyPress(vk, 0);
    });
    EXPECT_EQ(answer, c.expect) << "type " << c.type << ", key " << c.vk;
  }
}

TEST_F(MessageBoxTest, OwnerTakesNoInputWhileTheBoxIsUpButStillPaints) {
  ce::null::SetRealMessageBoxes(true);
  HWND owner = MakeWindow(u"Main");
  PumpIdle();
  bool paintedUnderBox = false;
  // The owner's paint, dispatched by the box's own loop, answers the box.
  hook = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_PAINT && hwnd == owner && FindWindowW(u"Dialog", nullptr)) {
      paintedUnderBox = true;
      ce::null::KeyPress(VK_RETURN, u'\r');
    }
    return false;
  };
  seen.clear();
  int answer = ShowBoxAndAct(owner, MB_OK, [owner](HWND) {
    EXPECT_FALSE(ce::null::Tap(2, 2)) << "the corner of the owner, outside the box";
    InvalidateRect(owner, nullptr, FALSE);
  });
  EXPECT_EQ(answer, IDOK);
  EXPECT_TRUE(paintedUnderBox);
  for (const Rec& r : OnlyFor(owner)) {
    EXPECT_TRUE(r.msg != WM_LBUTTONDOWN && r.msg != WM_LBUTTONUP) << "the owner got a tap under the box";
  }
}

TEST_F(MessageBoxTest, QuitDuringTheBoxEndsItAndReachesTheOuterLoop) {
  ce::null::SetRealMessageBoxes(true);
  HWND owner = MakeWindow(u"Main");
  PumpIdle();
  int answer = ShowBoxAndAct(owner, MB_YESNO, [](HWND) { PostQuitMessage(5); });
  EXPECT_EQ(answer, IDNO) << "a box ended without an answer answers as Escape would";
  MSG msg;
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(MessageBoxTest, ClosingTheBoxWindowAnswersAsEscape) {
  ce::null::SetRealMessageBoxes(true);
  int answer = ShowBoxAndAct(nullptr, MB_YESNOCANCEL, [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
  EXPECT_EQ(answer, IDCANCEL);
}

}  // namespace
