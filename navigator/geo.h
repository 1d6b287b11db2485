// Map positions as the navigator hands them out: integers x = longitude × 100000 and
// y = latitude × 100000. Distances are worked out on a local flat projection, which is
// exact enough for a town-sized map.
#pragma once

#include <cstdint>
#include <string_view>

namespace nav {

struct MapPoint {
  int32_t x = 0;  // longitude × 100000
  int32_t y = 0;  // latitude × 100000
  bool operator==(const MapPoint&) const = default;
};

MapPoint FromDegrees(double latitude, double longitude);
double Latitude(MapPoint p);
double Longitude(MapPoint p);

double DistanceMetres(MapPoint a, MapPoint b);

// Compass bearing from one point to another: 0 north, 90 east, in [0, 360).
double BearingDegrees(MapPoint from, MapPoint to);

// Where the closest point of segment a-b to p lies: the fraction along the segment (0..1) and
// the distance from p in metres.
struct SegmentHit {
  double fraction = 0;
  double metres = 0;
};
SegmentHit ClosestOnSegment(MapPoint p, MapPoint a, MapPoint b);

// The point at a fraction of the way from a to b.
MapPoint Interpolate(MapPoint a, MapPoint b, double fraction);

// Strict integer and decimal parsing for our own files and the request fields: the whole text
// must be the number (surrounding blanks allowed), and it must fit.
bool ParseInt32(std::string_view text, int32_t& value);
bool ParseDouble(std::string_view text, double& value);
std::string_view Trim(std::string_view text);

}  // namespace nav
