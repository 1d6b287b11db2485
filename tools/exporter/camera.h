// Camera descriptions as the capture program writes them into the navigator's points.
//
// A camera's description is "<street>, <place> !01<encoded>!": the address, the
// version marker "01" and the camera data text in Base64 (standard alphabet, no
// '='; the text is padded with ';' to a multiple of three bytes before encoding).
// The data text is
//     heading;speed;deviceId;N;yyyyMMdd HHmmss;type;speed;direction
// with heading in degrees, speed in km/h (both as the navigator reported them
// at capture), the device identifier in hex (or "No Device ID", or empty), the
// local capture time, and the three codes of the buttons tapped.
// A custom point's description is "<house number> <street>, <place>" and carries
// no camera data.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace exporter {

struct CameraData {
  int heading = 0;  // degrees as recorded (not normalised)
  int speedKmh = 0;
  std::string deviceId;
  std::string captured;  // "yyyy-MM-ddTHH:mm:ss", local time of the device
  int typeCode = 0;
  int speedCode = 0;
  int directionCode = 0;
};

// Names of the codes, or nullptr for a code the capture program never writes.
const char* CameraTypeName(int code);
const char* SpeedLimitName(int code);
const char* DirectionName(int code);

// The ';'-padded Base64 of the capture program.
std::string EncodeCameraBase64(std::string_view text);
// Strict inverse: rejects characters outside the alphabet, '=' and lengths not a
// multiple of four. The ';' padding stays in the result.
bool DecodeCameraBase64(std::string_view encoded, std::string& text, std::string& error);

bool ParseCameraDataText(std::string_view text, CameraData& data, std::string& error);
// "heading;speed;...;direction" from `data`; `captured` must be in the form above.
std::string FormatCameraDataText(const CameraData& data);

enum class DescriptionKind {
  Plain,      // no camera data: a custom point or any other point
  Camera,     // camera data decoded
  BadCamera,  // ends like a camera but its data could not be decoded (see error)
};

struct DecodedDescription {
  DescriptionKind kind = DescriptionKind::Plain;
  std::string address;  // the text before " !01...!", cameras only
  std::string street;   // address up to its first ", "
  std::string place;    // address after its first ", "
  CameraData camera;
  std::string error;  // BadCamera: why; Camera: unknown codes, if any
};

DecodedDescription DecodeDescription(std::string_view description);

// OpenStreetMap values for a camera. maxspeed: "50 mph", or nothing when the
// limit is unknown or variable. direction: the way the camera looks, in degrees,
// "a;b" for a reversible camera, nothing for an unknown side.
std::optional<std::string> OsmMaxspeed(int speedCode);
std::optional<std::string> OsmDirection(int heading, int directionCode);

}  // namespace exporter
