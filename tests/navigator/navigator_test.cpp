#include "navigator/navigator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "ce/device.h"
#include "tests/navigator/test_util.h"

namespace {

using nav::Navigator;
using nav::NavigatorConfig;
using Fields = std::vector<std::string>;

class Recorder : public nav::NavigatorHost {
 public:
  void BringToForeground() override { raised++; }
  int raised = 0;
};

class NavigatorTest : public ::testing::Test {
 protected:
  std::unique_ptr<Navigator> Make(NavigatorConfig config) {
    auto n = std::make_unique<Navigator>(
        config, "\\Program Files\\Navigator\\", [this] { return now; }, "00A1B2C3");
    std::vector<std::string> warnings;
    n->Start(warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    n->SetHost(&host);
    return n;
  }
  Fields Call(Navigator& n, std::vector<std::string> request) {
    std::vector<std::string_view> views(request.begin(), request.end());
    return n.Handle(views);
  }
  navtest::DemoDevice device;
  Recorder host;
  double now = 1000;
};

TEST_F(NavigatorTest, PositionFollowsTheTrackInRealTime) {
  auto n = Make(NavigatorConfig{});
  Fields start = Call(*n, {"GetCurrentPositionV01"});
  EXPECT_EQ(start, (Fields{"0", "1", "-150000", "5211000", "0", "48"}));
  now += 30;
  Fields later = Call(*n, {"GetCurrentPositionV01"});
  ASSERT_EQ(later.size(), 6u);
  // 30 s north along Main Road at 48 km/h: about 400 m further, still on lon -1.5.
  EXPECT_EQ(later[2], "-150000");
  EXPECT_NEAR(std::stoi(later[3]), 5211000 + 360, 20);
  Fields where = Call(*n, {"GetLocationInfoExV01", later[2], later[3]});
  ASSERT_EQ(where.size(), 8u);
  EXPECT_EQ(where[4], "Main Road");
  EXPECT_EQ(where[7], "Demotown (South)");
}

TEST_F(NavigatorTest, FixedAndNoFixModes) {
  NavigatorConfig fixed;
  fixed.mode = nav::GpsMode::kFixed;
  fixed.latitude = 52.12;
  fixed.longitude = -1.51;
  fixed.heading = 90;
  fixed.speed = 30;
  EXPECT_EQ(Call(*Make(fixed), {"GetCurrentPositionV01"}), (Fields{"0", "1", "-151000", "5212000", "90", "30"}));
  NavigatorConfig none;
  none.mode = nav::GpsMode::kNoFix;
  auto n = Make(none);
  EXPECT_EQ(Call(*n, {"GetCurrentPositionV01"}), (Fields{"0", "0", "0", "0", "0", "0"}));
  // No route: the code in the calls' full shapes (thirteen zeros; a list of no pairs).
  Fields noRoute{"3"};
  noRoute.resize(14, "0");
  EXPECT_EQ(Call(*n, {"GetRouteInfoV01"}), noRoute);
  EXPECT_EQ(Call(*n, {"GetRouteCoordinatesV01"}), (Fields{"3", "0"}));
}

// Unknown or malformed requests get the code alone; a call served with nothing to report gets
// the code in the call's full shape.
TEST_F(NavigatorTest, RefusedRequestsGetTheCodeAloneServedOnesTheCallsShape) {
  auto n = Make(NavigatorConfig{});
  struct Case {
    std::vector<std::string> request;
    Fields reply;
  } cases[] = {
      {{}, {"1"}},
      {{"GetCurrentPositionV02"}, {"1"}},
      {{"getcurrentpositionv01"}, {"1"}},
      {{"GetCurrentPositionV01", "extra"}, {"1"}},
      {{"FlashMessageV01", "hello"}, {"1"}},
      {{"FlashMessageV01", "hello", "12abc"}, {"1"}},
      {{"FlashMessageV01", "hello", "2147483648"}, {"1"}},
      {{"FlashMessageV01", "hello", "-1"}, {"1"}},
      {{"ShowCoordinatesOnMapV01", "", "5"}, {"1"}},
      {{"AddPoiV01", "a/b", "1", "2", "x", ""}, {"1"}},
      {{"AddPoiV01", "Cams", "1", "2", std::string(20000, 'x'), ""}, {"1"}},
      {{"MakeUserPoiVisibleV01", "NoSuchCategory", "1"}, {"2"}},
      {{"DeleteAllPoiV01", "NoSuchCategory"}, {"2"}},
      {{"GetFavoriteV01", "7"}, {"2", "", "", "0", "0"}},
      {{"NavigateToFavoriteV01", "7"}, {"2"}},
      {{"SetFavoriteV01", "48", "n", "a", "1", "2"}, {"1"}},
      {{"GeocodeV01", "Demotown", "Nowhere Lane", "1"}, {"2", "0", "0", "0", "", ""}},
      {{"GetLocationInfoV01", "1100000", "4800000"}, {"2", "0", "0", "0", "", "0", "0"}},
      {{"SwitchMapV01", "\\TomTom\\Maps\\Atlantis\\"}, {"2"}},
      {{"SwitchMapV01", "relative\\folder"}, {"2"}},
      {{"ChangeSettingV01", "9"}, {"2"}},
  };
  for (const Case& c : cases) {
    std::string shown = c.request.empty() ? "(none)" : c.request[0];
    EXPECT_EQ(Call(*n, c.request), c.reply) << shown << " with " << c.request.size() << " fields";
  }
  EXPECT_FALSE(std::filesystem::exists(device.MapFolder() + "a"));
  EXPECT_EQ(n->MapFolder(), "\\TomTom\\Maps\\Demotown\\");
}

TEST_F(NavigatorTest, DataSetInfoNamesTheMapFolder) {
  auto n = Make(NavigatorConfig{});
  EXPECT_EQ(Call(*n, {"GetDataSetInfoV01"}), (Fields{"0", "Demotown", "\\TomTom\\Maps\\Demotown\\", "1", "11"}));
  EXPECT_EQ(Call(*n, {"GetUniqueDeviceIdV01"}), (Fields{"0", "00A1B2C3", "1"}));
}

TEST_F(NavigatorTest, FavouritesAreKeptInTheirFile) {
  auto n = Make(NavigatorConfig{});
  EXPECT_EQ(Call(*n, {"SetFavoriteV01", "3", "Home", "12 Main Road, Demotown", "-150000", "5212000"}), Fields{"0"});
  n = Make(NavigatorConfig{});
  EXPECT_EQ(Call(*n, {"GetFavoriteV01", "3"}), (Fields{"0", "Home", "12 Main Road, Demotown", "-150000", "5212000"}));
  EXPECT_EQ(Call(*n, {"NavigateToFavoriteV01", "3"}), Fields{"0"});
  EXPECT_EQ(n->Target().pos, (nav::MapPoint{-150000, 5212000}));
  EXPECT_EQ(Call(*n, {"ClearFavoriteV01", "3"}), Fields{"0"});
  EXPECT_EQ(Call(*n, {"ClearFavoriteV01", "3"}), Fields{"2"});
  EXPECT_EQ(Call(*Make(NavigatorConfig{}), {"GetFavoriteV01", "3"}), (Fields{"2", "", "", "0", "0"}));
}

TEST_F(NavigatorTest, ScreenCallsChangeWhatIsShown) {
  auto n = Make(NavigatorConfig{});
  EXPECT_EQ(Call(*n, {"FlashMessageV01", "Hello ", "1500"}), Fields{"0"});
  now += 1.4;
  EXPECT_EQ(n->FlashText(), "Hello ");
  now += 0.2;
  EXPECT_EQ(n->FlashText(), "");
  EXPECT_EQ(Call(*n, {"ShowCoordinatesOnMapV01", "-147000", "5212000"}), Fields{"0"});
  EXPECT_FALSE(n->FollowsPosition());
  EXPECT_EQ(n->ViewCentre(), (nav::MapPoint{-147000, 5212000}));
  EXPECT_EQ(Call(*n, {"ShowRectangleOnMapV01", "-152000", "5210000", "-148000", "5214000"}), Fields{"0"});
  EXPECT_EQ(n->ViewCentre(), (nav::MapPoint{-150000, 5212000}));
  EXPECT_NEAR(n->ViewSpanMetres(), 4448 * 1.1, 20);
  EXPECT_EQ(Call(*n, {"ShowAddressOnMapV01", "Demotown", "Park Avenue", "1", ""}), Fields{"0"});
  EXPECT_EQ(n->ViewCentre(), (nav::MapPoint{-150000, 5212800}));
  EXPECT_EQ(host.raised, 0);
  EXPECT_EQ(Call(*n, {"SwitchToNavigatorViewV01"}), Fields{"0"});
  EXPECT_TRUE(n->FollowsPosition());
  EXPECT_EQ(Call(*n, {"BringNavigatorToForegroundV01"}), Fields{"0"});
  EXPECT_EQ(host.raised, 2);
  EXPECT_EQ(Call(*n, {"ChangeSettingV01", "1"}), Fields{"0"});
  EXPECT_TRUE(n->NightColours());
  EXPECT_FALSE(n->StopRequested());
  EXPECT_EQ(Call(*n, {"StopApplicationV01"}), Fields{"0"});
  EXPECT_TRUE(n->StopRequested());
}

TEST_F(NavigatorTest, RouteRunsAlongTheRestOfTheTrack) {
  auto n = Make(NavigatorConfig{});
  now += 100;
  Fields info = Call(*n, {"GetRouteInfoV01"});
  ASSERT_EQ(info.size(), 14u);
  int remaining = std::stoi(info[1]), total = std::stoi(info[3]);
  EXPECT_NEAR(total, 6740, 60);
  EXPECT_GT(remaining, 0);
  EXPECT_LT(remaining, total - 1000);
  EXPECT_EQ(info[5], "-150000");  // the drive ends where it started
  EXPECT_EQ(info[6], "5211000");
  EXPECT_EQ(info[12], "48");  // Main Road's limit
  Fields route = Call(*n, {"GetRouteCoordinatesV01"});
  int count = std::stoi(route[1]);
  ASSERT_EQ(route.size(), static_cast<size_t>(2 + 2 * count));
  Fields pos = Call(*n, {"GetCurrentPositionV01"});
  EXPECT_EQ(route[2], pos[2]);
  EXPECT_EQ(route[3], pos[3]);
  EXPECT_EQ(route[route.size() - 2], "-150000");
  EXPECT_EQ(route.back(), "5211000");
}

}  // namespace
