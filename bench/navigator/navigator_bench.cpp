// Throughput and round trip of the navigator program over the calls folder.
//   navigator_bench [calls-per-client]        (default 1000)
// Installs the navigator into a throw-away device, starts it headless, then runs 1 client and
// 8 client processes making GetCurrentPositionV01 and GetLocationInfoExV01 calls, and 1 client
// adding points (each a synced write). Prints calls per second and round-trip percentiles.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sdk/transport/file_channel.h"

namespace {

using Clock = std::chrono::steady_clock;

pid_t serverPid = 0;

bool ServerAlive(void*) { return kill(serverPid, 0) == 0; }

// One client process: `calls` exchanges of `kind`, one round-trip time (µs) per line in `out`.
int RunClient(int calls, const std::string& kind, const std::string& out) {
  FileChannel channel("client", "TomTomNavigationServer", -1, new SdkMessage('|'));
  channel.SetPeerAliveCheck(ServerAlive, nullptr);
  std::vector<double> times;
  times.reserve(static_cast<size_t>(calls));
  for (int i = 0; i < calls; i++) {
    std::string x = std::to_string(-150000), y = std::to_string(5211250 + i % 200);
    auto start = Clock::now();
    channel.BeginRequest();
    if (kind == "add") {
      for (const std::string& f : {std::string("AddPoiV01"), std::string("Bench") + std::to_string(getpid()), x, y,
                                   "bench point " + std::to_string(i), std::string()})
        channel.AddField(f.c_str());
    } else if (i % 2 == 0) {
      channel.AddField("GetCurrentPositionV01");
    } else {
      for (const std::string& f : {std::string("GetLocationInfoExV01"), x, y}) channel.AddField(f.c_str());
    }
    channel.ReceiveReply(channel.Send());
    if (channel.iArguments->NrReceiveFields() < 1 || std::string(channel.iArguments->Field(0)) != "0") {
      fprintf(stderr, "call %d failed\n", i);
      return 1;
    }
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::ofstream o(out);
  for (double t : times) o << t << "\n";
  return 0;
}

double Percentile(std::vector<double>& v, double p) {
  size_t i = static_cast<size_t>(p / 100.0 * static_cast<double>(v.size() - 1));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(i), v.end());
  return v[i];
}

bool Run(const char* self, const std::string& dir, int clients, int calls, const std::string& kind) {
  std::vector<pid_t> pids;
  auto start = Clock::now();
  for (int k = 0; k < clients; k++) {
    std::string out = dir + "/times" + std::to_string(k);
    pid_t pid = fork();
    if (pid == 0) {
      std::string n = std::to_string(calls), server = std::to_string(serverPid);
      execl(self, self, "client", n.c_str(), kind.c_str(), out.c_str(), server.c_str(), nullptr);
      _exit(127);
    }
    pids.push_back(pid);
  }
  bool ok = true;
  for (pid_t p : pids) {
    int status = 0;
    waitpid(p, &status, 0);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (int k = 0; k < clients; k++) {
    std::ifstream in(dir + "/times" + std::to_string(k));
    double t;
    while (in >> t) all.push_back(t);
  }
  if (!ok || all.empty()) {
    fprintf(stderr, "%d clients (%s): a client failed\n", clients, kind.c_str());
    return false;
  }
  printf("%-26s %d client%s  %6zu calls  %8.0f calls/s  round trip µs: p50 %7.0f  p90 %7.0f  p99 %7.0f  max %7.0f\n",
         kind == "add" ? "AddPoiV01 (synced write)" : "position + location info", clients, clients == 1 ? " " : "s",
         all.size(), static_cast<double>(all.size()) / seconds, Percentile(all, 50), Percentile(all, 90),
         Percentile(all, 99), *std::max_element(all.begin(), all.end()));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "client") {
    serverPid = atoi(argv[5]);
    return RunClient(atoi(argv[2]), argv[3], argv[4]);
  }
  int calls = argc > 1 ? atoi(argv[1]) : 1000;
  char pattern[] = "/tmp/navbench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  std::string dir = pattern;
  std::string install = std::string(NAV_INSTALL_SCRIPT " '") + NAV_EXECUTABLE "' '" + dir + "' > /dev/null";
  if (system(install.c_str()) != 0) return 1;
  setenv("CE_DEVICE", dir.c_str(), 1);
  setenv("CE_BACKEND", "null", 1);
  std::string exe = dir + "/fs/Program Files/Navigator/TomTom Navigator.exe";
  serverPid = fork();
  if (serverPid == 0) {
    FILE* e = freopen((dir + "/navigator.log").c_str(), "w", stderr);
    (void)e;
    execl(exe.c_str(), exe.c_str(), nullptr);
    _exit(127);
  }
  usleep(300000);  // let it load its map and open its window
  bool ok = Run(argv[0], dir, 1, calls, "query") && Run(argv[0], dir, 8, calls, "query") &&
            Run(argv[0], dir, 1, calls / 4, "add");
  kill(serverPid, SIGTERM);
  waitpid(serverPid, nullptr, 0);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return ok ? 0 : 1;
}
