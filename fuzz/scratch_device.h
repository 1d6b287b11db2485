// A scratch device folder for the targets that read a file through the device layer: made once
// per process in memory (/dev/shm) where it can be, else under the temporary folder, and named by
// CE_DEVICE.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ce/device.h"

namespace fuzzutil {

inline const std::filesystem::path& ScratchDevice() {
  static const std::filesystem::path root = [] {
    const std::filesystem::path base =
        access("/dev/shm", W_OK) == 0 ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    std::string pattern = (base / "tm-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::filesystem::create_directories(std::filesystem::path(pattern) / "fs");
    setenv("CE_DEVICE", pattern.c_str(), 1);
    ce::ResetDeviceForTests();
    static std::string made = pattern;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(made, ec);
    });
    return std::filesystem::path(pattern);
  }();
  return root;
}

inline void WriteWhole(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::abort();
}

}  // namespace fuzzutil
