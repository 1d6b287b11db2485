// From category files to CSV, GPX or GeoJSON.
//
// CollectFile reads one category file, decodes every point's description and
// reports each thing it could not read (or chose to skip) through a message
// callback, so nothing disappears without a word. The writers turn the
// collected points into one document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/exporter/camera.h"
#include "tools/exporter/ov2.h"

namespace exporter {

struct ExportPoint {
  std::string file;         // the file it came from, as named on the command line
  std::string category;     // the file's base name without ".ov2"
  std::size_t record;       // 1-based number among the file's points
  std::int32_t x;           // longitude × 100000
  std::int32_t y;           // latitude × 100000
  std::string description;  // UTF-8
  bool isCamera = false;
  std::string street, place;
  CameraData camera;
};

enum class Format { Csv, Gpx, GeoJson };

std::optional<Format> ParseFormat(std::string_view name);

// Called with every message about a file: "<file>: <where>: <what>".
using MessageSink = std::function<void(Severity, const std::string&)>;

// The same with the message's kind: its <what> with numbers as "N" and without the quoted text
// that may end it ("deleted record of N bytes, skipped"), so that messages can be counted by kind.
using KindedMessageSink = std::function<void(Severity, const std::string& kind, const std::string& text)>;

// The kind of a message's <what> part, as KindedMessageSink receives it.
std::string MessageKind(std::string_view what);

// Reads and decodes one category file held in `bytes`; appends its points.
// Returns false when anything in it could not be read or decoded.
bool CollectFile(const std::string& file, std::span<const std::uint8_t> bytes, std::vector<ExportPoint>& points,
                 const MessageSink& sink);
bool CollectFile(const std::string& file, std::span<const std::uint8_t> bytes, std::vector<ExportPoint>& points,
                 const KindedMessageSink& sink);

// The category of a file: its base name without the extension.
std::string CategoryOf(const std::string& path);

// Text of the description bytes as UTF-8: valid UTF-8 stays, anything else is
// taken as Latin-1 (the single-byte code page devices commonly used).
std::string ToUtf8(std::string_view bytes, bool& converted);

std::string WriteCsv(const std::vector<ExportPoint>& points);
std::string WriteGpx(const std::vector<ExportPoint>& points);
std::string WriteGeoJson(const std::vector<ExportPoint>& points);
std::string Write(Format format, const std::vector<ExportPoint>& points);

}  // namespace exporter
