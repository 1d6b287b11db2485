// The 34 SDK calls as they travel: each call's name, its arguments after the name, and the
// fields of a full reply after the result code with the widths of their texts. The client
// builds its requests and reads its replies from this table; the navigator stand-in checks
// requests and shapes its replies from it, so the two sides cannot disagree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

enum SdkFieldType : uint8_t {
  kSdkIntField,   // a signed 32-bit integer as decimal text
  kSdkTextField,  // a narrow text
};

// One reply field after the result code. `width` is the bytes a text may take on the
// receiving side, terminator included (0 for an integer).
struct SdkReplyField {
  SdkFieldType type;
  uint16_t width;
};

struct SdkWireCall {
  const char* name;
  const char* arguments;         // one letter per argument in message order: i integer, t text
  bool listReply;                // reply is a count, then that many x/y pairs (no fixed count)
  uint8_t resultCount;           // fields after the result code in a full reply
  const SdkReplyField* results;  // resultCount entries (null when none)

  // Fields of a full reply, the result code included; 2 for a list reply (code and count).
  constexpr int32_t FullCount() const { return listReply ? 2 : resultCount + 1; }
  constexpr size_t ArgumentCount() const { return std::char_traits<char>::length(arguments); }
};

// The calls in their numbering.
enum SdkCallIndex {
  kGetRouteCoordinatesCall,
  kStopApplicationCall,
  kGetApplicationVersionCall,
  kFlashMessageCall,
  kGetDataSetInfoCall,
  kGetUniqueDeviceIdCall,
  kNavigateToCoordinatesCall,
  kNavigateToFavoriteCall,
  kNavigateToAddressCall,
  kShowAddressOnMapCall,
  kShowCoordinatesOnMapCall,
  kShowRectangleOnMapCall,
  kGetLocationInfoCall,
  kGetLocationInfoExCall,
  kGetRouteInfoCall,
  kChangeSettingCall,
  kSwitchMapCall,
  kSetNavigatorPropertyCall,
  kGetCurrentPositionCall,
  kGeocodeCall,
  kGeocodeExtendedCall,
  kClearFavoriteCall,
  kSetFavoriteCall,
  kGetFavoriteCall,
  kMakePoiVisibleCall,
  kAddPoiCall,
  kDeleteClosestPoiCall,
  kDeleteAllPoiCall,
  kMakeUserPoiVisibleCall,
  kMoveClosestPoiCall,
  kBringNavigatorToForegroundCall,
  kSwitchToNavigatorViewCall,
  kEnableExternalGPSInputCall,
  kDisableExternalGPSInputCall,
  kSdkCallCount
};

namespace sdk_wire {

// Text widths, terminator included.
inline constexpr uint16_t kVersionWidth = 16;
inline constexpr uint16_t kMapNameWidth = 128;
inline constexpr uint16_t kMapFolderWidth = 128;
inline constexpr uint16_t kDeviceIdWidth = 32;
inline constexpr uint16_t kStreetWidth = 128;
inline constexpr uint16_t kPlaceWidth = 128;
inline constexpr uint16_t kFavoriteNameWidth = 64;
inline constexpr uint16_t kFavoriteAddressWidth = 128;

inline constexpr SdkReplyField I = {kSdkIntField, 0};
constexpr SdkReplyField T(uint16_t width) { return {kSdkTextField, width}; }

inline constexpr SdkReplyField kApplicationVersion[] = {T(kVersionWidth), I};
inline constexpr SdkReplyField kDataSetInfo[] = {T(kMapNameWidth), T(kMapFolderWidth), I, I};
inline constexpr SdkReplyField kUniqueDeviceId[] = {T(kDeviceIdWidth), I};
// Street point x, y, distance to it, street, house number, speed limit (the Ex call: place).
inline constexpr SdkReplyField kLocationInfo[] = {I, I, I, T(kStreetWidth), I, I};
inline constexpr SdkReplyField kLocationInfoEx[] = {I, I, I, T(kStreetWidth), I, I, T(kPlaceWidth)};
inline constexpr SdkReplyField kRouteInfo[] = {I, I, I, I, I, I, I, I, I, I, I, I, I};
inline constexpr SdkReplyField kCurrentPosition[] = {I, I, I, I, I};
// x, y, house number, street, place.
inline constexpr SdkReplyField kGeocode[] = {I, I, I, T(kStreetWidth), T(kPlaceWidth)};
inline constexpr SdkReplyField kFavorite[] = {T(kFavoriteNameWidth), T(kFavoriteAddressWidth), I, I};
inline constexpr SdkReplyField kOneInt[] = {I};

template <size_t N>
constexpr SdkWireCall Fixed(const char* name, const char* arguments, const SdkReplyField (&results)[N]) {
  return {name, arguments, false, static_cast<uint8_t>(N), results};
}
constexpr SdkWireCall Plain(const char* name, const char* arguments) { return {name, arguments, false, 0, nullptr}; }

}  // namespace sdk_wire

inline constexpr SdkWireCall kSdkWireCalls[kSdkCallCount] = {
    {"GetRouteCoordinatesV01", "", true, 0, nullptr},
    sdk_wire::Plain("StopApplicationV01", ""),
    sdk_wire::Fixed("GetApplicationVersionV01", "", sdk_wire::kApplicationVersion),
    sdk_wire::Plain("FlashMessageV01", "ti"),
    sdk_wire::Fixed("GetDataSetInfoV01", "", sdk_wire::kDataSetInfo),
    sdk_wire::Fixed("GetUniqueDeviceIdV01", "", sdk_wire::kUniqueDeviceId),
    sdk_wire::Plain("NavigateToCoordinatesV01", "iit"),
    sdk_wire::Plain("NavigateToFavoriteV01", "i"),
    sdk_wire::Plain("NavigateToAddressV01", "tttt"),
    sdk_wire::Plain("ShowAddressOnMapV01", "tttt"),
    sdk_wire::Plain("ShowCoordinatesOnMapV01", "ii"),
    sdk_wire::Plain("ShowRectangleOnMapV01", "iiii"),
    sdk_wire::Fixed("GetLocationInfoV01", "ii", sdk_wire::kLocationInfo),
    sdk_wire::Fixed("GetLocationInfoExV01", "ii", sdk_wire::kLocationInfoEx),
    sdk_wire::Fixed("GetRouteInfoV01", "", sdk_wire::kRouteInfo),
    sdk_wire::Plain("ChangeSettingV01", "i"),
    sdk_wire::Plain("SwitchMapV01", "t"),
    sdk_wire::Plain("SetNavigatorPropertyV01", "ii"),
    sdk_wire::Fixed("GetCurrentPositionV01", "", sdk_wire::kCurrentPosition),
    sdk_wire::Fixed("GeocodeV01", "ttt", sdk_wire::kGeocode),
    sdk_wire::Fixed("GeocodeExtendedV01", "tttt", sdk_wire::kGeocode),
    sdk_wire::Plain("ClearFavoriteV01", "i"),
    sdk_wire::Plain("SetFavoriteV01", "ittii"),
    sdk_wire::Fixed("GetFavoriteV01", "i", sdk_wire::kFavorite),
    sdk_wire::Plain("MakePoiVisibleV01", "ii"),
    sdk_wire::Plain("AddPoiV01", "tiitt"),
    sdk_wire::Plain("DeleteClosestPoiV01", "tii"),
    sdk_wire::Plain("DeleteAllPoiV01", "t"),
    sdk_wire::Plain("MakeUserPoiVisibleV01", "ti"),
    sdk_wire::Plain("MoveClosestPoiV01", "tiiii"),
    sdk_wire::Plain("BringNavigatorToForegroundV01", ""),
    sdk_wire::Plain("SwitchToNavigatorViewV01", ""),
    sdk_wire::Fixed("EnableExternalGPSInputV01", "", sdk_wire::kOneInt),
    sdk_wire::Plain("DisableExternalGPSInputV01", ""),
};

// The index of the call with this exact name, or -1.
int FindSdkCall(std::string_view name);
