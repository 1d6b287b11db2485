// Reading category files for the exporter: the points of interest in OV2 records, with a message
// for every record that is not a point and for the damage that stopped the reading. The records
// and the rules for damage are those of ov2/ov2.h, which the navigator stand-in stores by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace exporter {

enum class Severity { Notice, Error };

struct Diagnostic {
  Severity severity;
  std::size_t offset;  // byte offset of the record the message is about
  std::string text;
};

struct Ov2Point {
  std::size_t offset;  // where the record starts in the file
  int recordType;      // 2 or 3
  std::int32_t x;      // longitude × 100000
  std::int32_t y;      // latitude × 100000
  std::string text;    // the description bytes, as stored
};

struct Ov2Contents {
  std::vector<Ov2Point> points;
  std::vector<Diagnostic> diagnostics;
  bool complete = true;  // false when any byte of the file could not be accounted for
};

// Smallest records that can be whole: a point needs its header and the text's NUL.
inline constexpr std::size_t kOv2HeaderSize = 5;
inline constexpr std::size_t kOv2PointMinSize = 14;
inline constexpr std::size_t kOv2SkipperSize = 21;

Ov2Contents ReadOv2(std::span<const std::uint8_t> bytes);

// Appends one type-2 record to `out` (used by tests and by anyone building a file).
void AppendOv2Point(std::vector<std::uint8_t>& out, std::int32_t x, std::int32_t y, const std::string& text);

// Reads a whole file; on failure returns false and says why in `error`.
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// "12.34567" for 1234567: exact decimal degrees from the stored integer.
std::string FormatDegrees(std::int32_t value);

}  // namespace exporter
