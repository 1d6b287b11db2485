// A small program for the tests on the X screen, run in its own process.
//
//   probe window CLASS TITLE LOGFILE   a full-screen window painted in four bands (red, green, blue,
//                                      RGB(0x12,0x34,0x56)); every message it gets is appended to
//                                      LOGFILE as "NAME wParam x y"; ends with the quit code
//   probe msgbox CAPTION TEXT TYPE     shows MessageBoxW(NULL, TEXT, CAPTION, TYPE) and ends with
//                                      the answer
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ce/ce.h"
#include "ce/device.h"
#include "tests/user/message_names.h"

namespace {

FILE* logFile = nullptr;

// The messages the log records; the others are left out so that the tests see a stable sequence.
const UINT kLogged[] = {WM_CREATE,    WM_DESTROY,   WM_ACTIVATE, WM_PAINT, WM_CLOSE, WM_LBUTTONDOWN,
                        WM_MOUSEMOVE, WM_LBUTTONUP, WM_KEYDOWN,  WM_CHAR,  WM_USER};

const char* Name(UINT msg) {
  for (UINT logged : kLogged)
    if (logged == msg) return usertest::KnownMessageName(msg);
  return nullptr;
}

void PaintBands(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  const COLORREF colors[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(0x12, 0x34, 0x56)};
  for (int i = 0; i < 4; ++i) {
    RECT band{rc.right * i / 4, 0, rc.right * (i + 1) / 4, rc.bottom};
    HBRUSH brush = CreateSolidBrush(colors[i]);
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (const char* name = Name(msg)) {
    std::fprintf(logFile, "%s %lu %d %d\n", name, static_cast<unsigned long>(wParam), GET_X_LPARAM(lParam),
                 GET_Y_LPARAM(lParam));
    std::fflush(logFile);
  }
  switch (msg) {
    case WM_PAINT:
      PaintBands(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

int RunWindow(const char* cls, const char* title, const char* logPath) {
  logFile = std::fopen(logPath, "a");
  if (!logFile) return 3;
  std::u16string wcls = ce::FromUtf8(cls);
  std::u16string wtitle = ce::FromUtf8(title);
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeProc;
  wc.lpszClassName = wcls.c_str();
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wcls.c_str(), wtitle.c_str(), WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) return 4;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  std::fclose(logFile);
  return static_cast<int>(msg.wParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "window") == 0) return RunWindow(argv[2], argv[3], argv[4]);
  if (argc == 5 && std::strcmp(argv[1], "msgbox") == 0) {
    std::u16string caption = ce::FromUtf8(argv[2]);
    std::u16string text = ce::FromUtf8(argv[3]);
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), static_cast<UINT>(std::strtoul(argv[4], nullptr, 0)));
  }
  std::fprintf(stderr, "usage: probe window CLASS TITLE LOGFILE | probe msgbox CAPTION TEXT TYPE\n");
  return 2;
}
