// navigator.ini: any text leaves a usable configuration, each bad value reported.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "navigator/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nav::NavigatorConfig config;
  std::vector<std::string> warnings;
  nav::ParseConfig(std::string_view(reinterpret_cast<const char*>(data), size), config, warnings);
  FUZZ_CHECK(std::isfinite(config.defaultSpeed) && std::isfinite(config.rate));
  FUZZ_CHECK(std::isfinite(config.latitude) && std::isfinite(config.longitude));
  nav::ResolveBeside("\\Program Files\\Navigator\\", config.track);
  nav::ResolveBeside("\\Program Files\\Navigator\\", config.favorites);
  return 0;
}
