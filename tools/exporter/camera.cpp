#include "tools/exporter/camera.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <vector>

namespace exporter {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kCameraMarker = "01";

constexpr std::array<const char*, 8> kTypeNames = {"Unknown type", "Gatso",    "Mobile",  "Temporary",
                                                   "Specs",        "Redlight", "Truvelo", "Remove"};
constexpr std::array<const char*, 8> kSpeedNames = {"Unknown speed", "20 mph", "30 mph", "40 mph",
                                                    "50 mph",        "60 mph", "70 mph", "Variable speed"};
constexpr std::array<const char*, 3> kDirectionNames = {"This side", "Other side", "Reversible"};

template <std::size_t N>
const char* NameOf(const std::array<const char*, N>& names, int code) {
  return code >= 0 && static_cast<std::size_t>(code) < N ? names[static_cast<std::size_t>(code)] : nullptr;
}

int SextetOf(char c) {
  const auto at = kAlphabet.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

bool ParseInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool AllDigits(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "yyyyMMdd HHmmss" to "yyyy-MM-ddTHH:mm:ss", checking that it is a real moment.
bool ParseCaptureTime(std::string_view text, std::string& iso) {
  if (text.size() != 15 || text[8] != ' ' || !AllDigits(text.substr(0, 8)) || !AllDigits(text.substr(9))) return false;
  auto number = [&](std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v * 10 + (text[at + i] - '0');
    return v;
  };
  const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
  const int hour = number(9, 2), minute = number(11, 2), second = number(13, 2);
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
    return false;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
  iso = buffer;
  return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  for (;;) {
    const auto at = text.find(separator, start);
    if (at == std::string_view::npos) {
      items.push_back(text.substr(start));
      return items;
    }
    items.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

}  // namespace

const char* CameraTypeName(int code) { return NameOf(kTypeNames, code); }
const char* SpeedLimitName(int code) { return NameOf(kSpeedNames, code); }
const char* DirectionName(int code) { return NameOf(kDirectionNames, code); }

std::string EncodeCameraBase64(std::string_view text) {
  std::string padded(text);
  while (padded.size() % 3 != 0) padded.push_back(';');
  std::string out;
  out.reserve(padded.size() / 3 * 4);
  for (std::size_t i = 0; i < padded.size(); i += 3) {
    const auto b0 = static_cast<unsigned char>(padded[i]);
    const auto b1 = static_cast<unsigned char>(padded[i + 1]);
    const auto b2 = static_cast<unsigned char>(padded[i + 2]);
    out.push_back(kAlphabet[b0 >> 2]);
    out.push_back(kAlphabet[((b0 & 3) << 4) | (b1 >> 4)]);
    out.push_back(kAlphabet[((b1 & 15) << 2) | (b2 >> 6)]);
    out.push_back(kAlphabet[b2 & 63]);
  }
  return out;
}

bool DecodeCameraBase64(std::string_view encoded, std::string& text, std::string& error) {
  text.clear();
  if (encoded.empty()) {
    error = "empty camera data";
    return false;
  }
  if (encoded.size() % 4 != 0) {
    error = "camera data of " + std::to_string(encoded.size()) + " characters is not whole Base64 groups of 4";
    return false;
  }
  for (std::size_t i = 0; i < encoded.size(); i += 4) {
    int s[4];
    for (int k = 0; k < 4; ++k) {
      s[k] = SextetOf(encoded[i + static_cast<std::size_t>(k)]);
      if (s[k] < 0) {
        const auto c = static_cast<unsigned char>(encoded[i + static_cast<std::size_t>(k)]);
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "character 0x%02X at %zu of the camera data is not Base64", c,
                      i + static_cast<std::size_t>(k));
        error = buffer;
        return false;
      }
    }
    text.push_back(static_cast<char>((s[0] << 2) | (s[1] >> 4)));
    text.push_back(static_cast<char>(((s[1] & 15) << 4) | (s[2] >> 2)));
    text.push_back(static_cast<char>(((s[2] & 3) << 6) | s[3]));
  }
  return true;
}

bool ParseCameraDataText(std::string_view text, CameraData& data, std::string& error) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) {
      char buffer[80];
      std::snprintf(buffer, sizeof buffer, "camera data decodes to a non-text byte 0x%02X", u);
      error = buffer;
      return false;
    }
  }
  std::vector<std::string_view> items = Split(text, ';');
  // The encoder's padding decodes as up to two empty items at the end.
  for (int i = 0; i < 2 && items.size() > 8 && items.back().empty(); ++i) items.pop_back();
  if (items.size() != 8) {
    error = "camera data has " + std::to_string(items.size()) + " items where 8 are expected: \"" + std::string(text) +
            "\"";
    return false;
  }

  CameraData d;
  struct IntItem {
    int index;
    const char* name;
    int* value;
  };
  const IntItem ints[] = {{0, "heading", &d.heading},
                          {1, "speed", &d.speedKmh},
                          {5, "type code", &d.typeCode},
                          {6, "speed code", &d.speedCode},
                          {7, "direction code", &d.directionCode}};
  for (const IntItem& item : ints) {
    if (!ParseInt(items[static_cast<std::size_t>(item.index)], *item.value)) {
      error = std::string("camera data ") + item.name + " \"" +
              std::string(items[static_cast<std::size_t>(item.index)]) + "\" is not a number";
      return false;
    }
  }
  if (items[3] != "N") {
    error = "camera data item 4 is \"" + std::string(items[3]) + "\" where \"N\" is expected";
    return false;
  }
  if (!ParseCaptureTime(items[4], d.captured)) {
    error = "camera data time \"" + std::string(items[4]) + "\" is not a valid \"yyyyMMdd HHmmss\"";
    return false;
  }
  d.deviceId = std::string(items[2]);
  data = std::move(d);
  return true;
}

std::string FormatCameraDataText(const CameraData& d) {
  // captured is "yyyy-MM-ddTHH:mm:ss"; the data text wants "yyyyMMdd HHmmss".
  std::string stamp;
  for (char c : d.captured)
    if (c >= '0' && c <= '9') stamp.push_back(c);
  if (stamp.size() == 14) stamp.insert(8, " ");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d;%d;", d.heading, d.speedKmh);
  std::string out = buffer;
  out += d.deviceId;
  out += ";N;";
  out += stamp;
  std::snprintf(buffer, sizeof buffer, ";%d;%d;%d", d.typeCode, d.speedCode, d.directionCode);
  out += buffer;
  return out;
}

DecodedDescription DecodeDescription(std::string_view description) {
  DecodedDescription r;
  // A camera description ends in "!<two digits><Base64>!"; anything else is a plain point.
  if (description.size() < 4 || description.back() != '!') return r;
  const auto open = description.rfind('!', description.size() - 2);
  if (open == std::string_view::npos || description.size() - open < 4) return r;
  const std::string_view marker = description.substr(open + 1, 2);
  if (!AllDigits(marker)) return r;

  std::string_view address = description.substr(0, open);
  if (!address.empty() && address.back() == ' ') address.remove_suffix(1);
  r.address = std::string(address);
  const auto comma = address.find(", ");
  r.street = std::string(address.substr(0, comma));
  if (comma != std::string_view::npos) r.place = std::string(address.substr(comma + 2));

  r.kind = DescriptionKind::BadCamera;
  if (marker != kCameraMarker) {
    r.error = "camera data of unknown version \"" + std::string(marker) + "\"";
    return r;
  }
  const std::string_view payload = description.substr(open + 3, description.size() - open - 4);
  std::string text;
  if (!DecodeCameraBase64(payload, text, r.error) || !ParseCameraDataText(text, r.camera, r.error)) return r;

  r.kind = DescriptionKind::Camera;
  std::string unknown;
  auto note = [&](const char* what, int code) {
    if (!unknown.empty()) unknown += ", ";
    unknown += std::string("unknown ") + what + " code " + std::to_string(code);
  };
  if (CameraTypeName(r.camera.typeCode) == nullptr) note("type", r.camera.typeCode);
  if (SpeedLimitName(r.camera.speedCode) == nullptr) note("speed", r.camera.speedCode);
  if (DirectionName(r.camera.directionCode) == nullptr) note("direction", r.camera.directionCode);
  r.error = unknown;
  return r;
}

std::optional<std::string> OsmMaxspeed(int speedCode) {
  // Codes 1..6 are posted limits; 0 (unknown) and 7 (variable) have no single value.
  if (speedCode < 1 || speedCode > 6) return std::nullopt;
  return std::string(kSpeedNames[static_cast<std::size_t>(speedCode)]);
}

std::optional<std::string> OsmDirection(int heading, int directionCode) {
  // heading is the way the driver was going. A camera on "This side" watches
  // the traffic going that way as it comes towards it, so it looks back along
  // the heading; one on "Other side" watches the oncoming carriageway, whose
  // traffic comes towards it from ahead, so it looks along the heading.
  const int along = ((heading % 360) + 360) % 360;
  const int back = (along + 180) % 360;
  switch (directionCode) {
    case 0:
      return std::to_string(back);
    case 1:
      return std::to_string(along);
    case 2:
      return std::to_string(back) + ";" + std::to_string(along);
    default:
      return std::nullopt;
  }
}

}  // namespace exporter
