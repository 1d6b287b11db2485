// The steps every SDK call shares, driven by a description of the call:
//   1. pre-call step: make sure the navigator runs (StopApplicationV01 only checks);
//   2. request: the call name, then each argument (integers as decimal text via numberText);
//   3. Send; no ticket means nothing was sent;
//   4. ReceiveReply;
//   5. accept one field, or the call's full count; anything else is -2;
//   6. status := field 0;
//   7. with the full count, fill the caller's record from fields 1 onward.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ce/ce.h"
#include "sdk/navigator_link.h"

enum SdkMemberKind : uint8_t {
  kSdkIntMember,   // FieldToInt into an int32
  kSdkTextMember,  // copied with its terminator, cut to the member's width
};

// Where one reply field goes in a result record.
struct SdkResultMember {
  SdkMemberKind kind;
  uint16_t offset;  // bytes from the start of the record
  uint16_t width;   // bytes of a text member
};

// One call as data: its name, how the pre-call step runs, and where its results go.
struct SdkCallShape {
  const char* name;
  bool checkOnly;                  // pre-call step only asks IsNavigatorRunning, never starts it
  int32_t fullCount;               // reply field count that fills the record; 1 when it has none
  const SdkResultMember* members;  // fullCount - 1 entries
};

// One request argument: a text sent unchanged, or (text null) an integer sent as decimal text.
struct SdkArgument {
  const char* text;
  int32_t number;
};
inline SdkArgument SdkInt(int32_t number) { return {nullptr, number}; }
inline SdkArgument SdkText(const char* text) { return {text != nullptr ? text : "", 0}; }

// Step 1. 0 when the call may go on; otherwise the status to report (-1 for a link without a
// channel, -5 or -1 from EnsureNavigatorRunning). Writes *status as the call's status.
INT BeginNavigatorCall(NavigatorLink* link, INT* status, const SdkCallShape& call);

// Steps 2 and 3. Null when nothing was sent (or the link has no channel).
ReplyTicket* SendNavigatorRequest(NavigatorLink* link, const char* callName,
                                  const SdkArgument* arguments, size_t count);

// Steps 4 to 7 for a call of fixed shape. `record` may be null: nothing is filled then.
INT ReadNavigatorReply(NavigatorLink* link, INT* status, ReplyTicket* ticket,
                       const SdkCallShape& call, void* record);

// All seven steps.
INT CallNavigator(NavigatorLink* link, INT* status, const SdkCallShape& call,
                  const SdkArgument* arguments, size_t count, void* record);

// The table of the 34 calls, in their numbering.
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
extern const SdkCallShape kSdkCalls[kSdkCallCount];
