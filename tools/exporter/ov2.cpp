#include "tools/exporter/ov2.h"

#include "ov2/ov2.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace exporter {
namespace {

void StoreI32(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(u >> shift));
}

void Add(Ov2Contents& c, Severity severity, std::size_t offset, std::string text) {
  if (severity == Severity::Error) c.complete = false;
  c.diagnostics.push_back(Diagnostic{severity, offset, std::move(text)});
}

__attribute__((format(printf, 1, 2))) std::string Printf(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

}  // namespace

Ov2Contents ReadOv2(std::span<const std::uint8_t> bytes) {
  Ov2Contents c;
  if (bytes.empty()) {
    Add(c, Severity::Notice, 0, "empty category file: no points");
    return c;
  }
  const ov2::Reading reading = ov2::Read(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  for (const ov2::Record& r : reading.records) {
    const std::size_t at = static_cast<std::size_t>(r.offset);
    if (r.textUnterminated) {
      Add(c, Severity::Error, at, "point record whose text has no terminating NUL, skipped");
      continue;
    }
    if (!r.isPoint) {
      if (r.type == 1)
        Add(c, Severity::Notice, at, "skipper record (area index), skipped");
      else if (r.type == 0)
        Add(c, Severity::Notice, at, Printf("deleted record of %zu bytes, skipped", r.raw.size()));
      else
        Add(c, Severity::Notice, at, Printf("record of type %d (%zu bytes), skipped", r.type, r.raw.size()));
      continue;
    }
    Ov2Point p;
    p.offset = at;
    p.recordType = r.type;
    p.x = r.x;
    p.y = r.y;
    p.text.assign(r.text);
    if (r.bytesAfterText > 0)
      Add(c, Severity::Notice, at, Printf("point record carries %zu bytes after its text, ignored", r.bytesAfterText));
    c.points.push_back(std::move(p));
  }
  const std::size_t end = static_cast<std::size_t>(reading.wholeBytes);
  const std::size_t left = bytes.size() - end;
  if (reading.ending == ov2::Ending::kTornTail) {
    Add(c, Severity::Error, end,
        reading.endText + Printf(" (the last write was cut short; %zu bytes left unread)", left));
  } else if (reading.ending == ov2::Ending::kDamaged) {
    Add(c, Severity::Error, end,
        reading.endText + Printf(": not a category file, or damaged here; %zu bytes left unread", left));
  }
  return c;
}

void AppendOv2Point(std::vector<std::uint8_t>& out, std::int32_t x, std::int32_t y, const std::string& text) {
  out.push_back(2);
  StoreI32(out, static_cast<std::int32_t>(kOv2PointMinSize + text.size()));
  StoreI32(out, x);
  StoreI32(out, y);
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  std::uint8_t chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool failed = std::ferror(f) != 0;
  const int savedErrno = errno;
  std::fclose(f);
  if (failed) {
    error = std::strerror(savedErrno);
    return false;
  }
  return true;
}

std::string FormatDegrees(std::int32_t value) {
  const std::int64_t v = value;
  const std::int64_t magnitude = v < 0 ? -v : v;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%lld.%05lld", v < 0 ? "-" : "", static_cast<long long>(magnitude / 100000),
                static_cast<long long>(magnitude % 100000));
  return buffer;
}

}  // namespace exporter
