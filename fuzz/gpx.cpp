// GPX tracks: any document is read or refused, and a read track replays to finite positions.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "navigator/gpx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<nav::TrackPoint> points;
  std::string error;
  if (!nav::ParseGpx(std::string_view(reinterpret_cast<const char*>(data), size), points, error)) return 0;
  if (points.empty()) return 0;
  nav::TrackReplay replay(points, 40);
  for (double t : {0.0, 1.0, 59.5, replay.Duration(), replay.Duration() * 2.5 + 3}) {
    nav::GpsFix fix = replay.At(t);
    FUZZ_CHECK(fix.segment < points.size());
    FUZZ_CHECK(fix.speed >= 0);
  }
  return 0;
}
