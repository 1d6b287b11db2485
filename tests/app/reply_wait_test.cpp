// How the program's SDK channels wait for replies: change notification unless CE_SDK_POLL=1
// asks for the plain poll (benchmarks compare the two).
#include <stdlib.h>

#include <gtest/gtest.h>

#include "sdk/transport/file_channel.h"

namespace {

TEST(ReplyWait, NotificationUnlessThePlainPollIsAskedFor) {
  struct Case {
    const char* value;  // nullptr: unset
    SdkReplyWait expect;
  } cases[] = {
      {nullptr, SdkReplyWait::kNotify},
      {"1", SdkReplyWait::kPoll},
      {"0", SdkReplyWait::kNotify},
      {"", SdkReplyWait::kNotify},
  };
  for (const Case& c : cases) {
    if (c.value)
      setenv("CE_SDK_POLL", c.value, 1);
    else
      unsetenv("CE_SDK_POLL");
    FileChannel channel("client", "TomTomNavigationServer", 7, new SdkMessage('|'));
    EXPECT_EQ(channel.ReplyWait() == SdkReplyWait::kPoll, c.expect == SdkReplyWait::kPoll)
        << "CE_SDK_POLL=" << (c.value ? c.value : "(unset)");
  }
  unsetenv("CE_SDK_POLL");
}

}  // namespace
