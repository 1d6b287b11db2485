// Pieces the exporter's tests share: a throw-away folder for one test, and the description text
// the capture program gives a camera.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "tools/exporter/camera.h"

namespace exportertest {

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder() = default;
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Makes /tmp/<prefix>-XXXXXX; false when it cannot.
  bool Make(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) return false;
    path_ = pattern;
    return true;
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// "street, place !01<data>!", the way the capture program describes a camera.
inline std::string CameraDescription(const std::string& street, const std::string& place,
                                     const exporter::CameraData& data) {
  return street + ", " + place + " !01" + exporter::EncodeCameraBase64(exporter::FormatCameraDataText(data)) + "!";
}

}  // namespace exportertest
