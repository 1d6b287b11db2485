#include "navigator/gpx.h"

#include <cmath>

#include "navigator/device_file.h"
#include "navigator/xml_reader.h"

namespace nav {
namespace {

// A day's drive logged every second is about 10 MB of GPX.
constexpr uint64_t kMaxGpxBytes = 64u << 20;

class GpxState : public XmlEvents {
 public:
  std::vector<TrackPoint> track, route;

  std::string Start(std::string_view name, const std::vector<XmlAttribute>& attributes) override {
    depth_++;
    bool trk = name == "trkpt", rte = name == "rtept";
    // Elements nested where GPX does not put them (a point inside a point, a point or a time
    // inside a time) are read as nothing.
    if ((trk || rte) && !current_ && !inTime_) {
      double lat = 0, lon = 0;
      bool haveLat = false, haveLon = false;
      for (const XmlAttribute& a : attributes) {
        if (a.name == "lat") haveLat = ParseDouble(a.value, lat);
        if (a.name == "lon") haveLon = ParseDouble(a.value, lon);
      }
      if (!haveLat || !haveLon || lat < -90 || lat > 90 || lon < -180 || lon > 180)
        return std::string(name) + " without a valid lat and lon";
      current_ = trk ? &track : &route;
      current_->push_back({FromDegrees(lat, lon), -1});
      pointDepth_ = depth_;
    } else if (name == "time" && current_ && !inTime_ && depth_ == pointDepth_ + 1) {
      inTime_ = true;
      timeText_.clear();
    }
    return {};
  }

  std::string End(std::string_view name) override {
    const int depth = depth_--;
    if (name == "time" && inTime_ && current_ && depth == pointDepth_ + 1) {
      inTime_ = false;
      double t;
      if (!ParseIsoTime(Trim(timeText_), t)) return "bad time \"" + timeText_ + "\"";
      current_->back().time = t;
    } else if (current_ && depth == pointDepth_ && (name == "trkpt" || name == "rtept")) {
      current_ = nullptr;
    }
    return {};
  }

  void Text(std::string_view text) override {
    if (inTime_ && timeText_.size() < 64) timeText_.append(text.substr(0, 64 - timeText_.size()));
  }

 private:
  std::vector<TrackPoint>* current_ = nullptr;  // the point list whose last entry is open
  int depth_ = 0;                               // of the element being read
  int pointDepth_ = 0;                          // of the open point; its time is the element one deeper
  bool inTime_ = false;
  std::string timeText_;
};

int DigitsAt(std::string_view t, size_t pos, size_t count, bool& ok) {
  int v = 0;
  if (pos + count > t.size()) {
    ok = false;
    return 0;
  }
  for (size_t i = pos; i < pos + count; i++) {
    if (t[i] < '0' || t[i] > '9') ok = false;
    v = v * 10 + (t[i] - '0');
  }
  return v;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

bool ParseIsoTime(std::string_view t, double& seconds) {
  bool ok = true;
  int year = DigitsAt(t, 0, 4, ok), month = DigitsAt(t, 5, 2, ok), day = DigitsAt(t, 8, 2, ok);
  int hour = DigitsAt(t, 11, 2, ok), minute = DigitsAt(t, 14, 2, ok), second = DigitsAt(t, 17, 2, ok);
  if (!ok || t[4] != '-' || t[7] != '-' || (t[10] != 'T' && t[10] != ' ') || t[13] != ':' || t[16] != ':' ||
      month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return false;
  double frac = 0;
  size_t pos = 19;
  if (pos < t.size() && t[pos] == '.') {
    double scale = 0.1;
    for (pos++; pos < t.size() && t[pos] >= '0' && t[pos] <= '9'; pos++, scale /= 10) frac += (t[pos] - '0') * scale;
  }
  int offset = 0;
  if (pos < t.size()) {
    if (t[pos] == 'Z' && pos + 1 == t.size()) {
    } else if ((t[pos] == '+' || t[pos] == '-') && t.size() == pos + 6 && t[pos + 3] == ':') {
      int oh = DigitsAt(t, pos + 1, 2, ok), om = DigitsAt(t, pos + 4, 2, ok);
      if (!ok) return false;
      offset = (oh * 60 + om) * 60 * (t[pos] == '-' ? -1 : 1);
    } else {
      return false;
    }
  }
  seconds = static_cast<double>(DaysFromCivil(year, month, day)) * 86400.0 + hour * 3600 + minute * 60 + second + frac -
            offset;
  return true;
}

bool ParseGpx(std::string_view xml, std::vector<TrackPoint>& points, std::string& error) {
  GpxState s;
  if (!ReadXml(xml, s, error)) return false;
  points = s.track.empty() ? std::move(s.route) : std::move(s.track);
  if (points.empty()) {
    error = "no track or route points";
    return false;
  }
  return true;
}

bool LoadGpxFile(const std::string& path, std::vector<TrackPoint>& points, std::string& error) {
  std::string text;
  if (ReadDeviceFile(path, kMaxGpxBytes, text, error) != ReadResult::kOk) return false;
  if (!ParseGpx(text, points, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

TrackReplay::TrackReplay(std::vector<TrackPoint> points, double defaultSpeedKmh) : points_(std::move(points)) {
  double metresPerSecond = (defaultSpeedKmh > 0 ? defaultSpeedKmh : 40.0) / 3.6;
  double t = 0;
  for (size_t i = 0; i < points_.size(); i++) {
    if (i > 0) {
      const TrackPoint& a = points_[i - 1];
      const TrackPoint& b = points_[i];
      double dt = (a.time >= 0 && b.time > a.time) ? b.time - a.time : DistanceMetres(a.pos, b.pos) / metresPerSecond;
      t += dt;
    }
    starts_.push_back(t);
  }
  total_ = t;
}

GpsFix TrackReplay::At(double seconds) const {
  GpsFix fix;
  if (points_.empty()) return fix;
  fix.valid = true;
  if (points_.size() == 1 || total_ <= 0) {
    fix.pos = points_.front().pos;
    return fix;
  }
  double t = std::fmod(seconds < 0 ? 0 : seconds, total_);
  // Binary search for the segment [i, i+1] holding t.
  size_t lo = 0, hi = points_.size() - 1;
  while (hi - lo > 1) {
    size_t mid = (lo + hi) / 2;
    (starts_[mid] <= t ? lo : hi) = mid;
  }
  const TrackPoint& a = points_[lo];
  const TrackPoint& b = points_[lo + 1];
  double dt = starts_[lo + 1] - starts_[lo];
  double f = dt > 0 ? (t - starts_[lo]) / dt : 0;
  fix.pos = Interpolate(a.pos, b.pos, f);
  fix.segment = lo;
  double metres = DistanceMetres(a.pos, b.pos);
  fix.speed = dt > 0 ? static_cast<int>(std::lround(metres / dt * 3.6)) : 0;
  // Standing still keeps the heading of the last movement.
  size_t i = lo;
  while (i > 0 && points_[i].pos == points_[i + 1].pos) i--;
  if (!(points_[i].pos == points_[i + 1].pos))
    fix.heading = static_cast<int>(std::lround(BearingDegrees(points_[i].pos, points_[i + 1].pos))) % 360;
  return fix;
}

}  // namespace nav
