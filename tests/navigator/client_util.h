// A test client of the navigator: one FileChannel, one exchange at a time. Waits for a reply
// the way the channel does (change notification), but gives up at a deadline or when the server
// process is found gone, so a silent server fails the test instead of hanging it.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sdk/transport/file_channel.h"

namespace navtest {

using Fields = std::vector<std::string>;

class TestClient {
 public:
  TestClient(const char* name = "client", int32_t linkId = -1);
  // The server's process id, checked while waiting (0: not checked).
  void SetServerPid(int pid) { serverPid_ = pid; }
  // Sends the request and returns the reply's fields; false when no reply came within
  // `timeoutMs` or the request could not be sent.
  bool Exchange(const Fields& request, Fields& reply, int timeoutMs = 10000);
  FileChannel& Channel() { return *channel_; }

 private:
  static bool StillWaiting(void* self);
  std::unique_ptr<FileChannel> channel_;
  int serverPid_ = 0;
  std::chrono::steady_clock::time_point deadline_;
};

// True when every field of `reply` after the first matches its letter in `types` (i: a plain
// decimal 32-bit integer, t: any text) and field 0 is an integer.
bool FieldsHaveTypes(const Fields& reply, const std::string& types);

}  // namespace navtest
