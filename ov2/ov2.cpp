#include "ov2/ov2.h"

#include <algorithm>
#include <cstdio>

namespace ov2 {
namespace {

uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// True when `tail` (from a record start to the end of the file) can only be the first bytes of a
// point record being appended: type 2, a length no append exceeds, and no NUL in the text bytes
// present (a point's only NUL is its last byte). A damaged length field in the middle of a file
// leaves whole records behind it, and their NULs, so it never passes.
bool IsCutAppend(std::string_view tail, uint32_t length) {
  if (static_cast<unsigned char>(tail[0]) != 2 || length > kPointHeader + kMaxText + 1) return false;
  return tail.size() <= kPointHeader || tail.substr(kPointHeader).find('\0') == std::string_view::npos;
}

// "point record (type 2) at offset 40 " and the rest of the message.
std::string Describe(unsigned type, uint64_t offset, const char* format, uint64_t a, uint64_t b) {
  static const char* const kNames[] = {"deleted record", "skipper record", "point record", "extended point record"};
  char what[64], rest[128];
  if (type < 4)
    snprintf(what, sizeof what, "%s (type %u)", kNames[type], type);
  else
    snprintf(what, sizeof what, "unknown record type %u (0x%02X)", type, type);
  snprintf(rest, sizeof rest, format, static_cast<unsigned long long>(a), static_cast<unsigned long long>(b));
  return std::string(what) + " at offset " + std::to_string(offset) + " " + rest;
}

}  // namespace

Reading Read(std::string_view bytes) {
  Reading out;
  out.fileBytes = bytes.size();
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t pos = 0;
  auto stop = [&](Ending ending, std::string text) {
    out.ending = ending;
    out.endText = std::move(text);
  };
  while (pos < bytes.size()) {
    const size_t remaining = bytes.size() - pos;
    const unsigned type = b[pos];
    // A tail of zero bytes is what a file system can leave after a crash.
    if (std::all_of(b + pos, b + bytes.size(), [](unsigned char c) { return c == 0; })) {
      out.ending = Ending::kTornTail;
      out.endText = std::to_string(remaining) + " zero bytes at offset " + std::to_string(pos) +
                    ": what a write cut short can leave";
      break;
    }
    uint32_t length;
    if (type == 1) {
      length = kSkipperBytes;
    } else if (remaining < kHeaderBytes) {
      // Only an append, a point record, can have been cut inside its header.
      stop(type == 2 ? Ending::kTornTail : Ending::kDamaged,
           Describe(type, pos, "is truncated: %llu bytes where a record header needs %llu", remaining, kHeaderBytes));
      break;
    } else {
      length = Le32(b + pos + 1);
    }
    const uint32_t minimum = (type == 2 || type == 3) ? kPointHeader + 1 : kHeaderBytes;
    if (length < minimum) {
      stop(Ending::kDamaged,
           Describe(type, pos, "claims a length of %llu bytes, less than the %llu it needs", length, minimum));
      break;
    }
    if (length > remaining) {
      stop(IsCutAppend(bytes.substr(pos), length) ? Ending::kTornTail : Ending::kDamaged,
           Describe(type, pos, "claims %llu bytes but only %llu remain in the file", length, remaining));
      break;
    }
    Record r;
    r.type = static_cast<uint8_t>(type);
    r.offset = pos;
    r.raw = bytes.substr(pos, length);
    if (type == 2 || type == 3) {
      r.x = static_cast<int32_t>(Le32(b + pos + 5));
      r.y = static_cast<int32_t>(Le32(b + pos + 9));
      std::string_view text = r.raw.substr(kPointHeader);
      size_t nul = text.find('\0');
      if (nul == std::string_view::npos) {
        r.textUnterminated = true;
      } else {
        r.isPoint = true;
        r.text = text.substr(0, nul);
        if (type == 2) r.bytesAfterText = text.size() - nul - 1;
      }
    }
    out.records.push_back(r);
    pos += length;
    out.wholeBytes = pos;
  }
  return out;
}

std::string EncodePoint(int32_t x, int32_t y, std::string_view text) {
  std::string out;
  const uint32_t length = static_cast<uint32_t>(kPointHeader + text.size() + 1);
  out.reserve(length);
  out.push_back('\x02');
  PutLe32(out, length);
  PutLe32(out, static_cast<uint32_t>(x));
  PutLe32(out, static_cast<uint32_t>(y));
  out.append(text);
  out.push_back('\0');
  return out;
}

}  // namespace ov2
