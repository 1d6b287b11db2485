#include "tools/exporter/export.h"

#include <cstdio>

namespace exporter {
namespace {

const char* OrEmpty(const char* name) { return name != nullptr ? name : ""; }

std::string Where(const std::string& file, std::size_t offset) {
  return file + ": byte " + std::to_string(offset) + ": ";
}

// Shown in messages: a description cut short, with control bytes made visible.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kMax = 80;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kMax; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
      out += buffer;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  if (text.size() > kMax) out += "...";
  return out + "\"";
}

// Length of the valid UTF-8 sequence starting at `at`, or 0.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t at) {
  const auto b0 = static_cast<unsigned char>(s[at]);
  if (b0 < 0x80) return 1;
  std::size_t n;
  std::uint32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07;
  } else
    return 0;
  if (at + n > s.size()) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[at + i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  return n;
}

void AppendCsvField(std::string& out, std::string_view field) {
  const bool quote = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!field.empty() && (field.front() == ' ' || field.back() == ' '));
  if (!quote) {
    out += field;
    return;
  }
  out.push_back('"');
  for (char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

// XML 1.0 allows no control characters other than tab, line feed and carriage return, and not
// U+FFFE or U+FFFF; bytes that are no UTF-8 would make the whole document unreadable. Controls
// become a space, the rest U+FFFD, so the output is well-formed whatever a point's text holds.
std::string XmlEscaped(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const std::size_t n = Utf8SequenceAt(text, at);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    if (n == 3 && text.substr(at, 2) == "\xEF\xBF" && (text[at + 2] == '\xBE' || text[at + 2] == '\xBF')) {
      out += "\xEF\xBF\xBD";
    } else if (n > 1) {
      out.append(text.substr(at, n));
    } else {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&apos;";
          break;
        default:
          if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            out.push_back(' ');
          else
            out.push_back(c);
      }
    }
    at += n;
  }
  return out;
}

// JSON text is UTF-8: a byte that starts no valid sequence becomes U+FFFD.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const auto u = static_cast<unsigned char>(c);
    const std::size_t n = Utf8SequenceAt(text, at);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    if (n > 1) {
      out.append(text.substr(at, n));
    } else if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (u < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", u);
      out += buffer;
    } else {
      out.push_back(c);
    }
    at += n;
  }
  return out + "\"";
}

std::string CameraTitle(const ExportPoint& p) {
  return std::string(OrEmpty(CameraTypeName(p.camera.typeCode))) + " " + OrEmpty(SpeedLimitName(p.camera.speedCode));
}

std::string CameraDetails(const ExportPoint& p) {
  const CameraData& c = p.camera;
  std::string out = OrEmpty(DirectionName(c.directionCode));
  out += "; heading " + std::to_string(c.heading) + " deg; " + std::to_string(c.speedKmh) + " km/h";
  out += "; device " + (c.deviceId.empty() ? std::string("(none)") : c.deviceId);
  out += "; captured " + c.captured;
  return out;
}

}  // namespace

std::optional<Format> ParseFormat(std::string_view name) {
  if (name == "csv") return Format::Csv;
  if (name == "gpx") return Format::Gpx;
  if (name == "geojson" || name == "json") return Format::GeoJson;
  return std::nullopt;
}

std::string CategoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base;
}

std::string ToUtf8(std::string_view bytes, bool& converted) {
  converted = false;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t n = Utf8SequenceAt(bytes, at);
    if (n == 0) {
      converted = true;
      break;
    }
    at += n;
  }
  if (!converted) return std::string(bytes);
  std::string out;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

std::string MessageKind(std::string_view what) {
  std::string kind;
  for (std::size_t i = 0; i < what.size(); ++i) {
    const char c = what[i];
    if (c == '"' ||
        (c == ':' && i + 1 < what.size() && what[i + 1] == ' ' && i + 2 < what.size() && what[i + 2] == '"'))
      break;
    if (c >= '0' && c <= '9') {
      while (i + 1 < what.size() && what[i + 1] >= '0' && what[i + 1] <= '9') ++i;
      kind += 'N';
    } else {
      kind += c;
    }
  }
  while (!kind.empty() && kind.back() == ' ') kind.pop_back();
  return kind;
}

bool CollectFile(const std::string& file, std::span<const std::uint8_t> bytes, std::vector<ExportPoint>& points,
                 const MessageSink& sink) {
  return CollectFile(file, bytes, points,
                     [&sink](Severity severity, const std::string&, const std::string& text) { sink(severity, text); });
}

bool CollectFile(const std::string& file, std::span<const std::uint8_t> bytes, std::vector<ExportPoint>& points,
                 const KindedMessageSink& kindedSink) {
  const auto sink = [&kindedSink](Severity severity, std::string_view what, const std::string& text) {
    kindedSink(severity, MessageKind(what), text);
  };
  const Ov2Contents contents = ReadOv2(bytes);
  bool allRead = contents.complete;
  for (const Diagnostic& d : contents.diagnostics) {
    if (bytes.empty())
      sink(d.severity, d.text, file + ": " + d.text);
    else
      sink(d.severity, d.text, Where(file, d.offset) + d.text);
  }

  const std::string category = CategoryOf(file);
  std::size_t record = 0;
  for (const Ov2Point& raw : contents.points) {
    ++record;
    const std::string where = Where(file, raw.offset) + "point " + std::to_string(record) + ": ";
    ExportPoint p;
    p.file = file;
    p.category = category;
    p.record = record;
    p.x = raw.x;
    p.y = raw.y;
    bool converted = false;
    p.description = ToUtf8(raw.text, converted);
    if (converted)
      sink(Severity::Notice, "text is not UTF-8, read as Latin-1", where + "text is not UTF-8, read as Latin-1");

    const DecodedDescription d = DecodeDescription(p.description);
    switch (d.kind) {
      case DescriptionKind::Plain:
        sink(Severity::Notice, "not a camera, exported as a plain point",
             where + "not a camera, exported as a plain point: " + Quoted(p.description));
        break;
      case DescriptionKind::BadCamera:
        sink(Severity::Error, d.error + "; exported as a plain point",
             where + d.error + "; exported as a plain point: " + Quoted(p.description));
        allRead = false;
        break;
      case DescriptionKind::Camera:
        p.isCamera = true;
        p.street = d.street;
        p.place = d.place;
        p.camera = d.camera;
        if (!d.error.empty()) {
          sink(Severity::Error, d.error, where + d.error);
          allRead = false;
        }
        break;
    }
    points.push_back(std::move(p));
  }
  return allRead;
}

std::string WriteCsv(const std::vector<ExportPoint>& points) {
  std::string out =
      "file,category,record,kind,latitude,longitude,street,place,heading,speed_kmh,device_id,captured,"
      "type,type_name,speed,speed_name,direction,direction_name,description\n";
  for (const ExportPoint& p : points) {
    const CameraData& c = p.camera;
    std::vector<std::string> fields = {p.file,
                                       p.category,
                                       std::to_string(p.record),
                                       p.isCamera ? "camera" : "point",
                                       FormatDegrees(p.y),
                                       FormatDegrees(p.x)};
    if (p.isCamera) {
      fields.insert(fields.end(), {p.street, p.place, std::to_string(c.heading), std::to_string(c.speedKmh), c.deviceId,
                                   c.captured, std::to_string(c.typeCode), OrEmpty(CameraTypeName(c.typeCode)),
                                   std::to_string(c.speedCode), OrEmpty(SpeedLimitName(c.speedCode)),
                                   std::to_string(c.directionCode), OrEmpty(DirectionName(c.directionCode))});
    } else {
      fields.insert(fields.end(), 12, std::string());
    }
    fields.push_back(p.description);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out.push_back(',');
      AppendCsvField(out, fields[i]);
    }
    out.push_back('\n');
  }
  return out;
}

std::string WriteGpx(const std::vector<ExportPoint>& points) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"trapmarker-export\" "
      "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
  for (const ExportPoint& p : points) {
    out += "  <wpt lat=\"" + FormatDegrees(p.y) + "\" lon=\"" + FormatDegrees(p.x) + "\">\n";
    if (p.isCamera) {
      out += "    <name>" + XmlEscaped(CameraTitle(p)) + "</name>\n";
      out += "    <cmt>" + XmlEscaped(CameraDetails(p)) + "</cmt>\n";
      out += "    <desc>" + XmlEscaped(p.street + (p.place.empty() ? "" : ", " + p.place)) + "</desc>\n";
    } else {
      out += "    <name>" + XmlEscaped(p.description) + "</name>\n";
      out += "    <desc>" + XmlEscaped(p.description) + "</desc>\n";
    }
    out += "    <type>" + XmlEscaped(p.category) + "</type>\n";
    out += "  </wpt>\n";
  }
  out += "</gpx>\n";
  return out;
}

std::string WriteGeoJson(const std::vector<ExportPoint>& points) {
  std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
  bool first = true;
  for (const ExportPoint& p : points) {
    std::vector<std::pair<std::string, std::string>> props;  // key, JSON value
    auto text = [&](const char* key, std::string_view value) { props.emplace_back(key, JsonString(value)); };
    auto number = [&](const char* key, int value) { props.emplace_back(key, std::to_string(value)); };

    if (p.isCamera) {
      const CameraData& c = p.camera;
      // A camera marked "Remove" is reported gone: keep it, under OSM's lifecycle prefix.
      text(c.typeCode == 7 ? "removed:highway" : "highway", "speed_camera");
      text("enforcement", c.typeCode == 5 ? "traffic_signals" : c.typeCode == 4 ? "average_speed" : "maxspeed");
      if (auto maxspeed = OsmMaxspeed(c.speedCode)) text("maxspeed", *maxspeed);
      if (auto direction = OsmDirection(c.heading, c.directionCode)) text("direction", *direction);
      text("category", p.category);
      text("street", p.street);
      text("place", p.place);
      text("camera_type", OrEmpty(CameraTypeName(c.typeCode)));
      number("camera_type_code", c.typeCode);
      text("speed_limit", OrEmpty(SpeedLimitName(c.speedCode)));
      number("speed_code", c.speedCode);
      text("side", OrEmpty(DirectionName(c.directionCode)));
      number("direction_code", c.directionCode);
      number("heading", c.heading);
      number("speed_kmh", c.speedKmh);
      text("device_id", c.deviceId);
      text("captured", c.captured);
      text("description", p.description);
    } else {
      text("category", p.category);
      text("description", p.description);
    }

    out += first ? "\n" : ",\n";
    first = false;
    out += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[" + FormatDegrees(p.x) + "," +
           FormatDegrees(p.y) + "]},\"properties\":{";
    for (std::size_t i = 0; i < props.size(); ++i) {
      if (i > 0) out.push_back(',');
      out += JsonString(props[i].first) + ":" + props[i].second;
    }
    out += "}}";
  }
  out += "\n]}\n";
  return out;
}

std::string Write(Format format, const std::vector<ExportPoint>& points) {
  switch (format) {
    case Format::Csv:
      return WriteCsv(points);
    case Format::Gpx:
      return WriteGpx(points);
    case Format::GeoJson:
      return WriteGeoJson(points);
  }
  return {};
}

}  // namespace exporter
