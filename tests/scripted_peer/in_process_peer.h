// The scripted navigator inside a test process (null backend): a window of class "MunichWinClass"
// created on the test's thread, the calls folder served from a thread of the peer's own.
#pragma once

#include <mutex>
#include <thread>

#include "tests/scripted_peer/scripted_peer.h"

namespace scripted {

class ScriptedPeer {
 public:
  explicit ScriptedPeer(const ReplyTable& replies = ReplyTable());
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  // Creates the navigator window and starts serving. False when either fails.
  bool Start();
  // Stops serving and destroys the window (if it still exists).
  void Stop();

  // The window alone, for tests that need the navigator to look present or absent.
  bool CreateNavigatorWindow();
  void DestroyNavigatorWindow();
  HWND Window() const { return iWindow; }

  // Changes the reply to one call name from now on.
  void SetReply(const std::string& call, const std::string& text);

  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();

 private:
  void Run();

  RequestServer iServer;
  mutable std::mutex iLock;  // guards iReplies and iRequests
  ReplyTable iReplies;
  std::vector<RecordedRequest> iRequests;
  std::thread iThread;
  bool iStopping = false;
  HWND iWindow = nullptr;
};

}  // namespace scripted
