// The navigator stand-in's two parsers -- GPX tracks and navigator.ini -- against one table of
// cases, built for both platforms: natively on Linux (expat underneath) and as a Windows program
// run under Wine (XmlLite underneath). Prints each failed case; exits 1 when any failed.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "navigator/config.h"
#include "navigator/gpx.h"

namespace {

int failures = 0;

void Check(bool ok, const char* table, const char* name, const std::string& detail) {
  if (ok) return;
  failures++;
  printf("FAIL %s \"%s\": %s\n", table, name, detail.c_str());
}

struct GpxCase {
  const char* name;
  const char* xml;
  size_t points;          // 0: the document is refused
  double lat, lon, time;  // of the first point
};

const char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

const GpxCase kGpxCases[] = {
    {"track with times and a prefix",
     "<gpx:gpx xmlns:gpx=\"http://www.topografix.com/GPX/1/1\"><gpx:trk><gpx:trkseg>"
     "<gpx:trkpt lat=\"52.11\" lon=\"-1.5\"><gpx:time>2024-05-01T10:00:00Z</gpx:time></gpx:trkpt>"
     "<gpx:trkpt lat=\"52.12\" lon=\"-1.5\"><gpx:time>2024-05-01T10:01:00Z</gpx:time></gpx:trkpt>"
     "</gpx:trkseg></gpx:trk></gpx:gpx>",
     2, 52.11, -1.5, 1714557600},
    {"route when there is no track",
     "<gpx><rte><rtept lat='1.5' lon='2.25'/><rtept lat='1.6' lon='2.25'></rtept></rte></gpx>", 2, 1.5, 2.25, -1},
    {"track before route",
     "<gpx><rte><rtept lat='9' lon='9'/></rte><trk><trkseg><trkpt lat='-33.5' lon='151'/>"
     "</trkseg></trk></gpx>",
     1, -33.5, 151, -1},
    {"points nested in points are nothing",
     "<gpx><trk><trkseg><trkpt lat='1' lon='2'><trkpt lat='3' lon='4'><time>x</time></trkpt>"
     "<time>2024-01-01T00:00:00+01:00</time></trkpt></trkseg></trk></gpx>",
     1, 1, 2, 1704063600},
    {"text and CDATA around the time",
     "<gpx><trk><trkpt lat='1' lon='2'><time> <![CDATA[2024-01-01T00:00:00Z]]> </time></trkpt></trk></gpx>", 1, 1, 2,
     1704067200},
    {"not well-formed", "<gpx><trk><trkpt lat='1' lon='2'></trk></gpx>", 0, 0, 0, 0},
    {"a point without lon", "<gpx><trk><trkpt lat='1'/></trk></gpx>", 0, 0, 0, 0},
    {"a latitude out of range", "<gpx><trk><trkpt lat='91' lon='0'/></trk></gpx>", 0, 0, 0, 0},
    {"a bad time", "<gpx><trk><trkpt lat='1' lon='2'><time>yesterday</time></trkpt></trk></gpx>", 0, 0, 0, 0},
    {"a document type", "<!DOCTYPE gpx [<!ENTITY a 'b'>]><gpx><trk><trkpt lat='1' lon='2'/></trk></gpx>", 0, 0, 0, 0},
    {"no points", "<gpx></gpx>", 0, 0, 0, 0},
    {"empty", "", 0, 0, 0, 0},
};

void RunGpxCases() {
  for (const GpxCase& c : kGpxCases) {
    std::string xml = c.xml[0] ? std::string(kHead) + c.xml : std::string();
    std::vector<nav::TrackPoint> points;
    std::string error;
    bool ok = nav::ParseGpx(xml, points, error);
    if (c.points == 0) {
      Check(!ok && !error.empty(), "gpx", c.name, "accepted, or refused without a reason");
      continue;
    }
    Check(ok, "gpx", c.name, "refused: " + error);
    if (!ok) continue;
    Check(points.size() == c.points, "gpx", c.name, std::to_string(points.size()) + " points");
    nav::MapPoint expected = nav::FromDegrees(c.lat, c.lon);
    Check(points[0].pos == expected, "gpx", c.name, "first point elsewhere");
    Check(std::fabs(points[0].time - c.time) < 1e-6, "gpx", c.name, "time " + std::to_string(points[0].time));
  }
}

struct IniCase {
  const char* name;
  const char* text;
  size_t warnings;
  nav::GpsMode mode;
  double latitude;
  const char* mapFolder;
};

const IniCase kIniCases[] = {
    {"every section", "[gps]\nmode=fixed\nlatitude=52.5\n[map]\nfolder=\\TomTom\\Maps\\Other\n", 0,
     nav::GpsMode::kFixed, 52.5, "\\TomTom\\Maps\\Other\\"},
    {"byte order mark, CR LF, comments and blanks",
     "\xEF\xBB\xBF; settings\r\n# more\r\n [gps] \r\n mode = nofix ; no GPS\r\nlatitude: -12.25\r\n\r\n", 0,
     nav::GpsMode::kNoFix, -12.25, "\\TomTom\\Maps\\Demotown\\"},
    {"bad values keep the defaults", "[gps]\nmode=warp\nlatitude=95\n[map]\nfolder=relative\n", 3, nav::GpsMode::kTrack,
     0, "\\TomTom\\Maps\\Demotown\\"},
    {"unknown keys and lines that are none", "[gps]\ncolour=red\nnot a line\n[broken\n=value\n", 2,
     nav::GpsMode::kTrack, 0, "\\TomTom\\Maps\\Demotown\\"},
    {"a key outside any section", "mode=fixed\n", 1, nav::GpsMode::kTrack, 0, "\\TomTom\\Maps\\Demotown\\"},
};

void RunIniCases() {
  for (const IniCase& c : kIniCases) {
    nav::NavigatorConfig config;
    std::vector<std::string> warnings;
    nav::ParseConfig(c.text, config, warnings);
    std::string all;
    for (const std::string& w : warnings) all += " [" + w + "]";
    Check(warnings.size() == c.warnings, "ini", c.name, std::to_string(warnings.size()) + " warnings:" + all);
    Check(config.mode == c.mode, "ini", c.name, "mode");
    Check(config.latitude == c.latitude, "ini", c.name, "latitude " + std::to_string(config.latitude));
    Check(config.mapFolder == c.mapFolder, "ini", c.name, "map folder " + config.mapFolder);
  }
}

}  // namespace

int main() {
  RunGpxCases();
  RunIniCases();
  size_t total = sizeof kGpxCases / sizeof kGpxCases[0] + sizeof kIniCases / sizeof kIniCases[0];
  printf("%s: %zu cases, %d failed checks\n", failures ? "FAIL" : "PASS", total, failures);
  return failures ? 1 : 0;
}
