#include "navigator/geo.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace nav {
namespace {

constexpr double kScale = 100000.0;
constexpr double kMetresPerDegree = 6371000.0 * std::numbers::pi / 180.0;

// Metres east and north of `origin`, using the cosine of the origin's latitude for longitude.
void ToLocal(MapPoint origin, MapPoint p, double& east, double& north) {
  double k = std::cos(Latitude(origin) * std::numbers::pi / 180.0);
  east = (static_cast<double>(p.x) - origin.x) / kScale * kMetresPerDegree * k;
  north = (static_cast<double>(p.y) - origin.y) / kScale * kMetresPerDegree;
}

int32_t Clamp32(double v) {
  if (!(v == v)) return 0;
  if (v > 2147483647.0) return INT32_MAX;
  if (v < -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(std::lround(v));
}

}  // namespace

MapPoint FromDegrees(double latitude, double longitude) {
  return {Clamp32(longitude * kScale), Clamp32(latitude * kScale)};
}

double Latitude(MapPoint p) { return p.y / kScale; }
double Longitude(MapPoint p) { return p.x / kScale; }

double DistanceMetres(MapPoint a, MapPoint b) {
  double e, n;
  ToLocal(a, b, e, n);
  return std::hypot(e, n);
}

double BearingDegrees(MapPoint from, MapPoint to) {
  double e, n;
  ToLocal(from, to, e, n);
  if (e == 0 && n == 0) return 0;
  double deg = std::atan2(e, n) * 180.0 / std::numbers::pi;
  if (deg < 0) deg += 360.0;
  if (deg >= 360.0) deg -= 360.0;
  return deg;
}

SegmentHit ClosestOnSegment(MapPoint p, MapPoint a, MapPoint b) {
  double bx, by, px, py;
  ToLocal(a, b, bx, by);
  ToLocal(a, p, px, py);
  double len2 = bx * bx + by * by;
  double t = len2 > 0 ? (px * bx + py * by) / len2 : 0;
  if (t < 0) t = 0;
  if (t > 1) t = 1;
  return {t, std::hypot(px - t * bx, py - t * by)};
}

MapPoint Interpolate(MapPoint a, MapPoint b, double fraction) {
  return {Clamp32(a.x + (static_cast<double>(b.x) - a.x) * fraction),
          Clamp32(a.y + (static_cast<double>(b.y) - a.y) * fraction)};
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

bool ParseInt32(std::string_view text, int32_t& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  int32_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = v;
  return true;
}

bool ParseDouble(std::string_view text, double& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

}  // namespace nav
