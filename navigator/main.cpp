// The navigator stand-in program. It reads navigator.ini beside its executable, loads its GPS
// source, map and favourites, opens its main window (class "MunichWinClass") and serves the SDK
// calls folder from the window's message loop: a watcher thread waits for changes in the calls
// folder (or half a second, as a slow poll) and posts kServeMessage, and the window answers
// every waiting request. A timer repaints the moving map.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "ce/ce.h"
#include "ce/device.h"
#include "navigator/navigator.h"
#include "navigator/screen.h"
#include "navigator/service.h"

namespace {

constexpr UINT kServeMessage = WM_APP + 1;
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintMs = 250;
constexpr uint32_t kSlowPollMs = 500;
constexpr uint32_t kBusyPollMs = 2;  // a marker was still being written: look again soon
const WCHAR kClassName[] = u"MunichWinClass";
const WCHAR kTitle[] = u"TomTom Navigator";

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

  void BringToForeground() override {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
  }
};

App app;

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool MapToHost(const std::string& device, std::string& host) {
  return ce::DevicePathToHost(ce::FromUtf8(device).c_str(), host);
}

void Paint(HWND hwnd) {
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
      if (app.service->ServeReady() > 0) InvalidateRect(hwnd, nullptr, FALSE);
      app.serviceBusy = app.service->Busy();
      if (app.navigator->StopRequested()) DestroyWindow(hwnd);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kRepaintTimer) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      KillTimer(hwnd, kRepaintTimer);
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
  std::string path = n > 0 && n < MAX_PATH ? ce::ToUtf8(module) : std::string("\\");
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string("\\") : path.substr(0, slash + 1);
}

std::string HardwareId() {
  std::string hex;
  char byte[4];
  for (uint8_t b : ce::Device().deviceId) {
    snprintf(byte, sizeof byte, "%02X", b);
    hex += byte;
  }
  return hex.substr(0, 31);
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
  std::string iniHost;
  if (MapToHost(folder + "navigator.ini", iniHost)) nav::LoadConfig(iniHost, config, warnings);
  nav::Navigator navigator(config, folder, MapToHost, Seconds, HardwareId());
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
  app.window = CreateWindowExW(0, kClassName, kTitle, WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                               nullptr, nullptr, nullptr);
  if (!app.window) {
    fprintf(stderr, "navigator: cannot create the main window\n");
    return 1;
  }
  SetTimer(app.window, kRepaintTimer, kRepaintMs, nullptr);

  std::thread watcher([&] {
    while (!app.quitting) {
      service.WaitForChange(app.serviceBusy ? kBusyPollMs : kSlowPollMs);
      if (!app.quitting && !app.servePosted.exchange(true)) PostMessageW(app.window, kServeMessage, 0, 0);
    }
  });
  app.servePosted = true;
  PostMessageW(app.window, kServeMessage, 0, 0);  // requests that came before we watched

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  app.quitting = true;
  watcher.join();
  fprintf(stderr, "navigator: stopped after %llu requests\n", static_cast<unsigned long long>(service.Served()));
  return 0;
}
