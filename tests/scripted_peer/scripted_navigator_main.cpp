// scripted-navigator: a stand-in navigator for end-to-end tests.
//
// Installed on a device under a navigator's name ("\Program Files\Navigator\TomTom
// Navigator.exe"), it shows a window of class "MunichWinClass" and answers the SDK calls folder
// from a reply table. Beside its executable it reads
//   scripted-navigator.replies   lines "<call> <reply text>" (see ReplyTable::Parse); optional
// and appends to
//   scripted-navigator.log       one line per request, its fields each followed by "|"
// The log line is written before the request is answered, so a client whose call returned finds
// it there. `--replies FILE` and `--log FILE` name other host files.
//
// BringNavigatorToForegroundV01 brings its window to the front; StopApplicationV01 is answered
// and then the program ends; a reply "!exit" ends it without answering. "@window-delay <ms>" in
// the replies file holds the window back that long; "@delay-<call> <ms>" holds each answer to that
// call back that long after its log line (a test looks at the device while the client waits).
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>

#include "ce/ce.h"
#include "tests/scripted_peer/scripted_peer.h"

namespace {

bool quitRequested = false;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    quitRequested = true;
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The host folder of this executable: its replies and log files live there.
std::string ExecutableFolder() {
#ifdef _WIN32
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return ".";
  char* slash = std::strrchr(path, '\\');
#else
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  path[length] = 0;
  char* slash = std::strrchr(path, '/');
#endif
  if (slash == nullptr) return ".";
  *slash = 0;
  return path;
}

void AppendLine(const std::string& logPath, const std::string& line) {
  FILE* log = std::fopen(logPath.c_str(), "ab");
  if (log == nullptr) return;
  std::fprintf(log, "%s\n", line.c_str());
  std::fclose(log);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = ExecutableFolder();
  std::string repliesPath = folder + "/" + scripted::kRepliesFileName;
  std::string logPath = folder + "/" + scripted::kLogFileName;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--replies") == 0) repliesPath = argv[i + 1];
    if (std::strcmp(argv[i], "--log") == 0) logPath = argv[i + 1];
  }

  scripted::ReplyTable replies;
  replies.Load(repliesPath);  // a missing file leaves the defaults
  // A slow start, for tests that watch the client while it waits for the window.
  int windowDelay = replies.Option("window-delay", 0);
  if (windowDelay > 0) Sleep(static_cast<DWORD>(windowDelay));

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.lpszClassName = scripted::kWindowClass;
  if (RegisterClassW(&windowClass) == 0) return 1;
  HWND window =
      CreateWindowExW(0, scripted::kWindowClass, TEXT("Scripted Navigator"), WS_VISIBLE, 0, 0,
                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) return 1;
  SetForegroundWindow(window);

  scripted::RequestServer server;
  server.Watch();
  bool stopAfterServe = false;
  while (!quitRequested) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) quitRequested = true;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (quitRequested) break;

    bool goOn = server.Serve([&](const scripted::RecordedRequest& request) {
      AppendLine(logPath, request.Text());
      std::string call = request.fields.empty() ? std::string() : request.fields[0];
      if (call == "BringNavigatorToForegroundV01") SetForegroundWindow(window);
      if (call == "StopApplicationV01") stopAfterServe = true;
      int hold = replies.Option("delay-" + call, 0);
      if (hold > 0) Sleep(static_cast<DWORD>(hold));
      return replies.Find(call);
    });
    if (!goOn) return 0;  // asked to vanish: no answer, no goodbye
    if (stopAfterServe) {
      DestroyWindow(window);
      break;
    }
    server.WaitForChange(20);
  }
  return 0;
}
