// The real navigator program, installed into a device and run headless: many clients at once,
// and a kill in the middle of writing.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

#include "navigator/ov2.h"
#include "tests/navigator/client_util.h"
#include "tests/navigator/test_util.h"

namespace {

using navtest::Fields;

// Starts a program with stdout (and stderr, unless given) going to files; returns its pid.
pid_t Spawn(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
  pid_t pid = fork();
  if (pid == 0) {
    FILE* o = freopen(out.c_str(), "w", stdout);
    FILE* e = freopen(err.c_str(), "a", stderr);
    (void)o;
    (void)e;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

int WaitExit(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int status = -1;
    std::string out = navtest::RunCommand(
        std::string(NAV_INSTALL_SCRIPT " '") + NAV_EXECUTABLE "' '" + device.Root() + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
    exe = device.Host("Program Files/Navigator/TomTom Navigator.exe");
    ASSERT_TRUE(std::filesystem::is_regular_file(exe));
    ASSERT_FALSE(std::filesystem::is_symlink(exe));
    setenv("CE_BACKEND", "null", 1);
    log = device.Root() + "/navigator.log";
  }
  void TearDown() override {
    if (server > 0) {
      kill(server, SIGKILL);
      WaitExit(server);
    }
    unsetenv("CE_BACKEND");
  }
  // Starts the navigator and waits until it answers.
  void StartNavigator() {
    server = Spawn({exe}, device.Root() + "/navigator.out", log);
    navtest::TestClient probe;
    probe.SetServerPid(server);
    Fields reply;
    ASSERT_TRUE(probe.Exchange({"GetApplicationVersionV01"}, reply)) << navtest::ReadFile(log);
  }
  pid_t StartClient(const std::string& mode, int calls, int k) {
    return Spawn({NAV_LOAD_CLIENT, mode, std::to_string(calls), std::to_string(k), std::to_string(server)},
                 ClientOut(k), device.Root() + "/client" + std::to_string(k) + ".err");
  }
  std::string ClientOut(int k) { return device.Root() + "/client" + std::to_string(k) + ".out"; }
  std::vector<std::string> CallsFolderFiles() const { return device.CallsFolderFiles(); }

  navtest::DemoDevice device;
  std::string exe, log;
  pid_t server = 0;
};

TEST_F(ProgramTest, EightClientsGetTheirOwnRepliesAndNothingIsLeftBehind) {
  StartNavigator();
  constexpr int kClients = 8, kCalls = 500;
  std::vector<pid_t> clients;
  for (int k = 0; k < kClients; k++) clients.push_back(StartClient("mixed", kCalls, k));
  for (int k = 0; k < kClients; k++)
    EXPECT_EQ(WaitExit(clients[k]), 0) << navtest::ReadFile(device.Root() + "/client" + std::to_string(k) + ".err");
  EXPECT_TRUE(CallsFolderFiles().empty())
      << CallsFolderFiles().size() << " files left, first " << CallsFolderFiles().front();
  // Every client's points, all of them, in its own category.
  for (int k = 0; k < kClients; k++) {
    nav::Ov2Contents c = nav::ParseOv2(navtest::ReadFile(device.MapFolder() + "Load" + std::to_string(k) + ".ov2"));
    EXPECT_EQ(c.PointCount(), static_cast<size_t>(kCalls / 5)) << "client " << k;
    EXPECT_TRUE(c.error.empty() && !c.tornTail);
  }
  navtest::TestClient stopper;
  stopper.SetServerPid(server);
  Fields reply;
  ASSERT_TRUE(stopper.Exchange({"StopApplicationV01"}, reply));
  EXPECT_EQ(reply, Fields{"0"});
  EXPECT_EQ(WaitExit(server), 0);
  server = 0;
}

TEST_F(ProgramTest, KilledWhileWritingLosesNoAcknowledgedPoint) {
  StartNavigator();
  constexpr int kClients = 4;
  std::vector<pid_t> clients;
  for (int k = 0; k < kClients; k++) clients.push_back(StartClient("add", 100000, k));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  kill(server, SIGKILL);
  WaitExit(server);
  server = 0;
  for (pid_t c : clients) {
    kill(c, SIGKILL);
    WaitExit(c);
  }
  size_t total = 0;
  for (int k = 0; k < kClients; k++) {
    std::string path = device.MapFolder() + "Load" + std::to_string(k) + ".ov2";
    nav::Ov2Contents c = nav::ParseOv2(navtest::ReadFile(path));
    EXPECT_TRUE(c.error.empty()) << path << ": " << c.error;
    std::set<std::string> stored;
    for (const nav::Ov2Record& r : c.records) stored.insert(r.text);
    std::istringstream acked(navtest::ReadFile(ClientOut(k)));
    std::string line;
    size_t count = 0;
    while (std::getline(acked, line)) {
      count++;
      EXPECT_TRUE(stored.count(line)) << "acknowledged but not stored: " << line;
    }
    EXPECT_GT(count, 0u) << "client " << k << " got no point stored before the kill";
    total += count;
    int status = -1;
    std::string csv = navtest::RunCommand("gpsbabel -i tomtom -f '" + path + "' -o unicsv -F - 2>&1", &status);
    EXPECT_EQ(status, 0) << csv;
  }
  // A restarted navigator appends after the last whole record. The killed clients' last requests
  // are still in the calls folder and would be served too: remove them so the count is exact.
  for (const std::string& name : CallsFolderFiles()) std::filesystem::remove(device.CallsFolder() + name);
  std::string path = device.MapFolder() + "Load0.ov2";
  size_t before = nav::ParseOv2(navtest::ReadFile(path)).PointCount();
  StartNavigator();
  navtest::TestClient client;
  client.SetServerPid(server);
  Fields reply;
  ASSERT_TRUE(client.Exchange({"AddPoiV01", "Load0", "1", "2", "after the restart", ""}, reply));
  EXPECT_EQ(reply, Fields{"0"});
  nav::Ov2Contents after = nav::ParseOv2(navtest::ReadFile(path));
  EXPECT_EQ(after.PointCount(), before + 1);
  EXPECT_FALSE(after.tornTail);
  EXPECT_EQ(after.records.back().text, "after the restart");
  std::cout << "acknowledged before the kill: " << total << " points\n";
}

// Hostile files met by the real program: a track with elements nested out of place, a category
// file damaged in its middle. The navigator starts, keeps serving and leaves the file as it was.
TEST_F(ProgramTest, OddTrackAndDamagedCategoryFileLeaveTheNavigatorServing) {
  navtest::WriteFile(device.Host("Program Files/Navigator/demotown.gpx"),
                     "<gpx><trk><trkseg><trkpt lat='52.1' lon='-1.5'><time>2024-05-01T09:00:00Z"
                     "<trkpt lat='52.2' lon='-1.4'/></time></trkpt>"
                     "<trkpt lat='52.2' lon='-1.5'><trkpt lat='1' lon='1'/></trkpt></trkseg></trk></gpx>");
  std::string bytes;
  for (int i = 0; i < 52; i++) bytes += nav::EncodeOv2Point({i, i}, "point " + std::to_string(i));
  bytes[2 * nav::EncodeOv2Point({0, 0}, "point 0").size() + 2] = '\x07';
  const std::string path = device.MapFolder() + "Damaged.ov2";
  navtest::WriteFile(path, bytes);
  StartNavigator();
  navtest::TestClient client;
  client.SetServerPid(server);
  Fields reply;
  ASSERT_TRUE(client.Exchange({"GetCurrentPositionV01"}, reply)) << navtest::ReadFile(log);
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply[0], "0") << "the track gives a fix";
  ASSERT_TRUE(client.Exchange({"AddPoiV01", "Damaged", "1", "2", "refused", ""}, reply));
  ASSERT_FALSE(reply.empty());
  EXPECT_NE(reply[0], "0") << "an add to a damaged file is refused";
  EXPECT_EQ(navtest::ReadFile(path), bytes) << "byte for byte as it was";
  EXPECT_NE(navtest::ReadFile(log).find("Damaged.ov2"), std::string::npos) << navtest::ReadFile(log);
  ASSERT_TRUE(client.Exchange({"AddPoiV01", "Fresh", "1", "2", "kept", ""}, reply));
  EXPECT_EQ(reply, Fields{"0"});
}

long PeakKilobytes(pid_t pid) {
  std::string status = navtest::ReadFile("/proc/" + std::to_string(pid) + "/status");
  size_t at = status.find("VmHWM:");
  return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 6);
}

// A 100 MB request text is refused unread: the navigator's peak memory barely moves and the
// next request is answered.
TEST_F(ProgramTest, HugeRequestIsRefusedWithoutBeingRead) {
  StartNavigator();
  const long idle = PeakKilobytes(server);
  const std::string base = device.CallsFolder() + "huge.TomTomNavigationServer.9.1";
  {
    std::string text = "AddPoiV01|Big|1|2|";
    navtest::WriteFile(base + ".message", text);
    ASSERT_EQ(truncate((base + ".message").c_str(), 100 << 20), 0);
  }
  navtest::WriteMarker(base + ".finished", std::string("finish\n\0", 8));
  const std::string reply = device.CallsFolder() + "TomTomNavigationServer.huge.9.1";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(reply + ".finished") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(navtest::ReadFile(reply + ".message"), std::string("1|\0", 3));
  EXPECT_FALSE(std::filesystem::exists(base + ".message")) << "the refused text is removed";
  navtest::TestClient client;
  client.SetServerPid(server);
  Fields answer;
  ASSERT_TRUE(client.Exchange({"GetApplicationVersionV01"}, answer));
  EXPECT_EQ(answer[0], "0");
  const long after = PeakKilobytes(server);
  std::cout << "navigator peak memory: idle " << idle << " kB, after the 100 MB request " << after << " kB\n";
#ifdef __SANITIZE_ADDRESS__
  const long allowedKilobytes = 16384;  // the sanitizer's shadow memory and quarantine count too
#else
  const long allowedKilobytes = 4096;
#endif
  EXPECT_LT(after - idle, allowedKilobytes) << "peak grew by " << after - idle << " kB";
  EXPECT_NE(navtest::ReadFile(log).find("refused unread"), std::string::npos) << navtest::ReadFile(log);
}

}  // namespace
