// The camera record: the ';'-padded Base64, the data text, the two kinds of description, the
// place text cut, the device identifier and the text conversions.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/camera_record.h"
#include "ce/device.h"
#include "tests/app/app_fixture.h"
#include "tests/app/decode.h"

namespace {

using apptest::AppTest;

std::string Encode(const std::string& text, size_t outSize = kEncodedSize) {
  std::string out(outSize, '\xB0');  // poisoned: a call that writes nothing is caught
  EncodeBase64Text(text.c_str(), out.data(), outSize);
  size_t end = out.find('\0');
  if (end == std::string::npos) return "<not terminated>";
  return out.substr(0, end);
}

TEST(EncodeBase64Text, PadsWithSemicolonsToAMultipleOfThree) {
  struct Case {
    const char* input;
    const char* expect;
  } cases[] = {
      {"", ""},
      {"12", "MTI7"},         // "12;"
      {"1", "MTs7"},          // "1;;": length 3n+1 gets two
      {"123", "MTIz"},        // 3n: no padding
      {"1234", "MTIzNDs7"},   // "1234;;"
      {"12345", "MTIzNDU7"},  // "12345;": 3n+2 gets one
      {"90;50;No Device ID;N;20051121 083000;1;4;0",
       "OTA7NTA7Tm8gRGV2aWNlIElEO047MjAwNTExMjEgMDgzMDAwOzE7NDsw"},  // 42: no padding
      {"~~~???", "fn5+Pz8/"},                                        // the last two letters of the alphabet
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Encode(c.input), c.expect) << "input \"" << c.input << "\"";
  }
}

TEST(EncodeBase64Text, DecodesBackToTheTextAndItsPadding) {
  std::string text;
  for (int length = 0; length <= 255; ++length) {
    std::string encoded = Encode(text);
    size_t padded = (text.size() + 2) / 3 * 3;
    ASSERT_EQ(encoded.size(), padded / 3 * 4) << "length " << length;
    std::string decoded;
    ASSERT_TRUE(apptest::DecodeBase64(encoded, &decoded)) << encoded;
    EXPECT_EQ(decoded, text + std::string(padded - text.size(), ';')) << "length " << length;
    text.push_back(static_cast<char>(' ' + (length * 7) % 95));
  }
}

TEST(EncodeBase64Text, StaysInsideItsBuffers) {
  // Longer than the work text: only the first 255 bytes are encoded, 340 characters.
  std::string longText(400, '7');
  EXPECT_EQ(Encode(longText), Encode(longText.substr(0, 255)));
  EXPECT_EQ(Encode(longText).size(), 340u);
  // A small output holds whole groups only, always terminated.
  EXPECT_EQ(Encode("123456", 6), "MTIz");
  EXPECT_EQ(Encode("123456", 4), "");
  EXPECT_EQ(Encode("123456", 9), "MTIzNDU2");
  char untouched = 'x';
  EncodeBase64Text("12", &untouched, 0);
  EXPECT_EQ(untouched, 'x') << "a zero-size output must not be written";
}

TEST(CameraRecord, DataTextHasTheItemsInOrder) {
  struct Case {
    CameraData data;
    const char* expect;
  } cases[] = {
      {{90, 50, u"00A1B2C3", u"20051121", u"083000", 1, 4, 0}, "90;50;00A1B2C3;N;20051121 083000;1;4;0"},
      {{-1, 0, u"No Device ID", u"20240229", u"235959", 7, 0, 2}, "-1;0;No Device ID;N;20240229 235959;7;0;2"},
      {{359, 130, u"", u"19991231", u"000000", 0, 0, 0}, "359;130;;N;19991231 000000;0;0;0"},
  };
  for (const Case& c : cases) {
    char out[kDataTextSize];
    std::memset(out, 0xB0, sizeof out);
    BuildCameraDataText(c.data, out, sizeof out);
    EXPECT_STREQ(out, c.expect);
  }
}

TEST(CameraRecord, DescriptionsAndPlaceText) {
  struct PlaceCase {
    const char* place;
    const char* expect;
  } places[] = {
      {"Town (North)", "Town"}, {"Town", "Town"}, {"Town(North)", "Town(North)"},
      {"A (B) (C)", "A"},       {"", ""},         {" (North)", ""},
  };
  for (const PlaceCase& c : places) {
    char out[128];
    std::memset(out, 0xB0, sizeof out);
    CutPlaceText(c.place, out, sizeof out);
    EXPECT_STREQ(out, c.expect) << "place \"" << c.place << "\"";
  }

  char description[kDescriptionSize];
  char place[128];
  CutPlaceText("Town (North)", place, sizeof place);
  BuildCustomDescription(12, "Main Road", place, description, sizeof description);
  EXPECT_STREQ(description, "12 Main Road, Town");
  BuildCustomDescription(0, "", "", description, sizeof description);
  EXPECT_STREQ(description, "0 , ");

  BuildCameraDescription("Main Road", "Town", "12", description, sizeof description);
  EXPECT_STREQ(description, "Main Road, Town !01MTI7!");
}

TEST(CameraRecord, LongestDescriptionIsWhole) {
  const std::string street(127, 'S');
  const std::string place(127, 'P');
  const std::string data(255, '9');
  char description[kDescriptionSize];
  BuildCameraDescription(street.c_str(), place.c_str(), data.c_str(), description, sizeof description);
  apptest::CameraDescription parsed;
  ASSERT_TRUE(apptest::ParseCameraDescription(description, &parsed)) << description;
  EXPECT_EQ(parsed.address, street + ", " + place);
  EXPECT_EQ(parsed.marker, "01");
  EXPECT_EQ(parsed.data, data);
}

TEST(CameraRecord, ConversionsNeverPassTheirBuffer) {
  char narrow[8];
  std::memset(narrow, 0xB0, sizeof narrow);
  WideToNarrow(u"Gatso 50 mph", narrow, sizeof narrow);
  EXPECT_STREQ(narrow, "Gatso 5") << "cut to the buffer, terminated";
  WideToNarrow(u"\u00e9\u00e9\u00e9\u00e9", narrow, 6);  // two bytes each: two fit, not half a third
  EXPECT_STREQ(narrow, "\xc3\xa9\xc3\xa9");

  WCHAR wide[6];
  NarrowToWide("Roadwatchcameras", wide, 6);
  EXPECT_EQ(std::u16string(wide), u"Roadw");
  NarrowToWide("\\TomTom\\", wide, 6);
  EXPECT_EQ(std::u16string(wide), u"\\TomT");
  NarrowToWide("ab", wide, 6);
  EXPECT_EQ(std::u16string(wide), u"ab");

  // Room for the terminator alone: an empty text, and nothing written after it.
  char guard[8];
  std::memset(guard, 'x', sizeof guard);
  WideToNarrow(u"abc", guard, 1);
  EXPECT_EQ(std::string(guard, sizeof guard), std::string("\0xxxxxxx", 8));
  WCHAR wideGuard[8];
  for (WCHAR& ch : wideGuard) ch = u'x';
  NarrowToWide("abc", wideGuard, 1);
  EXPECT_EQ(std::u16string(wideGuard, 8), std::u16string(u"\0xxxxxxx", 8));
}

// ReadDeviceId reads the device's profile, so these run on a device folder of their own.
class DeviceIdTest : public AppTest {};

TEST_F(DeviceIdTest, IdentifierAsUpperCaseHexOrNoDeviceId) {
  struct Case {
    const char* ini;  // deviceid= value
    const char16_t* expect;
  } cases[] = {
      {"00A1B2C3", u"00A1B2C3"},
      {"0a0b", u"0A0B"},
      {"FF", u"FF"},
      {"", u"No Device ID"},  // the platform has none: the call fails
  };
  for (const Case& c : cases) {
    SetDevice(240, 320, c.ini);
    WCHAR id[kDeviceIdSize];
    for (WCHAR& ch : id) ch = u'?';
    ReadDeviceId(id, kDeviceIdSize);
    EXPECT_EQ(std::u16string(id), c.expect) << "deviceid=" << c.ini;
  }
}

TEST_F(DeviceIdTest, LongIdentifierIsCutToItsBuffer) {
  std::string hex;
  for (int i = 0; i < 40; ++i) hex += "A5";  // 80 digits for a 63-character text
  SetDevice(240, 320, hex);
  WCHAR id[kDeviceIdSize + 4];
  for (WCHAR& ch : id) ch = u'?';
  ReadDeviceId(id, kDeviceIdSize);
  std::u16string text(id);
  EXPECT_LE(text.size(), static_cast<size_t>(kDeviceIdSize - 1));
  EXPECT_GE(text.size(), 62u);
  EXPECT_EQ(text,
            std::u16string(u"A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5").substr(0, text.size()));
  EXPECT_EQ(id[kDeviceIdSize], u'?') << "written past the buffer";
}

}  // namespace
