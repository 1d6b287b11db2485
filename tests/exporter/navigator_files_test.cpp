// Category files written by the navigator stand-in's own store, read back by the exporter.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ce/device.h"
#include "navigator/ov2.h"
#include "tests/exporter/exporter_fixture.h"
#include "tools/exporter/export.h"

namespace exporter {
namespace {

namespace fs = std::filesystem;

class NavigatorFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Make("tm-export-nav"));
    // A device whose folder "Map" holds the store.
    root_ = temp_.path();
    folder_ = root_ + "/fs/Map/";
    fs::create_directories(folder_);
    setenv("CE_DEVICE", root_.c_str(), 1);
    ce::ResetDeviceForTests();
    // The capture program creates the camera file empty before its first point.
    std::ofstream(folder_ + "Roadwatchcameras.ov2").close();
    std::vector<std::string> warnings;
    store_.Open("\\Map\\", warnings);
    ASSERT_TRUE(warnings.empty()) << warnings.front();
  }
  void TearDown() override {
    unsetenv("CE_DEVICE");
    ce::ResetDeviceForTests();
  }

  void Add(const std::string& category, std::int32_t x, std::int32_t y, const std::string& text) {
    std::string error;
    ASSERT_EQ(store_.Add(category, nav::MapPoint{x, y}, text, error), nav::StoreResult::kOk) << error;
  }

  std::vector<ExportPoint> Export(const std::string& name, bool& allRead, std::string& messages) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadFileBytes(folder_ + name, bytes, error)) << error;
    std::vector<ExportPoint> points;
    allRead = CollectFile(name, bytes, points, [&](Severity s, const std::string& text) {
      messages += (s == Severity::Error ? "error: " : "") + text + "\n";
    });
    return points;
  }

  exportertest::TempFolder temp_;
  std::string root_;
  std::string folder_;  // the host folder behind the device folder "Map"
  nav::CategoryStore store_;
};

std::string CameraText(const char* street, int type, int limit, int side) {
  return exportertest::CameraDescription(street, "Demotown",
                                         CameraData{135, 52, "No Device ID", "2005-11-21T10:15:02", type, limit, side});
}

TEST_F(NavigatorFiles, CamerasAddedByTheNavigatorExportWhole) {
  Add("Roadwatchcameras", -12345, 5150000, CameraText("Main Road", 1, 4, 0));
  Add("Roadwatchcameras", -12000, 5150100, CameraText("Station Road", 5, 2, 2));
  Add("Roadwatchcameras", -11000, 5150200, CameraText("Mill Lane", 7, 0, 1));
  Add("Fuel", -10000, 5150300, "12 Main Road, Demotown");

  bool allRead = false;
  std::string messages;
  const auto cameras = Export("Roadwatchcameras.ov2", allRead, messages);
  EXPECT_TRUE(allRead) << messages;
  ASSERT_EQ(cameras.size(), 3u) << messages;
  const struct {
    std::int32_t x;
    const char* street;
    int type, limit, side;
  } expected[] = {{-12345, "Main Road", 1, 4, 0}, {-12000, "Station Road", 5, 2, 2}, {-11000, "Mill Lane", 7, 0, 1}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(cameras[i].isCamera) << i;
    EXPECT_EQ(cameras[i].x, expected[i].x) << i;
    EXPECT_EQ(cameras[i].street, expected[i].street) << i;
    EXPECT_EQ(cameras[i].place, "Demotown") << i;
    EXPECT_EQ(cameras[i].camera.typeCode, expected[i].type) << i;
    EXPECT_EQ(cameras[i].camera.speedCode, expected[i].limit) << i;
    EXPECT_EQ(cameras[i].camera.directionCode, expected[i].side) << i;
    EXPECT_EQ(cameras[i].camera.heading, 135) << i;
  }

  messages.clear();
  const auto fuel = Export("Fuel.ov2", allRead, messages);
  EXPECT_TRUE(allRead) << messages;
  ASSERT_EQ(fuel.size(), 1u);
  EXPECT_FALSE(fuel[0].isCamera);
  EXPECT_EQ(fuel[0].category, "Fuel");
  EXPECT_EQ(fuel[0].description, "12 Main Road, Demotown");
  EXPECT_NE(messages.find("not a camera"), std::string::npos) << messages;
}

TEST_F(NavigatorFiles, DeletionsByTheNavigatorLeaveAReadableFile) {
  Add("Roadwatchcameras", 100, 100, CameraText("A Road", 1, 1, 0));
  Add("Roadwatchcameras", 900000, 900000, CameraText("B Road", 2, 2, 1));
  std::string error;
  ASSERT_EQ(store_.DeleteClosest("Roadwatchcameras", nav::MapPoint{100, 100}, error), nav::StoreResult::kOk) << error;

  bool allRead = false;
  std::string messages;
  const auto points = Export("Roadwatchcameras.ov2", allRead, messages);
  EXPECT_TRUE(allRead) << messages;
  ASSERT_EQ(points.size(), 1u) << messages;
  EXPECT_EQ(points[0].street, "B Road");
}

TEST_F(NavigatorFiles, TornTailIsReportedNotHidden) {
  Add("Roadwatchcameras", 100, 100, CameraText("A Road", 1, 1, 0));
  Add("Roadwatchcameras", 200, 200, CameraText("B Road", 2, 2, 1));
  // A write cut short by a power loss: the navigator reads up to the last whole record.
  const fs::path path = folder_ + "Roadwatchcameras.ov2";
  fs::resize_file(path, fs::file_size(path) - 5);

  bool allRead = true;
  std::string messages;
  const auto points = Export("Roadwatchcameras.ov2", allRead, messages);
  EXPECT_FALSE(allRead);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].street, "A Road");
  EXPECT_NE(messages.find("error: Roadwatchcameras.ov2: byte "), std::string::npos) << messages;
}

}  // namespace
}  // namespace exporter
