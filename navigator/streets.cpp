#include "navigator/streets.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "navigator/device_file.h"

namespace nav {
namespace {

// A street file of a town of thousands of streets is well under a megabyte.
constexpr uint64_t kMaxStreetFileBytes = 16u << 20;

std::vector<std::string_view> Split(std::string_view line, char sep) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t at = line.find(sep, start);
    out.push_back(Trim(line.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start)));
    if (at == std::string_view::npos) return out;
    start = at + 1;
  }
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// "Demotown" matches "Demotown" and "Demotown (North)".
bool PlaceMatches(std::string_view wanted, std::string_view place) {
  if (wanted.empty() || EqualNoCase(wanted, place)) return true;
  size_t paren = place.find(" (");
  return paren != std::string_view::npos && EqualNoCase(wanted, place.substr(0, paren));
}

bool ParseLatLon(std::string_view text, MapPoint& p) {
  size_t comma = text.find(',');
  double lat, lon;
  if (comma == std::string_view::npos || !ParseDouble(text.substr(0, comma), lat) ||
      !ParseDouble(text.substr(comma + 1), lon) || lat < -90 || lat > 90 || lon < -180 || lon > 180)
    return false;
  p = FromDegrees(lat, lon);
  return true;
}

double LineLength(const std::vector<MapPoint>& line) {
  double total = 0;
  for (size_t i = 1; i < line.size(); i++) total += DistanceMetres(line[i - 1], line[i]);
  return total;
}

MapPoint PointAlong(const std::vector<MapPoint>& line, double metres) {
  for (size_t i = 1; i < line.size(); i++) {
    double seg = DistanceMetres(line[i - 1], line[i]);
    if (metres <= seg || i + 1 == line.size())
      return Interpolate(line[i - 1], line[i], seg > 0 ? std::min(1.0, metres / seg) : 0);
    metres -= seg;
  }
  return line.front();
}

int NumberAt(const Street& s, double fraction) {
  if (s.firstNumber == 0 && s.lastNumber == 0) return 0;
  return static_cast<int>(std::lround(s.firstNumber + (s.lastNumber - s.firstNumber) * fraction));
}

}  // namespace

bool StreetMap::Parse(std::string_view text, std::vector<std::string>& warnings, std::string& error) {
  name_.clear();
  streets_.clear();
  places_.clear();
  int lineNo = 0;
  std::istringstream in{std::string(text)};
  std::string raw;
  while (std::getline(in, raw)) {
    lineNo++;
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string_view> f = Split(line, '|');
    auto warn = [&](const std::string& why) { warnings.push_back("line " + std::to_string(lineNo) + ": " + why); };
    if (f[0] == "map" && f.size() == 2 && !f[1].empty()) {
      name_ = std::string(f[1]);
    } else if (f[0] == "place" && f.size() == 5) {
      Place p;
      p.name = std::string(f[1]);
      if (p.name.empty() || !ParseLatLon(std::string(f[2]) + "," + std::string(f[3]), p.centre) ||
          !ParseInt32(f[4], p.radius) || p.radius < 0) {
        warn("bad place line");
        continue;
      }
      places_.push_back(std::move(p));
    } else if (f[0] == "street" && f.size() == 6) {
      Street s;
      s.name = std::string(f[1]);
      s.place = std::string(f[2]);
      size_t dash = f[4].find('-', 1);
      bool ok = !s.name.empty() && ParseInt32(f[3], s.speedLimit) && s.speedLimit >= 0 &&
                dash != std::string_view::npos && ParseInt32(f[4].substr(0, dash), s.firstNumber) &&
                ParseInt32(f[4].substr(dash + 1), s.lastNumber) && s.firstNumber >= 0 && s.lastNumber >= 0;
      for (std::string_view pt : Split(f[5], ' ')) {
        if (pt.empty()) continue;
        MapPoint p;
        if (!ParseLatLon(pt, p)) ok = false;
        s.line.push_back(p);
      }
      if (!ok || s.line.size() < 2) {
        warn("bad street line");
        continue;
      }
      streets_.push_back(std::move(s));
    } else {
      warn("unknown line \"" + std::string(line.substr(0, 40)) + "\"");
    }
  }
  for (const Street& s : streets_)
    if (!s.place.empty() && !FindPlace(s.place))
      warnings.push_back("street " + s.name + " names an unknown place " + s.place);
  if (streets_.empty() && places_.empty()) {
    error = "no streets and no places";
    return false;
  }
  return true;
}

bool StreetMap::Load(const std::string& path, std::vector<std::string>& warnings, std::string& error) {
  std::string text;
  if (ReadDeviceFile(path, kMaxStreetFileBytes, text, error) != ReadResult::kOk) return false;
  if (!Parse(text, warnings, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

const Place* StreetMap::FindPlace(std::string_view name) const {
  for (const Place& p : places_)
    if (EqualNoCase(p.name, name)) return &p;
  return nullptr;
}

const Place* StreetMap::PlaceAt(MapPoint p) const {
  const Place* inside = nullptr;
  const Place* nearest = nullptr;
  double inBest = 0, best = 0;
  for (const Place& pl : places_) {
    double d = DistanceMetres(p, pl.centre);
    if (d <= pl.radius && (!inside || d < inBest)) inside = &pl, inBest = d;
    if (!nearest || d < best) nearest = &pl, best = d;
  }
  return inside ? inside : nearest;
}

bool StreetMap::Locate(MapPoint p, double maxMetres, LocationInfo& info) const {
  const Street* best = nullptr;
  double bestMetres = 0, bestAlong = 0;
  for (const Street& s : streets_) {
    double along = 0;
    for (size_t i = 1; i < s.line.size(); i++) {
      SegmentHit hit = ClosestOnSegment(p, s.line[i - 1], s.line[i]);
      double seg = DistanceMetres(s.line[i - 1], s.line[i]);
      if (!best || hit.metres < bestMetres) {
        best = &s;
        bestMetres = hit.metres;
        bestAlong = along + hit.fraction * seg;
      }
      along += seg;
    }
  }
  if (!best || bestMetres > maxMetres) return false;
  double length = LineLength(best->line);
  info.onStreet = PointAlong(best->line, bestAlong);
  info.metres = static_cast<int>(std::lround(bestMetres));
  info.street = best->name;
  info.houseNumber = NumberAt(*best, length > 0 ? bestAlong / length : 0);
  info.speedLimit = best->speedLimit;
  const Place* place = best->place.empty() ? PlaceAt(p) : FindPlace(best->place);
  info.place = place ? place->name : best->place;
  return true;
}

bool StreetMap::Geocode(std::string_view place, std::string_view street, std::string_view houseNumber,
                        GeocodeHit& hit) const {
  place = Trim(place);
  street = Trim(street);
  houseNumber = Trim(houseNumber);
  if (street.empty()) {
    for (const Place& p : places_) {
      if (!place.empty() && PlaceMatches(place, p.name)) {
        hit = {p.centre, 0, "", p.name};
        return true;
      }
    }
    return false;
  }
  int wanted = 0;
  if (!houseNumber.empty() && (!ParseInt32(houseNumber, wanted) || wanted < 0)) return false;
  // Among the streets of that name in the place, the one whose range holds the number.
  const Street* chosen = nullptr;
  for (const Street& s : streets_) {
    if (!EqualNoCase(s.name, street) || !PlaceMatches(place, s.place)) continue;
    int lo = std::min(s.firstNumber, s.lastNumber), hi = std::max(s.firstNumber, s.lastNumber);
    if (!chosen || (wanted >= lo && wanted <= hi)) chosen = &s;
    if (wanted >= lo && wanted <= hi) break;
  }
  if (!chosen) return false;
  const Street& s = *chosen;
  double length = LineLength(s.line);
  double fraction = 0.5;
  int number = NumberAt(s, 0.5);
  if (s.firstNumber != s.lastNumber && !houseNumber.empty()) {
    int lo = std::min(s.firstNumber, s.lastNumber), hi = std::max(s.firstNumber, s.lastNumber);
    number = std::clamp(wanted, lo, hi);
    fraction = static_cast<double>(number - s.firstNumber) / (s.lastNumber - s.firstNumber);
  } else if (s.firstNumber == s.lastNumber) {
    number = s.firstNumber;
  }
  hit.pos = PointAlong(s.line, fraction * length);
  hit.houseNumber = number;
  hit.street = s.name;
  const Place* p = s.place.empty() ? PlaceAt(hit.pos) : FindPlace(s.place);
  hit.place = p ? p->name : s.place;
  return true;
}

}  // namespace nav
