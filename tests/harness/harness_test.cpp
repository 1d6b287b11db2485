// The harness's own promises: device folders, programs with their environment, exit codes and time
// limits, and the clean-up of whatever a program started.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/harness/harness.h"

namespace {

TEST(HarnessDevice, WritesTheProfileAndMapsDevicePathsIntoFs) {
  harness::Profile profile;
  profile.width = 480;
  profile.height = 640;
  profile.platform = "SmartPhone";
  profile.deviceId = "00A1B2C3";
  std::string root;
  {
    harness::Device dev(profile);
    ASSERT_TRUE(dev.ok());
    root = dev.root();
    std::string ini;
    std::ifstream in(root + "/device.ini");
    std::getline(in, ini, '\0');
    for (const char* line : {"width=480", "height=640", "platform=SmartPhone", "deviceid=00A1B2C3"}) {
      EXPECT_NE(ini.find(line), std::string::npos) << "device.ini lacks " << line << ":\n" << ini;
    }
    EXPECT_EQ(dev.HostPath("\\TomTom\\SdkFileCalls\\x"), root + "/fs/TomTom/SdkFileCalls/x");

    ASSERT_TRUE(dev.WriteFile("\\Program Files\\Tool\\data.txt", "hello"));
    std::string back;
    ASSERT_TRUE(dev.ReadFile("\\Program Files\\Tool\\data.txt", &back));
    EXPECT_EQ(back, "hello");
    EXPECT_FALSE(dev.ReadFile("\\missing.txt", &back));

    ASSERT_TRUE(dev.Install("/bin/true", "\\Program Files\\Tool\\true.exe"));
    struct stat st;
    ASSERT_EQ(stat(dev.HostPath("\\Program Files\\Tool\\true.exe").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR) << "an installed program stays executable";
    EXPECT_TRUE(dev.Exists("\\Program Files\\Tool\\true.exe"));
  }
  EXPECT_FALSE(std::filesystem::exists(root)) << "the device folder is removed";
}

TEST(HarnessPrograms, RunWithTheDeviceEnvironmentAndReportTheirExitCodes) {
  harness::Device dev;
  ASSERT_TRUE(dev.ok());
  setenv("CE_BACKEND", "null", 1);  // the test's own choice must not leak into programs
  harness::Program* env = dev.Start("/bin/sh",
                                    {"-c",
                                     "test \"$CE_DEVICE\" = \"$1\" && test -z \"$CE_BACKEND\" && "
                                     "test -z \"$DISPLAY\" && test \"$EXTRA\" = yes",
                                     "sh", dev.root()},
                                    {"EXTRA=yes"});
  ASSERT_NE(env, nullptr);
  ASSERT_TRUE(env->Wait(5000));
  EXPECT_EQ(env->ExitCode(), 0) << env->Output();
  unsetenv("CE_BACKEND");

  struct Case {
    const char* script;
    int code;
  } cases[] = {{"exit 3", 3}, {"echo out; echo err >&2; exit 0", 0}, {"kill -TERM $$", 128 + SIGTERM}};
  for (const Case& c : cases) {
    harness::Program* p = dev.Start("/bin/sh", {"-c", c.script});
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(p->Wait(5000)) << c.script;
    EXPECT_EQ(p->ExitCode(), c.code) << c.script;
  }
  harness::Program* missing = dev.Start("\\Program Files\\none.exe");
  ASSERT_NE(missing, nullptr);
  ASSERT_TRUE(missing->Wait(5000));
  EXPECT_EQ(missing->ExitCode(), 127) << "a program that is not installed cannot run";

  harness::Program* chatty = dev.Start("/bin/sh", {"-c", "echo out; echo err >&2"});
  ASSERT_TRUE(chatty->Wait(5000));
  EXPECT_EQ(chatty->Output(), "out\nerr\n");
}

TEST(HarnessPrograms, WaitGivesUpAtItsLimitAndStopEndsWhatProgramsStarted) {
  harness::Device dev;
  ASSERT_TRUE(dev.ok());
  harness::Program* slow = dev.Start("/bin/sleep", {"30"});
  ASSERT_NE(slow, nullptr);
  EXPECT_FALSE(slow->Wait(50));
  EXPECT_EQ(slow->ExitCode(), -1);
  EXPECT_TRUE(slow->Running());

  // A program that starts a grandchild in a session of its own and ends: the grandchild must not
  // outlive the device.
  const std::string pidFile = dev.root() + "/grandchild.pid";
  harness::Program* parent = dev.Start("/bin/sh", {"-c", "setsid sleep 30 & echo $! > \"$1\"", "sh", pidFile});
  ASSERT_TRUE(parent->Wait(5000));
  pid_t grandchild = 0;
  ASSERT_TRUE(harness::WaitFor(
      [&] {
        std::ifstream in(pidFile);
        return static_cast<bool>(in >> grandchild);
      },
      2000));
  EXPECT_EQ(kill(grandchild, 0), 0) << "the grandchild runs";

  dev.StopPrograms();
  EXPECT_FALSE(slow->Running());
  EXPECT_EQ(slow->ExitCode(), 128 + SIGKILL);
  EXPECT_NE(kill(grandchild, 0), 0) << "the grandchild was ended and reaped";
}

TEST(HarnessWait, ReturnsAsSoonAsTheConditionHoldsAndFalseAtTheLimit) {
  int calls = 0;
  EXPECT_TRUE(harness::WaitFor([&] { return ++calls == 3; }, 1000, 1));
  EXPECT_EQ(calls, 3);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(harness::WaitFor([] { return false; }, 30, 5));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(HarnessScreen, StartsXvfbAtTheProfileSizeAndTapsReachNoWindowHarmlessly) {
  harness::Profile profile;
  profile.width = 320;
  profile.height = 240;
  harness::Device dev(profile);
  ASSERT_TRUE(dev.StartScreen());
  EXPECT_EQ(dev.display().substr(0, 1), ":");
  harness::Image shot;
  ASSERT_TRUE(dev.screen().Capture(&shot));
  EXPECT_EQ(shot.width, 320);
  EXPECT_EQ(shot.height, 240);
  EXPECT_EQ(shot.Pixel(320, 0), 0xFFFFFFFFu) << "outside the image";
  EXPECT_TRUE(dev.screen().Windows().empty());
  EXPECT_FALSE(dev.screen().Find("Any", ""));
  EXPECT_TRUE(dev.screen().Tap(10, 10));
  EXPECT_TRUE(dev.screen().Key("Escape"));
  EXPECT_FALSE(dev.screen().Key("NoSuchKeyName"));
  EXPECT_EQ(dev.screen().Focus(), 0u);
}

}  // namespace
