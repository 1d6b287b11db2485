// Process entry, the main window and its dispatch table, creation and close.
#include <string.h>

#include "app/app.h"
#include "app/preferences.h"
#include "resources/resource.h"
#include "sdk/navigator_launch.h"
#include "ui/buttons.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/run_state.h"
#include "ui/touch.h"

HWND mainWindow = NULL;
WCHAR programFolder[MAX_PATH];
WCHAR preferencesPath[MAX_PATH];
NavigatorLink* activeLink = NULL;

// Task bar, input-panel button and Start icon hidden.
static const DWORD kFullScreenState = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (!InitInstance(instance)) return 0;
  MSG message;
  while (GetMessageW(&message, NULL, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return (int)message.wParam;
}

BOOL InitInstance(HINSTANCE instance) {
  instanceHandle = instance;
  WCHAR className[100];
  WCHAR title[100];
  LoadStringW(instance, IDS_APP_CLASS, className, 100);
  LoadStringW(instance, IDS_APP_TITLE, title, 100);

  // One instance per device: a second start brings the first forward and ends.
  mainWindow = FindWindowW(className, title);
  if (mainWindow) {
    // Setting the low bit of the handle also brings the window's owned windows forward.
    SetForegroundWindow((HWND)((ULONG_PTR)mainWindow | 1));
    return FALSE;
  }

  RegisterMainWindowClass(instance, className);

  HDC screen = GetDC(NULL);
  physicalWidth = GetDeviceCaps(screen, HORZRES);
  physicalHeight = GetDeviceCaps(screen, VERTRES);
  memoryDC = CreateCompatibleDC(screen);
  ReleaseDC(NULL, screen);

  HWND window = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, NULL, NULL, instance, NULL);
  if (!window) return FALSE;
  mainWindow = window;
  SHFullScreen(mainWindow, kFullScreenState);
  MoveWindow(mainWindow, 0, 0, physicalWidth, physicalHeight, FALSE);
  return TRUE;
}

ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className) {
  WNDCLASSW windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TRAPMARKER));
  windowClass.hCursor = NULL;
  windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  windowClass.lpszMenuName = NULL;
  windowClass.lpszClassName = className;
  return RegisterClassW(&windowClass);
}

// Cuts the module path after its last backslash: the folder keeps its trailing backslash.
static void ComputeProgramFolder() {
  programFolder[0] = 0;
  GetModuleFileNameW(NULL, programFolder, MAX_PATH);
  programFolder[MAX_PATH - 1] = 0;
  WCHAR* lastBackslash = NULL;
  for (WCHAR* p = programFolder; *p; ++p)
    if (*p == u'\\') lastBackslash = p;
  if (lastBackslash) lastBackslash[1] = 0;
}

// WM_CREATE. Returns 0 in every case; a missing navigator closes the window from here.
static LRESULT OnCreate(HWND window, WPARAM, LPARAM) {
  if (!IsNavigatorRunning()) {
    int answer = MessageBoxW(NULL, TEXT("TomTom Navigator not running - do you want to start it?"),
                             TEXT("Trapmarker - Error"), MB_YESNO | MB_ICONHAND);
    if (answer == IDYES) {
      INT status;
      BringNavigatorToForegroundV01(activeLink, &status);
    }
    CloseNavigatorLink(activeLink);
    SendMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }

  buildButtonTable();
  slotAt(PreferencesPage, RotateScreenPlace)->target = 0;
  orientation = 0;
  timerOption = 0;
  ComputeProgramFolder();
  StringCchPrintfW(preferencesPath, MAX_PATH, TEXT("%sTrapmarker.ini"), programFolder);
  ReadPreferences(preferencesPath);
  computeLayout(physicalWidth, physicalHeight, orientation);
  createDrawingObjects();
  return 0;
}

static LRESULT OnDestroy(HWND, WPARAM, LPARAM) {
  PostQuitMessage(0);
  return 0;
}

// Activation and deactivation alike: full screen again and a repaint without erasing.
static LRESULT OnActivate(HWND, WPARAM, LPARAM) {
  SHFullScreen(mainWindow, kFullScreenState);
  InvalidateRect(mainWindow, NULL, FALSE);
  return 0;
}

static LRESULT OnPaint(HWND window, WPARAM, LPARAM) {
  PAINTSTRUCT paint;
  HDC windowDC = BeginPaint(window, &paint);
  drawPage();
  presentFrame(windowDC);
  EndPaint(window, &paint);
  AfterPaintChecks();
  return 0;
}

static LRESULT OnSettingChange(HWND, WPARAM, LPARAM) { return 0; }

void RunCloseCommand() {
  CloseNavigatorLink(activeLink);
  releaseDrawingObjects();
  SendMessageW(mainWindow, WM_CLOSE, 0, 0);
}

static LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case SaveCommand:
      SaveCapturedPoint();
      return 0;
    case CloseCommand:
      RunCloseCommand();
      return 0;
    default:
      return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
  }
}

static LRESULT OnTimer(HWND, WPARAM, LPARAM) {
  CountdownTick();
  return 0;
}

static LRESULT OnStylusDown(HWND window, WPARAM, LPARAM lParam) {
  CancelCountdown();
  onStylusDown(window, LOWORD(lParam), HIWORD(lParam));
  return 0;
}

// A pointer resting or moving over the screen without the button down is no touch.
static LRESULT OnStylusMove(HWND window, WPARAM wParam, LPARAM lParam) {
  if (!(wParam & MK_LBUTTON)) return 0;
  CancelCountdown();
  onStylusMove(window, LOWORD(lParam), HIWORD(lParam));
  return 0;
}

static LRESULT OnStylusUp(HWND, WPARAM, LPARAM lParam) {
  onStylusUp(LOWORD(lParam), HIWORD(lParam));
  ApplySlotRelease();
  return 0;
}

typedef LRESULT (*MessageHandler)(HWND, WPARAM, LPARAM);
struct MessageRoute {
  UINT message;
  MessageHandler handler;
};

// Every message not listed goes to DefWindowProcW (WM_CLOSE among them: it destroys the window).
static const MessageRoute kRoutes[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_ACTIVATE, OnActivate},
    {WM_PAINT, OnPaint},
    {WM_SETTINGCHANGE, OnSettingChange},
    {WM_COMMAND, OnCommand},
    {WM_TIMER, OnTimer},
    {WM_MOUSEMOVE, OnStylusMove},
    {WM_LBUTTONDOWN, OnStylusDown},
    {WM_LBUTTONUP, OnStylusUp},
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Each call, nested ones included, talks to the navigator through a link of its own.
  NavigatorLink link;
  OpenNavigatorLink(&link);
  NavigatorLink* outerLink = activeLink;
  activeLink = &link;

  LRESULT result = 0;
  bool handled = false;
  for (const MessageRoute& route : kRoutes) {
    if (route.message == message) {
      result = route.handler(window, wParam, lParam);
      handled = true;
      break;
    }
  }
  if (!handled) result = DefWindowProcW(window, message, wParam, lParam);

  CloseNavigatorLink(&link);
  activeLink = outerLink;
  return result;
}
