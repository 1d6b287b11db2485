#include "sdk/transport/call_table.h"

int FindSdkCall(std::string_view name) {
  for (int i = 0; i < kSdkCallCount; ++i)
    if (name == kSdkWireCalls[i].name) return i;
  return -1;
}
