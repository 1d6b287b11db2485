// The exporter: any bytes as a category file are collected, every description decoded, and
// written as CSV, GPX and GeoJSON. The GPX must parse as XML and the GeoJSON must be UTF-8,
// whatever the points hold; camera data that decodes must encode back to the same text.
#include <expat.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "tools/exporter/camera.h"
#include "tools/exporter/export.h"

namespace {

bool WellFormedXml(const std::string& doc) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  const bool ok = XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok;
}

bool ValidUtf8(const std::string& text) {
  bool converted = false;
  return exporter::ToUtf8(text, converted) == text && !converted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  std::vector<exporter::ExportPoint> points;
  exporter::CollectFile("fuzz.ov2", std::span<const uint8_t>(data, size), points,
                        [](exporter::Severity, const std::string&) {});
  FUZZ_CHECK(WellFormedXml(exporter::WriteGpx(points)));
  FUZZ_CHECK(ValidUtf8(exporter::WriteGeoJson(points)));
  exporter::WriteCsv(points);

  // The same bytes as one description: a camera's data decodes to what encodes back.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  exporter::DecodeDescription(text);
  std::string decoded, error;
  if (exporter::DecodeCameraBase64(text, decoded, error)) FUZZ_CHECK(exporter::EncodeCameraBase64(decoded) == text);
  exporter::CameraData camera;
  if (exporter::ParseCameraDataText(text, camera, error)) {
    exporter::CameraData again;
    FUZZ_CHECK(exporter::ParseCameraDataText(exporter::FormatCameraDataText(camera), again, error));
    FUZZ_CHECK(again.heading == camera.heading && again.speedKmh == camera.speedKmh &&
               again.typeCode == camera.typeCode && again.captured == camera.captured);
  }
  return 0;
}
