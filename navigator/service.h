// Serves the calls folder for a Navigator: every request addressed to "TomTomNavigationServer"
// whose marker exists, from any client and link, is read, removed and answered under the
// mirrored name. Requests that cannot be read or understood get a non-zero result code alone.
#pragma once

#include <cstdint>

#include "navigator/navigator.h"
#include "sdk/transport/request_inbox.h"

namespace nav {

constexpr const char* kServerName = "TomTomNavigationServer";

class Service {
 public:
  explicit Service(Navigator& navigator);

  // Starts watching the calls folder (creating it). False when it cannot be watched: waits then
  // fall back to sleeping their timeout.
  bool Watch();
  // Answers every request waiting now, in order of client, link and sequence; returns how many
  // were answered. Stops early once a request asked the navigator to stop. A request whose
  // marker its writer still holds open is left for a later pass (see Busy).
  int ServeReady();
  // True when the last pass left requests whose markers were still being written: the writer's
  // closing makes no change notification, so the next pass should come soon.
  bool Busy() const { return busy_; }
  // Waits for a change in the calls folder, at most `timeoutMs`.
  bool WaitForChange(uint32_t timeoutMs) { return inbox_.WaitForChange(timeoutMs); }

  uint64_t Served() const { return served_; }

 private:
  // False, touching nothing, while the request's marker is still held by its writer.
  bool ServeOne(const InboxRequest& request);

  Navigator& navigator_;
  RequestInbox inbox_;
  SdkMessage message_;
  uint64_t served_ = 0;
  bool busy_ = false;
};

}  // namespace nav
