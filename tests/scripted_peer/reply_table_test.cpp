// The reply file format that end-to-end tests write for the scripted navigator.
#include <gtest/gtest.h>

#include "tests/scripted_peer/scripted_peer.h"

namespace {

TEST(ReplyTable, FileLinesOverrideTheDefaults) {
  scripted::ReplyTable table;
  ASSERT_TRUE(
      table.Parse("# comment\r\n"
                  "\n"
                  "GetCurrentPositionV01 0|0|0|0|0|0|\r\n"
                  "FlashMessageV01 \n"
                  "GetRouteInfoV01 !exit\n"
                  "* 17|\n"
                  "@window-delay 250\n"));
  struct Case {
    const char* call;
    scripted::ScriptedReply::Action action;
    const char* text;
  } cases[] = {
      {"GetCurrentPositionV01", scripted::ScriptedReply::kAnswer, "0|0|0|0|0|0|"},  // CR dropped
      {"FlashMessageV01", scripted::ScriptedReply::kAnswer, ""},                    // empty reply
      {"GetRouteInfoV01", scripted::ScriptedReply::kExit, ""},
      {"GetDataSetInfoV01", scripted::ScriptedReply::kAnswer, "0|Demo|\\Maps\\Demo\\|1|0|"},  // default
      {"NoSuchCallV01", scripted::ScriptedReply::kAnswer, "17|"},                             // fallback
  };
  for (const Case& c : cases) {
    scripted::ScriptedReply reply = table.Find(c.call);
    EXPECT_EQ(reply.action, c.action) << c.call;
    EXPECT_EQ(reply.text, c.text) << c.call;
  }
  EXPECT_EQ(table.Option("window-delay", 0), 250);
  EXPECT_EQ(table.Option("missing", -1), -1);
  EXPECT_FALSE(table.Parse(" 0|\n")) << "a line without a call name";
}

TEST(ReplyTable, RecordedRequestsReadBackFromTheLog) {
  scripted::RecordedRequest request;
  request.fields = {"AddPoiV01", "Roadwatchcameras", "1", "-2", "text", ""};
  EXPECT_EQ(request.Text(), "AddPoiV01|Roadwatchcameras|1|-2|text||");

  std::string path = ::testing::TempDir() + "reply_table_test.log";
  FILE* log = std::fopen(path.c_str(), "w");
  ASSERT_NE(log, nullptr);
  std::fprintf(log, "%s\nGetCurrentPositionV01|\n", request.Text().c_str());
  std::fclose(log);
  std::vector<std::vector<std::string>> expected = {request.fields, {"GetCurrentPositionV01"}};
  EXPECT_EQ(scripted::ReadRequestLog(path), expected);
  std::remove(path.c_str());
}

}  // namespace
