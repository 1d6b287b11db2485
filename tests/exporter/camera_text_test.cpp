// Camera descriptions: the ';'-padded Base64, the data text and the OSM values.
#include <gtest/gtest.h>

#include "tools/exporter/camera.h"

namespace exporter {
namespace {

TEST(CameraBase64, EncodesKnownVectorsWithSemicolonPadding) {
  const struct {
    const char* text;
    const char* encoded;
  } cases[] = {
      {"12", "MTI7"},   // one ';' added
      {"1", "MTs7"},    // two ';' added
      {"foo", "Zm9v"},  // a multiple of three: no padding
      {"foobar", "Zm9vYmFy"}, {"fooba", "Zm9vYmE7"}, {"", ""}, {"\xff\xfe\xfd", "//79"},  // the top of the alphabet
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeCameraBase64(c.text), c.encoded) << "text \"" << c.text << "\"";
  }
}

TEST(CameraBase64, DecodeRoundTripKeepsThePadding) {
  for (const char* text : {"1", "12", "123", "0;0;No Device ID;N;20051121 101500;0;0;0"}) {
    std::string decoded = "poison", error;
    ASSERT_TRUE(DecodeCameraBase64(EncodeCameraBase64(text), decoded, error)) << error;
    std::string expected = text;
    while (expected.size() % 3 != 0) expected += ';';
    EXPECT_EQ(decoded, expected);
  }
}

TEST(CameraBase64, DecodeRejectsWhatTheEncoderNeverWrites) {
  const struct {
    const char* encoded;
    const char* why;  // a piece of the expected message
  } cases[] = {
      {"", "empty"},          {"MTI", "groups of 4"}, {"MTI7M", "groups of 4"},  {"MT==", "not Base64"},
      {"MT I", "not Base64"}, {"MTI-", "not Base64"}, {"MTI\xc3", "not Base64"},
  };
  for (const auto& c : cases) {
    std::string text, error;
    EXPECT_FALSE(DecodeCameraBase64(c.encoded, text, error)) << "accepted \"" << c.encoded << "\"";
    EXPECT_NE(error.find(c.why), std::string::npos) << "for \"" << c.encoded << "\" got message: " << error;
  }
}

TEST(CameraDataText, ParsesEveryItem) {
  CameraData d;
  d.heading = -1;
  d.deviceId = "poison";
  std::string error;
  ASSERT_TRUE(ParseCameraDataText("275;113;00A1B2C3;N;20240229 235958;5;7;2;", d, error)) << error;
  EXPECT_EQ(d.heading, 275);
  EXPECT_EQ(d.speedKmh, 113);
  EXPECT_EQ(d.deviceId, "00A1B2C3");
  EXPECT_EQ(d.captured, "2024-02-29T23:59:58");
  EXPECT_EQ(d.typeCode, 5);
  EXPECT_EQ(d.speedCode, 7);
  EXPECT_EQ(d.directionCode, 2);
}

TEST(CameraDataText, AcceptsPaddingEmptyAndDefaultDeviceIds) {
  const struct {
    const char* text;
    const char* deviceId;
  } cases[] = {
      {"0;0;No Device ID;N;20051121 101500;0;0;0", "No Device ID"},
      {"0;0;;N;20051121 101500;0;0;0;", ""},
      {"0;0;AB;N;20051121 101500;0;0;0;;", "AB"},
  };
  for (const auto& c : cases) {
    CameraData d;
    std::string error;
    ASSERT_TRUE(ParseCameraDataText(c.text, d, error)) << c.text << ": " << error;
    EXPECT_EQ(d.deviceId, c.deviceId) << c.text;
  }
}

TEST(CameraDataText, RejectsMalformedTextsWithAReason) {
  const struct {
    const char* text;
    const char* why;
  } cases[] = {
      {"0;0;X;N;20051121 101500;0;0", "7 items"},
      {"0;0;X;N;20051121 101500;0;0;0;;;", "9 items"},  // more than the padding can explain
      {"north;0;X;N;20051121 101500;0;0;0", "heading"},
      {"0;fast;X;N;20051121 101500;0;0;0", "speed"},
      {"0;0;X;N;20051121 101500;x;0;0", "type code"},
      {"0;0;X;N;20051121 101500;0;0;1.5", "direction code"},
      {"0;0;X;Y;20051121 101500;0;0;0", "\"N\""},
      {"0;0;X;N;20051321 101500;0;0;0", "time"},  // month 13
      {"0;0;X;N;20230229 101500;0;0;0", "time"},  // not a leap year
      {"0;0;X;N;20051121 246000;0;0;0", "time"},
      {"0;0;X;N;20051121-101500;0;0;0", "time"},
      {"0;0;X\x01;N;20051121 101500;0;0;0", "non-text"},
  };
  for (const auto& c : cases) {
    CameraData d;
    std::string error;
    EXPECT_FALSE(ParseCameraDataText(c.text, d, error)) << "accepted " << c.text;
    EXPECT_NE(error.find(c.why), std::string::npos)
        << c.text << ": expected a message about " << c.why << ", got: " << error;
  }
}

TEST(CameraDescription, TellsCamerasFromPlainPoints) {
  CameraData d;
  d.heading = 10;
  d.speedKmh = 50;
  d.deviceId = "No Device ID";
  d.captured = "2005-11-21T10:15:00";
  d.typeCode = 1;
  d.speedCode = 4;
  const std::string encoded = EncodeCameraBase64(FormatCameraDataText(d));

  const struct {
    std::string description;
    DescriptionKind kind;
    const char* street;
    const char* place;
  } cases[] = {
      {"Main Road, Town !01" + encoded + "!", DescriptionKind::Camera, "Main Road", "Town"},
      {",  !01" + encoded + "!", DescriptionKind::Camera, "", ""},  // location query failed: both texts empty
      {"High St, Stoke, Upper !01" + encoded + "!", DescriptionKind::Camera, "High St", "Stoke, Upper"},
      {"12 Main Road, Town", DescriptionKind::Plain, "", ""},
      {"Wow!", DescriptionKind::Plain, "", ""},
      {"Shout! Loud!", DescriptionKind::Plain, "", ""},
      {"", DescriptionKind::Plain, "", ""},
      {"Main Road, Town !01" + encoded.substr(1) + "!", DescriptionKind::BadCamera, "Main Road", "Town"},
      {"Main Road, Town !02" + encoded + "!", DescriptionKind::BadCamera, "Main Road", "Town"},
      {"Main Road, Town !01!", DescriptionKind::BadCamera, "Main Road", "Town"},
  };
  for (const auto& c : cases) {
    const DecodedDescription r = DecodeDescription(c.description);
    EXPECT_EQ(r.kind, c.kind) << c.description << " (" << r.error << ")";
    if (r.kind == DescriptionKind::Plain) continue;
    EXPECT_EQ(r.street, c.street) << c.description;
    EXPECT_EQ(r.place, c.place) << c.description;
    if (r.kind == DescriptionKind::BadCamera) {
      EXPECT_FALSE(r.error.empty()) << c.description;
    }
  }
  const DecodedDescription good = DecodeDescription(cases[0].description);
  EXPECT_EQ(good.camera.typeCode, 1);
  EXPECT_EQ(good.camera.speedCode, 4);
  EXPECT_EQ(good.camera.captured, d.captured);
  EXPECT_TRUE(good.error.empty()) << good.error;
}

TEST(CameraDescription, NamesCodesOutsideTheTables) {
  CameraData d;
  d.captured = "2005-11-21T10:15:00";
  d.typeCode = 8;
  d.speedCode = -1;
  d.directionCode = 3;
  const DecodedDescription r = DecodeDescription("A, B !01" + EncodeCameraBase64(FormatCameraDataText(d)) + "!");
  ASSERT_EQ(r.kind, DescriptionKind::Camera) << r.error;
  EXPECT_NE(r.error.find("type code 8"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("speed code -1"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("direction code 3"), std::string::npos) << r.error;
}

TEST(CameraCodes, NamesMatchTheButtons) {
  const char* types[] = {"Unknown type", "Gatso", "Mobile", "Temporary", "Specs", "Redlight", "Truvelo", "Remove"};
  const char* speeds[] = {"Unknown speed", "20 mph", "30 mph", "40 mph",
                          "50 mph",        "60 mph", "70 mph", "Variable speed"};
  const char* sides[] = {"This side", "Other side", "Reversible"};
  for (int i = 0; i < 8; ++i) {
    ASSERT_NE(CameraTypeName(i), nullptr);
    EXPECT_STREQ(CameraTypeName(i), types[i]);
    ASSERT_NE(SpeedLimitName(i), nullptr);
    EXPECT_STREQ(SpeedLimitName(i), speeds[i]);
  }
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(DirectionName(i), nullptr);
    EXPECT_STREQ(DirectionName(i), sides[i]);
  }
  EXPECT_EQ(CameraTypeName(8), nullptr);
  EXPECT_EQ(CameraTypeName(-1), nullptr);
  EXPECT_EQ(SpeedLimitName(8), nullptr);
  EXPECT_EQ(DirectionName(3), nullptr);
}

TEST(OsmTags, MaxspeedOnlyForPostedLimits) {
  const struct {
    int code;
    const char* expected;  // nullptr: no tag
  } cases[] = {{0, nullptr}, {1, "20 mph"}, {4, "50 mph"}, {6, "70 mph"}, {7, nullptr}, {8, nullptr}};
  for (const auto& c : cases) {
    const auto v = OsmMaxspeed(c.code);
    if (c.expected == nullptr)
      EXPECT_FALSE(v.has_value()) << "code " << c.code << " gave " << v.value_or("");
    else
      EXPECT_EQ(v.value_or("(none)"), c.expected) << "code " << c.code;
  }
}

TEST(OsmTags, DirectionFacesTheWatchedTraffic) {
  const struct {
    int heading;
    int side;
    const char* expected;
  } cases[] = {
      {90, 0, "270"},  {90, 1, "90"}, {90, 2, "270;90"}, {0, 0, "180"},      {200, 0, "20"},
      {359, 1, "359"}, {360, 1, "0"}, {-90, 0, "90"},    {450, 2, "270;90"}, {90, 3, nullptr},
  };
  for (const auto& c : cases) {
    const auto v = OsmDirection(c.heading, c.side);
    if (c.expected == nullptr)
      EXPECT_FALSE(v.has_value()) << c.heading << "/" << c.side;
    else
      EXPECT_EQ(v.value_or("(none)"), c.expected) << "heading " << c.heading << ", side " << c.side;
  }
}

}  // namespace
}  // namespace exporter
