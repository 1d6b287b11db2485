#include "navigator/streets.h"

#include <gtest/gtest.h>

#include "tests/navigator/test_util.h"

namespace {

using nav::FromDegrees;
using nav::StreetMap;

class DemoMap : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(map.Load("\\TomTom\\Maps\\Demotown\\streets.txt", warnings, error)) << error;
    EXPECT_TRUE(warnings.empty()) << warnings.front();
  }
  navtest::DemoDevice device;
  StreetMap map;
};

TEST_F(DemoMap, LocatesStreetsHouseNumbersAndPlaces) {
  struct Case {
    double lat, lon;
    const char* street;
    int number;
    const char* place;
  } cases[] = {
      {52.10500, -1.50010, "Main Road", 1, "Demotown (South)"},
      {52.11900, -1.49990, "Main Road", 76, "Demotown (South)"},
      {52.12650, -1.49995, "Main Road", 130, "Demotown (North)"},
      {52.12005, -1.51000, "High Street", 13, "Demotown"},
      {52.12800, -1.48500, "Park Avenue", 34, "Demotown (North)"},
      {52.13210, -1.51000, "Ring Road", 0, "Demotown (North)"},
  };
  for (const auto& c : cases) {
    nav::LocationInfo info;
    ASSERT_TRUE(map.Locate(FromDegrees(c.lat, c.lon), 1000, info)) << c.street;
    EXPECT_EQ(info.street, c.street) << c.lat << "," << c.lon;
    EXPECT_NEAR(info.houseNumber, c.number, 1) << c.street;
    EXPECT_EQ(info.place, c.place) << c.street;
  }
  nav::LocationInfo far;
  EXPECT_FALSE(map.Locate(FromDegrees(48.1, 11.5), 1000, far));
}

TEST_F(DemoMap, GeocodesAddressesAndReverseGeocodingAgrees) {
  struct Case {
    const char* place;
    const char* street;
    const char* number;
    bool found;
    int gotNumber;
    const char* gotPlace;
  } cases[] = {
      {"Demotown", "Main Road", "120", true, 120, "Demotown (North)"},
      {"demotown (south)", "main road", "40", true, 40, "Demotown (South)"},
      {"", "High Street", "", true, 31, "Demotown"},
      {"Demotown", "High Street", "500", true, 60, "Demotown"},
      {"Ashby Green", "Main Road", "10", false, 0, ""},
      {"Demotown", "Nowhere Lane", "1", false, 0, ""},
      {"Demotown", "Main Road", "12b", false, 0, ""},
      {"Ashby Green", "", "", true, 0, "Ashby Green"},
  };
  for (const auto& c : cases) {
    nav::GeocodeHit hit;
    bool found = map.Geocode(c.place, c.street, c.number, hit);
    ASSERT_EQ(found, c.found) << c.place << "/" << c.street << "/" << c.number;
    if (!found) continue;
    EXPECT_EQ(hit.houseNumber, c.gotNumber) << c.street;
    EXPECT_EQ(hit.place, c.gotPlace) << c.street;
    if (*c.street) {
      nav::LocationInfo back;
      ASSERT_TRUE(map.Locate(hit.pos, 10, back));
      EXPECT_EQ(back.street, hit.street);
      EXPECT_NEAR(back.houseNumber, hit.houseNumber, 1);
    }
  }
}

TEST(StreetFile, BadLinesAreSkippedWithTheirLineNumber) {
  StreetMap map;
  std::vector<std::string> warnings;
  std::string error;
  ASSERT_TRUE(
      map.Parse("map|T\n"
                "place|T|52|-1|500\n"
                "street|Good|T|30|1-9|52,-1 52.001,-1\n"
                "street|One point|T|30|1-9|52,-1\n"
                "street|Bad lat|T|30|1-9|95,-1 52,-1\n"
                "street|Bad range|T|30|a-9|52,-1 52.001,-1\n"
                "place|P|52|-1\n"
                "street|Lost|Nowhere|30|0-0|52,-1 52.001,-1\n"
                "bridge|x\n",
                warnings, error));
  EXPECT_EQ(map.Streets().size(), 2u);
  std::vector<std::string> expected = {"line 4", "line 5", "line 6", "line 7", "line 9", "unknown place Nowhere"};
  ASSERT_EQ(warnings.size(), expected.size());
  for (size_t i = 0; i < expected.size(); i++)
    EXPECT_NE(warnings[i].find(expected[i]), std::string::npos)
        << "expected " << expected[i] << ", got " << warnings[i];
  EXPECT_FALSE(map.Parse("# nothing\n\n", warnings, error));
  navtest::DemoDevice device;
  EXPECT_FALSE(map.Load("\\nonexistent\\streets.txt", warnings, error));
}

}  // namespace
