// A scripted navigator for tests: it answers the SDK calls folder with canned replies chosen by
// call name and records every request it receives, all fields, in arrival order.
//
// In-process (null backend), for component tests (in_process_peer.h):
//
//   scripted::ScriptedPeer peer;                       // default replies for all 34 calls
//   peer.SetReply("GetCurrentPositionV01", "0|1|100|200|90|50|");
//   ASSERT_TRUE(peer.Start());                         // window "MunichWinClass" + serving thread
//   ... SDK calls on a NavigatorLink ...
//   std::vector<scripted::RecordedRequest> seen = peer.Requests();
//   seen[0].fields == {"GetCurrentPositionV01"}; seen[0].Text() == "GetCurrentPositionV01|"
//
// Start() must run on the thread that owns the program's windows (the test's main thread): the
// window is created there, the calls folder is served from a thread of the peer's own.
//
// As its own process: the `scripted-navigator` executable (see scripted_navigator_main.cpp)
// reads its replies from a text file in the ReplyTable::Load format and appends each request
// as one line (RecordedRequest::Text) to a log file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ce/ce.h"
#include "sdk/transport/request_inbox.h"

namespace scripted {

// The navigator's endpoint name on the channel, and the class of its main window.
extern const char kServerName[];    // "TomTomNavigationServer"
extern const WCHAR kWindowClass[];  // u"MunichWinClass"

// Files the scripted-navigator executable keeps beside itself: the replies it reads at start and
// the log it appends one line per request to.
extern const char kRepliesFileName[];  // "scripted-navigator.replies"
extern const char kLogFileName[];      // "scripted-navigator.log"

// What the peer does with a request of one call name.
struct ScriptedReply {
  enum Action {
    kAnswer,  // write `text` as the reply text (a NUL is appended), then the marker
    kExit,    // record the request, then go away without answering it
  };
  Action action = kAnswer;
  std::string text;  // the raw reply text, "0|1|100|200|90|50|"; fields are not checked
};

class ReplyTable {
 public:
  // A full, well-formed reply for each of the 34 calls; any other name gets "0|".
  ReplyTable();

  void Set(const std::string& call, const std::string& text);
  void ExitOn(const std::string& call);
  void SetFallback(const std::string& text);
  ScriptedReply Find(const std::string& call) const;

  // Lines of "<call> <reply text>" (the text is everything after the first blank, and may be
  // empty), "<call> !exit", "* <reply text>" for names without a line of their own, or
  // "@<option> <number>" (see Option). Blank lines and lines starting with '#' are ignored.
  // Entries add to (and override) the defaults.
  // False when a line has no call name; the lines before it still apply.
  bool Parse(const std::string& text);
  // Parse of a host file's content; false when it cannot be read.
  bool Load(const std::string& hostPath);

  // A number given by an "@<name> <number>" line, else `fallback`. The executable knows
  // "@window-delay <ms>": how long it waits before its window appears.
  int Option(const std::string& name, int fallback) const;

 private:
  std::map<std::string, ScriptedReply> iReplies;
  std::map<std::string, int> iOptions;
  ScriptedReply iFallback;
};

struct RecordedRequest {
  std::string client;  // the requester's endpoint name ("client")
  uint32_t linkId = 0;
  uint32_t sequence = 0;
  std::vector<std::string> fields;  // fields[0] is the call name
  // The fields as they travelled: each followed by "|".
  std::string Text() const;
};

// The requests of a scripted-navigator log, each split into its fields; empty when the file
// cannot be read.
std::vector<std::vector<std::string>> ReadRequestLog(const std::string& hostPath);

// One server over the calls folder: takes every pending request, removes its files and answers
// it with whatever the caller's `respond` chooses.
class RequestServer {
 public:
  RequestServer();

  // Starts watching the calls folder (creating it); call before the first Serve.
  bool Watch();
  // Serves every request pending now: `respond(const RecordedRequest&)` returns the
  // ScriptedReply for it. False once a reply asked the peer to go away (that request is not
  // answered, and any left after it wait for the next Serve).
  template <typename Respond>
  bool Serve(Respond&& respond);
  // Waits for a change in the calls folder, at most `timeoutMs`.
  void WaitForChange(uint32_t timeoutMs) { iInbox.WaitForChange(timeoutMs); }

 private:
  bool Take(const InboxRequest& request, RecordedRequest* recorded);

  RequestInbox iInbox;
};

// Writes a reply text and its NUL under the mirrored names of `request`, then the marker.
bool WriteReply(const InboxRequest& request, const std::string& text);

template <typename Respond>
bool RequestServer::Serve(Respond&& respond) {
  const int kBatch = 16;
  InboxRequest pending[kBatch];
  for (;;) {
    int count = iInbox.List(pending, kBatch);
    if (count <= 0) return true;
    if (count > kBatch) count = kBatch;
    for (int i = 0; i < count; ++i) {
      RecordedRequest recorded;
      if (!Take(pending[i], &recorded)) continue;
      ScriptedReply reply = respond(recorded);
      if (reply.action == ScriptedReply::kExit) return false;
      WriteReply(pending[i], reply.text);
    }
  }
}

}  // namespace scripted
