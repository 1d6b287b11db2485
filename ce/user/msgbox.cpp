// MessageBoxW: a modal box drawn on the device screen, answered by a tap or by the keyboard.
//
// The box is a window of class "Dialog" titled with the caption, centred on the screen: a caption
// bar, the icon, the word-wrapped text and a row of buttons. A button fires when the stylus is lifted
// on the button it went down on. Keys: Y answers Yes, N answers No, Enter the default button, Escape
// Cancel (or No, or OK when the box has neither). While the box is up the program's other windows
// take no input, but their paints and timers go on, as under Windows.
#include <algorithm>
#include <vector>

#include "ce/device.h"
#include "ce/gdi.h"
#include "ce/user/core.h"
#include "ce/user/test_hooks.h"

namespace ce::user {

namespace {

constexpr char16_t kDialogClass[] = u"Dialog";

struct Box {
  UINT type = 0;
  std::u16string text;
  std::u16string caption;
  std::vector<DialogButton> buttons;
  int defaultIndex = 0;
  int pressed = -1;     // button the stylus went down on
  bool inside = false;  // the stylus is still on it
  int answer = 0;
  int scale = 1;
  RECT textRect{};
  RECT iconRect{};
  int captionHeight = 0;
};

const char16_t* Label(int id) {
  switch (id) {
    case IDOK:
      return u"OK";
    case IDCANCEL:
      return u"Cancel";
    case IDYES:
      return u"Yes";
    case IDNO:
      return u"No";
    case IDABORT:
      return u"Abort";
    case IDRETRY:
      return u"Retry";
    case IDIGNORE:
      return u"Ignore";
    default:
      return u"?";
  }
}

std::vector<int> ButtonIds(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      return {IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {IDRETRY, IDCANCEL};
    default:
      return {IDOK};
  }
}

bool Has(const Box& b, int id) {
  return std::any_of(b.buttons.begin(), b.buttons.end(), [id](const DialogButton& x) { return x.id == id; });
}

// What Escape (or closing the box) answers.
int EscapeAnswer(const Box& b) {
  if (Has(b, IDCANCEL)) return IDCANCEL;
  if (Has(b, IDNO)) return IDNO;
  return b.buttons.front().id;
}

int HitButton(const Box& b, int x, int y) {
  for (size_t i = 0; i < b.buttons.size(); ++i) {
    const RECT& r = b.buttons[i].rect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

HFONT MakeFont(int scale, bool bold) {
  return CreateFontW(-12 * scale, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, u"Tahoma");
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void Frame(HDC dc, const RECT& r, int width, COLORREF color) {
  Fill(dc, RECT{r.left, r.top, r.right, r.top + width}, color);
  Fill(dc, RECT{r.left, r.bottom - width, r.right, r.bottom}, color);
  Fill(dc, RECT{r.left, r.top, r.left + width, r.bottom}, color);
  Fill(dc, RECT{r.right - width, r.top, r.right, r.bottom}, color);
}

// The icon a box type asks for: a disc of `color` with `mark` on it in white.
struct IconMark {
  UINT icon;
  COLORREF color;
  const char16_t* mark;
};
const IconMark kIconMarks[] = {
    {MB_ICONHAND, RGB(200, 0, 0), u"X"},
    {MB_ICONQUESTION, RGB(0, 64, 192), u"?"},
    {MB_ICONEXCLAMATION, RGB(224, 176, 0), u"!"},
    {MB_ICONASTERISK, RGB(0, 64, 192), u"i"},
};

void DrawIconMark(HDC dc, const Box& b) {
  const IconMark* found = nullptr;
  for (const IconMark& m : kIconMarks)
    if (m.icon == (b.type & MB_ICONMASK)) found = &m;
  if (!found) return;
  const COLORREF color = found->color;
  const char16_t* mark = found->mark;
  HBRUSH brush = CreateSolidBrush(color);
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  const RECT& r = b.iconRect;
  Ellipse(dc, r.left, r.top, r.right, r.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
  HFONT font = CreateFontW(-18 * b.scale, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, u"Tahoma");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT tr = r;
  DrawTextW(dc, mark, -1, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

void Paint(HWND hwnd, const Box& b) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc) return;
  RECT client;
  GetClientRect(hwnd, &client);
  Fill(dc, client, RGB(255, 255, 255));
  Fill(dc, RECT{0, 0, client.right, b.captionHeight}, RGB(0, 0, 128));
  Frame(dc, client, 1, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);

  HFONT bold = MakeFont(b.scale, true);
  HFONT normal = MakeFont(b.scale, false);
  HGDIOBJ oldFont = SelectObject(dc, bold);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT cr{4 * b.scale, 0, client.right - 4 * b.scale, b.captionHeight};
  DrawTextW(dc, b.caption.c_str(), -1, &cr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

  DrawIconMark(dc, b);

  SelectObject(dc, normal);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT tr = b.textRect;
  DrawTextW(dc, b.text.c_str(), -1, &tr, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);

  for (size_t i = 0; i < b.buttons.size(); ++i) {
    const RECT& r = b.buttons[i].rect;
    const bool down = b.pressed == static_cast<int>(i) && b.inside;
    Fill(dc, r, down ? RGB(0, 0, 128) : RGB(212, 208, 200));
    Frame(dc, r, static_cast<int>(i) == b.defaultIndex ? 2 : 1, RGB(0, 0, 0));
    SetTextColor(dc, down ? RGB(255, 255, 255) : RGB(0, 0, 0));
    RECT lr = r;
    DrawTextW(dc, Label(b.buttons[i].id), -1, &lr, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  DeleteObject(bold);
  DeleteObject(normal);
  EndPaint(hwnd, &ps);
}

Box* BoxOf(HWND hwnd) { return reinterpret_cast<Box*>(GetWindowLongPtrW(hwnd, GWL_USERDATA)); }

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    return 0;
  }
  Box* b = BoxOf(hwnd);
  if (!b) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const int x = GET_X_LPARAM(lParam);
  const int y = GET_Y_LPARAM(lParam);
  switch (msg) {
    case WM_PAINT:
      Paint(hwnd, *b);
      return 0;
    case WM_LBUTTONDOWN:
      b->pressed = HitButton(*b, x, y);
      b->inside = b->pressed >= 0;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE:
      if (b->pressed >= 0) {
        const bool inside = HitButton(*b, x, y) == b->pressed;
        if (inside != b->inside) {
          b->inside = inside;
          InvalidateRect(hwnd, nullptr, FALSE);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (b->pressed >= 0 && HitButton(*b, x, y) == b->pressed) b->answer = b->buttons[b->pressed].id;
      b->pressed = -1;
      b->inside = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      if (wParam == 'Y' && Has(*b, IDYES))
        b->answer = IDYES;
      else if (wParam == 'N' && Has(*b, IDNO))
        b->answer = IDNO;
      else if (wParam == VK_RETURN)
        b->answer = b->buttons[b->defaultIndex].id;
      else if (wParam == VK_ESCAPE)
        b->answer = EscapeAnswer(*b);
      return 0;
    case WM_CLOSE:
      b->answer = EscapeAnswer(*b);  // the loop below takes the window down
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// Places the parts of the box for the screen size; returns the window's screen rectangle.
RECT Layout(Box& b) {
  const int W = std::max(1, ce::Device().screenWidth);
  const int H = std::max(1, ce::Device().screenHeight);
  const int s = std::max(1, std::min(W, H) / 240);
  b.scale = s;
  const int pad = 8 * s;
  const int boxW = std::min(W - 8 * s, 224 * s);
  const int iconSize = (b.type & MB_ICONMASK) ? 28 * s : 0;
  const int textX = pad + (iconSize ? iconSize + pad : 0);
  const int textW = std::max(1, boxW - textX - pad);
  b.captionHeight = 18 * s;

  RECT measure{0, 0, textW, 0};
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = MakeFont(s, false);
  HGDIOBJ old = SelectObject(dc, font);
  DrawTextW(dc, b.text.c_str(), -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  const int textH = std::max<int>(measure.bottom - measure.top, iconSize);

  const int buttonH = 24 * s;
  const int buttonW = 60 * s;
  const int gap = 8 * s;
  const int top = b.captionHeight + pad;
  int boxH = top + textH + pad + buttonH + pad;
  const int maxTextH = std::max(s, H - (top + pad + buttonH + pad));
  const int shownTextH = std::min(textH, maxTextH);  // a text too long for the screen is cut
  boxH = std::min(boxH, H);

  b.iconRect = RECT{pad, top, pad + iconSize, top + iconSize};
  b.textRect = RECT{textX, top, textX + textW, top + shownTextH};
  const int n = static_cast<int>(b.buttons.size());
  const int rowW = n * buttonW + (n - 1) * gap;
  int bx = (boxW - rowW) / 2;
  const int by = boxH - pad - buttonH;
  for (auto& button : b.buttons) {
    button.rect = RECT{bx, by, bx + buttonW, by + buttonH};
    bx += buttonW + gap;
  }
  const int x = (W - boxW) / 2;
  const int y = (H - boxH) / 2;
  return RECT{x, y, x + boxW, y + boxH};
}

int ShowBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) { return RunMessageBox(owner, text, caption, type); }

}  // namespace

void EnsureMessageBoxHandler() { ce::SetMessageBoxHandler(&ShowBox); }

// Installed when the program links the windowing code, so a box shown before any window exists is
// still a real box.
static const bool installedAtStart = (ce::SetMessageBoxHandler(&ShowBox), true);

int RunMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  (void)installedAtStart;
  BackendTestHooks* hooks = ActiveTestHooks();
  int answer = 0;
  if (hooks && hooks->AnswerMessageBox(owner, text, caption, type, &answer)) return answer;

  Box box;
  box.type = type;
  box.text = text ? text : u"";
  box.caption = caption ? caption : u"Error";
  for (int id : ButtonIds(type)) box.buttons.push_back(DialogButton{id, RECT{}});
  box.defaultIndex = static_cast<int>((type & MB_DEFMASK) >> 8);
  if (box.defaultIndex >= static_cast<int>(box.buttons.size())) box.defaultIndex = 0;
  const RECT at = Layout(box);

  WNDCLASSW wc{};
  wc.lpfnWndProc = BoxProc;
  wc.lpszClassName = kDialogClass;
  RegisterClassW(&wc);  // fails harmlessly when it is registered already

  const HWND previous = GetForegroundWindow();
  HWND hwnd = CreateWindowExW(0, kDialogClass, box.caption.c_str(), WS_POPUP, at.left, at.top, at.right - at.left,
                              at.bottom - at.top, owner, nullptr, nullptr, &box);
  if (!hwnd) return 0;  // as Windows does when the box cannot be made
  if (hooks) hooks->DescribeDialog(hwnd, box.text, box.buttons);
  {
    std::lock_guard<std::mutex> lock(core().mu);
    core().modal.push_back(hwnd);
  }
  ShowWindow(hwnd, SW_SHOW);

  bool quit = false;
  int quitCode = 0;
  while (!box.answer && IsWindow(hwnd)) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // a quit message ends the box; it is posted again for the outer loop
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (!box.answer) box.answer = EscapeAnswer(box);
  {
    std::lock_guard<std::mutex> lock(core().mu);
    auto& m = core().modal;
    m.erase(std::remove(m.begin(), m.end(), hwnd), m.end());
  }
  if (IsWindow(hwnd)) {
    SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);  // the box state dies with this call
    DestroyWindow(hwnd);
  }
  if (previous && previous != hwnd && IsWindow(previous)) SetForegroundWindow(previous);
  if (quit) PostQuitMessage(quitCode);
  return box.answer;
}

}  // namespace ce::user
