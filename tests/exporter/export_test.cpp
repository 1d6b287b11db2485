// Category files through CollectFile and the three writers.
#include <gtest/gtest.h>

#include <map>

#include "tests/exporter/exporter_fixture.h"
#include "tools/exporter/export.h"

namespace exporter {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Camera {
  std::int32_t x, y;
  std::string street, place;
  CameraData data;
};

std::string CameraDescription(const Camera& c) { return exportertest::CameraDescription(c.street, c.place, c.data); }

// Camera data in the order of its members: heading, speed, device, time, type, limit, side.
using Data = CameraData;

const Camera kCameras[] = {
    {-12345, 5150000, "Main Road", "Town", Data(90, 48, "00A1B2C3", "2005-11-21T10:15:02", 1, 4, 0)},
    {200000, -3350000, "Long \"Quoted\" Way", "Cape, Town",
     Data(359, 0, "No Device ID", "2024-02-29T00:00:00", 5, 7, 1)},
    {0, 0, "", "", Data(0, 0, "", "1999-12-31T23:59:59", 0, 0, 0)},
    {-7000000, 4000000, "Rue de l'\xc3\x89glise", "Ville", Data(180, 130, "FF", "2010-06-01T12:00:00", 4, 6, 2)},
    {100, 100, "A1", "Somewhere", Data(45, 30, "01", "2011-01-01T01:01:01", 7, 0, 2)},
};

struct Collected {
  std::vector<ExportPoint> points;
  std::vector<std::pair<Severity, std::string>> messages;
  bool allRead;
};

Collected Collect(const std::string& file, const Bytes& bytes) {
  Collected c;
  c.allRead = CollectFile(file, bytes, c.points,
                          [&](Severity s, const std::string& text) { c.messages.emplace_back(s, text); });
  return c;
}

Bytes CameraFile() {
  Bytes file;
  for (const Camera& c : kCameras) AppendOv2Point(file, c.x, c.y, CameraDescription(c));
  return file;
}

TEST(CollectFile, CamerasRoundTripThroughTheirDescriptions) {
  const Collected c = Collect("map/Roadwatchcameras.ov2", CameraFile());
  EXPECT_TRUE(c.allRead);
  EXPECT_TRUE(c.messages.empty()) << c.messages.front().second;
  ASSERT_EQ(c.points.size(), std::size(kCameras));
  for (std::size_t i = 0; i < c.points.size(); ++i) {
    const ExportPoint& p = c.points[i];
    const Camera& want = kCameras[i];
    SCOPED_TRACE("camera " + std::to_string(i));
    EXPECT_TRUE(p.isCamera);
    EXPECT_EQ(p.category, "Roadwatchcameras");
    EXPECT_EQ(p.record, i + 1);
    EXPECT_EQ(p.x, want.x);
    EXPECT_EQ(p.y, want.y);
    EXPECT_EQ(p.street, want.street);
    EXPECT_EQ(p.place, want.place);
    EXPECT_EQ(p.camera.heading, want.data.heading);
    EXPECT_EQ(p.camera.speedKmh, want.data.speedKmh);
    EXPECT_EQ(p.camera.deviceId, want.data.deviceId);
    EXPECT_EQ(p.camera.captured, want.data.captured);
    EXPECT_EQ(p.camera.typeCode, want.data.typeCode);
    EXPECT_EQ(p.camera.speedCode, want.data.speedCode);
    EXPECT_EQ(p.camera.directionCode, want.data.directionCode);
  }
}

TEST(CollectFile, EveryPointThatIsNotACameraIsNamed) {
  Bytes file;
  AppendOv2Point(file, 1, 2, "12 Main Road, Town");
  AppendOv2Point(file, 3, 4, "Main Road, Town !01MTI!");
  AppendOv2Point(file, 5, 6, "Caf\xe9 Road, Town");  // Latin-1
  AppendOv2Point(file, 7, 8, CameraDescription(kCameras[0]));
  const Collected c = Collect("Fuel.ov2", file);

  EXPECT_FALSE(c.allRead) << "a camera whose data is broken must count as not read";
  ASSERT_EQ(c.points.size(), 4u) << "broken cameras are still exported";
  EXPECT_EQ(c.points[0].category, "Fuel");
  EXPECT_FALSE(c.points[0].isCamera);
  EXPECT_EQ(c.points[0].description, "12 Main Road, Town");
  EXPECT_FALSE(c.points[1].isCamera);
  EXPECT_EQ(c.points[2].description, "Caf\xc3\xa9 Road, Town");
  EXPECT_TRUE(c.points[3].isCamera);

  std::string all;
  int errors = 0;
  for (const auto& [severity, text] : c.messages) {
    all += text + "\n";
    errors += severity == Severity::Error;
  }
  EXPECT_EQ(errors, 1) << all;
  EXPECT_NE(all.find("Fuel.ov2: byte 0: point 1: not a camera"), std::string::npos) << all;
  EXPECT_NE(all.find("point 2: camera data of 3 characters"), std::string::npos) << all;
  EXPECT_NE(all.find("point 3: text is not UTF-8"), std::string::npos) << all;
  EXPECT_EQ(all.find("point 4"), std::string::npos) << all;
}

TEST(CollectFile, DamageAfterSomePointsKeepsThemAndFails) {
  Bytes file = CameraFile();
  file.push_back(9);
  const Collected c = Collect("Roadwatchcameras.ov2", file);
  EXPECT_FALSE(c.allRead);
  EXPECT_EQ(c.points.size(), std::size(kCameras));
  ASSERT_FALSE(c.messages.empty());
  EXPECT_EQ(c.messages.back().first, Severity::Error);
  EXPECT_NE(c.messages.back().second.find("byte " + std::to_string(file.size() - 1)), std::string::npos)
      << c.messages.back().second;
}

// A small RFC 4180 reader: rows of fields, quotes doubled inside quoted fields.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (quoted) {
      if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        ++i;
      } else if (ch == '"') {
        quoted = false;
      } else {
        field.push_back(ch);
      }
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == ',') {
      rows.back().push_back(field);
      field.clear();
    } else if (ch == '\n') {
      rows.back().push_back(field);
      field.clear();
      rows.emplace_back();
    } else {
      field.push_back(ch);
    }
  }
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

TEST(Writers, CsvCarriesEveryDecodedField) {
  Bytes file = CameraFile();
  AppendOv2Point(file, -150, 250, "3 Ring, Road, \"Quotes\"");
  const Collected c = Collect("Roadwatchcameras.ov2", file);
  const auto rows = ParseCsv(WriteCsv(c.points));
  ASSERT_EQ(rows.size(), c.points.size() + 1);
  const auto& header = rows[0];
  auto cell = [&](std::size_t row, const char* column) {
    for (std::size_t i = 0; i < header.size(); ++i)
      if (header[i] == column) return rows[row].at(i);
    ADD_FAILURE() << "no column " << column;
    return std::string();
  };
  for (std::size_t r = 1; r < rows.size(); ++r) EXPECT_EQ(rows[r].size(), header.size()) << "row " << r;

  EXPECT_EQ(cell(1, "kind"), "camera");
  EXPECT_EQ(cell(1, "latitude"), "51.50000");
  EXPECT_EQ(cell(1, "longitude"), "-0.12345");
  EXPECT_EQ(cell(1, "type_name"), "Gatso");
  EXPECT_EQ(cell(1, "speed_name"), "50 mph");
  EXPECT_EQ(cell(1, "direction_name"), "This side");
  EXPECT_EQ(cell(1, "captured"), "2005-11-21T10:15:02");
  EXPECT_EQ(cell(2, "street"), "Long \"Quoted\" Way");
  EXPECT_EQ(cell(2, "place"), "Cape, Town");
  EXPECT_EQ(cell(2, "latitude"), "-33.50000");
  EXPECT_EQ(cell(2, "type_name"), "Redlight");
  EXPECT_EQ(cell(2, "speed_name"), "Variable speed");
  EXPECT_EQ(cell(2, "device_id"), "No Device ID");
  EXPECT_EQ(cell(3, "device_id"), "");
  EXPECT_EQ(cell(3, "type_name"), "Unknown type");
  const std::size_t plain = rows.size() - 1;
  EXPECT_EQ(cell(plain, "kind"), "point");
  EXPECT_EQ(cell(plain, "type_name"), "");
  EXPECT_EQ(cell(plain, "description"), "3 Ring, Road, \"Quotes\"");
  EXPECT_EQ(cell(plain, "longitude"), "-0.00150");
}

// The writer puts one feature per line; map each line to its camera by order.
std::vector<std::string> FeatureLines(const std::string& json) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < json.size()) {
    auto end = json.find('\n', start);
    if (end == std::string::npos) end = json.size();
    const std::string line = json.substr(start, end - start);
    if (line.rfind("{\"type\":\"Feature\"", 0) == 0) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

TEST(Writers, GeoJsonUsesOsmSpeedCameraTags) {
  Bytes file = CameraFile();
  AppendOv2Point(file, 150, -250, "12 Main Road, Town");
  const Collected c = Collect("Roadwatchcameras.ov2", file);
  const std::string json = WriteGeoJson(c.points);
  const auto features = FeatureLines(json);
  ASSERT_EQ(features.size(), c.points.size()) << json;

  const struct {
    std::vector<std::string> present;
    std::vector<std::string> absent;
  } expected[] = {
      {{"\"coordinates\":[-0.12345,51.50000]", "\"highway\":\"speed_camera\"", "\"maxspeed\":\"50 mph\"",
        "\"direction\":\"270\"", "\"enforcement\":\"maxspeed\"", "\"camera_type\":\"Gatso\"", "\"heading\":90"},
       {"removed:highway"}},
      {{"\"enforcement\":\"traffic_signals\"", "\"direction\":\"359\"", "\"street\":\"Long \\\"Quoted\\\" Way\""},
       {"\"maxspeed\":"}},
      {{"\"highway\":\"speed_camera\"", "\"direction\":\"180\"", "\"device_id\":\"\""}, {"\"maxspeed\":"}},
      {{"\"enforcement\":\"average_speed\"", "\"maxspeed\":\"70 mph\"", "\"direction\":\"0;180\"",
        "Rue de l'\xc3\x89glise"},
       {}},
      {{"\"removed:highway\":\"speed_camera\"", "\"direction\":\"225;45\""}, {"\"highway\"", "\"maxspeed\":"}},
      {{"\"coordinates\":[0.00150,-0.00250]", "\"category\":\"Roadwatchcameras\"",
        "\"description\":\"12 Main Road, Town\""},
       {"highway", "enforcement", "direction"}},
  };
  ASSERT_EQ(std::size(expected), features.size());
  for (std::size_t i = 0; i < features.size(); ++i) {
    for (const auto& s : expected[i].present)
      EXPECT_NE(features[i].find(s), std::string::npos) << "feature " << i << " lacks " << s << "\n" << features[i];
    for (const auto& s : expected[i].absent)
      EXPECT_EQ(features[i].find(s), std::string::npos) << "feature " << i << " has " << s << "\n" << features[i];
  }
  EXPECT_EQ(json.rfind("{\"type\":\"FeatureCollection\",\"features\":[", 0), 0u);
  EXPECT_EQ(json.substr(json.size() - 4), "\n]}\n");
}

TEST(Writers, TextsAreEscapedForEachFormat) {
  std::vector<ExportPoint> points(1);
  points[0].category = "A&B";
  points[0].description = "<tag> \"q\" back\\slash\x01 tab\t";
  const std::string gpx = WriteGpx(points);
  EXPECT_NE(gpx.find("<name>&lt;tag&gt; &quot;q&quot; back\\slash  tab\t</name>"), std::string::npos) << gpx;
  EXPECT_NE(gpx.find("<type>A&amp;B</type>"), std::string::npos) << gpx;
  const std::string json = WriteGeoJson(points);
  EXPECT_NE(json.find("\"description\":\"<tag> \\\"q\\\" back\\\\slash\\u0001 tab\\u0009\""), std::string::npos)
      << json;
}

TEST(Writers, NoPointsStillMakeValidDocuments) {
  const Collected c = Collect("Roadwatchcameras.ov2", {});
  EXPECT_TRUE(c.allRead);
  EXPECT_EQ(WriteGeoJson(c.points), "{\"type\":\"FeatureCollection\",\"features\":[\n]}\n");
  EXPECT_EQ(ParseCsv(WriteCsv(c.points)).size(), 1u);
  const std::string gpx = WriteGpx(c.points);
  EXPECT_EQ(gpx.find("<wpt"), std::string::npos);
  EXPECT_NE(gpx.find("</gpx>"), std::string::npos);
}

TEST(Utf8, ValidTextStaysAndOtherBytesAreLatin1) {
  const struct {
    const char* in;
    const char* out;
    bool converted;
  } cases[] = {
      {"plain", "plain", false},
      {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9", false},
      {"\xf0\x9f\x93\xb7", "\xf0\x9f\x93\xb7", false},
      {"\xe9t\xe9", "\xc3\xa9t\xc3\xa9", true},
      {"\xc0\xaf", "\xc3\x80\xc2\xaf", true},              // overlong
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80", true},  // surrogate
      {"\xc3", "\xc3\x83", true},                          // cut short
  };
  for (const auto& c : cases) {
    bool converted = !c.converted;
    EXPECT_EQ(ToUtf8(c.in, converted), c.out) << c.in;
    EXPECT_EQ(converted, c.converted) << c.in;
  }
}

TEST(Categories, ComeFromTheFileBaseName) {
  const std::map<std::string, std::string> cases = {{"Roadwatchcameras.ov2", "Roadwatchcameras"},
                                                    {"/a/b/Fuel.OV2", "Fuel"},
                                                    {"dir.x/Park", "Park"},
                                                    {"./.hidden", ".hidden"},
                                                    {"My Places.v1.ov2", "My Places.v1"}};
  for (const auto& [path, category] : cases) EXPECT_EQ(CategoryOf(path), category) << path;
}

}  // namespace
}  // namespace exporter
