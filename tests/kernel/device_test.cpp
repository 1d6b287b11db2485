// device.ini and the device folder.
#include <stdlib.h>

#include "tests/kernel/kernel_fixture.h"

namespace {

using DeviceProfileTest = DeviceTest;

TEST_F(DeviceProfileTest, MissingOrEmptyFileGivesAPocketPcWithoutIdentifier) {
  for (const char* ini : {static_cast<const char*>(nullptr), "", "[screen]\n[system]\n"}) {
    SCOPED_TRACE(ini ? "\"" + std::string(ini) + "\"" : "no file");
    if (ini) WriteIni(ini);
    ce::ResetDeviceForTests();
    const ce::DeviceProfile& device = ce::Device();
    EXPECT_EQ(device.screenWidth, 240);
    EXPECT_EQ(device.screenHeight, 320);
    EXPECT_EQ(device.platform, "PocketPC");
    EXPECT_TRUE(device.deviceId.empty());
  }
}

TEST_F(DeviceProfileTest, KeysAreRead) {
  WriteIni(
      "[screen]\nwidth=480\nheight = 640\n"
      "[system]\nplatform=SmartPhone ; the platform type\ndeviceid=00a1B2C3\n");
  const ce::DeviceProfile& device = ce::Device();
  EXPECT_EQ(device.screenWidth, 480);
  EXPECT_EQ(device.screenHeight, 640);
  EXPECT_EQ(device.platform, "SmartPhone");
  EXPECT_EQ(device.deviceId, (std::vector<uint8_t>{0x00, 0xA1, 0xB2, 0xC3}));
}

TEST_F(DeviceProfileTest, BadValuesAndLinesFallBackToDefaultsWithAWarning) {
  WriteIni(
      "[screen]\nwidth=wide\nheight=320px\nthis line is not ini\n"
      "[system]\nplatform=SmartPhone\ndeviceid=ABC\n");
  testing::internal::CaptureStderr();
  const ce::DeviceProfile& device = ce::Device();
  std::string warnings = testing::internal::GetCapturedStderr();
  EXPECT_EQ(device.screenWidth, 240);
  EXPECT_EQ(device.screenHeight, 320);
  EXPECT_EQ(device.platform, "SmartPhone") << "good keys are still read";
  EXPECT_TRUE(device.deviceId.empty());
  EXPECT_NE(warnings.find("device.ini"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("line 4"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("width"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("deviceid"), std::string::npos) << warnings;
}

TEST_F(DeviceProfileTest, ProfileIsReadOncePerProcess) {
  WriteIni("[screen]\nwidth=320\n");
  EXPECT_EQ(ce::Device().screenWidth, 320);
  WriteIni("[screen]\nwidth=400\n");
  EXPECT_EQ(ce::Device().screenWidth, 320) << "cached";
  ce::ResetDeviceForTests();
  EXPECT_EQ(ce::Device().screenWidth, 400);
}

TEST_F(DeviceProfileTest, RootIsTheAbsoluteDeviceFolder) {
  EXPECT_EQ(ce::DeviceRoot(), root_);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  setenv("CE_DEVICE", ".", 1);
  ce::ResetDeviceForTests();
  EXPECT_EQ(ce::DeviceRoot(), root_) << "a relative CE_DEVICE is made absolute for child processes";
  ASSERT_EQ(chdir("/"), 0);
}

using DeviceDeathTest = DeviceTest;

TEST_F(DeviceDeathTest, WithoutCeDeviceTheProgramStopsSayingWhatToSet) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("CE_DEVICE");
        ce::ResetDeviceForTests();
        ce::DeviceRoot();
      },
      testing::ExitedWithCode(2), "set CE_DEVICE to the device folder");
  EXPECT_EXIT(
      {
        setenv("CE_DEVICE", "/nonexistent/device", 1);
        ce::ResetDeviceForTests();
        GetFileAttributesW(u"\\x");
      },
      testing::ExitedWithCode(2), "CE_DEVICE names no folder: /nonexistent/device");
}

}  // namespace
