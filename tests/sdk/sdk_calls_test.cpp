// The 34 SDK calls against a scripted navigator on the headless backend: what each request
// carries, which reply field counts each call accepts, and what lands in the caller's records.
#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ce/ce.h"
#include "ce/null/null.h"
#include "navigator/navigator.h"
#include "sdk/navigator_launch.h"
#include "sdk/navigator_link.h"
#include "sdk/sdk_calls.h"
#include "sdk/transport/call_table.h"
#include "tests/scripted_peer/in_process_peer.h"
#include "tests/sdk/device_folder.h"

namespace {

const unsigned char kPoison = 0xB0;

// "SDK ERROR!" boxes shown so far (the headless screen records every box and answers OK).
int ErrorBoxes() {
  int count = 0;
  for (const ce::null::MessageBoxRecord& box : ce::null::MessageBoxes()) {
    if (box.caption == u"SDK ERROR!") ++count;
  }
  return count;
}

// Writes a text and its terminator the way a filled record holds it (the rest stays poisoned).
void PutText(char* member, const char* text) { std::memcpy(member, text, std::strlen(text) + 1); }

struct CallCase {
  const char* name;
  INT (*invoke)(NavigatorLink* link, INT* status, void* record);
  const char* request;           // the request as it travels
  int32_t fullCount;             // reply field count that fills the record; 1: the call has none
  size_t recordSize;             // 0: no record
  const char* fullReply;         // a reply of fullCount fields, result code 0
  void (*expect)(void* record);  // what fullReply leaves in a poisoned record
};

template <typename Record>
Record* As(void* record) {
  return static_cast<Record*>(record);
}

// Integer arguments are chosen to show sign, zero and both 32-bit limits on the wire.
const CallCase kCalls[] = {
    {"StopApplicationV01", [](NavigatorLink* l, INT* s, void*) { return StopApplicationV01(l, s); },
     "StopApplicationV01|", 1, 0, nullptr, nullptr},
    {"GetApplicationVersionV01",
     [](NavigatorLink* l, INT* s, void* r) { return GetApplicationVersionV01(l, s, As<ApplicationVersionResult>(r)); },
     "GetApplicationVersionV01|", 3, sizeof(ApplicationVersionResult), "0|7.45|9100|",
     [](void* r) {
       PutText(As<ApplicationVersionResult>(r)->version, "7.45");
       As<ApplicationVersionResult>(r)->build = 9100;
     }},
    {"FlashMessageV01",
     [](NavigatorLink* l, INT* s, void*) { return FlashMessageV01(l, s, "'Gatso 50 mph' saved ", 1500); },
     "FlashMessageV01|'Gatso 50 mph' saved |1500|", 1, 0, nullptr, nullptr},
    {"GetDataSetInfoV01",
     [](NavigatorLink* l, INT* s, void* r) { return GetDataSetInfoV01(l, s, As<DataSetInfoResult>(r)); },
     "GetDataSetInfoV01|", 5, sizeof(DataSetInfoResult), "0|Europe|\\Maps\\Europe\\|12|-3|",
     [](void* r) {
       PutText(As<DataSetInfoResult>(r)->dataSetName, "Europe");
       PutText(As<DataSetInfoResult>(r)->currentMapFolder, "\\Maps\\Europe\\");
       As<DataSetInfoResult>(r)->categoryCount = 12;
       As<DataSetInfoResult>(r)->streetCount = -3;
     }},
    {"GetUniqueDeviceIdV01",
     [](NavigatorLink* l, INT* s, void* r) { return GetUniqueDeviceIdV01(l, s, As<UniqueDeviceIdResult>(r)); },
     "GetUniqueDeviceIdV01|", 3, sizeof(UniqueDeviceIdResult), "0|00A1B2C3|2|",
     [](void* r) {
       PutText(As<UniqueDeviceIdResult>(r)->deviceId, "00A1B2C3");
       As<UniqueDeviceIdResult>(r)->deviceIdKind = 2;
     }},
    {"NavigateToCoordinatesV01",
     [](NavigatorLink* l, INT* s, void*) { return NavigateToCoordinatesV01(l, s, -5, 2147483647, "Home"); },
     "NavigateToCoordinatesV01|-5|2147483647|Home|", 1, 0, nullptr, nullptr},
    {"NavigateToFavoriteV01", [](NavigatorLink* l, INT* s, void*) { return NavigateToFavoriteV01(l, s, 0); },
     "NavigateToFavoriteV01|0|", 1, 0, nullptr, nullptr},
    {"NavigateToAddressV01",
     [](NavigatorLink* l, INT* s, void*) { return NavigateToAddressV01(l, s, "Leeds", "High St", "12", "LS1"); },
     "NavigateToAddressV01|Leeds|High St|12|LS1|", 1, 0, nullptr, nullptr},
    {"ShowAddressOnMapV01",
     [](NavigatorLink* l, INT* s, void*) { return ShowAddressOnMapV01(l, s, "York", "", "7", "YO1"); },
     "ShowAddressOnMapV01|York||7|YO1|", 1, 0, nullptr, nullptr},
    {"ShowCoordinatesOnMapV01",
     [](NavigatorLink* l, INT* s, void*) { return ShowCoordinatesOnMapV01(l, s, 512345, -12345); },
     "ShowCoordinatesOnMapV01|512345|-12345|", 1, 0, nullptr, nullptr},
    {"ShowRectangleOnMapV01",
     [](NavigatorLink* l, INT* s, void*) { return ShowRectangleOnMapV01(l, s, -2147483647 - 1, 0, 7, -1); },
     "ShowRectangleOnMapV01|-2147483648|0|7|-1|", 1, 0, nullptr, nullptr},
    {"GetLocationInfoV01",
     [](NavigatorLink* l, INT* s, void* r) { return GetLocationInfoV01(l, s, As<LocationInfoResult>(r), 100, -200); },
     "GetLocationInfoV01|100|-200|", 7, sizeof(LocationInfoResult), "0|101|-201|2|Low Road|14|-6|",
     [](void* r) {
       LocationInfoResult* e = As<LocationInfoResult>(r);
       e->locationX = 101;
       e->locationY = -201;
       e->distance = 2;
       PutText(e->street, "Low Road");
       e->houseNumber = 14;
       e->speedLimit = -6;
     }},
    {"GetLocationInfoExV01",
     [](NavigatorLink* l, INT* s, void* r) {
       return GetLocationInfoExV01(l, s, As<LocationInfoExResult>(r), 512345, 4);
     },
     "GetLocationInfoExV01|512345|4|", 8, sizeof(LocationInfoExResult), "0|1|2|3|Main Street|12|5|Springfield|",
     [](void* r) {
       LocationInfoExResult* e = As<LocationInfoExResult>(r);
       e->locationX = 1;
       e->locationY = 2;
       e->distance = 3;
       PutText(e->street, "Main Street");
       e->houseNumber = 12;
       e->speedLimit = 5;
       PutText(e->place, "Springfield");
     }},
    {"GetRouteInfoV01", [](NavigatorLink* l, INT* s, void* r) { return GetRouteInfoV01(l, s, As<RouteInfoResult>(r)); },
     "GetRouteInfoV01|", 14, sizeof(RouteInfoResult), "0|1|-2|3|4|5|6|7|8|9|10|11|12|-13|",
     [](void* r) {
       for (int i = 0; i < 13; ++i) As<RouteInfoResult>(r)->value[i] = i + 1;
       As<RouteInfoResult>(r)->value[1] = -2;
       As<RouteInfoResult>(r)->value[12] = -13;
     }},
    {"ChangeSettingV01", [](NavigatorLink* l, INT* s, void*) { return ChangeSettingV01(l, s, 3); },
     "ChangeSettingV01|3|", 1, 0, nullptr, nullptr},
    {"SwitchMapV01", [](NavigatorLink* l, INT* s, void*) { return SwitchMapV01(l, s, "\\Maps\\Europe\\"); },
     "SwitchMapV01|\\Maps\\Europe\\|", 1, 0, nullptr, nullptr},
    {"SetNavigatorPropertyV01", [](NavigatorLink* l, INT* s, void*) { return SetNavigatorPropertyV01(l, s, 9, -9); },
     "SetNavigatorPropertyV01|9|-9|", 1, 0, nullptr, nullptr},
    {"GetCurrentPositionV01",
     [](NavigatorLink* l, INT* s, void* r) { return GetCurrentPositionV01(l, s, As<CurrentPositionResult>(r)); },
     "GetCurrentPositionV01|", 6, sizeof(CurrentPositionResult), "0|1|100|200|90|50|",
     [](void* r) {
       *As<CurrentPositionResult>(r) = {1, 100, 200, 90, 50};
     }},
    {"GeocodeV01",
     [](NavigatorLink* l, INT* s, void* r) { return GeocodeV01(l, s, As<GeocodeResult>(r), "Leeds", "High St", "3"); },
     "GeocodeV01|Leeds|High St|3|", 6, sizeof(GeocodeResult), "0|-154|5379|1|High St 3|Leeds|",
     [](void* r) {
       GeocodeResult* e = As<GeocodeResult>(r);
       e->x = -154;
       e->y = 5379;
       e->houseNumber = 1;
       PutText(e->street, "High St 3");
       PutText(e->place, "Leeds");
     }},
    {"GeocodeExtendedV01",
     [](NavigatorLink* l, INT* s, void* r) {
       return GeocodeExtendedV01(l, s, As<GeocodeResult>(r), "Leeds", "High St", "3", "LS1");
     },
     "GeocodeExtendedV01|Leeds|High St|3|LS1|", 6, sizeof(GeocodeResult), "0|7|8|0||LS1|",
     [](void* r) {
       GeocodeResult* e = As<GeocodeResult>(r);
       e->x = 7;
       e->y = 8;
       e->houseNumber = 0;
       PutText(e->street, "");
       PutText(e->place, "LS1");
     }},
    {"ClearFavoriteV01", [](NavigatorLink* l, INT* s, void*) { return ClearFavoriteV01(l, s, 47); },
     "ClearFavoriteV01|47|", 1, 0, nullptr, nullptr},
    {"SetFavoriteV01",
     [](NavigatorLink* l, INT* s, void*) { return SetFavoriteV01(l, s, 2, "Work", "Dock Rd", -10, 20); },
     "SetFavoriteV01|2|Work|Dock Rd|-10|20|", 1, 0, nullptr, nullptr},
    {"GetFavoriteV01", [](NavigatorLink* l, INT* s, void* r) { return GetFavoriteV01(l, s, As<FavoriteResult>(r), 2); },
     "GetFavoriteV01|2|", 5, sizeof(FavoriteResult), "0|Work|Dock Rd|-10|20|",
     [](void* r) {
       FavoriteResult* e = As<FavoriteResult>(r);
       PutText(e->name, "Work");
       PutText(e->address, "Dock Rd");
       e->x = -10;
       e->y = 20;
     }},
    {"MakePoiVisibleV01", [](NavigatorLink* l, INT* s, void*) { return MakePoiVisibleV01(l, s, 11, 0); },
     "MakePoiVisibleV01|11|0|", 1, 0, nullptr, nullptr},
    {"AddPoiV01",
     [](NavigatorLink* l, INT* s, void*) {
       return AddPoiV01(l, s, "Roadwatchcameras", 512345, -12345, "High St, Leeds !01abc!", "");
     },
     "AddPoiV01|Roadwatchcameras|512345|-12345|High St, Leeds !01abc!||", 1, 0, nullptr, nullptr},
    {"DeleteClosestPoiV01", [](NavigatorLink* l, INT* s, void*) { return DeleteClosestPoiV01(l, s, "Fuel", 1, -1); },
     "DeleteClosestPoiV01|Fuel|1|-1|", 1, 0, nullptr, nullptr},
    {"DeleteAllPoiV01", [](NavigatorLink* l, INT* s, void*) { return DeleteAllPoiV01(l, s, "Fuel"); },
     "DeleteAllPoiV01|Fuel|", 1, 0, nullptr, nullptr},
    {"MakeUserPoiVisibleV01",
     [](NavigatorLink* l, INT* s, void*) { return MakeUserPoiVisibleV01(l, s, "Roadwatchcameras", 1); },
     "MakeUserPoiVisibleV01|Roadwatchcameras|1|", 1, 0, nullptr, nullptr},
    {"MoveClosestPoiV01", [](NavigatorLink* l, INT* s, void*) { return MoveClosestPoiV01(l, s, "Fuel", 1, 2, -3, 4); },
     "MoveClosestPoiV01|Fuel|1|2|-3|4|", 1, 0, nullptr, nullptr},
    {"BringNavigatorToForegroundV01",
     [](NavigatorLink* l, INT* s, void*) { return BringNavigatorToForegroundV01(l, s); },
     "BringNavigatorToForegroundV01|", 1, 0, nullptr, nullptr},
    {"SwitchToNavigatorViewV01", [](NavigatorLink* l, INT* s, void*) { return SwitchToNavigatorViewV01(l, s); },
     "SwitchToNavigatorViewV01|", 1, 0, nullptr, nullptr},
    {"EnableExternalGPSInputV01",
     [](NavigatorLink* l, INT* s, void* r) { return EnableExternalGPSInputV01(l, s, As<INT>(r)); },
     "EnableExternalGPSInputV01|", 2, sizeof(INT), "0|1|", [](void* r) { *As<INT>(r) = 1; }},
    {"DisableExternalGPSInputV01", [](NavigatorLink* l, INT* s, void*) { return DisableExternalGPSInputV01(l, s); },
     "DisableExternalGPSInputV01|", 1, 0, nullptr, nullptr},
};

// A record buffer poisoned before each call, so a write by a call that should write nothing shows.
struct Record {
  unsigned char bytes[512];
  Record() { Poison(); }
  void Poison() { std::memset(bytes, kPoison, sizeof bytes); }
  bool Untouched() const {
    for (unsigned char b : bytes) {
      if (b != kPoison) return false;
    }
    return true;
  }
};

// "9|1|1|...": n fields, result code 9.
std::string ReplyOfFields(int n) {
  std::string reply;
  for (int i = 0; i < n; ++i) reply += i == 0 ? "9|" : "1|";
  return reply;
}

class SdkCallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ce::null::Use(); }

  void SetUp() override {
    ASSERT_TRUE(peer.Start());
    ASSERT_TRUE(OpenNavigatorLink(&link));
  }
  void TearDown() override {
    CloseNavigatorLink(&link);
    peer.Stop();
  }

  // The one request the peer saw since the last clear, as text ("" when there was not exactly one).
  std::string OnlyRequest() {
    std::vector<scripted::RecordedRequest> seen = peer.Requests();
    peer.ClearRequests();
    return seen.size() == 1 ? seen[0].Text() : std::string();
  }

  DeviceFolder device;
  scripted::ScriptedPeer peer;
  NavigatorLink link;
};

TEST_F(SdkCallTest, EveryRequestCarriesCallNameAndArgumentsInOrder) {
  for (const CallCase& call : kCalls) {
    Record record;
    INT status = -99;
    INT result = call.invoke(&link, &status, record.bytes);
    EXPECT_EQ(result, 0) << call.name;
    EXPECT_EQ(status, 0) << call.name;
    EXPECT_EQ(OnlyRequest(), call.request) << call.name;
  }
  INT status;
  RouteCoordinatesResult route{};
  GetRouteCoordinatesV01(&link, &status, &route);
  std::free(route.points);
  EXPECT_EQ(OnlyRequest(), "GetRouteCoordinatesV01|");
}

TEST_F(SdkCallTest, RequestsNameThisClientAndProcess) {
  INT status;
  CurrentPositionResult position;
  GetCurrentPositionV01(&link, &status, &position);
  std::vector<scripted::RecordedRequest> seen = peer.Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].client, "client");
  EXPECT_EQ(seen[0].linkId, static_cast<uint32_t>(getpid()));
}

TEST_F(SdkCallTest, EachCallAcceptsOneFieldOrItsFullCountOnly) {
  int boxesBefore = ErrorBoxes();
  for (const CallCase& call : kCalls) {
    for (int n = 0; n <= call.fullCount + 2; ++n) {
      peer.SetReply(call.name, ReplyOfFields(n));
      Record record;
      INT status = -99;
      INT result = call.invoke(&link, &status, record.bytes);
      bool accepted = n == 1 || n == call.fullCount;
      EXPECT_EQ(result, accepted ? 0 : -2) << call.name << " with " << n << " fields";
      EXPECT_EQ(status, accepted ? 9 : -2) << call.name << " with " << n << " fields";
      bool filled = n == call.fullCount && call.recordSize > 0;
      EXPECT_EQ(!record.Untouched(), filled) << call.name << " with " << n << " fields";
    }
  }
  // Only the zero-field replies bring up the error box, once each.
  EXPECT_EQ(ErrorBoxes() - boxesBefore, static_cast<int>(sizeof kCalls / sizeof kCalls[0]));
}

TEST_F(SdkCallTest, FullReplyFillsExactlyTheRecordMembers) {
  for (const CallCase& call : kCalls) {
    if (call.recordSize == 0) continue;
    // The members are written whatever result code the navigator gives.
    for (const char* code : {"0", "4"}) {
      std::string reply = std::string(code) + std::string(call.fullReply).substr(1);
      peer.SetReply(call.name, reply);
      Record record, expected;
      call.expect(expected.bytes);
      INT status = -99;
      EXPECT_EQ(call.invoke(&link, &status, record.bytes), 0) << call.name;
      EXPECT_EQ(status, std::atoi(code)) << call.name;
      EXPECT_EQ(std::memcmp(record.bytes, expected.bytes, sizeof record.bytes), 0)
          << call.name << " answered " << reply;
    }
  }
}

// What the navigator stand-in sends when it serves a call with nothing to report, read back by
// this client: the navigator's code in status for every call, never a transport error.
TEST_F(SdkCallTest, NavigatorsNothingToReportReadsAsItsCode) {
  int boxesBefore = ErrorBoxes();
  for (INT code : {0, 2, 3}) {
    std::set<std::string> covered;
    for (const CallCase& call : kCalls) {
      int index = FindSdkCall(call.name);
      ASSERT_GE(index, 0) << call.name;
      std::string reply;
      for (const std::string& field : nav::Navigator::EmptyReply(index, code)) reply += field + "|";
      peer.SetReply(call.name, reply);
      Record record;
      INT status = -99;
      EXPECT_EQ(call.invoke(&link, &status, record.bytes), 0) << call.name << " answered " << reply;
      EXPECT_EQ(status, code) << call.name << " answered " << reply;
      // A call with a record gets it whole: zeros and empty texts, nothing left poisoned in
      // its integers.
      EXPECT_EQ(!record.Untouched(), call.recordSize > 0) << call.name << " answered " << reply;
      covered.insert(call.name);
    }
    std::string reply;
    for (const std::string& field : nav::Navigator::EmptyReply(kGetRouteCoordinatesCall, code)) reply += field + "|";
    peer.SetReply("GetRouteCoordinatesV01", reply);
    RouteCoordinatesResult route{7, nullptr};
    INT status = -99;
    EXPECT_EQ(GetRouteCoordinatesV01(&link, &status, &route), 0) << reply;
    EXPECT_EQ(status, code) << reply;
    EXPECT_EQ(route.count, code == 0 ? 0 : -1) << "a route of zero points, answered " << reply;
    EXPECT_EQ(route.points, nullptr);
    covered.insert("GetRouteCoordinatesV01");
    for (const SdkWireCall& call : kSdkWireCalls) EXPECT_TRUE(covered.count(call.name)) << call.name;
  }
  EXPECT_EQ(ErrorBoxes(), boxesBefore);
}

TEST_F(SdkCallTest, ReplyExamples) {
  struct Example {
    const char* reply;
    INT status;
    INT result;
    bool filled;
  } examples[] = {
      {"0|", 0, 0, false},                 // result code alone: record as it was
      {"7|", 7, 0, false},                 // the navigator's own code passes through
      {"0|1|100|", -2, -2, false},         // three fields: neither 1 nor 6
      {"0|1|100|200|90|50|", 0, 0, true},  // the full count
      {"0|1|100|200|90|50|6|", -2, -2, false},
      {"0|12", 0, 0, false},  // a last field without its separator is no field
  };
  for (const Example& example : examples) {
    peer.SetReply("GetCurrentPositionV01", example.reply);
    CurrentPositionResult position = {-7, -7, -7, -7, -7};
    INT status = -99;
    EXPECT_EQ(GetCurrentPositionV01(&link, &status, &position), example.result) << example.reply;
    EXPECT_EQ(status, example.status) << example.reply;
    if (example.filled) {
      EXPECT_EQ(position.fix, 1);
      EXPECT_EQ(position.x, 100);
      EXPECT_EQ(position.y, 200);
      EXPECT_EQ(position.heading, 90);
      EXPECT_EQ(position.speed, 50);
    } else {
      EXPECT_EQ(position.fix, -7) << example.reply;
      EXPECT_EQ(position.speed, -7) << example.reply;
    }
  }

  // The count GetLocationInfoV01 uses is refused by GetLocationInfoExV01.
  peer.SetReply("GetLocationInfoExV01", "0|1|2|3|Main Street|12|5|");
  LocationInfoExResult location;
  INT status;
  EXPECT_EQ(GetLocationInfoExV01(&link, &status, &location, 1, 2), -2);
  EXPECT_EQ(status, -2);

  // A map folder is only taken from a full reply.
  peer.SetReply("GetDataSetInfoV01", "3|");
  DataSetInfoResult dataSet;
  std::snprintf(dataSet.currentMapFolder, sizeof dataSet.currentMapFolder, "%s", "\\Before\\");
  EXPECT_EQ(GetDataSetInfoV01(&link, &status, &dataSet), 0);
  EXPECT_EQ(status, 3);
  EXPECT_STREQ(dataSet.currentMapFolder, "\\Before\\");
}

TEST_F(SdkCallTest, TextResultsAreCutToTheirMember) {
  struct Case {
    size_t length;
    size_t kept;
  } cases[] = {{0, 0}, {127, 127}, {128, 127}, {600, 127}};
  for (const Case& c : cases) {
    std::string folder(c.length, 'm');
    peer.SetReply("GetDataSetInfoV01", "0|" + std::string(300, 'n') + "|" + folder + "|5|6|");
    DataSetInfoResult dataSet;
    std::memset(&dataSet, kPoison, sizeof dataSet);
    INT status;
    ASSERT_EQ(GetDataSetInfoV01(&link, &status, &dataSet), 0);
    EXPECT_EQ(std::strlen(dataSet.dataSetName), 127u);
    EXPECT_EQ(std::strlen(dataSet.currentMapFolder), c.kept) << "folder of " << c.length;
    EXPECT_EQ(std::string(dataSet.currentMapFolder), folder.substr(0, c.kept));
    // The members after the texts still get their own fields.
    EXPECT_EQ(dataSet.categoryCount, 5) << "folder of " << c.length;
    EXPECT_EQ(dataSet.streetCount, 6) << "folder of " << c.length;
  }
  peer.SetReply("GetUniqueDeviceIdV01", "0|" + std::string(40, '7') + "|3|");
  UniqueDeviceIdResult id;
  INT status;
  ASSERT_EQ(GetUniqueDeviceIdV01(&link, &status, &id), 0);
  EXPECT_EQ(std::string(id.deviceId), std::string(31, '7'));
  EXPECT_EQ(id.deviceIdKind, 3);
}

TEST_F(SdkCallTest, RouteCoordinatesNeverClaimMorePairsThanTheReplyHolds) {
  struct Case {
    const char* reply;
    INT status;
    std::vector<RouteCoordinate> points;  // expected list; count -1 when `listed` is false
    bool listed;
  } cases[] = {
      {"0|5|10|20|30|", 0, {{10, 20}}, true},  // the unpaired last field is ignored
      {"0|2|1|2|3|4|", 0, {{1, 2}, {3, 4}}, true},
      {"0|1|1|2|3|4|", 0, {{1, 2}}, true},  // fewer claimed than held
      {"0|0|", 0, {}, true},
      {"0|-3|1|2|", 0, {}, true},  // a negative count lists nothing
      {"0|-2147483648|1|2|", 0, {}, true},
      {"0|2147483647|-1|-2|", 0, {{-1, -2}}, true},  // a huge count is cut to the reply
      {"3|2|1|1|", 3, {}, false},                    // the navigator's error: no list
      {"0|", -2, {}, false},                         // too short to hold a count
      {"", -2, {}, false},
  };
  for (const Case& c : cases) {
    peer.SetReply("GetRouteCoordinatesV01", c.reply);
    RouteCoordinate stale = {0, 0};
    RouteCoordinatesResult route = {42, &stale};
    INT status = -99;
    EXPECT_EQ(GetRouteCoordinatesV01(&link, &status, &route), 0) << c.reply;
    EXPECT_EQ(status, c.status) << c.reply;
    if (!c.listed) {
      EXPECT_EQ(route.count, -1) << c.reply;
      EXPECT_EQ(route.points, nullptr) << c.reply;
      continue;
    }
    ASSERT_EQ(route.count, static_cast<INT>(c.points.size())) << c.reply;
    if (c.points.empty()) {
      EXPECT_EQ(route.points, nullptr) << c.reply;
    }
    for (size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_EQ(route.points[i].x, c.points[i].x) << c.reply << " pair " << i;
      EXPECT_EQ(route.points[i].y, c.points[i].y) << c.reply << " pair " << i;
    }
    std::free(route.points);
  }
}

TEST_F(SdkCallTest, ExternalGpsResultOnlyFromTwoFields) {
  struct Case {
    const char* reply;
    INT status;
    INT returned;
    INT value;
  } cases[] = {{"0|1|", 0, 0, 1}, {"5|0|", 5, 0, 0}, {"0|", 0, 0, -7}, {"0|1|2|", -2, -2, -7}};
  for (const Case& c : cases) {
    peer.SetReply("EnableExternalGPSInputV01", c.reply);
    INT value = -7;
    INT status = -99;
    EXPECT_EQ(EnableExternalGPSInputV01(&link, &status, &value), c.returned) << c.reply;
    EXPECT_EQ(status, c.status) << c.reply;
    EXPECT_EQ(value, c.value) << c.reply;
  }
}

TEST_F(SdkCallTest, SequenceNumbersRestartWithEveryLink) {
  INT status;
  BringNavigatorToForegroundV01(&link, &status);
  FlashMessageV01(&link, &status, "x", 1500);
  NavigatorLink second;
  ASSERT_TRUE(OpenNavigatorLink(&second));
  SwitchToNavigatorViewV01(&second, &status);
  std::vector<scripted::RecordedRequest> seen = peer.Requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].sequence, 1u);
  EXPECT_EQ(seen[1].sequence, 2u);
  EXPECT_EQ(seen[2].sequence, 1u);
  // Every reply was taken away once read.
  EXPECT_EQ(device.CallsFolder(), std::vector<std::string>{});
}

TEST_F(SdkCallTest, TextWithSeparatorTravelsUnchanged) {
  INT status;
  EXPECT_EQ(FlashMessageV01(&link, &status, "a|b", 1500), 0);
  std::vector<scripted::RecordedRequest> seen = peer.Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].fields, (std::vector<std::string>{"FlashMessageV01", "a", "b", "1500"}));
}

TEST_F(SdkCallTest, LinkWithoutChannelSendsNothingAndStartsNothing) {
  NavigatorLink empty;  // as after a failed channel creation
  peer.DestroyNavigatorWindow();
  device.Put("Program Files/Navigator/TomTom Navigator.exe", "not a program");
  navigatorPath[0] = 0;
  for (const CallCase& call : kCalls) {
    Record record;
    INT status = -99;
    EXPECT_EQ(call.invoke(&empty, &status, record.bytes), -1) << call.name;
    EXPECT_EQ(status, -1) << call.name;
    EXPECT_TRUE(record.Untouched()) << call.name;
  }
  RouteCoordinatesResult route = {42, nullptr};
  INT status = -99;
  EXPECT_EQ(GetRouteCoordinatesV01(&empty, &status, &route), -1);
  EXPECT_EQ(status, -1);
  EXPECT_EQ(route.count, 42);
  EXPECT_EQ(navigatorPath[0], 0) << "a link without a channel must not look for the navigator";
  EXPECT_TRUE(peer.Requests().empty());
  EXPECT_EQ(device.CallsFolder(), std::vector<std::string>{});
}

TEST_F(SdkCallTest, NavigatorMissingAndNotStartable) {
  peer.DestroyNavigatorWindow();  // the peer still serves: any request sent would be answered
  for (const CallCase& call : kCalls) {
    Record record;
    INT status = -99;
    INT result = call.invoke(&link, &status, record.bytes);
    bool isStop = std::strcmp(call.name, "StopApplicationV01") == 0;
    EXPECT_EQ(result, isStop ? 0 : -1) << call.name;
    EXPECT_EQ(status, -5) << call.name;
    EXPECT_TRUE(record.Untouched()) << call.name;
  }
  RouteCoordinatesResult route = {42, nullptr};
  INT status = -99;
  EXPECT_EQ(GetRouteCoordinatesV01(&link, &status, &route), -2);
  EXPECT_EQ(status, -5);
  EXPECT_EQ(route.count, 42);
  EXPECT_TRUE(peer.Requests().empty());
  EXPECT_EQ(device.CallsFolder(), std::vector<std::string>{});
}

TEST_F(SdkCallTest, StopApplicationNeverLooksForTheNavigator) {
  peer.DestroyNavigatorWindow();
  device.Put("TomTom Navigator.exe", "not a program");
  navigatorPath[0] = 0;
  INT status = -99;
  EXPECT_EQ(StopApplicationV01(&link, &status), 0);
  EXPECT_EQ(status, -5);
  EXPECT_EQ(navigatorPath[0], 0);
  // Any other call does search, finds the candidate and fails to start it.
  EXPECT_EQ(SwitchToNavigatorViewV01(&link, &status), -1);
  EXPECT_EQ(status, -5);
  EXPECT_EQ(std::u16string(navigatorPath), u"\\TomTom Navigator.exe");
  EXPECT_TRUE(peer.Requests().empty());
}

}  // namespace
