// Round trip of one request and its reply between two processes over the calls folder: once with
// change notification on both sides, once with the plain 100 ms poll on both sides.
//   transport_roundtrip [notify-iterations] [poll-iterations]     (default 1000 and 20)
// Runs on a throw-away device folder of its own; prints median and 99th percentile per mode.
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ce/device.h"
#include "ce/kernel.h"
#include "sdk/transport/file_channel.h"
#include "sdk/transport/request_inbox.h"

extern char** environ;

namespace {

const char kServer[] = "BenchServer";

// The answering process: "0|<token>|" for every request, until a request "Quit".
int Serve(bool notify) {
  RequestInbox inbox(kServer);
  if (notify && !inbox.Watch()) return 2;
  for (;;) {
    InboxRequest requests[8];
    const int found = inbox.List(requests, 8);
    for (int i = 0; i < found && i < 8; ++i) {
      SdkMessage message('|');
      const bool read = inbox.Read(requests[i], &message) == 0;
      inbox.Remove(requests[i]);
      if (!read) continue;
      const char* fields[] = {"0", message.Field(1)};
      inbox.Answer(requests[i], fields, 2);
      if (std::strcmp(message.Field(0), "Quit") == 0) return 0;
    }
    if (found > 0) continue;
    if (notify) {
      inbox.WaitForChange(FileChannel::kPollMilliseconds);
    } else {
      Sleep(FileChannel::kPollMilliseconds);
    }
  }
}

bool Exchange(FileChannel& channel, const char* call, const char* token) {
  channel.BeginRequest();
  channel.AddField(call);
  channel.AddField(token);
  ReplyTicket* ticket = channel.Send();
  if (!ticket) return false;
  channel.ReceiveReply(ticket);
  return channel.iArguments->NrReceiveFields() == 2 && std::strcmp(channel.iArguments->Field(1), token) == 0;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

int Measure(const char* self, bool notify, int iterations) {
  const char* mode = notify ? "notify" : "poll";
  char* argv[] = {const_cast<char*>(self), const_cast<char*>("serve"), const_cast<char*>(mode), nullptr};
  pid_t server = -1;
  if (posix_spawn(&server, self, nullptr, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "cannot start the answering process\n");
    return 1;
  }
  FileChannel channel("client", kServer, -1, new SdkMessage('|'));
  channel.SetReplyWait(notify ? SdkReplyWait::kNotify : SdkReplyWait::kPoll);

  std::vector<double> milliseconds;
  bool ok = Exchange(channel, "Echo", "warm-up");
  for (int i = 0; ok && i < iterations; ++i) {
    char token[kIntFieldSize];
    IntToField(i, token);
    const auto start = std::chrono::steady_clock::now();
    ok = Exchange(channel, "Echo", token);
    const auto end = std::chrono::steady_clock::now();
    milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  Exchange(channel, "Quit", "bye");
  int status = 0;
  waitpid(server, &status, 0);
  if (!ok || milliseconds.empty()) {
    std::fprintf(stderr, "%s: an exchange failed\n", mode);
    return 1;
  }
  std::printf("%-7s %5zu round trips   median %9.3f ms   p99 %9.3f ms   max %9.3f ms\n", mode,
              milliseconds.size(), Percentile(milliseconds, 0.5), Percentile(milliseconds, 0.99),
              Percentile(milliseconds, 1.0));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "serve") == 0) return Serve(std::strcmp(argv[2], "notify") == 0);

  const int notifyIterations = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int pollIterations = argc > 2 ? std::atoi(argv[2]) : 20;
  char root[] = "/tmp/transport-bench-XXXXXX";
  if (!mkdtemp(root)) return 1;
  std::filesystem::create_directories(std::string(root) + "/fs");
  setenv("CE_DEVICE", root, 1);
  ce::ResetDeviceForTests();

  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return 1;
  self[length] = '\0';
  int result = Measure(self, true, notifyIterations);
  if (result == 0) result = Measure(self, false, pollIterations);
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
