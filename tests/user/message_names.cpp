#include "tests/user/message_names.h"

namespace usertest {

namespace {

struct Named {
  UINT msg;
  const char* name;
};

#define TM_NAMED(m) \
  { m, #m }
const Named kNames[] = {
    TM_NAMED(WM_CREATE),        TM_NAMED(WM_DESTROY),   TM_NAMED(WM_SIZE),    TM_NAMED(WM_ACTIVATE),
    TM_NAMED(WM_PAINT),         TM_NAMED(WM_CLOSE),     TM_NAMED(WM_QUIT),    TM_NAMED(WM_ERASEBKGND),
    TM_NAMED(WM_SHOWWINDOW),    TM_NAMED(WM_NCDESTROY), TM_NAMED(WM_KEYDOWN), TM_NAMED(WM_KEYUP),
    TM_NAMED(WM_CHAR),          TM_NAMED(WM_COMMAND),   TM_NAMED(WM_TIMER),   TM_NAMED(WM_MOUSEMOVE),
    TM_NAMED(WM_LBUTTONDOWN),   TM_NAMED(WM_LBUTTONUP), TM_NAMED(WM_USER),    {WM_USER + 1, "WM_USER+1"},
    {WM_USER + 2, "WM_USER+2"},
};
#undef TM_NAMED

}  // namespace

const char* KnownMessageName(UINT msg) {
  for (const Named& n : kNames)
    if (n.msg == msg) return n.name;
  return nullptr;
}

}  // namespace usertest
