#include "tests/scripted_peer/in_process_peer.h"

namespace scripted {

namespace {

LRESULT CALLBACK NavigatorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

ScriptedPeer::ScriptedPeer(const ReplyTable& replies) : iReplies(replies) {}

ScriptedPeer::~ScriptedPeer() { Stop(); }

bool ScriptedPeer::CreateNavigatorWindow() {
  if (iWindow != nullptr) return true;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = NavigatorWindowProc;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  iWindow = CreateWindowExW(0, kWindowClass, TEXT("Scripted Navigator"), WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                            nullptr, nullptr);
  return iWindow != nullptr;
}

void ScriptedPeer::DestroyNavigatorWindow() {
  if (iWindow != nullptr && IsWindow(iWindow)) DestroyWindow(iWindow);
  iWindow = nullptr;
}

bool ScriptedPeer::Start() {
  if (!CreateNavigatorWindow()) return false;
  if (iThread.joinable()) return true;
  if (!iServer.Watch()) return false;
  {
    std::lock_guard<std::mutex> hold(iLock);
    iStopping = false;
  }
  iThread = std::thread([this] { Run(); });
  return true;
}

void ScriptedPeer::Stop() {
  {
    std::lock_guard<std::mutex> hold(iLock);
    iStopping = true;
  }
  if (iThread.joinable()) iThread.join();
  DestroyNavigatorWindow();
}

void ScriptedPeer::Run() {
  for (;;) {
    bool goOn = iServer.Serve([this](const RecordedRequest& request) {
      std::lock_guard<std::mutex> hold(iLock);
      iRequests.push_back(request);
      return iReplies.Find(request.fields.empty() ? std::string() : request.fields[0]);
    });
    if (!goOn) return;
    {
      std::lock_guard<std::mutex> hold(iLock);
      if (iStopping) return;
    }
    // Short enough that Stop() returns promptly; a new request wakes the wait at once.
    iServer.WaitForChange(20);
  }
}

void ScriptedPeer::SetReply(const std::string& call, const std::string& text) {
  std::lock_guard<std::mutex> hold(iLock);
  iReplies.Set(call, text);
}

std::vector<RecordedRequest> ScriptedPeer::Requests() const {
  std::lock_guard<std::mutex> hold(iLock);
  return iRequests;
}

void ScriptedPeer::ClearRequests() {
  std::lock_guard<std::mutex> hold(iLock);
  iRequests.clear();
}

}  // namespace scripted
