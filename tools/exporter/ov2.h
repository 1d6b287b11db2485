// Reading category files: the navigator's points of interest in OV2 records.
//
// A category file is a run of records, each starting with a type byte:
//   0  deleted record   type, int32 length of the whole record, then filler
//   1  skipper record   type, int32 size of the block it covers, four int32
//                       corners: always 21 bytes itself, whatever it covers
//   2  point            type, int32 length, int32 x, int32 y, NUL-terminated text
//   3  extended point   as 2, then two more NUL-terminated texts (id, extra)
// Integers are little-endian; x and y are longitude and latitude times 100000.
// Any other type byte means the file is damaged or not a category file at all,
// and since every later offset depends on this one, reading stops there.
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
