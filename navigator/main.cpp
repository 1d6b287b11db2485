// The navigator stand-in program. It reads navigator.ini beside its executable, loads its GPS
// source, map and favourites, opens its main window (class "MunichWinClass") and serves the SDK
// calls folder from the window's message loop: a watcher thread waits for changes in the calls
// folder (or half a second, as a slow poll) and posts kServeMessage, and the window answers
// every waiting request. A timer repaints the moving map. Only Win32 calls: the same source
// builds for the device stand-in and for Windows.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ce/ce.h"
#include "navigator/device_file.h"
#include "navigator/navigator.h"
#include "navigator/screen.h"
#include "navigator/service.h"

namespace {

constexpr UINT kServeMessage = WM_APP + 1;
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintMs = 250;
// Calls that change the screen repaint it at most this often (a frame draws the map and looks at
// every category file): a busy service would otherwise spend its time painting.
constexpr UINT_PTR kServedRepaintTimer = 2;
constexpr DWORD kServedRepaintMs = 40;
constexpr uint32_t kSlowPollMs = 500;
constexpr uint32_t kBusyPollMs = 2;  // a marker was still being written: look again soon
const WCHAR kClassName[] = TEXT("MunichWinClass");
const WCHAR kTitle[] = TEXT("TomTom Navigator");

struct App : nav::NavigatorHost {
  nav::Navigator* navigator = nullptr;
  nav::Service* service = nullptr;
  nav::Screen screen;
  HWND window = nullptr;
  HDC memory = nullptr;
  HBITMAP frame = nullptr;
  HGDIOBJ oldFrame = nullptr;
  int frameWidth = 0, frameHeight = 0;
  std::atomic<bool> servePosted{false};
  std::atomic<bool> quitting{false};
  std::atomic<bool> serviceBusy{false};
  // Set by the window when it has served what the watcher last woke it for.
  HANDLE passDone = nullptr;
  DWORD lastPaint = 0;            // GetTickCount of the last frame
  bool servedRepaintDue = false;  // a frame for served calls waits on kServedRepaintTimer

  void BringToForeground() override {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
  }
};

App app;

double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// A frame for calls just served: now, or when kServedRepaintMs have passed since the last one.
void RepaintForServedCalls(HWND hwnd) {
  const DWORD since = GetTickCount() - app.lastPaint;
  if (since >= kServedRepaintMs) {
    InvalidateRect(hwnd, nullptr, FALSE);
  } else if (!app.servedRepaintDue) {
    app.servedRepaintDue = true;
    SetTimer(hwnd, kServedRepaintTimer, kServedRepaintMs - since, nullptr);
  }
}

void Paint(HWND hwnd) {
  app.lastPaint = GetTickCount();
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  int w = client.right - client.left, h = client.bottom - client.top;
  if (w > 0 && h > 0) {
    if (!app.memory || w != app.frameWidth || h != app.frameHeight) {
      if (app.memory) {
        SelectObject(app.memory, app.oldFrame);
        DeleteObject(app.frame);
        DeleteDC(app.memory);
      }
      app.memory = CreateCompatibleDC(dc);
      app.frame = CreateCompatibleBitmap(dc, w, h);
      app.oldFrame = SelectObject(app.memory, app.frame);
      app.frameWidth = w;
      app.frameHeight = h;
    }
    app.screen.Draw(app.memory, w, h, *app.navigator);
    BitBlt(dc, 0, 0, w, h, app.memory, 0, 0, SRCCOPY);
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kServeMessage: {
      app.servePosted = false;
      if (app.service->ServeReady() > 0) RepaintForServedCalls(hwnd);
      app.serviceBusy = app.service->Busy();
      SetEvent(app.passDone);
      if (app.navigator->StopRequested()) DestroyWindow(hwnd);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kServedRepaintTimer) {
        KillTimer(hwnd, kServedRepaintTimer);
        app.servedRepaintDue = false;
      }
      if (wParam == kRepaintTimer || wParam == kServedRepaintTimer) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      KillTimer(hwnd, kRepaintTimer);
      KillTimer(hwnd, kServedRepaintTimer);
      if (app.memory) {
        SelectObject(app.memory, app.oldFrame);
        DeleteObject(app.frame);
        DeleteDC(app.memory);
        app.memory = nullptr;
      }
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The device folder of this executable, ending in a backslash.
std::string ProgramFolder() {
  WCHAR module[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::string path = n > 0 && n < MAX_PATH ? nav::Narrow(module) : std::string("\\");
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string("\\") : path.substr(0, slash + 1);
}

// The device's preset identifier as hex, empty when the platform has none.
std::string HardwareId() {
  DWORD size = sizeof(DEVICE_ID) + 64;
  for (int attempt = 0; attempt < 2; attempt++) {
    BYTE* buffer = static_cast<BYTE*>(calloc(1, size));
    if (!buffer) return {};
    reinterpret_cast<DEVICE_ID*>(buffer)->dwSize = size;
    DWORD returned = 0;
    BOOL ok = KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer, size, &returned);
    DWORD needed = reinterpret_cast<DEVICE_ID*>(buffer)->dwSize;
    std::string hex;
    if (ok) {
      const DEVICE_ID* id = reinterpret_cast<const DEVICE_ID*>(buffer);
      uint64_t end = uint64_t(id->dwPresetIDOffset) + id->dwPresetIDBytes;
      if (id->dwPresetIDOffset >= sizeof(DEVICE_ID) && end <= size) {
        char byte[4];
        for (uint64_t i = id->dwPresetIDOffset; i < end && hex.size() < 31; i++) {
          snprintf(byte, sizeof byte, "%02X", buffer[i]);
          hex += byte;
        }
      }
    }
    free(buffer);
    if (ok) return hex.substr(0, 31);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size || needed > 65536) return {};
    size = needed;
  }
  return {};
}

// Waits for changes in the calls folder and wakes the window to serve them. While the window
// serves, the watcher waits for it to finish rather than waking on every file the pass itself
// and its clients touch: the changes stay signalled and the next wait returns at once.
DWORD WINAPI WatchCallsFolder(LPVOID) {
  while (!app.quitting) {
    app.service->WaitForChange(app.serviceBusy ? kBusyPollMs : kSlowPollMs);
    if (app.quitting) break;
    if (!app.servePosted.exchange(true)) {
      ResetEvent(app.passDone);
      PostMessageW(app.window, kServeMessage, 0, 0);
    }
    WaitForSingleObject(app.passDone, kSlowPollMs);
  }
  return 0;
}

}  // namespace

int main() {
  // One navigator per device screen.
  if (HWND running = FindWindowW(kClassName, nullptr)) {
    SetForegroundWindow(running);
    fprintf(stderr, "navigator: already running\n");
    return 0;
  }

  std::string folder = ProgramFolder();
  nav::NavigatorConfig config;
  std::vector<std::string> warnings;
  nav::LoadConfig(folder + "navigator.ini", config, warnings);
  nav::Navigator navigator(config, folder, Seconds, HardwareId());
  navigator.Start(warnings);
  for (const std::string& w : warnings) fprintf(stderr, "navigator: %s\n", w.c_str());

  nav::Service service(navigator);
  if (!service.Watch()) fprintf(stderr, "navigator: cannot watch the calls folder; polling it\n");
  app.navigator = &navigator;
  app.service = &service;
  navigator.SetHost(&app);

  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.lpszClassName = kClassName;
  if (!RegisterClassW(&wc)) {
    fprintf(stderr, "navigator: cannot register the window class\n");
    return 1;
  }
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  app.window = CreateWindowExW(0, kClassName, kTitle, WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                               nullptr, nullptr);
  if (!app.window) {
    fprintf(stderr, "navigator: cannot create the main window\n");
    return 1;
  }
  SetTimer(app.window, kRepaintTimer, kRepaintMs, nullptr);

  app.passDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!app.passDone) {
    fprintf(stderr, "navigator: cannot create the watcher's event\n");
    return 1;
  }
  HANDLE watcher = CreateThread(nullptr, 0, WatchCallsFolder, nullptr, 0, nullptr);
  if (!watcher) {
    fprintf(stderr, "navigator: cannot start the calls folder watcher\n");
    return 1;
  }
  app.servePosted = true;
  PostMessageW(app.window, kServeMessage, 0, 0);  // requests that came before we watched

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  app.quitting = true;
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  CloseHandle(app.passDone);
  fprintf(stderr, "navigator: stopped after %llu requests\n", static_cast<unsigned long long>(service.Served()));
  return 0;
}
