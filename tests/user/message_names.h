// Names of the window messages the tests send and expect, for readable failures and logs.
#pragma once

#include "ce/ce.h"

namespace usertest {

// The message's name ("WM_PAINT"), or nullptr for a message the table does not know.
const char* KnownMessageName(UINT msg);

// The message's name, or "(other)".
inline const char* MessageName(UINT msg) {
  const char* name = KnownMessageName(msg);
  return name ? name : "(other)";
}

}  // namespace usertest
