// The GPS of the stand-in: a GPX track replayed in real time, looping, or a fixed position, or
// no fix at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "navigator/geo.h"

namespace nav {

struct TrackPoint {
  MapPoint pos;
  double time = -1;  // seconds since 1970 from <time>, or -1 when the point has none
};

// Reads the track points (<trkpt>, else <rtept>) of a GPX document. False with `error` (with
// the line number) when the XML is broken or a point has no usable lat/lon.
bool ParseGpx(std::string_view xml, std::vector<TrackPoint>& points, std::string& error);
bool LoadGpxFile(const std::string& path, std::vector<TrackPoint>& points, std::string& error);

// "2024-05-01T10:00:00Z" (fractions and +hh:mm offsets accepted) to seconds since 1970.
bool ParseIsoTime(std::string_view text, double& seconds);

struct GpsFix {
  bool valid = false;
  MapPoint pos;
  int heading = 0;     // degrees, 0 north, clockwise
  int speed = 0;       // km/h
  size_t segment = 0;  // index of the track point the fix has passed last
};

// Replays a track: the time between points comes from their <time> stamps, or from
// `defaultSpeedKmh` where stamps are missing or out of order. After the last point the drive
// starts again at the first.
class TrackReplay {
 public:
  TrackReplay() = default;
  TrackReplay(std::vector<TrackPoint> points, double defaultSpeedKmh);

  bool Empty() const { return points_.empty(); }
  double Duration() const { return starts_.empty() ? 0 : total_; }
  const std::vector<TrackPoint>& Points() const { return points_; }
  // The fix `seconds` after the replay started.
  GpsFix At(double seconds) const;

 private:
  std::vector<TrackPoint> points_;
  std::vector<double> starts_;  // time at which point i is reached
  double total_ = 0;
};

}  // namespace nav
