// Two client processes and one answering process share a calls folder.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/transport/test_device.h"

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(TRANSPORT_TEST_PEER));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, TRANSPORT_TEST_PEER, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

// Waits for the process; kills it when it outlives the deadline. Returns its exit status, or -1.
int Finish(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST(TwoProcesses, ThousandRequestsFromTwoClientsAreEachAnsweredAndNothingIsLeft) {
  TestDevice device;
  const pid_t server = Spawn({"serve", "Srv", "1000"});
  ASSERT_GT(server, 0);
  const pid_t first = Spawn({"client", "Srv", "4101", "500"});
  const pid_t second = Spawn({"client", "Srv", "4102", "500"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  EXPECT_EQ(Finish(first, deadline), 0) << "first client";
  EXPECT_EQ(Finish(second, deadline), 0) << "second client";
  EXPECT_EQ(Finish(server, deadline), 0) << "server";
  EXPECT_EQ(TestDevice::List(device.Calls()), std::vector<std::string>{});
}

}  // namespace
