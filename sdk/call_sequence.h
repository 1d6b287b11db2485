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
#include "sdk/transport/call_table.h"

// Where one reply field goes in a result record; its type and text width are the call's on the
// wire (sdk/transport/call_table.h).
struct SdkRecordMember {
  uint16_t offset;  // bytes from the start of the record
  uint16_t size;    // bytes the member takes
};

// One call as the client makes it: its wire description, how the pre-call step runs, and where
// its results go.
struct SdkCallShape {
  const SdkWireCall* wire;
  bool checkOnly;                  // pre-call step only asks IsNavigatorRunning, never starts it
  const SdkRecordMember* members;  // wire->resultCount entries; null when the call has no record
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
ReplyTicket* SendNavigatorRequest(NavigatorLink* link, const char* callName, const SdkArgument* arguments,
                                  size_t count);

// Steps 4 to 7 for a call of fixed shape. `record` may be null: nothing is filled then.
INT ReadNavigatorReply(NavigatorLink* link, INT* status, ReplyTicket* ticket, const SdkCallShape& call, void* record);

// All seven steps.
INT CallNavigator(NavigatorLink* link, INT* status, const SdkCallShape& call, const SdkArgument* arguments,
                  size_t count, void* record);

// The 34 calls, indexed by SdkCallIndex.
extern const SdkCallShape kSdkCalls[kSdkCallCount];
