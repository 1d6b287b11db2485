// Message text layout, growth, splitting and the integer field rules.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/transport/sdk_message.h"

namespace {

std::string Text(SdkMessage& message) { return std::string(message.Buffer()); }

std::vector<std::string> Fields(SdkMessage& message) {
  std::vector<std::string> fields;
  for (int32_t i = 0; i < message.NrReceiveFields(); ++i) fields.push_back(message.Field(i));
  return fields;
}

// Places `text` into the message as a received reply would be, then splits it.
void Receive(SdkMessage& message, const std::string& text) {
  message.Clear();
  ASSERT_LT(text.size(), static_cast<size_t>(message.BufferSize()));
  std::memcpy(message.Buffer(), text.c_str(), text.size() + 1);
  message.SplitFields();
}

TEST(SdkMessage, BuildsTheWireTextFieldByField) {
  SdkMessage message('|');
  message.AddField("GetCurrentPositionV01");
  EXPECT_EQ(Text(message), "GetCurrentPositionV01|");
  EXPECT_EQ(std::strlen(message.Buffer()), 22u);
  EXPECT_EQ(message.NrReceiveFields(), 0) << "building does not count fields";

  message.AddField("");
  message.AddField("12");
  EXPECT_EQ(Text(message), "GetCurrentPositionV01||12|");

  message.Clear();
  EXPECT_EQ(Text(message), "");
  message.AddField("a|b");  // stored unchanged: the receiver sees two fields
  EXPECT_EQ(Text(message), "a|b|");

  SdkMessage other(';');
  other.AddField("x");
  other.AddField(nullptr);
  EXPECT_EQ(Text(other), "x;;");
}

TEST(SdkMessage, SplitsReceivedText) {
  struct Case {
    const char* text;
    std::vector<std::string> fields;
  } cases[] = {
      {"0|12|abc|", {"0", "12", "abc"}}, {"0|12", {"0"}}, {"", {}}, {"abc", {}}, {"||", {"", ""}}, {"|x|", {"", "x"}},
  };
  SdkMessage message('|');
  for (const Case& c : cases) {
    Receive(message, c.text);
    EXPECT_EQ(Fields(message), c.fields) << "text '" << c.text << "'";
    EXPECT_EQ(message.HeapFieldTableSize(), 0u) << "text '" << c.text << "'";
  }
}

TEST(SdkMessage, FieldOutsideTheSplitIsEmpty) {
  SdkMessage message('|');
  EXPECT_STREQ(message.Field(0), "") << "nothing split yet";
  Receive(message, "7|tail");
  ASSERT_EQ(message.NrReceiveFields(), 1);
  EXPECT_STREQ(message.Field(0), "7");
  EXPECT_STREQ(message.Field(1), "") << "bytes after the last separator are not a field";
  EXPECT_STREQ(message.Field(-1), "");
  EXPECT_STREQ(message.Field(INT32_MAX), "");
  message.Clear();
  EXPECT_EQ(message.NrReceiveFields(), 0);
  EXPECT_STREQ(message.Field(0), "");
}

TEST(SdkMessage, ThirtyFieldsUseTheInlineTableAndMoreAHeapTable) {
  SdkMessage message('|');
  for (int count : {30, 31, 200, 3}) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "f" + std::to_string(i) + "|";
    message.Clear();
    for (int i = 0; i < count; ++i) message.AddField(("f" + std::to_string(i)).c_str());
    message.SplitFields();
    ASSERT_EQ(message.NrReceiveFields(), count);
    const uint32_t expectedTable = count >= 31 ? (count + 1) * sizeof(char*) : 0;
    EXPECT_EQ(message.HeapFieldTableSize(), expectedTable) << count << " fields";
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(std::string(message.Field(i)), "f" + std::to_string(i)) << count << " fields";
    }
  }
  // A later small split in the same message reads the inline table again.
  Receive(message, "a|b|");
  EXPECT_EQ(Fields(message), (std::vector<std::string>{"a", "b"}));
}

TEST(SdkMessage, RefusesATextOfMoreFieldsThanTheLongestRouteReply) {
  // A route of 2000 pairs is 4002 fields; the bound is 4096. Beyond it the text is malformed.
  struct Case {
    std::string text;
    int32_t fields;
    bool failed;
  };
  const std::string route = "0|2000|" + [] {
    std::string pairs;
    for (int i = 0; i < 2000; ++i) pairs += std::to_string(i) + "|-" + std::to_string(i) + "|";
    return pairs;
  }();
  const Case cases[] = {
      {route, 4002, false},
      {std::string(SdkMessage::kMaxFields, '|'), SdkMessage::kMaxFields, false},
      {std::string(SdkMessage::kMaxFields + 1, '|'), 0, true},
      {std::string(1 << 20, '|'), 0, true},
      {"x" + std::string(SdkMessage::kMaxFields + 1, '|') + "tail", 0, true},
  };
  for (const Case& c : cases) {
    SdkMessage message('|');
    ASSERT_EQ(message.Reserve(static_cast<int32_t>(c.text.size() + 1)), 1);
    std::memcpy(message.Buffer(), c.text.c_str(), c.text.size() + 1);
    message.SplitFields();
    EXPECT_EQ(message.NrReceiveFields(), c.fields) << c.text.size() << " bytes";
    EXPECT_EQ(message.HasFailed(), c.failed) << c.text.size() << " bytes";
    EXPECT_LE(message.HeapFieldTableSize(), (SdkMessage::kMaxFields + 1) * sizeof(char*));
  }
}

TEST(SdkMessage, AddFieldAppendsAfterATextWrittenIntoTheBuffer) {
  // AddField keeps the text's length; a text placed through Buffer() or split in between must
  // still be appended to at its real end.
  SdkMessage message('|');
  message.AddField("first");
  std::memcpy(message.Buffer(), "ab|", 4);
  message.AddField("c");
  EXPECT_EQ(Text(message), "ab|c|");
  message.SplitFields();
  message.AddField("d");
  EXPECT_EQ(Text(message), "abd|");  // the split ended the text at its first separator
  message.Clear();
  for (int i = 0; i < 3000; ++i) message.AddField("7");
  EXPECT_EQ(Text(message).size(), 6000u);
  EXPECT_EQ(Text(message).substr(0, 6), "7|7|7|");
}

TEST(SdkMessage, GrowsOnlyWhenTheTextAndItsNulNoLongerFit) {
  struct Case {
    size_t firstField;  // field lengths, each followed by a separator
    size_t secondField;
    int32_t capacity;  // heap capacity after both (0: inline)
  } cases[] = {
      {1022, 0, 0},                         // 1023 bytes + NUL fill the inline buffer exactly
      {511, 510, 0},                        // the same reached in two steps
      {1023, 0, 2048},                      // one byte more moves to the heap
      {1022, 1, 2048},    {2046, 0, 2048},  // 2047 bytes + NUL fill 2048 exactly
      {2047, 0, 3072},                      // a text of 2048 bytes grows by one step
      {1500, 1500, 3072},                   // the second field crosses into the next step
      {4999, 0, 5120},                      // one field longer than a step is stored whole
  };
  for (const Case& c : cases) {
    SdkMessage message('|');
    const std::string first(c.firstField, 'a');
    const std::string second(c.secondField, 'b');
    message.AddField(first.c_str());
    if (c.secondField) message.AddField(second.c_str());
    EXPECT_EQ(message.HeapCapacity(), c.capacity)
        << "fields of " << c.firstField << " and " << c.secondField << " bytes";
    std::string expected = first + "|";
    if (c.secondField) expected += second + "|";
    EXPECT_EQ(Text(message), expected) << "fields of " << c.firstField << " and " << c.secondField;
    EXPECT_EQ(message.BufferSize(), c.capacity ? c.capacity : SdkMessage::kInlineSize);
    EXPECT_FALSE(message.HasFailed());
  }
}

TEST(SdkMessage, FiveThousandByteFieldIsStoredWholeAndSplitsBack) {
  SdkMessage message('|');
  std::string big(5000, 'z');
  big[0] = 'A';
  big[4999] = 'Z';
  message.AddField(big.c_str());
  message.AddField("end");
  EXPECT_EQ(Text(message), big + "|end|");
  message.SplitFields();
  ASSERT_EQ(message.NrReceiveFields(), 2);
  EXPECT_EQ(std::string(message.Field(0)), big);
  EXPECT_STREQ(message.Field(1), "end");
}

TEST(SdkMessage, ReserveGivesAnEmptyHeapBufferAndClearReleasesIt) {
  SdkMessage message('|');
  message.AddField("old");
  message.SplitFields();
  ASSERT_EQ(message.Reserve(5000), 1);
  EXPECT_EQ(message.HeapCapacity(), 5000);
  EXPECT_EQ(message.BufferSize(), 5000);
  EXPECT_EQ(Text(message), "") << "Reserve starts from an empty text";
  EXPECT_EQ(message.NrReceiveFields(), 0);

  // A received text fills the reserved region; fields point into it.
  std::string reply = "0|" + std::string(4000, 'r') + "|";
  std::memcpy(message.Buffer(), reply.c_str(), reply.size() + 1);
  message.SplitFields();
  ASSERT_EQ(message.NrReceiveFields(), 2);
  EXPECT_EQ(std::strlen(message.Field(1)), 4000u);

  // Building on top of a reserved buffer keeps growing from its capacity.
  message.Clear();
  EXPECT_EQ(message.Reserve(8), 1);
  message.AddField("abcdef");  // 8 bytes with separator and NUL: fits exactly
  EXPECT_EQ(message.HeapCapacity(), 8);
  message.AddField("g");
  EXPECT_EQ(message.HeapCapacity(), 8 + SdkMessage::kGrowStep);
  EXPECT_EQ(Text(message), "abcdef|g|");

  EXPECT_EQ(message.Reserve(0), 0);
  EXPECT_EQ(message.BufferSize(), SdkMessage::kInlineSize) << "a refused Reserve leaves the inline buffer";
  message.Clear();
  EXPECT_EQ(message.HeapCapacity(), 0);
}

TEST(IntToField, WritesPlainSignedDecimal) {
  struct Case {
    int32_t value;
    const char* text;
  } cases[] = {{-5, "-5"}, {0, "0"}, {42, "42"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"}};
  for (const Case& c : cases) {
    char text[kIntFieldSize];
    std::memset(text, 'x', sizeof(text));
    EXPECT_STREQ(IntToField(c.value, text), c.text) << "value " << c.value;
  }
  char small[3];
  std::memset(small, 'x', sizeof(small));
  EXPECT_STREQ(IntToField(123, small, sizeof(small)), "") << "no cut number in a small buffer";
  EXPECT_STREQ(IntToField(12, small, sizeof(small)), "12");
}

TEST(FieldToInt, ReadsSignedDecimalAndWrapsInThirtyTwoBits) {
  struct Case {
    const char* field;
    int32_t value;
  } cases[] = {
      {"  -42", -42},
      {"+7", 7},
      {"", 0},
      {"x1", 0},
      {"12abc", 12},
      {"\t 3", 3},
      {"-", 0},
      {"+-1", 0},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MIN},
      {"4294967296", 0},
      {"4294967297", 1},
      {"-4294967295", 1},
      {"99999999999999999999", 1661992959},
      {"007", 7},
      {"1 2", 1},
      {"\n5", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldToInt(c.field), c.value) << "field '" << c.field << "'";
  }
  EXPECT_EQ(FieldToInt(nullptr), 0);
}

TEST(FieldToInt, ReadsBackEveryIntToField) {
  const int32_t values[] = {0, 1, -1, 9, 10, -10, 65535, 123456789, -987654321, INT32_MAX, INT32_MIN};
  for (int32_t value : values) {
    char text[kIntFieldSize];
    EXPECT_EQ(FieldToInt(IntToField(value, text)), value);
  }
}

}  // namespace
