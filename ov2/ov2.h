// Category files of points of interest in the OV2 layout: reading and writing their records,
// with one rule for damage, shared by the navigator stand-in and the exporter.
//
// A category file is a run of records, each starting with a type byte:
//   0  deleted record   type, int32 length of the whole record, then filler
//   1  skipper record   type, int32 size of the block it covers, four int32 corners: always
//                       21 bytes itself, whatever it covers
//   2  point            type, int32 length, int32 x, int32 y, NUL-terminated text
//   3  extended point   as 2, then two more NUL-terminated texts
//   other types         type, int32 length of the whole record
// Integers are little-endian; x and y are longitude and latitude times 100000.
//
// The rule for damage: every later offset depends on each length field, so reading stops at the
// first record that cannot be whole -- a length too small, or one that runs past the end. That is
// a torn tail only when it can be nothing but the first bytes of a point appended last (zero
// bytes, or a type-2 record no longer than any append, whose text bytes hold no NUL): a write cut
// short, whose bytes a writer may cut off. Anything else is damage, and nothing after it is read.
// A point whose text has no NUL is damaged in itself but its length is sound: it is kept as a
// record and never read as a point.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov2 {

inline constexpr uint32_t kHeaderBytes = 5;  // type and length
inline constexpr uint32_t kSkipperBytes = 21;
inline constexpr uint32_t kPointHeader = 13;  // type, length, x, y
inline constexpr size_t kMaxText = 16384;     // the longest text a point is written with

struct Record {
  uint8_t type = 0;
  uint64_t offset = 0;            // where the record starts in the file
  std::string_view raw;           // the record's bytes, as stored
  bool isPoint = false;           // type 2 or 3 with a NUL-terminated text
  int32_t x = 0, y = 0;           // of types 2 and 3
  std::string_view text;          // of a point: up to its first NUL
  size_t bytesAfterText = 0;      // of a type-2 point: bytes between its text's NUL and its end
  bool textUnterminated = false;  // a type 2 or 3 record whose text has no NUL
};

enum class Ending { kWhole, kTornTail, kDamaged };

struct Reading {
  std::vector<Record> records;  // views into the bytes read
  uint64_t wholeBytes = 0;      // bytes of whole records from the start of the file
  uint64_t fileBytes = 0;
  Ending ending = Ending::kWhole;
  std::string endText;  // for a torn tail or damage: what was found at wholeBytes
};

// Reads the records of a file image; the records point into `bytes`.
Reading Read(std::string_view bytes);

// The bytes of one type-2 record.
std::string EncodePoint(int32_t x, int32_t y, std::string_view text);

}  // namespace ov2
