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

namespace {

FILE* logFile = nullptr;

const char* Name(UINT msg) {
  switch (msg) {
    case WM_CREATE:
      return "WM_CREATE";
    case WM_DESTROY:
      return "WM_DESTROY";
    case WM_ACTIVATE:
      return "WM_ACTIVATE";
    case WM_PAINT:
      return "WM_PAINT";
    case WM_CLOSE:
      return "WM_CLOSE";
    case WM_LBUTTONDOWN:
      return "WM_LBUTTONDOWN";
    case WM_MOUSEMOVE:
      return "WM_MOUSEMOVE";
    case WM_LBUTTONUP:
      return "WM_LBUTTONUP";
    case WM_KEYDOWN:
      return "WM_KEYDOWN";
    case WM_CHAR:
      return "WM_CHAR";
    case WM_USER:
      return "WM_USER";
    default:
      return nullptr;
  }
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
