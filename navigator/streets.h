// The street file of a map folder ("streets.txt"): a line-based text file, '|' between fields,
// '#' starting a comment line, blank lines ignored. Coordinates are decimal degrees.
//
//   map|<map name>
//   place|<name>|<latitude>|<longitude>|<radius in metres>
//   street|<name>|<place>|<speed limit km/h>|<first number>-<last number>|<lat>,<lon> <lat>,<lon> ...
//
// A street is a polyline of at least two points; its house numbers run from the first to the
// last along it ("0-0": no numbers). The place field names a place line (it may be empty: the
// nearest place is used). A place such as "Demotown (North)" is one part of a town.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "navigator/geo.h"

namespace nav {

struct Street {
  std::string name;
  std::string place;
  int speedLimit = 0;
  int firstNumber = 0, lastNumber = 0;
  std::vector<MapPoint> line;
};

struct Place {
  std::string name;
  MapPoint centre;
  int radius = 0;
};

struct LocationInfo {
  MapPoint onStreet;  // the closest point of the street
  int metres = 0;     // distance from the asked position to it
  std::string street;
  int houseNumber = 0;
  int speedLimit = 0;
  std::string place;
};

struct GeocodeHit {
  MapPoint pos;
  int houseNumber = 0;
  std::string street;
  std::string place;
};

class StreetMap {
 public:
  // Parses a street file. Lines that cannot be read are skipped, each with a warning naming its
  // line number; false (with `error`) only when nothing usable remains.
  bool Parse(std::string_view text, std::vector<std::string>& warnings, std::string& error);
  bool Load(const std::string& path, std::vector<std::string>& warnings, std::string& error);

  const std::string& Name() const { return name_; }
  const std::vector<Street>& Streets() const { return streets_; }
  const std::vector<Place>& Places() const { return places_; }

  // The street closest to `p` within `maxMetres`, with the house number at that point and its
  // place. False when no street is that close.
  bool Locate(MapPoint p, double maxMetres, LocationInfo& info) const;

  // Finds an address: a place (empty: any; "Demotown" also matches "Demotown (North)"), a street
  // (empty: the place's centre) and a house number text (empty: the street's middle; outside the
  // street's range: its nearest end). Names are compared ignoring ASCII case.
  bool Geocode(std::string_view place, std::string_view street, std::string_view houseNumber, GeocodeHit& hit) const;

  // The place that holds `p`: the nearest whose radius covers it, else the nearest of all.
  const Place* PlaceAt(MapPoint p) const;

 private:
  const Place* FindPlace(std::string_view name) const;
  std::string name_;
  std::vector<Street> streets_;
  std::vector<Place> places_;
};

}  // namespace nav
