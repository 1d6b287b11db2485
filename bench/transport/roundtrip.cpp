// Round trip of one request and its reply between two processes over the calls folder: once with
// change notification on both sides, once with the plain 100 ms poll on both sides, and once as
// the floor: the same file operations done directly (text and marker written aside and renamed,
// the peer woken by inotify, both files removed, no share modes), with the channel's ratio to it.
// The channel and the floor take turns in blocks of round trips, so both see the same load.
//   transport_roundtrip [notify-iterations] [poll-iterations]     (default 1000 and 20; 0 skips)
// Runs on a throw-away device folder of its own; prints median and 99th percentile per mode.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
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
      if (inbox.Read(requests[i], &message) != 0) {
        inbox.Remove(requests[i]);
        continue;
      }
      inbox.Retire(requests[i]);
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

void Report(const char* mode, const std::vector<double>& milliseconds) {
  std::printf("%-7s %5zu round trips   median %9.3f ms   p99 %9.3f ms   max %9.3f ms\n", mode, milliseconds.size(),
              Percentile(milliseconds, 0.5), Percentile(milliseconds, 0.99), Percentile(milliseconds, 1.0));
}

// ---- The floor: plain files between two processes, without our layers.

bool PutFile(const std::string& folder, const std::string& name, const char* bytes, size_t count) {
  const std::string passing = folder + "/" + name + ".tmp";
  const int fd = open(passing.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool whole = write(fd, bytes, count) == static_cast<ssize_t>(count);
  close(fd);
  return whole && rename(passing.c_str(), (folder + "/" + name).c_str()) == 0;
}

// Reads a file whole (up to 4 KiB) into text; false when it cannot be opened.
bool TakeFile(const std::string& path, std::string& text) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  close(fd);
  text.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
  return true;
}

// Waits until folder/name exists: watch first, then look, then sleep on the watch.
bool WaitForFile(int watch, const std::string& path) {
  for (int rounds = 0; rounds < 10000; ++rounds) {
    if (access(path.c_str(), F_OK) == 0) return true;
    pollfd p = {watch, POLLIN, 0};
    poll(&p, 1, 100);
    alignas(inotify_event) char events[4096];
    while (read(watch, events, sizeof events) > 0) {
    }
  }
  return false;
}

int WatchFolder(const std::string& folder) {
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch >= 0 && inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO | IN_CREATE) < 0) {
    close(watch);
    return -1;
  }
  return watch;
}

std::string FloorName(const char* from, const char* to, int sequence, const char* suffix) {
  return std::string(from) + "." + to + ".1." + std::to_string(sequence) + suffix;
}

// The floor's answering side: echoes "0|<token>|" until the token "bye".
int ServeFloor(const std::string& folder) {
  const int watch = WatchFolder(folder);
  if (watch < 0) return 2;
  for (int sequence = 1;; ++sequence) {
    const std::string marker = folder + "/" + FloorName("client", kServer, sequence, ".finished");
    const std::string text = folder + "/" + FloorName("client", kServer, sequence, ".message");
    std::string request;
    if (!WaitForFile(watch, marker) || !TakeFile(text, request)) return 3;
    unlink(marker.c_str());
    unlink(text.c_str());
    const std::string reply = "0|" + request + "|";
    if (!PutFile(folder, FloorName(kServer, "client", sequence, ".message"), reply.c_str(), reply.size() + 1) ||
        !PutFile(folder, FloorName(kServer, "client", sequence, ".finished"), "finish\n", 8))
      return 4;
    if (request == "bye") return 0;
  }
}

bool FloorExchange(const std::string& folder, int watch, int sequence, const std::string& token) {
  if (!PutFile(folder, FloorName("client", kServer, sequence, ".message"), token.c_str(), token.size()) ||
      !PutFile(folder, FloorName("client", kServer, sequence, ".finished"), "finish\n", 8))
    return false;
  const std::string marker = folder + "/" + FloorName(kServer, "client", sequence, ".finished");
  const std::string text = folder + "/" + FloorName(kServer, "client", sequence, ".message");
  std::string reply;
  if (!WaitForFile(watch, marker) || !TakeFile(text, reply)) return false;
  unlink(marker.c_str());
  unlink(text.c_str());
  return reply.compare(0, 2 + token.size(), "0|" + token) == 0;
}

// Round trips are timed in blocks, the channel's and the floor's taking turns, so both see the
// same load even when it changes during the run.
constexpr int kBlock = 50;

pid_t StartServer(const char* self, const char* mode, const char* folder) {
  char* argv[] = {const_cast<char*>(self), const_cast<char*>("serve"), const_cast<char*>(mode),
                  const_cast<char*>(folder), nullptr};
  if (folder == nullptr) argv[3] = nullptr;
  pid_t server = -1;
  return posix_spawn(&server, self, nullptr, nullptr, argv, environ) == 0 ? server : -1;
}

double CpuMicroseconds(const rusage& usage) {
  return 1e6 * static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double OwnCpuMicroseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuMicroseconds(usage);
}

// Waits for an answering process; its processor time in microseconds.
double ReapServer(pid_t server) {
  rusage usage{};
  int status = 0;
  return wait4(server, &status, 0, &usage) == server ? CpuMicroseconds(usage) : 0;
}

template <class Exchange>
bool TimeOne(std::vector<double>& milliseconds, Exchange exchange) {
  const auto start = std::chrono::steady_clock::now();
  const bool ok = exchange();
  const auto end = std::chrono::steady_clock::now();
  milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  return ok;
}

// The channel with change notification against the floor, turn about. False when an exchange
// failed; the medians otherwise.
bool MeasureNotifyAndFloor(const char* self, const std::string& floorFolder, int iterations, double* channelMedian,
                           double* floorMedian) {
  std::filesystem::create_directories(floorFolder);
  const int watch = WatchFolder(floorFolder);
  const pid_t server = StartServer(self, "notify", nullptr);
  const pid_t floorServer = StartServer(self, "floor", floorFolder.c_str());
  if (watch < 0 || server < 0 || floorServer < 0) {
    std::fprintf(stderr, "cannot start the answering processes\n");
    if (server > 0) kill(server, SIGTERM);
    if (floorServer > 0) kill(floorServer, SIGTERM);
    return false;
  }
  FileChannel channel("client", kServer, -1, new SdkMessage('|'));
  channel.SetReplyWait(SdkReplyWait::kNotify);

  std::vector<double> channelMs;
  std::vector<double> floorMs;
  double channelCpu = 0;
  double floorCpu = 0;
  int sequence = 1;
  bool ok = Exchange(channel, "Echo", "warm-up") && FloorExchange(floorFolder, watch, sequence++, "warm-up");
  for (int done = 0; ok && done < iterations; done += kBlock) {
    const int block = std::min(kBlock, iterations - done);
    double before = OwnCpuMicroseconds();
    for (int i = 0; ok && i < block; ++i) {
      char token[kIntFieldSize];
      IntToField(done + i, token);
      ok = TimeOne(channelMs, [&] { return Exchange(channel, "Echo", token); });
    }
    channelCpu += OwnCpuMicroseconds() - before;
    before = OwnCpuMicroseconds();
    for (int i = 0; ok && i < block; ++i) {
      ok = TimeOne(floorMs, [&] { return FloorExchange(floorFolder, watch, sequence++, std::to_string(done + i)); });
    }
    floorCpu += OwnCpuMicroseconds() - before;
  }
  Exchange(channel, "Quit", "bye");
  if (!FloorExchange(floorFolder, watch, sequence, "bye")) kill(floorServer, SIGTERM);
  const double serverCpu = ReapServer(server);
  const double floorServerCpu = ReapServer(floorServer);
  close(watch);
  if (!ok || channelMs.empty() || floorMs.empty()) {
    std::fprintf(stderr, "notify or floor: an exchange failed\n");
    return false;
  }
  Report("notify", channelMs);
  Report("floor", floorMs);
  // Each block's median against its neighbour's: the load of the moment cancels out.
  std::vector<double> pairRatios;
  for (size_t at = 0; at + kBlock <= channelMs.size() && at + kBlock <= floorMs.size(); at += kBlock) {
    const std::vector<double> channelBlock(channelMs.begin() + long(at), channelMs.begin() + long(at + kBlock));
    const std::vector<double> floorBlock(floorMs.begin() + long(at), floorMs.begin() + long(at + kBlock));
    pairRatios.push_back(Percentile(channelBlock, 0.5) / Percentile(floorBlock, 0.5));
  }
  if (!pairRatios.empty()) {
    std::printf("ratio   channel / floor, block by block (median of %zu): %.2f\n", pairRatios.size(),
                Percentile(pairRatios, 0.5));
  }
  // Processor time per round trip; each answering process's includes its idle waits during the
  // other's blocks, which are a few wake-ups a second.
  const double trips = static_cast<double>(channelMs.size());
  std::printf("cpu     per round trip: channel client %.1f us, server %.1f us; floor client %.1f us, server %.1f us\n",
              channelCpu / trips, serverCpu / trips, floorCpu / trips, floorServerCpu / trips);
  *channelMedian = Percentile(channelMs, 0.5);
  *floorMedian = Percentile(floorMs, 0.5);
  return true;
}

// The channel with the plain poll. Median in milliseconds, 0 when skipped, negative when an
// exchange failed.
double MeasurePoll(const char* self, int iterations) {
  if (iterations <= 0) {
    std::printf("%-7s skipped (0 round trips asked for)\n", "poll");
    return 0;
  }
  const pid_t server = StartServer(self, "poll", nullptr);
  if (server < 0) {
    std::fprintf(stderr, "cannot start the answering process\n");
    return -1;
  }
  FileChannel channel("client", kServer, -1, new SdkMessage('|'));
  channel.SetReplyWait(SdkReplyWait::kPoll);
  std::vector<double> milliseconds;
  bool ok = Exchange(channel, "Echo", "warm-up");
  for (int i = 0; ok && i < iterations; ++i) {
    char token[kIntFieldSize];
    IntToField(i, token);
    ok = TimeOne(milliseconds, [&] { return Exchange(channel, "Echo", token); });
  }
  Exchange(channel, "Quit", "bye");
  waitpid(server, nullptr, 0);
  if (!ok || milliseconds.empty()) {
    std::fprintf(stderr, "poll: an exchange failed\n");
    return -1;
  }
  Report("poll", milliseconds);
  return Percentile(milliseconds, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "serve") == 0 && std::strcmp(argv[2], "floor") == 0) return ServeFloor(argv[3]);
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
  int result = 0;
  if (notifyIterations > 0) {
    double channel = 0;
    double floor = 0;
    if (!MeasureNotifyAndFloor(self, std::string(root) + "/floor", notifyIterations, &channel, &floor))
      result = 1;
    else if (floor > 0)
      std::printf("ratio   channel / floor (medians) %.2f\n", channel / floor);
  } else {
    std::printf("%-7s skipped (0 round trips asked for)\n", "notify");
  }
  if (result == 0 && MeasurePoll(self, pollIterations) < 0) result = 1;
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
