// The 34 SDK calls. Each is a table entry (name, accepted reply, record layout) and a one-line
// operation that hands its arguments, in wire order, to the shared call sequence. Only
// GetRouteCoordinatesV01 reads its reply by hand, since its length varies.
#include "sdk/sdk_calls.h"

#include <cstddef>
#include <cstdlib>

#include "sdk/call_sequence.h"
#include "sdk/transport/sdk_message.h"

namespace {

#define SDK_INT(Record, member) \
  { kSdkIntMember, static_cast<uint16_t>(offsetof(Record, member)), 0 }
#define SDK_TEXT(Record, member)                                      \
  {                                                                   \
    kSdkTextMember, static_cast<uint16_t>(offsetof(Record, member)), \
        static_cast<uint16_t>(sizeof(Record::member))                 \
  }
#define SDK_ROUTE_VALUE(i) \
  { kSdkIntMember, static_cast<uint16_t>(offsetof(RouteInfoResult, value) + (i) * sizeof(INT)), 0 }

const SdkResultMember kApplicationVersion[] = {
    SDK_TEXT(ApplicationVersionResult, version),
    SDK_INT(ApplicationVersionResult, build),
};
const SdkResultMember kDataSetInfo[] = {
    SDK_TEXT(DataSetInfoResult, dataSetName),
    SDK_TEXT(DataSetInfoResult, currentMapFolder),
    SDK_INT(DataSetInfoResult, dataSetVersion),
    SDK_INT(DataSetInfoResult, dataSetFlags),
};
const SdkResultMember kUniqueDeviceId[] = {
    SDK_TEXT(UniqueDeviceIdResult, deviceId),
    SDK_INT(UniqueDeviceIdResult, deviceIdKind),
};
const SdkResultMember kLocationInfo[] = {
    SDK_INT(LocationInfoResult, locationX),   SDK_INT(LocationInfoResult, locationY),
    SDK_INT(LocationInfoResult, locationKind), SDK_TEXT(LocationInfoResult, street),
    SDK_INT(LocationInfoResult, houseNumber), SDK_INT(LocationInfoResult, areaCode),
};
const SdkResultMember kLocationInfoEx[] = {
    SDK_INT(LocationInfoExResult, locationX),   SDK_INT(LocationInfoExResult, locationY),
    SDK_INT(LocationInfoExResult, locationKind), SDK_TEXT(LocationInfoExResult, street),
    SDK_INT(LocationInfoExResult, houseNumber), SDK_INT(LocationInfoExResult, areaCode),
    SDK_TEXT(LocationInfoExResult, place),
};
const SdkResultMember kRouteInfo[] = {
    SDK_ROUTE_VALUE(0), SDK_ROUTE_VALUE(1), SDK_ROUTE_VALUE(2),  SDK_ROUTE_VALUE(3),
    SDK_ROUTE_VALUE(4), SDK_ROUTE_VALUE(5), SDK_ROUTE_VALUE(6),  SDK_ROUTE_VALUE(7),
    SDK_ROUTE_VALUE(8), SDK_ROUTE_VALUE(9), SDK_ROUTE_VALUE(10), SDK_ROUTE_VALUE(11),
    SDK_ROUTE_VALUE(12),
};
const SdkResultMember kCurrentPosition[] = {
    SDK_INT(CurrentPositionResult, fix),     SDK_INT(CurrentPositionResult, x),
    SDK_INT(CurrentPositionResult, y),       SDK_INT(CurrentPositionResult, heading),
    SDK_INT(CurrentPositionResult, speed),
};
const SdkResultMember kGeocode[] = {
    SDK_INT(GeocodeResult, x),         SDK_INT(GeocodeResult, y),
    SDK_INT(GeocodeResult, matchKind), SDK_TEXT(GeocodeResult, address),
    SDK_TEXT(GeocodeResult, place),
};
const SdkResultMember kFavorite[] = {
    SDK_TEXT(FavoriteResult, name),
    SDK_TEXT(FavoriteResult, address),
    SDK_INT(FavoriteResult, x),
    SDK_INT(FavoriteResult, y),
};
// EnableExternalGPSInputV01's one result goes to a plain INT.
const SdkResultMember kSingleInt[] = {{kSdkIntMember, 0, 0}};

#undef SDK_INT
#undef SDK_TEXT
#undef SDK_ROUTE_VALUE

template <size_t N>
constexpr int32_t FullCount(const SdkResultMember (&)[N]) {
  return static_cast<int32_t>(N) + 1;
}

}  // namespace

// Name, check-only pre-call step, full reply count, record layout.
const SdkCallShape kSdkCalls[kSdkCallCount] = {
    {"GetRouteCoordinatesV01", false, 0, nullptr},  // variable length, read by hand
    {"StopApplicationV01", true, 1, nullptr},
    {"GetApplicationVersionV01", false, FullCount(kApplicationVersion), kApplicationVersion},
    {"FlashMessageV01", false, 1, nullptr},
    {"GetDataSetInfoV01", false, FullCount(kDataSetInfo), kDataSetInfo},
    {"GetUniqueDeviceIdV01", false, FullCount(kUniqueDeviceId), kUniqueDeviceId},
    {"NavigateToCoordinatesV01", false, 1, nullptr},
    {"NavigateToFavoriteV01", false, 1, nullptr},
    {"NavigateToAddressV01", false, 1, nullptr},
    {"ShowAddressOnMapV01", false, 1, nullptr},
    {"ShowCoordinatesOnMapV01", false, 1, nullptr},
    {"ShowRectangleOnMapV01", false, 1, nullptr},
    {"GetLocationInfoV01", false, FullCount(kLocationInfo), kLocationInfo},
    {"GetLocationInfoExV01", false, FullCount(kLocationInfoEx), kLocationInfoEx},
    {"GetRouteInfoV01", false, FullCount(kRouteInfo), kRouteInfo},
    {"ChangeSettingV01", false, 1, nullptr},
    {"SwitchMapV01", false, 1, nullptr},
    {"SetNavigatorPropertyV01", false, 1, nullptr},
    {"GetCurrentPositionV01", false, FullCount(kCurrentPosition), kCurrentPosition},
    {"GeocodeV01", false, FullCount(kGeocode), kGeocode},
    {"GeocodeExtendedV01", false, FullCount(kGeocode), kGeocode},
    {"ClearFavoriteV01", false, 1, nullptr},
    {"SetFavoriteV01", false, 1, nullptr},
    {"GetFavoriteV01", false, FullCount(kFavorite), kFavorite},
    {"MakePoiVisibleV01", false, 1, nullptr},
    {"AddPoiV01", false, 1, nullptr},
    {"DeleteClosestPoiV01", false, 1, nullptr},
    {"DeleteAllPoiV01", false, 1, nullptr},
    {"MakeUserPoiVisibleV01", false, 1, nullptr},
    {"MoveClosestPoiV01", false, 1, nullptr},
    {"BringNavigatorToForegroundV01", false, 1, nullptr},
    {"SwitchToNavigatorViewV01", false, 1, nullptr},
    {"EnableExternalGPSInputV01", false, FullCount(kSingleInt), kSingleInt},
    {"DisableExternalGPSInputV01", false, 1, nullptr},
};

namespace {

template <size_t N>
INT Call(NavigatorLink* link, INT* status, SdkCallIndex call, void* record,
         const SdkArgument (&arguments)[N]) {
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
  ReplyTicket* ticket =
      SendNavigatorRequest(link, kSdkCalls[kGetRouteCoordinatesCall].name, nullptr, 0);
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

INT StopApplicationV01(NavigatorLink* link, INT* status) {
  return Call(link, status, kStopApplicationCall, nullptr);
}

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
  return Call(link, status, kNavigateToCoordinatesCall, nullptr,
              {SdkInt(x), SdkInt(y), SdkText(name)});
}

INT NavigateToFavoriteV01(NavigatorLink* link, INT* status, INT favorite) {
  return Call(link, status, kNavigateToFavoriteCall, nullptr, {SdkInt(favorite)});
}

INT NavigateToAddressV01(NavigatorLink* link, INT* status, const char* city, const char* street,
                         const char* houseNumber, const char* postcode) {
  return Call(link, status, kNavigateToAddressCall, nullptr,
              {SdkText(city), SdkText(street), SdkText(houseNumber), SdkText(postcode)});
}

INT ShowAddressOnMapV01(NavigatorLink* link, INT* status, const char* city, const char* street,
                        const char* houseNumber, const char* postcode) {
  return Call(link, status, kShowAddressOnMapCall, nullptr,
              {SdkText(city), SdkText(street), SdkText(houseNumber), SdkText(postcode)});
}

INT ShowCoordinatesOnMapV01(NavigatorLink* link, INT* status, INT x, INT y) {
  return Call(link, status, kShowCoordinatesOnMapCall, nullptr, {SdkInt(x), SdkInt(y)});
}

INT ShowRectangleOnMapV01(NavigatorLink* link, INT* status, INT left, INT top, INT right,
                          INT bottom) {
  return Call(link, status, kShowRectangleOnMapCall, nullptr,
              {SdkInt(left), SdkInt(top), SdkInt(right), SdkInt(bottom)});
}

INT GetLocationInfoV01(NavigatorLink* link, INT* status, LocationInfoResult* result, INT x, INT y) {
  return Call(link, status, kGetLocationInfoCall, result, {SdkInt(x), SdkInt(y)});
}

INT GetLocationInfoExV01(NavigatorLink* link, INT* status, LocationInfoExResult* result, INT x,
                         INT y) {
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

INT GeocodeV01(NavigatorLink* link, INT* status, GeocodeResult* result, const char* city,
               const char* street, const char* houseNumber) {
  return Call(link, status, kGeocodeCall, result,
              {SdkText(city), SdkText(street), SdkText(houseNumber)});
}

INT GeocodeExtendedV01(NavigatorLink* link, INT* status, GeocodeResult* result, const char* city,
                       const char* street, const char* houseNumber, const char* postcode) {
  return Call(link, status, kGeocodeExtendedCall, result,
              {SdkText(city), SdkText(street), SdkText(houseNumber), SdkText(postcode)});
}

INT ClearFavoriteV01(NavigatorLink* link, INT* status, INT favorite) {
  return Call(link, status, kClearFavoriteCall, nullptr, {SdkInt(favorite)});
}

INT SetFavoriteV01(NavigatorLink* link, INT* status, INT favorite, const char* name,
                   const char* address, INT x, INT y) {
  return Call(link, status, kSetFavoriteCall, nullptr,
              {SdkInt(favorite), SdkText(name), SdkText(address), SdkInt(x), SdkInt(y)});
}

INT GetFavoriteV01(NavigatorLink* link, INT* status, FavoriteResult* result, INT favorite) {
  return Call(link, status, kGetFavoriteCall, result, {SdkInt(favorite)});
}

INT MakePoiVisibleV01(NavigatorLink* link, INT* status, INT category, INT visible) {
  return Call(link, status, kMakePoiVisibleCall, nullptr, {SdkInt(category), SdkInt(visible)});
}

INT AddPoiV01(NavigatorLink* link, INT* status, const char* category, INT x, INT y,
              const char* description, const char* extra) {
  return Call(link, status, kAddPoiCall, nullptr,
              {SdkText(category), SdkInt(x), SdkInt(y), SdkText(description), SdkText(extra)});
}

INT DeleteClosestPoiV01(NavigatorLink* link, INT* status, const char* category, INT x, INT y) {
  return Call(link, status, kDeleteClosestPoiCall, nullptr,
              {SdkText(category), SdkInt(x), SdkInt(y)});
}

INT DeleteAllPoiV01(NavigatorLink* link, INT* status, const char* category) {
  return Call(link, status, kDeleteAllPoiCall, nullptr, {SdkText(category)});
}

INT MakeUserPoiVisibleV01(NavigatorLink* link, INT* status, const char* category, INT visible) {
  return Call(link, status, kMakeUserPoiVisibleCall, nullptr, {SdkText(category), SdkInt(visible)});
}

INT MoveClosestPoiV01(NavigatorLink* link, INT* status, const char* category, INT fromX, INT fromY,
                      INT toX, INT toY) {
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
