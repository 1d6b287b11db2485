#include "tools/exporter/ov2.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace exporter {
namespace {

std::uint32_t LoadU32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::int32_t LoadI32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::int32_t>(LoadU32(bytes, at));  // two's complement, defined since C++20
}

void StoreI32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(u >> shift));
}

void Add(Ov2Contents& c, Severity severity, std::size_t offset, std::string text)
{
    if (severity == Severity::Error) c.complete = false;
    c.diagnostics.push_back(Diagnostic{severity, offset, std::move(text)});
}

__attribute__((format(printf, 1, 2))) std::string Printf(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace

Ov2Contents ReadOv2(std::span<const std::uint8_t> bytes)
{
    Ov2Contents c;
    if (bytes.empty()) {
        Add(c, Severity::Notice, 0, "empty category file: no points");
        return c;
    }

    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t left = bytes.size() - at;
        const int type = bytes[at];

        if (type > 3) {
            Add(c, Severity::Error, at,
                Printf("unknown record type %d (0x%02X): not a category file, or damaged here; "
                       "%zu bytes left unread",
                       type, static_cast<unsigned>(type), left));
            return c;
        }
        if (left < kOv2HeaderSize) {
            Add(c, Severity::Error, at,
                Printf("truncated record: %zu bytes where a record header needs %zu", left, kOv2HeaderSize));
            return c;
        }

        if (type == 1) {
            // The length field of a skipper is the size of the block it covers, not its own.
            if (left < kOv2SkipperSize) {
                Add(c, Severity::Error, at,
                    Printf("truncated skipper record: %zu bytes of %zu", left, kOv2SkipperSize));
                return c;
            }
            Add(c, Severity::Notice, at, "skipper record (area index), skipped");
            at += kOv2SkipperSize;
            continue;
        }

        const std::uint32_t length = LoadU32(bytes, at + 1);
        const std::size_t minimum = type == 0 ? kOv2HeaderSize : kOv2PointMinSize;
        if (length < minimum) {
            Add(c, Severity::Error, at,
                Printf("record type %d claims a length of %u bytes, less than the %zu it needs; "
                       "%zu bytes left unread",
                       type, length, minimum, left));
            return c;
        }
        if (length > left) {
            Add(c, Severity::Error, at,
                Printf("record type %d claims %u bytes but only %zu remain in the file (truncated or damaged)",
                       type, length, left));
            return c;
        }

        if (type == 0) {
            Add(c, Severity::Notice, at, Printf("deleted record of %u bytes, skipped", length));
            at += length;
            continue;
        }

        // Types 2 and 3: the description is the first NUL-terminated text after x and y.
        const std::span<const std::uint8_t> text = bytes.subspan(at + 13, length - 13);
        const void* nul = std::memchr(text.data(), 0, text.size());
        if (nul == nullptr) {
            Add(c, Severity::Error, at, "point record whose text has no terminating NUL, skipped");
        } else {
            const auto textLength = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - text.data());
            Ov2Point p;
            p.offset = at;
            p.recordType = type;
            p.x = LoadI32(bytes, at + 5);
            p.y = LoadI32(bytes, at + 9);
            p.text.assign(reinterpret_cast<const char*>(text.data()), textLength);
            if (type == 2 && textLength + 1 != text.size()) {
                Add(c, Severity::Notice, at,
                    Printf("point record carries %zu bytes after its text, ignored", text.size() - textLength - 1));
            }
            c.points.push_back(std::move(p));
        }
        at += length;
    }
    return c;
}

void AppendOv2Point(std::vector<std::uint8_t>& out, std::int32_t x, std::int32_t y, const std::string& text)
{
    out.push_back(2);
    StoreI32(out, static_cast<std::int32_t>(kOv2PointMinSize + text.size()));
    StoreI32(out, x);
    StoreI32(out, y);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error)
{
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

std::string FormatDegrees(std::int32_t value)
{
    const std::int64_t v = value;
    const std::int64_t magnitude = v < 0 ? -v : v;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%lld.%05lld", v < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 100000), static_cast<long long>(magnitude % 100000));
    return buffer;
}

}  // namespace exporter
