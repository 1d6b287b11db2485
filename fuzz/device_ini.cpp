// device.ini: any file gives a usable device profile (sizes in range, identifier bytes bounded).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ce/device.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/scratch_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = fuzzutil::ScratchDevice().string();
  FILE* file = std::fopen((root + "/device.ini").c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);
  ce::ResetDeviceForTests();
  const ce::DeviceProfile& profile = ce::Device();
  FUZZ_CHECK(profile.screenWidth >= 1 && profile.screenWidth <= 8192);
  FUZZ_CHECK(profile.screenHeight >= 1 && profile.screenHeight <= 8192);
  FUZZ_CHECK(profile.deviceId.size() <= 64);
  return 0;
}
