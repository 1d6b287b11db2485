// Reading category files, whole and damaged.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/exporter/ov2.h"

namespace exporter {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutI32(Bytes& b, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(u >> s));
}

Bytes Point(std::int32_t x, std::int32_t y, const std::string& text) {
  Bytes b;
  AppendOv2Point(b, x, y, text);
  return b;
}

Bytes Deleted(std::uint32_t length) {
  Bytes b{0};
  PutI32(b, static_cast<std::int32_t>(length));
  b.resize(length, 0xEE);
  return b;
}

Bytes Skipper(std::int32_t covers) {
  Bytes b{1};
  PutI32(b, covers);  // the size of the block it covers, not its own
  for (std::int32_t corner : {200000, 5200000, -100000, 5100000}) PutI32(b, corner);
  return b;
}

Bytes Extended(std::int32_t x, std::int32_t y, const std::string& name) {
  Bytes b{3};
  const std::string texts = name + std::string(1, '\0') + "id-7" + std::string(1, '\0') + std::string(1, '\0');
  PutI32(b, static_cast<std::int32_t>(13 + texts.size()));
  PutI32(b, x);
  PutI32(b, y);
  b.insert(b.end(), texts.begin(), texts.end());
  return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::size_t CountOf(const Ov2Contents& c, Severity s) {
  std::size_t n = 0;
  for (const auto& d : c.diagnostics) n += d.severity == s;
  return n;
}

std::string AllMessages(const Ov2Contents& c) {
  std::string out;
  for (const auto& d : c.diagnostics) out += "[" + std::to_string(d.offset) + "] " + d.text + "\n";
  return out;
}

TEST(Ov2Reader, PointRecordsKeepPositionAndText) {
  const Bytes file =
      Join({Point(-12345, 5150000, "first"), Point(INT32_MIN, INT32_MAX, ""), Point(1, -1, "caf\xc3\xa9")});
  const Ov2Contents c = ReadOv2(file);
  EXPECT_TRUE(c.complete) << AllMessages(c);
  EXPECT_TRUE(c.diagnostics.empty()) << AllMessages(c);
  ASSERT_EQ(c.points.size(), 3u);
  EXPECT_EQ(c.points[0].x, -12345);
  EXPECT_EQ(c.points[0].y, 5150000);
  EXPECT_EQ(c.points[0].text, "first");
  EXPECT_EQ(c.points[0].offset, 0u);
  EXPECT_EQ(c.points[1].x, INT32_MIN);
  EXPECT_EQ(c.points[1].y, INT32_MAX);
  EXPECT_EQ(c.points[1].text, "");
  EXPECT_EQ(c.points[1].offset, 19u);
  EXPECT_EQ(c.points[2].text, "caf\xc3\xa9");
}

TEST(Ov2Reader, SkipsDeletedAndSkipperRecordsWithANotice) {
  // A skipper's length field covers the following block; the reader must step 21 bytes, not that.
  const Bytes file =
      Join({Skipper(21 + 19 + 9 + 19), Point(10, 20, "a"), Deleted(9), Point(30, 40, "b"), Extended(50, 60, "c")});
  const Ov2Contents c = ReadOv2(file);
  EXPECT_TRUE(c.complete) << AllMessages(c);
  ASSERT_EQ(c.points.size(), 3u) << AllMessages(c);
  EXPECT_EQ(c.points[0].text, "a");
  EXPECT_EQ(c.points[1].text, "b");
  EXPECT_EQ(c.points[2].text, "c");
  EXPECT_EQ(c.points[2].recordType, 3);
  EXPECT_EQ(c.points[2].x, 50);
  EXPECT_EQ(CountOf(c, Severity::Notice), 2u) << AllMessages(c);
  EXPECT_EQ(CountOf(c, Severity::Error), 0u) << AllMessages(c);
}

TEST(Ov2Reader, EmptyFileIsAValidCategoryWithoutPoints) {
  // The capture program creates the camera file empty before the first point goes in.
  const Ov2Contents c = ReadOv2({});
  EXPECT_TRUE(c.complete);
  EXPECT_TRUE(c.points.empty());
  ASSERT_EQ(c.diagnostics.size(), 1u);
  EXPECT_EQ(c.diagnostics[0].severity, Severity::Notice);
}

TEST(Ov2Reader, DamagedFilesStopWithAnErrorAndKeepWhatCameBefore) {
  const Bytes good = Point(1, 2, "kept");
  Bytes lengthPastEnd = Point(3, 4, "cut");
  lengthPastEnd[1] = 200;
  Bytes tooShort = Point(3, 4, "x");
  tooShort[1] = 13;  // one short of header plus NUL
  Bytes noNul = Point(3, 4, "abc");
  noNul.back() = 'd';
  const Bytes wholeAfter = Point(7, 8, "after");
  Bytes cut = Point(3, 4, "cut");
  cut.resize(cut.size() - 2);
  Bytes skipperStart = Skipper(0);
  skipperStart.resize(12);
  const std::string text = "Hello, this is not a category file\n";

  const struct {
    const char* name;
    Bytes file;
    std::size_t pointsKept;
    std::size_t errorOffset;
    const char* why;
  } cases[] = {
      {"truncated record", Join({good, cut}), 1, good.size(), "remain"},
      {"truncated header", Join({good, Bytes{2, 20, 0}}), 1, good.size(), "truncated"},
      {"truncated skipper", Join({good, skipperStart}), 1, good.size(), "skipper"},
      {"wrong type byte", Join({good, Bytes{7}, good}), 1, good.size(), "unknown record type 7"},
      {"length past end", Join({good, lengthPastEnd}), 1, good.size(), "remain"},
      {"length too small", Join({good, tooShort, good}), 1, good.size(), "less than"},
      {"negative length", Join({good, Bytes{2, 0xFF, 0xFF, 0xFF, 0xFF}, good}), 1, good.size(), "remain"},
      {"text without NUL", Join({good, noNul, wholeAfter}), 2, good.size(), "NUL"},
      {"text file", Bytes(text.begin(), text.end()), 0, 0, "unknown record type 72"},
  };
  for (const auto& c : cases) {
    const Ov2Contents r = ReadOv2(c.file);
    EXPECT_FALSE(r.complete) << c.name;
    EXPECT_EQ(r.points.size(), c.pointsKept) << c.name << "\n" << AllMessages(r);
    ASSERT_EQ(CountOf(r, Severity::Error), 1u) << c.name << "\n" << AllMessages(r);
    for (const auto& d : r.diagnostics) {
      if (d.severity != Severity::Error) continue;
      EXPECT_EQ(d.offset, c.errorOffset) << c.name;
      EXPECT_NE(d.text.find(c.why), std::string::npos) << c.name << ": expected \"" << c.why << "\" in: " << d.text;
    }
    if (c.pointsKept > 0) {
      EXPECT_EQ(r.points[0].text, "kept") << c.name;
    }
  }
}

TEST(Ov2Reader, DegreesAreExactDecimals) {
  const struct {
    std::int32_t value;
    const char* expected;
  } cases[] = {{0, "0.00000"},       {1, "0.00001"},          {-1, "-0.00001"},          {5150000, "51.50000"},
               {-12345, "-0.12345"}, {18000000, "180.00000"}, {-17999999, "-179.99999"}, {INT32_MIN, "-21474.83648"}};
  for (const auto& c : cases) EXPECT_EQ(FormatDegrees(c.value), c.expected) << c.value;
}

}  // namespace
}  // namespace exporter
