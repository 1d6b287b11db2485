// The 34 SDK calls. Each is its wire description (sdk/transport/call_table.h), where its reply
// fields go in its record, and a one-line operation that hands its arguments, in wire order, to
// the shared call sequence. Only
// GetRouteCoordinatesV01 reads its reply by hand, since its length varies.
#include "sdk/sdk_calls.h"

#include <cstddef>
#include <cstdlib>

#include "sdk/call_sequence.h"
#include "sdk/transport/sdk_message.h"

namespace {

#define SDK_MEMBER(Record, member) \
  { static_cast<uint16_t>(offsetof(Record, member)), static_cast<uint16_t>(sizeof(Record::member)) }
#define SDK_ROUTE_VALUE(i) \
  { static_cast<uint16_t>(offsetof(RouteInfoResult, value) + (i) * sizeof(INT)), static_cast<uint16_t>(sizeof(INT)) }

constexpr SdkRecordMember kApplicationVersion[] = {
    SDK_MEMBER(ApplicationVersionResult, version),
    SDK_MEMBER(ApplicationVersionResult, build),
};
constexpr SdkRecordMember kDataSetInfo[] = {
    SDK_MEMBER(DataSetInfoResult, dataSetName),
    SDK_MEMBER(DataSetInfoResult, currentMapFolder),
    SDK_MEMBER(DataSetInfoResult, categoryCount),
    SDK_MEMBER(DataSetInfoResult, streetCount),
};
constexpr SdkRecordMember kUniqueDeviceId[] = {
    SDK_MEMBER(UniqueDeviceIdResult, deviceId),
    SDK_MEMBER(UniqueDeviceIdResult, deviceIdKind),
};
constexpr SdkRecordMember kLocationInfo[] = {
    SDK_MEMBER(LocationInfoResult, locationX),   SDK_MEMBER(LocationInfoResult, locationY),
    SDK_MEMBER(LocationInfoResult, distance),    SDK_MEMBER(LocationInfoResult, street),
    SDK_MEMBER(LocationInfoResult, houseNumber), SDK_MEMBER(LocationInfoResult, speedLimit),
};
constexpr SdkRecordMember kLocationInfoEx[] = {
    SDK_MEMBER(LocationInfoExResult, locationX),   SDK_MEMBER(LocationInfoExResult, locationY),
    SDK_MEMBER(LocationInfoExResult, distance),    SDK_MEMBER(LocationInfoExResult, street),
    SDK_MEMBER(LocationInfoExResult, houseNumber), SDK_MEMBER(LocationInfoExResult, speedLimit),
    SDK_MEMBER(LocationInfoExResult, place),
};
constexpr SdkRecordMember kRouteInfo[] = {
    SDK_ROUTE_VALUE(0),  SDK_ROUTE_VALUE(1),  SDK_ROUTE_VALUE(2),  SDK_ROUTE_VALUE(3), SDK_ROUTE_VALUE(4),
    SDK_ROUTE_VALUE(5),  SDK_ROUTE_VALUE(6),  SDK_ROUTE_VALUE(7),  SDK_ROUTE_VALUE(8), SDK_ROUTE_VALUE(9),
    SDK_ROUTE_VALUE(10), SDK_ROUTE_VALUE(11), SDK_ROUTE_VALUE(12),
};
constexpr SdkRecordMember kCurrentPosition[] = {
    SDK_MEMBER(CurrentPositionResult, fix),   SDK_MEMBER(CurrentPositionResult, x),
    SDK_MEMBER(CurrentPositionResult, y),     SDK_MEMBER(CurrentPositionResult, heading),
    SDK_MEMBER(CurrentPositionResult, speed),
};
constexpr SdkRecordMember kGeocode[] = {
    SDK_MEMBER(GeocodeResult, x),      SDK_MEMBER(GeocodeResult, y),     SDK_MEMBER(GeocodeResult, houseNumber),
    SDK_MEMBER(GeocodeResult, street), SDK_MEMBER(GeocodeResult, place),
};
constexpr SdkRecordMember kFavorite[] = {
    SDK_MEMBER(FavoriteResult, name),
    SDK_MEMBER(FavoriteResult, address),
    SDK_MEMBER(FavoriteResult, x),
    SDK_MEMBER(FavoriteResult, y),
};
// EnableExternalGPSInputV01's one result goes to a plain INT.
constexpr SdkRecordMember kSingleInt[] = {{0, sizeof(INT)}};

#undef SDK_MEMBER
#undef SDK_ROUTE_VALUE

// A record fits its call when it has a member for every reply field, of the field's type: an
// INT for an integer, a text member of exactly the wire width for a text.
template <size_t N>
constexpr bool Fits(SdkCallIndex call, const SdkRecordMember (&members)[N]) {
  const SdkWireCall& wire = kSdkWireCalls[call];
  if (wire.resultCount != N) return false;
  for (size_t i = 0; i < N; ++i) {
    const SdkReplyField& field = wire.results[i];
    if (field.type == kSdkIntField ? members[i].size != sizeof(INT) : members[i].size != field.width) return false;
  }
  return true;
}
static_assert(Fits(kGetApplicationVersionCall, kApplicationVersion));
static_assert(Fits(kGetDataSetInfoCall, kDataSetInfo));
static_assert(Fits(kGetUniqueDeviceIdCall, kUniqueDeviceId));
static_assert(Fits(kGetLocationInfoCall, kLocationInfo));
static_assert(Fits(kGetLocationInfoExCall, kLocationInfoEx));
static_assert(Fits(kGetRouteInfoCall, kRouteInfo));
static_assert(Fits(kGetCurrentPositionCall, kCurrentPosition));
static_assert(Fits(kGeocodeCall, kGeocode));
static_assert(Fits(kGeocodeExtendedCall, kGeocode));
static_assert(Fits(kGetFavoriteCall, kFavorite));
static_assert(Fits(kEnableExternalGPSInputCall, kSingleInt));

constexpr SdkCallShape Shape(SdkCallIndex call, const SdkRecordMember* members = nullptr) {
  return {&kSdkWireCalls[call], call == kStopApplicationCall, members};
}

}  // namespace

// Every call with a record names where its fields go; the others have the result code alone.
const SdkCallShape kSdkCalls[kSdkCallCount] = {
    Shape(kGetRouteCoordinatesCall),  // variable length, read by hand
    Shape(kStopApplicationCall),
    Shape(kGetApplicationVersionCall, kApplicationVersion),
    Shape(kFlashMessageCall),
    Shape(kGetDataSetInfoCall, kDataSetInfo),
    Shape(kGetUniqueDeviceIdCall, kUniqueDeviceId),
    Shape(kNavigateToCoordinatesCall),
    Shape(kNavigateToFavoriteCall),
    Shape(kNavigateToAddressCall),
    Shape(kShowAddressOnMapCall),
    Shape(kShowCoordinatesOnMapCall),
    Shape(kShowRectangleOnMapCall),
    Shape(kGetLocationInfoCall, kLocationInfo),
    Shape(kGetLocationInfoExCall, kLocationInfoEx),
    Shape(kGetRouteInfoCall, kRouteInfo),
    Shape(kChangeSettingCall),
    Shape(kSwitchMapCall),
    Shape(kSetNavigatorPropertyCall),
    Shape(kGetCurrentPositionCall, kCurrentPosition),
    Shape(kGeocodeCall, kGeocode),
    Shape(kGeocodeExtendedCall, kGeocode),
    Shape(kClearFavoriteCall),
    Shape(kSetFavoriteCall),
    Shape(kGetFavoriteCall, kFavorite),
    Shape(kMakePoiVisibleCall),
    Shape(kAddPoiCall),
    Shape(kDeleteClosestPoiCall),
    Shape(kDeleteAllPoiCall),
    Shape(kMakeUserPoiVisibleCall),
    Shape(kMoveClosestPoiCall),
    Shape(kBringNavigatorToForegroundCall),
    Shape(kSwitchToNavigatorViewCall),
    Shape(kEnableExternalGPSInputCall, kSingleInt),
    Shape(kDisableExternalGPSInputCall),
};

namespace {

template <size_t N>
INT Call(NavigatorLink* link, INT* status, SdkCallIndex call, void* record, const SdkArgument (&arguments)[N]) {
  return CallNavigator(link, status, kSdkCalls[call], arguments, N, record);
}

INT Call(NavigatorLink* link, INT* status, SdkCallIndex call, void* record) {
  return CallNavigator(link, status, kSdkCalls[call], nullptr, 0, record);
}

}  // namespace

INT GetRouteCoordinatesV01(NavigatorLink* link, INT* status, RouteCoordinatesResult* result) {
  INT ignored;
  if (status == nullptr) status = &ignored;
  if (link == nullptr || link->channel == nullptr) {
    *status = -1;
    return -1;
  }
  if (BeginNavigatorCall(link, status, kSdkCalls[kGetRouteCoordinatesCall]) != 0) return -2;
  ReplyTicket* ticket = SendNavigatorRequest(link, kSdkCalls[kGetRouteCoordinatesCall].wire->name, nullptr, 0);
  if (ticket == nullptr) {
    *status = -1;
    return -1;
  }
  // No stale list survives a call: count and points say "none" until a list is filled.
  if (result != nullptr) {
    result->count = -1;
    result->points = nullptr;
  }
  link->channel->ReceiveReply(ticket);
  SdkMessage* reply = link->channel->iArguments;
  int32_t n = reply != nullptr ? reply->NrReceiveFields() : 0;
  if (n <= 1) {
    *status = -2;
    return 0;
  }
  *status = FieldToInt(reply->Field(0));
  if (*status != 0 || result == nullptr) return 0;

  // The list never claims more pairs than the reply holds, nor fewer than none.
  int32_t count = FieldToInt(reply->Field(1));
  int32_t pairsInReply = (n - 2) / 2;
  if (count < 0) count = 0;
  if (count > pairsInReply) count = pairsInReply;
  if (count == 0) {
    result->count = 0;
    return 0;
  }
  RouteCoordinate* points =
      static_cast<RouteCoordinate*>(std::malloc(static_cast<size_t>(count) * sizeof(RouteCoordinate)));
  if (points == nullptr) {
    *status = -5;
    return 0;
  }
  for (int32_t i = 0; i < count; ++i) {
    points[i].x = FieldToInt(reply->Field(2 + 2 * i));
    points[i].y = FieldToInt(reply->Field(3 + 2 * i));
  }
  result->count = count;
  result->points = points;
  return 0;
}

INT StopApplicationV01(NavigatorLink* link, INT* status) { return Call(link, status, kStopApplicationCall, nullptr); }

INT GetApplicationVersionV01(NavigatorLink* link, INT* status, ApplicationVersionResult* result) {
  return Call(link, status, kGetApplicationVersionCall, result);
}

INT FlashMessageV01(NavigatorLink* link, INT* status, const char* message, INT milliseconds) {
  return Call(link, status, kFlashMessageCall, nullptr, {SdkText(message), SdkInt(milliseconds)});
}

INT GetDataSetInfoV01(NavigatorLink* link, INT* status, DataSetInfoResult* result) {
  return Call(link, status, kGetDataSetInfoCall, result);
}

INT GetUniqueDeviceIdV01(NavigatorLink* link, INT* status, UniqueDeviceIdResult* result) {
  return Call(link, status, kGetUniqueDeviceIdCall, result);
}

INT NavigateToCoordinatesV01(NavigatorLink* link, INT* status, INT x, INT y, const char* name) {
  return Call(link, status, kNavigateToCoordinatesCall, nullptr, {SdkInt(x), SdkInt(y), SdkText(name)});
}

INT NavigateToFavoriteV01(NavigatorLink* link, INT* status, INT favorite) {
  return Call(link, status, kNavigateToFavoriteCall, nullptr, {SdkInt(favorite)});
}

INT NavigateToAddressV01(NavigatorLink* link, INT* status, const char* city, const char* street,
                         const char* houseNumber, const char* postcode) {
  return Call(link, status, kNavigateToAddressCall, nullptr,
              {SdkText(city), SdkText(street), SdkText(houseNumber), SdkText(postcode)});
}

INT ShowAddressOnMapV01(NavigatorLink* link, INT* status, const char* city, const char* street, const char* houseNumber,
                        const char* postcode) {
  return Call(link, status, kShowAddressOnMapCall, nullptr,
              {SdkText(city), SdkText(street), SdkText(houseNumber), SdkText(postcode)});
}

INT ShowCoordinatesOnMapV01(NavigatorLink* link, INT* status, INT x, INT y) {
  return Call(link, status, kShowCoordinatesOnMapCall, nullptr, {SdkInt(x), SdkInt(y)});
}

INT ShowRectangleOnMapV01(NavigatorLink* link, INT* status, INT left, INT top, INT right, INT bottom) {
  return Call(link, status, kShowRectangleOnMapCall, nullptr,
              {SdkInt(left), SdkInt(top), SdkInt(right), SdkInt(bottom)});
}

INT GetLocationInfoV01(NavigatorLink* link, INT* status, LocationInfoResult* result, INT x, INT y) {
  return Call(link, status, kGetLocationInfoCall, result, {SdkInt(x), SdkInt(y)});
}

INT GetLocationInfoExV01(NavigatorLink* link, INT* status, LocationInfoExResult* result, INT x, INT y) {
  return Call(link, status, kGetLocationInfoExCall, result, {SdkInt(x), SdkInt(y)});
}

INT GetRouteInfoV01(NavigatorLink* link, INT* status, RouteInfoResult* result) {
  return Call(link, status, kGetRouteInfoCall, result);
}

INT ChangeSettingV01(NavigatorLink* link, INT* status, INT setting) {
  return Call(link, status, kChangeSettingCall, nullptr, {SdkInt(setting)});
}

INT SwitchMapV01(NavigatorLink* link, INT* status, const char* mapFolder) {
  return Call(link, status, kSwitchMapCall, nullptr, {SdkText(mapFolder)});
}

INT SetNavigatorPropertyV01(NavigatorLink* link, INT* status, INT property, INT value) {
  return Call(link, status, kSetNavigatorPropertyCall, nullptr, {SdkInt(property), SdkInt(value)});
}

INT GetCurrentPositionV01(NavigatorLink* link, INT* status, CurrentPositionResult* result) {
  return Call(link, status, kGetCurrentPositionCall, result);
}

INT GeocodeV01(NavigatorLink* link, INT* status, GeocodeResult* result, const char* city, const char* street,
               const char* houseNumber) {
  return Call(link, status, kGeocodeCall, result, {SdkText(city), SdkText(street), SdkText(houseNumber)});
}

INT GeocodeExtendedV01(NavigatorLink* link, INT* status, GeocodeResult* result, const char* city, const char* street,
                       const char* houseNumber, const char* postcode) {
  return Call(link, status, kGeocodeExtendedCall, result,
              {SdkText(city), SdkText(street), SdkText(houseNumber), SdkText(postcode)});
}

INT ClearFavoriteV01(NavigatorLink* link, INT* status, INT favorite) {
  return Call(link, status, kClearFavoriteCall, nullptr, {SdkInt(favorite)});
}

INT SetFavoriteV01(NavigatorLink* link, INT* status, INT favorite, const char* name, const char* address, INT x,
                   INT y) {
  return Call(link, status, kSetFavoriteCall, nullptr,
              {SdkInt(favorite), SdkText(name), SdkText(address), SdkInt(x), SdkInt(y)});
}

INT GetFavoriteV01(NavigatorLink* link, INT* status, FavoriteResult* result, INT favorite) {
  return Call(link, status, kGetFavoriteCall, result, {SdkInt(favorite)});
}

INT MakePoiVisibleV01(NavigatorLink* link, INT* status, INT category, INT visible) {
  return Call(link, status, kMakePoiVisibleCall, nullptr, {SdkInt(category), SdkInt(visible)});
}

INT AddPoiV01(NavigatorLink* link, INT* status, const char* category, INT x, INT y, const char* description,
              const char* extra) {
  return Call(link, status, kAddPoiCall, nullptr,
              {SdkText(category), SdkInt(x), SdkInt(y), SdkText(description), SdkText(extra)});
}

INT DeleteClosestPoiV01(NavigatorLink* link, INT* status, const char* category, INT x, INT y) {
  return Call(link, status, kDeleteClosestPoiCall, nullptr, {SdkText(category), SdkInt(x), SdkInt(y)});
}

INT DeleteAllPoiV01(NavigatorLink* link, INT* status, const char* category) {
  return Call(link, status, kDeleteAllPoiCall, nullptr, {SdkText(category)});
}

INT MakeUserPoiVisibleV01(NavigatorLink* link, INT* status, const char* category, INT visible) {
  return Call(link, status, kMakeUserPoiVisibleCall, nullptr, {SdkText(category), SdkInt(visible)});
}

INT MoveClosestPoiV01(NavigatorLink* link, INT* status, const char* category, INT fromX, INT fromY, INT toX, INT toY) {
  return Call(link, status, kMoveClosestPoiCall, nullptr,
              {SdkText(category), SdkInt(fromX), SdkInt(fromY), SdkInt(toX), SdkInt(toY)});
}

INT BringNavigatorToForegroundV01(NavigatorLink* link, INT* status) {
  return Call(link, status, kBringNavigatorToForegroundCall, nullptr);
}

INT SwitchToNavigatorViewV01(NavigatorLink* link, INT* status) {
  return Call(link, status, kSwitchToNavigatorViewCall, nullptr);
}

INT EnableExternalGPSInputV01(NavigatorLink* link, INT* status, INT* result) {
  return Call(link, status, kEnableExternalGPSInputCall, result);
}

INT DisableExternalGPSInputV01(NavigatorLink* link, INT* status) {
  return Call(link, status, kDisableExternalGPSInputCall, nullptr);
}
