#include <gtest/gtest.h>

#include "navigator/config.h"
#include "navigator/gpx.h"

namespace {

using nav::GpsFix;
using nav::TrackPoint;
using nav::TrackReplay;

TEST(IsoTime, AcceptsTheFormsGpxFilesUse) {
  struct Case {
    const char* text;
    bool ok;
    double seconds;
  } cases[] = {
      {"1970-01-01T00:00:00Z", true, 0},
      {"2024-05-01T09:00:04.4Z", true, 1714554004.4},
      {"2024-05-01T11:00:04+02:00", true, 1714554004},
      {"2000-02-29T12:00:00", true, 951825600},
      {"2024-13-01T00:00:00Z", false, 0},
      {"2024-05-01 09:00", false, 0},
      {"yesterday", false, 0},
      {"2024-05-01T09:00:00Zjunk", false, 0},
  };
  for (const Case& c : cases) {
    double got = -1;
    EXPECT_EQ(nav::ParseIsoTime(c.text, got), c.ok) << c.text;
    if (c.ok) {
      EXPECT_NEAR(got, c.seconds, 1e-6) << c.text;
    }
  }
}

TEST(Gpx, ReadsTrackPointsWithAndWithoutNamespaces) {
  const char* xml = R"(<?xml version="1.0"?>
<gpx:gpx xmlns:gpx="http://www.topografix.com/GPX/1/1"><gpx:trk><gpx:trkseg>
<gpx:trkpt lat="52.1" lon="-1.5"><gpx:ele>80</gpx:ele><gpx:time>2024-05-01T09:00:00Z</gpx:time></gpx:trkpt>
<gpx:trkpt lat="52.2" lon="-1.25"/>
</gpx:trkseg></gpx:trk></gpx:gpx>)";
  std::vector<TrackPoint> points;
  std::string error;
  ASSERT_TRUE(nav::ParseGpx(xml, points, error)) << error;
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].pos, (nav::MapPoint{-150000, 5210000}));
  EXPECT_NEAR(points[0].time, 1714554000, 1e-6);
  EXPECT_EQ(points[1].pos, (nav::MapPoint{-125000, 5220000}));
  EXPECT_LT(points[1].time, 0);
}

TEST(Gpx, ReportsBrokenFilesWithTheirLine) {
  struct Case {
    const char* xml;
    const char* mentions;
  } cases[] = {
      {"<gpx><trk><trkseg><trkpt lat='1' lon='2'></trkseg></gpx>", "line 1"},
      {"<gpx>\n<trk><trkseg>\n<trkpt lat='91' lon='2'/></trkseg></trk></gpx>", "line 3"},
      {"<gpx><trk><trkseg><trkpt lat='1' lon='x'/></trkseg></trk></gpx>", "lat and lon"},
      {"<gpx><trk><trkseg><trkpt lat='1' lon='2'><time>noon</time></trkpt></trkseg></trk></gpx>", "bad time"},
      {"<gpx></gpx>", "no track"},
      {"", "line"},
  };
  for (const Case& c : cases) {
    std::vector<TrackPoint> points;
    std::string error;
    EXPECT_FALSE(nav::ParseGpx(c.xml, points, error)) << c.xml;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << "expected \"" << c.mentions << "\" in: " << error;
  }
}

// Elements where GPX does not put them are read as nothing; the points at their places stay.
TEST(Gpx, ElementsNestedOutOfPlaceAreIgnored) {
  struct Case {
    const char* xml;
    size_t points;
  } cases[] = {
      {"<gpx><trk><trkseg><trkpt lat='1' lon='2'><time>2024-05-01T09:00:00Z<trkpt lat='3' lon='4'/></time>"
       "</trkpt></trkseg></trk></gpx>",
       1},
      {"<gpx><trkpt lat='1' lon='2'><trkpt lat='3' lon='4'><time>2024-05-01T09:00:00Z</time></trkpt>"
       "<time>2024-05-01T09:00:01Z</time></trkpt></gpx>",
       1},
      {"<gpx><trkpt lat='1' lon='2'><rtept lat='3' lon='4'></rtept><time>2024-05-01T09:00:00Z</time></trkpt></gpx>", 1},
      {"<gpx><time><trkpt lat='1' lon='2'/></time><trkpt lat='5' lon='6'><extensions><time>x</time></extensions>"
       "</trkpt></gpx>",
       2},
      {"<gpx><trkpt lat='1' lon='2'><time><time>2024-05-01T09:00:00Z</time></time></trkpt></gpx>", 1},
  };
  for (const Case& c : cases) {
    std::vector<TrackPoint> points;
    std::string error;
    EXPECT_TRUE(nav::ParseGpx(c.xml, points, error)) << c.xml << ": " << error;
    EXPECT_EQ(points.size(), c.points) << c.xml;
  }
}

// Three points 1 km apart due north then due east, stamped 100 s apart, then a 20 s halt.
std::vector<TrackPoint> Square() {
  nav::MapPoint a = nav::FromDegrees(52.0, -1.5);
  nav::MapPoint b = nav::FromDegrees(52.0 + 1000 / 111194.93, -1.5);
  nav::MapPoint c{b.x + static_cast<int32_t>(1000 / (111194.93 * 0.615661) * 1e5), b.y};
  return {{a, 1000}, {b, 1100}, {c, 1200}, {c, 1220}};
}

TEST(TrackReplay, PositionHeadingAndSpeedFollowTheTrack) {
  TrackReplay replay(Square(), 40);
  EXPECT_DOUBLE_EQ(replay.Duration(), 220);
  struct Case {
    double t;
    int heading;
    int speed;
    size_t segment;
  } cases[] = {{0, 0, 36, 0}, {50, 0, 36, 0}, {150, 90, 36, 1}, {210, 90, 0, 2}, {270, 0, 36, 0}};
  for (const Case& c : cases) {
    GpsFix fix = replay.At(c.t);
    EXPECT_TRUE(fix.valid);
    EXPECT_EQ(fix.heading, c.heading) << "t=" << c.t;
    EXPECT_EQ(fix.speed, c.speed) << "t=" << c.t;
    EXPECT_EQ(fix.segment, c.segment) << "t=" << c.t;
  }
  // Halfway up the first leg, and again one loop later.
  auto pts = Square();
  nav::MapPoint mid = nav::Interpolate(pts[0].pos, pts[1].pos, 0.5);
  EXPECT_EQ(replay.At(50).pos, mid);
  EXPECT_EQ(replay.At(50 + 220).pos, mid);
}

TEST(TrackReplay, PointsWithoutTimesUseTheDefaultSpeed) {
  auto pts = Square();
  for (TrackPoint& p : pts) p.time = -1;
  pts.pop_back();
  TrackReplay replay(pts, 36);  // 10 m/s: 100 s per kilometre
  EXPECT_NEAR(replay.Duration(), 200, 0.5);
  EXPECT_EQ(replay.At(10).speed, 36);
  EXPECT_FALSE(TrackReplay().At(5).valid);
}

TEST(NavigatorIni, ReadsEveryKeyAndReportsBadOnes) {
  nav::NavigatorConfig c;
  std::vector<std::string> warnings;
  nav::ParseConfig(
      "[gps]\nmode=fixed\nlatitude=52.5\nlongitude=-1.25\nheading=270\nspeed=50\nrate=4\n"
      "track=\\Tracks\\a.gpx\ndefault_speed=30\n"
      "[map]\nfolder=\\TomTom\\Maps\\Other\n[device]\nid=ABC123\n[files]\nfavorites=\\fav.txt\n",
      c, warnings);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  EXPECT_EQ(c.mode, nav::GpsMode::kFixed);
  EXPECT_DOUBLE_EQ(c.latitude, 52.5);
  EXPECT_DOUBLE_EQ(c.longitude, -1.25);
  EXPECT_EQ(c.heading, 270);
  EXPECT_EQ(c.speed, 50);
  EXPECT_DOUBLE_EQ(c.rate, 4);
  EXPECT_DOUBLE_EQ(c.defaultSpeed, 30);
  EXPECT_EQ(c.track, "\\Tracks\\a.gpx");
  EXPECT_EQ(c.mapFolder, "\\TomTom\\Maps\\Other\\");
  EXPECT_EQ(c.deviceId, "ABC123");
  EXPECT_EQ(c.favorites, "\\fav.txt");

  nav::NavigatorConfig d;
  warnings.clear();
  nav::ParseConfig("[gps]\nmode=warp\nlatitude=95\nheading=x\n[map]\nfolder=relative\ncolour=red\nnot a line\n", d,
                   warnings);
  EXPECT_EQ(warnings.size(), 6u);
  nav::NavigatorConfig defaults;
  EXPECT_EQ(d.mode, defaults.mode);
  EXPECT_EQ(d.latitude, defaults.latitude);
  EXPECT_EQ(d.mapFolder, defaults.mapFolder);
  EXPECT_EQ(nav::ResolveBeside("\\Program Files\\Navigator\\", "t.gpx"), "\\Program Files\\Navigator\\t.gpx");
  EXPECT_EQ(nav::ResolveBeside("\\Program Files\\Navigator\\", "\\T\\t.gpx"), "\\T\\t.gpx");
}

}  // namespace
