// The navigator served through the calls folder, client and server in one process.
#include "navigator/service.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "ce/device.h"
#include "tests/navigator/client_util.h"
#include "tests/navigator/test_util.h"

namespace {

using navtest::Fields;
using navtest::TestClient;

double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

class ServiceTest : public ::testing::Test {
 protected:
  void Serve(nav::NavigatorConfig config = {}) {
    navigator = std::make_unique<nav::Navigator>(config, "\\Program Files\\Navigator\\", Seconds);
    std::vector<std::string> warnings;
    navigator->Start(warnings);
    ASSERT_TRUE(warnings.empty()) << warnings.front();
    service = std::make_unique<nav::Service>(*navigator);
    service->Watch();
    server = std::thread([this] {
      while (!stop && !navigator->StopRequested()) {
        service->ServeReady();
        service->WaitForChange(service->Busy() ? 2 : 20);
      }
    });
  }
  void TearDown() override {
    stop = true;
    if (server.joinable()) server.join();
  }
  Fields Call(const Fields& request) {
    Fields reply;
    EXPECT_TRUE(client.Exchange(request, reply)) << "no reply to " << request[0];
    return reply;
  }
  nav::Ov2Contents Category(const std::string& name) {
    return nav::ParseOv2(navtest::ReadFile(device.MapFolder() + name + ".ov2"));
  }
  // Request files left in the calls folder.
  std::vector<std::string> Leftovers() const { return device.CallsFolderFiles(); }

  navtest::DemoDevice device;
  std::unique_ptr<nav::Navigator> navigator;
  std::unique_ptr<nav::Service> service;
  std::thread server;
  std::atomic<bool> stop{false};
  TestClient client;
};

// Reply field types after the result code, as the client's records read them.
struct Expected {
  Fields request;
  const char* types;  // i integer, t text; "route" for the coordinate list
};

TEST_F(ServiceTest, EveryCallIsAnsweredWithAnAcceptedCountAndTypes) {
  Serve();
  const std::string cams = "Roadwatchcameras";
  const Expected table[] = {
      {{"GetApplicationVersionV01"}, "ti"},
      {{"GetDataSetInfoV01"}, "ttii"},
      {{"GetUniqueDeviceIdV01"}, "ti"},
      {{"GetCurrentPositionV01"}, "iiiii"},
      {{"GetLocationInfoV01", "-150000", "5211500"}, "iiitii"},
      {{"GetLocationInfoExV01", "-150000", "5211500"}, "iiitiit"},
      {{"GetRouteInfoV01"}, "iiiiiiiiiiiii"},
      {{"GetRouteCoordinatesV01"}, "route"},
      {{"GeocodeV01", "Demotown", "High Street", "12"}, "iiitt"},
      {{"GeocodeExtendedV01", "Demotown", "High Street", "12", ""}, "iiitt"},
      {{"SetFavoriteV01", "0", "Home", "12 High Street", "-150500", "5212000"}, ""},
      {{"GetFavoriteV01", "0"}, "ttii"},
      {{"NavigateToFavoriteV01", "0"}, ""},
      {{"NavigateToCoordinatesV01", "-149000", "5212000", "Station"}, ""},
      {{"NavigateToAddressV01", "Demotown", "Mill Lane", "5", ""}, ""},
      {{"ClearFavoriteV01", "0"}, ""},
      {{"FlashMessageV01", "Hello ", "1500"}, ""},
      {{"ShowAddressOnMapV01", "Demotown", "Queen Street", "3", ""}, ""},
      {{"ShowCoordinatesOnMapV01", "-150000", "5212000"}, ""},
      {{"ShowRectangleOnMapV01", "-151000", "5211000", "-149000", "5213000"}, ""},
      {{"ChangeSettingV01", "1"}, ""},
      {{"SetNavigatorPropertyV01", "5", "7"}, ""},
      {{"MakePoiVisibleV01", "7", "1"}, ""},
      {{"AddPoiV01", cams, "-150000", "5211500", "Main Road, Demotown !01MTI7!", ""}, ""},
      {{"MakeUserPoiVisibleV01", cams, "1"}, ""},
      {{"MoveClosestPoiV01", cams, "-150000", "5211500", "-150010", "5211510"}, ""},
      {{"DeleteClosestPoiV01", cams, "-150000", "5211500"}, ""},
      {{"DeleteAllPoiV01", "Fuel"}, ""},
      {{"SwitchMapV01", "\\TomTom\\Maps\\Demotown\\"}, ""},
      {{"BringNavigatorToForegroundV01"}, ""},
      {{"SwitchToNavigatorViewV01"}, ""},
      {{"EnableExternalGPSInputV01"}, "i"},
      {{"DisableExternalGPSInputV01"}, ""},
      {{"StopApplicationV01"}, ""},
  };
  std::set<std::string> covered;
  for (const Expected& e : table) {
    Fields reply = Call(e.request);
    ASSERT_FALSE(reply.empty()) << e.request[0];
    EXPECT_EQ(reply[0], "0") << e.request[0];
    if (std::string(e.types) == "route") {
      ASSERT_GE(reply.size(), 2u);
      int count = std::stoi(reply[1]);
      EXPECT_GE(count, 1);
      EXPECT_TRUE(navtest::FieldsHaveTypes(reply, std::string(1 + 2 * count, 'i'))) << reply.size() << " fields";
    } else {
      EXPECT_TRUE(navtest::FieldsHaveTypes(reply, e.types))
          << e.request[0] << ": expected types \"" << e.types << "\", got " << reply.size() << " fields";
    }
    covered.insert(e.request[0]);
  }
  for (int i = 0; i < nav::kCallCount; i++)
    EXPECT_TRUE(covered.count(nav::Navigator::CallName(i))) << nav::Navigator::CallName(i);
  server.join();  // StopApplicationV01 ends the loop after answering
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ServiceTest, AddedPointsReadBackThroughGpsBabel) {
  Serve();
  const Fields adds[] = {
      {"AddPoiV01", "Roadwatchcameras", "-150123", "5211456", "Main Road, Demotown !01MTI7!", ""},
      {"AddPoiV01", "Roadwatchcameras", "-149000", "5212800", "Park Avenue, Demotown !01Mzs7!", ""},
      {"AddPoiV01", "My Places", "1234567", "-3345678", "12 Far Away Street, Elsewhere", ""},
  };
  for (const Fields& add : adds) EXPECT_EQ(Call(add), Fields{"0"});
  int status = -1;
  std::string csv = navtest::RunCommand("gpsbabel -i tomtom -f '" + device.MapFolder() + "Roadwatchcameras.ov2' -f '" +
                                            device.MapFolder() + "My Places.ov2' -o unicsv -F - 2>&1",
                                        &status);
  ASSERT_EQ(status, 0) << csv;
  for (const char* line : {"52.114560,-1.501230,\"Main Road, Demotown !01MTI7!\"",
                           "52.128000,-1.490000,\"Park Avenue, Demotown !01Mzs7!\"",
                           "-33.456780,12.345670,\"12 Far Away Street, Elsewhere\""})
    EXPECT_NE(csv.find(line), std::string::npos) << "expected " << line << " in\n" << csv;
}

TEST_F(ServiceTest, DeletingAndMovingPoints) {
  Serve();
  for (int i = 0; i < 5; i++)
    ASSERT_EQ(Call({"AddPoiV01", "Cams", std::to_string(-150000 + i * 100), "5211000", "cam " + std::to_string(i), ""}),
              Fields{"0"});
  EXPECT_EQ(Call({"DeleteClosestPoiV01", "Cams", "-149790", "5211000"}), Fields{"0"});                      // cam 2
  EXPECT_EQ(Call({"MoveClosestPoiV01", "cams", "-149590", "5211000", "-140000", "5200000"}), Fields{"0"});  // cam 4
  nav::Ov2Contents c = Category("Cams");
  ASSERT_EQ(c.PointCount(), 4u);
  const char* texts[] = {"cam 0", "cam 1", "cam 3", "cam 4"};
  for (size_t i = 0; i < 4; i++) EXPECT_EQ(c.records[i].text, texts[i]);
  EXPECT_EQ(c.records[3].pos, (nav::MapPoint{-140000, 5200000}));
  EXPECT_EQ(Call({"DeleteAllPoiV01", "Cams"}), Fields{"0"});
  EXPECT_EQ(Category("Cams").PointCount(), 0u);
  EXPECT_TRUE(std::filesystem::exists(device.MapFolder() + "Cams.ov2"));
  EXPECT_EQ(Call({"DeleteClosestPoiV01", "Cams", "0", "0"}), Fields{"2"});
  EXPECT_EQ(Call({"MoveClosestPoiV01", "Nothing", "0", "0", "1", "1"}), Fields{"2"});
}

TEST_F(ServiceTest, SwitchMapPicksUpANewEmptyCategoryFile) {
  Serve();
  EXPECT_EQ(Call({"GetDataSetInfoV01"})[3], "1");
  navtest::WriteFile(device.MapFolder() + "Roadwatchcameras.ov2", "");
  EXPECT_EQ(Call({"MakeUserPoiVisibleV01", "Roadwatchcameras", "1"}), Fields{"2"});
  EXPECT_EQ(Call({"SwitchMapV01", "\\TomTom\\Maps\\Demotown\\"}), Fields{"0"});
  EXPECT_EQ(Call({"GetDataSetInfoV01"})[3], "2");
  EXPECT_EQ(Call({"MakeUserPoiVisibleV01", "Roadwatchcameras", "1"}), Fields{"0"});
  EXPECT_EQ(Call({"AddPoiV01", "Roadwatchcameras", "-150000", "5211000", "x", ""}), Fields{"0"});
  EXPECT_EQ(Category("Roadwatchcameras").PointCount(), 1u);
}

TEST_F(ServiceTest, NoFixMode) {
  nav::NavigatorConfig config;
  config.mode = nav::GpsMode::kNoFix;
  Serve(config);
  EXPECT_EQ(Call({"GetCurrentPositionV01"}), (Fields{"0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(Call({"GetRouteCoordinatesV01"}), (Fields{"3", "0"}));
}

TEST_F(ServiceTest, MalformedAndUnknownRequestsGetACodeAlone) {
  Serve();
  // Any client name, any link id; each on its own link.
  struct Raw {
    const char* client;
    const char* link;
    std::string text;  // empty: no text file at all, only the marker
  } raws[] = {
      {"client", "77", std::string("GetCurrentPositionV01\0", 22)},  // no separator: no field
      {"other.app", "4000000000", std::string("NoSuchCallV01|\0", 15)},
      {"client", "78", std::string("GetLocationInfoV01|12|\0", 23)},
      {"client", "79", std::string("GetLocationInfoV01|12|abc|\0", 27)},
      {"client", "80", ""},
      {"client", "81", std::string("|||\0", 4)},
  };
  for (const Raw& r : raws) {
    std::string base = device.CallsFolder() + r.client + ".TomTomNavigationServer." + r.link + ".1";
    if (!r.text.empty()) navtest::WriteFile(base + ".message", r.text);
    navtest::WriteMarker(base + ".finished", std::string("finish\n\0", 8));
  }
  for (const Raw& r : raws) {
    std::string reply = device.CallsFolder() + "TomTomNavigationServer." + r.client + "." + r.link + ".1";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(reply + ".finished") && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(navtest::ReadFile(reply + ".message"), std::string("1|\0", 3)) << r.client << " " << r.link;
  }
  // Everything was removed but the six replies (two files each).
  EXPECT_EQ(Leftovers().size(), 12u);
  // The service still answers well-formed requests.
  EXPECT_EQ(Call({"GetApplicationVersionV01"}), (Fields{"0", "1.0.0", "100"}));
}

// FIFOs named like a request text and like a marker are refused, not waited on: the other
// clients are still served.
TEST_F(ServiceTest, EntriesThatAreNotFilesDoNotStopTheService) {
  Serve();
  const std::string calls = device.CallsFolder();
  std::string text = calls + "fifo.TomTomNavigationServer.5.1";
  ASSERT_EQ(mkfifo((text + ".message").c_str(), 0644), 0);
  navtest::WriteMarker(text + ".finished", std::string("finish\n\0", 8));
  ASSERT_EQ(mkfifo((calls + "fifo.TomTomNavigationServer.6.1.finished").c_str(), 0644), 0);
  EXPECT_EQ(Call({"GetApplicationVersionV01"}), (Fields{"0", "1.0.0", "100"}));
  EXPECT_EQ(Call({"GetApplicationVersionV01"}), (Fields{"0", "1.0.0", "100"}));
}

}  // namespace
