// The street file: any text is read line by line or refused; lookups on what was read stay sane.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "navigator/streets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nav::StreetMap map;
  std::vector<std::string> warnings;
  std::string error;
  if (!map.Parse(std::string_view(reinterpret_cast<const char*>(data), size), warnings, error)) return 0;
  for (const nav::Street& street : map.Streets()) FUZZ_CHECK(street.line.size() >= 2);
  for (const nav::Place& place : map.Places()) {
    nav::LocationInfo info;
    map.Locate(place.centre, 1000, info);
    map.PlaceAt(place.centre);
    nav::GeocodeHit hit;
    map.Geocode(place.name, "", "", hit);
  }
  for (const nav::Street& street : map.Streets()) {
    nav::LocationInfo info;
    map.Locate(street.line.front(), 1000, info);
    nav::GeocodeHit hit;
    map.Geocode(street.place, street.name, "12", hit);
    map.Geocode("", street.name, "-7", hit);
  }
  return 0;
}
