#include "navigator/config.h"

#include "navigator/device_file.h"
#include "navigator/geo.h"
#include "navigator/ini_text.h"

namespace nav {
namespace {

constexpr uint64_t kMaxConfigBytes = 1u << 20;

struct ParseState {
  NavigatorConfig* config;
  std::vector<std::string>* warnings;
  std::string where;  // "navigator.ini line N: "
};

void OnValue(ParseState& s, std::string_view section, std::string_view name, std::string_view value) {
  NavigatorConfig& c = *s.config;
  std::string sec(section), key(name);
  std::string_view v = Trim(value);
  bool ok = true;
  auto number = [&](double& out, double lo, double hi) {
    double d;
    if (ParseDouble(v, d) && d >= lo && d <= hi)
      out = d;
    else
      ok = false;
  };
  auto integer = [&](int& out, int lo, int hi) {
    int32_t i;
    if (ParseInt32(v, i) && i >= lo && i <= hi)
      out = i;
    else
      ok = false;
  };
  if (sec == "gps" && key == "mode") {
    if (v == "track")
      c.mode = GpsMode::kTrack;
    else if (v == "fixed")
      c.mode = GpsMode::kFixed;
    else if (v == "nofix")
      c.mode = GpsMode::kNoFix;
    else
      ok = false;
  } else if (sec == "gps" && key == "track") {
    c.track = std::string(v);
  } else if (sec == "gps" && key == "default_speed") {
    number(c.defaultSpeed, 1, 500);
  } else if (sec == "gps" && key == "rate") {
    number(c.rate, 0.01, 1000);
  } else if (sec == "gps" && key == "latitude") {
    number(c.latitude, -90, 90);
  } else if (sec == "gps" && key == "longitude") {
    number(c.longitude, -180, 180);
  } else if (sec == "gps" && key == "heading") {
    integer(c.heading, 0, 359);
  } else if (sec == "gps" && key == "speed") {
    integer(c.speed, 0, 1000);
  } else if (sec == "map" && key == "folder") {
    if (v.empty() || v.front() != '\\')
      ok = false;
    else
      c.mapFolder = std::string(v) + (v.back() == '\\' ? "" : "\\");
  } else if (sec == "device" && key == "id") {
    if (v.size() > 31)
      ok = false;
    else
      c.deviceId = std::string(v);
  } else if (sec == "files" && key == "favorites") {
    c.favorites = std::string(v);
  } else {
    s.warnings->push_back(s.where + "unknown key [" + sec + "] " + key);
    return;
  }
  if (!ok) s.warnings->push_back(s.where + "bad value for [" + sec + "] " + key + ": \"" + std::string(v) + "\"");
}

}  // namespace

void ParseConfig(std::string_view text, NavigatorConfig& config, std::vector<std::string>& warnings) {
  ParseState s{&config, &warnings, {}};
  int bad = ParseIniText(text, [&](std::string_view section, std::string_view key, std::string_view value, int line) {
    s.where = "navigator.ini line " + std::to_string(line) + ": ";
    OnValue(s, section, key, value);
  });
  if (bad > 0)
    warnings.push_back("navigator.ini: line " + std::to_string(bad) + " is not a key, a section or a comment");
}

bool LoadConfig(const std::string& path, NavigatorConfig& config, std::vector<std::string>& warnings) {
  std::string text, error;
  ReadResult r = ReadDeviceFile(path, kMaxConfigBytes, text, error);
  if (r == ReadResult::kMissing) return true;
  if (r != ReadResult::kOk) {
    warnings.push_back(error + "; using the defaults");
    return false;
  }
  ParseConfig(text, config, warnings);
  return true;
}

std::string ResolveBeside(const std::string& iniFolder, const std::string& name) {
  if (name.empty() || name.front() == '\\') return name;
  return iniFolder + name;
}

}  // namespace nav
