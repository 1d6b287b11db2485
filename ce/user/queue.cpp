// The message queue: posted messages, input, WM_PAINT and WM_TIMER in Win32's order; timers.
#include <algorithm>

#include "ce/user/core.h"

namespace ce::user {

static constexpr UINT kMinTimerMs = 10;  // Win32's USER_TIMER_MINIMUM

void QueueInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, char16_t ch) {
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Core& c = core();
    Window* w = FindLocked(hwnd);
    if (!w || w->destroying) return;
    // While a message box is up, the other windows take no input (they are disabled).
    if (!c.modal.empty() && c.modal.back() != hwnd) return;
    // Only the latest stylus position of a run of moves is kept, as Windows coalesces them.
    if (msg == WM_MOUSEMOVE && !c.input.empty() && c.input.back().msg.message == WM_MOUSEMOVE &&
        c.input.back().msg.hwnd == hwnd) {
      c.input.back().msg.wParam = wParam;
      c.input.back().msg.lParam = lParam;
      c.input.back().msg.time = TickMs();
    } else {
      MSG m{hwnd, msg, wParam, lParam, TickMs(), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}};
      c.input.push_back(QueuedMessage{m, ch});
    }
  }
  ActiveBackend()->Wake();
}

void QueuePosted(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w || w->destroying) return;
    core().posted.push_back(QueuedMessage{MSG{hwnd, msg, wParam, lParam, TickMs(), POINT{0, 0}}, 0});
  }
  ActiveBackend()->Wake();
}

void KillTimersOfLocked(HWND hwnd) {
  auto& t = core().timers;
  t.erase(std::remove_if(t.begin(), t.end(), [hwnd](const Timer& x) { return x.hwnd == hwnd; }), t.end());
}

namespace {

bool InRange(UINT msg, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi); }

bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
  if (!InRange(m.message, lo, hi)) return false;
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(-1)) return m.hwnd == nullptr;  // thread messages only
  return m.hwnd == filter;
}

bool TakeFrom(std::deque<QueuedMessage>& q, MSG* out, char16_t* ch, HWND filter, UINT lo, UINT hi, bool remove) {
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (!Matches(it->msg, filter, lo, hi)) continue;
    *out = it->msg;
    if (ch) *ch = it->ch;
    if (remove) q.erase(it);
    return true;
  }
  return false;
}

// One look at the queue in Win32's order. Returns true with *out filled when a message is ready.
bool Retrieve(MSG* out, HWND filter, UINT lo, UINT hi, bool remove) {
  ActiveBackend()->PumpEvents();
  std::lock_guard<std::mutex> lock(core().mu);
  Core& c = core();
  if (TakeFrom(c.posted, out, nullptr, filter, lo, hi, remove)) return true;
  if (c.quitPending && InRange(WM_QUIT, lo, hi)) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(c.quitCode), 0, TickMs(), POINT{0, 0}};
    if (remove) c.quitPending = false;
    return true;
  }
  char16_t ch = 0;
  if (TakeFrom(c.input, out, &ch, filter, lo, hi, remove)) {
    if (out->message == WM_KEYDOWN && remove) {
      c.lastKey = *out;
      c.lastKeyChar = ch;
    }
    return true;
  }
  // WM_PAINT stays until the update region is validated; it is never removed by retrieval.
  for (size_t i = c.stacking.size(); i-- > 0;) {
    Window* w = FindLocked(c.stacking[i]);
    if (!w || !w->visible || !w->updatePending || w->destroying) continue;
    MSG m{w->hwnd, WM_PAINT, 0, 0, TickMs(), POINT{0, 0}};
    if (!Matches(m, filter, lo, hi)) continue;
    *out = m;
    return true;
  }
  // The timer that is most overdue goes first; a late timer fires once, not once per period missed.
  const auto now = Clock::now();
  Timer* due = nullptr;
  for (auto& t : c.timers) {
    if (t.due > now) continue;
    MSG m{t.hwnd, WM_TIMER, t.id, 0, 0, POINT{0, 0}};
    if (!Matches(m, filter, lo, hi)) continue;
    if (!due || t.due < due->due) due = &t;
  }
  if (due) {
    *out = MSG{due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), TickMs(), POINT{0, 0}};
    if (remove) {
      due->due += std::chrono::milliseconds(due->period);
      if (due->due <= now) due->due = now + std::chrono::milliseconds(due->period);
    }
    return true;
  }
  return false;
}

// Milliseconds until the next timer is due, rounded up; -1 when no timer runs.
int MsUntilNextTimer() {
  std::lock_guard<std::mutex> lock(core().mu);
  if (core().timers.empty()) return -1;
  auto next = core().timers.front().due;
  for (auto& t : core().timers) next = std::min(next, t.due);
  auto left = next - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
  return static_cast<int>((us + 999) / 1000);
}

}  // namespace

}  // namespace ce::user

using namespace ce::user;

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) return -1;
  Backend* be = ActiveBackend();
  if (hwnd && hwnd != reinterpret_cast<HWND>(-1)) {
    std::lock_guard<std::mutex> lock(core().mu);
    if (!FindLocked(hwnd)) return -1;
  }
  for (;;) {
    if (Retrieve(msg, hwnd, filterMin, filterMax, true)) return msg->message != WM_QUIT;
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !IsWindow(hwnd)) return -1;
    be->WaitEvents(MsUntilNextTimer());
  }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  return Retrieve(msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  char16_t ch;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    const MSG& k = core().lastKey;
    if (k.hwnd != msg->hwnd || k.wParam != msg->wParam || k.lParam != msg->lParam) return FALSE;
    ch = core().lastKeyChar;
  }
  if (!ch) return FALSE;
  return PostMessageW(msg->hwnd, WM_CHAR, ch, msg->lParam);
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, TickMs());
    return 0;
  }
  if (!msg->hwnd) return 0;
  return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Backend* be = ActiveBackend();
  if (IsForeignHandle(hwnd)) return be->ForeignPost(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Core& c = core();
    if (hwnd == HWND_BROADCAST) {
      for (HWND h : c.stacking)
        c.posted.push_back(QueuedMessage{MSG{h, msg, wParam, lParam, TickMs(), POINT{0, 0}}, 0});
    } else {
      if (hwnd) {
        Window* w = FindLocked(hwnd);
        if (!w || w->destroying) return FALSE;
      }
      c.posted.push_back(QueuedMessage{MSG{hwnd, msg, wParam, lParam, TickMs(), POINT{0, 0}}, 0});
    }
  }
  be->Wake();
  return TRUE;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Backend* be = ActiveBackend();
  if (IsForeignHandle(hwnd)) {
    be->ForeignPost(hwnd, msg, wParam, lParam);
    return 0;
  }
  if (hwnd == HWND_BROADCAST) {
    std::vector<HWND> all;
    {
      std::lock_guard<std::mutex> lock(core().mu);
      all = core().stacking;
    }
    for (HWND h : all) CallProc(h, msg, wParam, lParam);
    return 0;
  }
  return CallProc(hwnd, msg, wParam, lParam);
}

VOID PostQuitMessage(int exitCode) {
  Backend* be = ActiveBackend();
  {
    std::lock_guard<std::mutex> lock(core().mu);
    core().quitPending = true;
    core().quitCode = exitCode;
  }
  be->Wake();
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  ActiveBackend();
  if (elapseMs < kMinTimerMs) elapseMs = kMinTimerMs;
  std::lock_guard<std::mutex> lock(core().mu);
  Core& c = core();
  if (hwnd) {
    Window* w = FindLocked(hwnd);
    if (!w || w->destroying) return 0;
  } else {
    id = ++c.nextThreadTimerId;  // a timer without window gets an id of its own
  }
  const auto due = Clock::now() + std::chrono::milliseconds(elapseMs);
  for (auto& t : c.timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.period = elapseMs;
      t.proc = proc;
      t.due = due;
      return id;
    }
  }
  c.timers.push_back(Timer{hwnd, id, elapseMs, proc, due});
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard<std::mutex> lock(core().mu);
  auto& t = core().timers;
  auto it = std::find_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd && x.id == id; });
  if (it == t.end()) return FALSE;
  t.erase(it);
  return TRUE;
}
