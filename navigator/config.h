// navigator.ini, read from the folder of the executable. Every key has a default:
//
//   [gps]
//   mode=track            ; track: replay a GPX track; fixed: stand at one place; nofix: no GPS fix
//   track=demotown.gpx    ; the GPX file: a device path, or a name beside navigator.ini
//   default_speed=40      ; km/h between track points without time stamps
//   rate=1                ; replay speed-up (1: real time)
//   latitude=0            ; the fixed position, decimal degrees
//   longitude=0
//   heading=0             ; degrees, with the fixed position
//   speed=0               ; km/h, with the fixed position
//   [map]
//   folder=\TomTom\Maps\Demotown\   ; the map folder at start-up
//   [device]
//   id=                   ; the unique device id reported; empty: from the device's identifier
//   [files]
//   favorites=favorites.txt         ; the favourites file: a device path or a name beside navigator.ini
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nav {

enum class GpsMode { kTrack, kFixed, kNoFix };

struct NavigatorConfig {
  GpsMode mode = GpsMode::kTrack;
  std::string track = "demotown.gpx";
  double defaultSpeed = 40;
  double rate = 1;
  double latitude = 0, longitude = 0;
  int heading = 0, speed = 0;
  std::string mapFolder = "\\TomTom\\Maps\\Demotown\\";
  std::string deviceId;
  std::string favorites = "favorites.txt";
};

// Reads the ini text over the defaults. Unknown keys and bad values are reported in `warnings`
// (with their line) and leave the default in place.
void ParseConfig(std::string_view text, NavigatorConfig& config, std::vector<std::string>& warnings);
// A missing file (a device path) is no error: the defaults stand. False when the file exists but cannot be read.
bool LoadConfig(const std::string& path, NavigatorConfig& config, std::vector<std::string>& warnings);

// A setting naming a file: a device path (starting with '\') is kept, any other name is taken
// as beside the ini file in `iniFolder` (a device path ending in '\').
std::string ResolveBeside(const std::string& iniFolder, const std::string& name);

}  // namespace nav
