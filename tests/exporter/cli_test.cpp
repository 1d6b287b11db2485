// trapmarker-export as a command: files, folders, exit status, and GPX that GPSBabel reads back.
#include <expat.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/exporter/exporter_fixture.h"
#include "tests/harness/shell_quote.h"
#include "tools/exporter/camera.h"
#include "tools/exporter/export.h"
#include "tools/exporter/ov2.h"

namespace exporter {
namespace {

namespace fs = std::filesystem;

struct CommandResult {
  int status;
  std::string out, err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Quote(const std::string& s) { return harness::ShellQuote(s); }

class ExportCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Make("tm-export"));
    dir_ = temp_.path();
  }

  fs::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  CommandResult Export(const std::string& args) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string command = std::string(TM_EXPORTER) + " " + args + " >" + Quote(out) + " 2>" + Quote(err);
    const int raw = std::system(command.c_str());
    return CommandResult{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
  }

  exportertest::TempFolder temp_;
  fs::path dir_;
};

std::string Camera(const char* street, int heading, int type, int limit, int side) {
  return exportertest::CameraDescription(street, "Town",
                                         CameraData{heading, 64, "00A1B2C3", "2005-11-21T10:15:02", type, limit, side});
}

std::vector<std::uint8_t> TwoCameras() {
  std::vector<std::uint8_t> bytes;
  AppendOv2Point(bytes, -12345, 5150000, Camera("Main Road", 90, 1, 4, 0));
  AppendOv2Point(bytes, 1234567, -3312345, Camera("Side & <Street>", 10, 5, 2, 1));
  return bytes;
}

TEST_F(ExportCommand, ExitStatusSaysWhetherEverythingWasRead) {
  const fs::path good = Write("Roadwatchcameras.ov2", TwoCameras());
  std::vector<std::uint8_t> damaged = TwoCameras();
  damaged.resize(damaged.size() - 3);
  const fs::path bad = Write("Broken.ov2", damaged);
  const std::string text = "latitude,longitude\n51.5,-0.1\n";
  const fs::path notOv2 = Write("notes.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
  const fs::path empty = Write("Empty.ov2", {});

  const struct {
    std::string args;
    int status;
    std::vector<std::string> inErr;
  } cases[] = {
      {Quote(good), 0, {"2 point(s), 2 camera(s)"}},
      {Quote(empty), 0, {"Empty.ov2: empty category file"}},
      {Quote(bad), 1, {"error: " + bad.string() + ": byte ", "only", "not everything could be read"}},
      {Quote(notOv2), 1, {"does not end in .ov2", "unknown record type 108"}},
      {Quote((dir_ / "missing.ov2").string()), 1, {"missing.ov2: cannot read"}},
      {Quote(good) + " " + Quote(bad), 1, {"3 point(s), 3 camera(s), from 2 of 2 file(s)"}},
      {"-f kml " + Quote(good), 2, {"unknown format \"kml\""}},
      {"-x " + Quote(good), 2, {"unknown option"}},
      {"", 2, {"usage:"}},
      {"-o", 2, {"-o needs a value"}},
      {"-q " + Quote(bad), 1, {"error: "}},
  };
  for (const auto& c : cases) {
    const CommandResult r = Export(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    for (const auto& s : c.inErr)
      EXPECT_NE(r.err.find(s), std::string::npos) << c.args << ": no \"" << s << "\" in\n" << r.err;
  }
  EXPECT_EQ(Export("-q " + Quote(good)).err, "") << "-q leaves only errors";
}

TEST_F(ExportCommand, MapFolderExportsItsCategoryFilesInNameOrder) {
  std::vector<std::uint8_t> fuel;
  AppendOv2Point(fuel, 500, 600, "12 Station Road, Town");
  Write("Roadwatchcameras.ov2", TwoCameras());
  Write("Fuel.ov2", fuel);
  Write("Roadwatchcameras.bmp", {'B', 'M'});
  const CommandResult r = Export("-o " + Quote((dir_ / "out.csv").string()) + " " + Quote(dir_.string()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string csv = ReadText(dir_ / "out.csv");
  const auto fuelAt = csv.find(",Fuel,1,point,0.00600,0.00500,");
  const auto cameraAt = csv.find(",Roadwatchcameras,1,camera,51.50000,-0.12345,Main Road,Town,90,64,00A1B2C3,");
  EXPECT_NE(fuelAt, std::string::npos) << csv;
  EXPECT_NE(cameraAt, std::string::npos) << csv;
  EXPECT_LT(fuelAt, cameraAt);
  EXPECT_EQ(csv.find("Roadwatchcameras.bmp"), std::string::npos) << csv;
  EXPECT_NE(r.err.find("not a camera"), std::string::npos) << r.err;

  const fs::path none = dir_ / "none";
  fs::create_directory(none);
  const CommandResult empty = Export(Quote(none.string()));
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("no category files"), std::string::npos) << empty.err;
}

TEST_F(ExportCommand, GpsbabelReadsTheGpxBack) {
  if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsbabel is not installed";
  const fs::path ov2 = Write("Roadwatchcameras.ov2", TwoCameras());
  const fs::path gpx = dir_ / "cameras.gpx";
  const CommandResult r = Export("-f gpx -o " + Quote(gpx.string()) + " " + Quote(ov2.string()));
  ASSERT_EQ(r.status, 0) << r.err;

  const fs::path csv = dir_ / "readback.csv";
  const std::string command = "gpsbabel -i gpx -f " + Quote(gpx.string()) + " -o unicsv -F " + Quote(csv.string()) +
                              " 2>" + Quote((dir_ / "gpsbabel.err").string());
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadText(dir_ / "gpsbabel.err");
  const std::string back = ReadText(csv);
  std::vector<std::string> lines;
  std::stringstream s(back);
  for (std::string line; std::getline(s, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 3u) << back;
  EXPECT_EQ(lines[0].rfind("No,Latitude,Longitude,Name,Description,Notes", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("1,51.500000,-0.123450,\"Gatso 50 mph\",\"This side; heading 90 deg", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("2,-33.123450,12.345670,\"Redlight 30 mph\",\"Other side;", 0), 0u) << lines[2];
  EXPECT_NE(lines[2].find("\"Side & <Street>, Town\""), std::string::npos) << lines[2];
}

TEST_F(ExportCommand, GpsbabelTomtomReaderAgreesOnTheRecords) {
  // Our files go through GPSBabel's own OV2 reader too: same count and positions.
  if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsbabel is not installed";
  const fs::path ov2 = Write("Roadwatchcameras.ov2", TwoCameras());
  const fs::path csv = dir_ / "tomtom.csv";
  const std::string command = "gpsbabel -i tomtom -f " + Quote(ov2.string()) + " -o unicsv -F " + Quote(csv.string());
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string back = ReadText(csv);
  EXPECT_NE(back.find("51.500000,-0.123450"), std::string::npos) << back;
  EXPECT_NE(back.find("-33.123450,12.345670"), std::string::npos) << back;
}

}  // namespace
// Whatever a point's text holds, the GPX written is well-formed XML (checked with expat) and the
// GeoJSON is valid UTF-8.
TEST_F(ExportCommand, GpxIsWellFormedWhateverThePointTextsHold) {
  const std::string texts[] = {
      "nonchar \xEF\xBF\xBE and \xEF\xBF\xBF end",
      std::string("controls \x01\x02\x0B\x0C\x1B\x7F", 12),
      "cut utf-8 \xE2\x82 and lone \x80\xFE\xFF",
      "surrogate \xED\xA0\x80 overlong \xC0\xAF",
      "markup ]]> <![CDATA[ &#0; &",
      "Main Road, Town !01" + EncodeCameraBase64("\x01\xEF\xBF\xBF|\x7F|9|9|9|x") + "!",
  };
  std::vector<std::uint8_t> bytes;
  for (const std::string& t : texts) AppendOv2Point(bytes, 100, 200, t);
  const fs::path ov2 = Write("Roadwatchcameras.ov2", bytes);
  for (const char* format : {"gpx", "geojson"}) {
    const fs::path out = dir_ / (std::string("out.") + format);
    const CommandResult r =
        Export(std::string("-f ") + format + " -o " + Quote(out.string()) + " " + Quote(ov2.string()));
    const std::string doc = ReadText(out);
    ASSERT_FALSE(doc.empty()) << format << ": " << r.err;
    if (std::string(format) == "gpx") {
      std::size_t points = 0;
      for (std::size_t at = doc.find("<wpt "); at != std::string::npos; at = doc.find("<wpt ", at + 1)) ++points;
      EXPECT_EQ(points, std::size(texts)) << "every point is exported";
      EXPECT_EQ(doc.find("\xEF\xBF\xBE"), std::string::npos);
      XML_Parser parser = XML_ParserCreate(nullptr);
      const bool ok = XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), XML_TRUE) == XML_STATUS_OK;
      EXPECT_TRUE(ok) << "line " << XML_GetCurrentLineNumber(parser) << ": "
                      << XML_ErrorString(XML_GetErrorCode(parser)) << "\n"
                      << doc;
      XML_ParserFree(parser);
    }
    for (std::size_t at = 0; at < doc.size(); ++at) {
      const auto c = static_cast<unsigned char>(doc[at]);
      EXPECT_FALSE(c < 0x20 && c != '\n' && c != '\t' && c != '\r') << format << " control at " << at;
      EXPECT_FALSE(c == 0xC0 || c == 0xC1 || c >= 0xF5) << format << " byte " << int(c) << " at " << at;
    }
  }
}

namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

// Thousands of plain points give a few examples and a count, not a line each; damaged points are
// always named one by one; -v names every notice.
TEST_F(ExportCommand, NoticesAreSummarisedByKindAndErrorsAlwaysListed) {
  std::vector<std::uint8_t> bytes = TwoCameras();
  for (int i = 0; i < 20; ++i) AppendOv2Point(bytes, i, i, "Shop " + std::to_string(i));
  AppendOv2Point(bytes, 7, 7, "Bad Road, Town !01@@@@!");
  AppendOv2Point(bytes, 8, 8, "Worse Road, Town !01@@@@!");
  const std::string file = Quote(Write("Mixed.ov2", bytes).string());
  const std::string plain = "not a camera, exported as a plain point";

  const struct {
    std::string flags;
    std::size_t plainLines;
    bool summary;
  } cases[] = {
      {"", 3, true},
      {"-v ", 20, false},
      {"-q ", 0, false},
  };
  for (const auto& c : cases) {
    const CommandResult r = Export(c.flags + file);
    EXPECT_EQ(r.status, 1) << c.flags << r.err;
    EXPECT_EQ(Occurrences(r.err, plain + ": \""), c.plainLines) << c.flags << "\n" << r.err;
    EXPECT_EQ(Occurrences(r.err, "error: "), 2u) << c.flags << "\n" << r.err;
    EXPECT_NE(r.err.find("Bad Road"), std::string::npos) << c.flags;
    EXPECT_NE(r.err.find("Worse Road"), std::string::npos) << c.flags;
    EXPECT_EQ(r.err.find("20 notices \"" + plain + "\" (the first 3 shown") != std::string::npos, c.summary)
        << c.flags << "\n"
        << r.err;
  }
}

TEST(ExportMessages, KindsCountNumbersAsOneAndDropTheQuotedText) {
  const struct {
    const char* what;
    const char* kind;
  } cases[] = {
      {"deleted record of 12 bytes, skipped", "deleted record of N bytes, skipped"},
      {"deleted record of 4096 bytes, skipped", "deleted record of N bytes, skipped"},
      {"not a camera, exported as a plain point: \"Shop 1: \"x\"\"", "not a camera, exported as a plain point"},
      {"skipper record (area index), skipped", "skipper record (area index), skipped"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageKind(c.what), c.kind) << c.what;
}
}  // namespace exporter
