// The camera record: what a saved point carries besides its position.
//
// A camera's description is "street, place !01<data>!" where <data> is the camera data text
// ("heading;speed;device id;N;yyyyMMdd HHmmss;type;speed;direction") in Base64 with ';' padding.
// A custom point's description is the plain address "number street, place".
#pragma once

#include "ce/ce.h"

// The camera category: the base name of its .ov2 file and of its icon.
extern const char cameraCategory[];

// Room for the longest description: a 127-character street and place, the marker and the
// encoded 255-byte data text (340 characters), with separators and terminator.
enum { kDescriptionSize = 1024, kDataTextSize = 256, kEncodedSize = 344, kDeviceIdSize = 64 };

// Base64 of text with ';' appended until its length is a multiple of 3 (so no '=' is ever
// needed). The input is cut at 255 bytes. out must hold at least 4/3 of that plus one.
void EncodeBase64Text(const char* text, char* out, size_t outSize);

// The place text up to its first " (": "Town (North)" becomes "Town".
void CutPlaceText(const char* place, char* out, size_t outSize);

// deviceId := the preset identifier as upper-case hex, "" when the platform has none,
// or "No Device ID" when it cannot be read.
void ReadDeviceId(WCHAR* deviceId, size_t cchDeviceId);

struct CameraData {
  int heading;  // fourth position integer
  int speed;    // fifth position integer
  const WCHAR* deviceId;
  const WCHAR* date;  // "yyyyMMdd"
  const WCHAR* time;  // "HHmmss"
  int typeCode;
  int speedCode;
  int directionCode;
};

void BuildCameraDataText(const CameraData& data, char* out, size_t outSize);
void BuildCameraDescription(const char* street, const char* place, const char* dataText, char* out, size_t outSize);
void BuildCustomDescription(int houseNumber, const char* street, const char* place, char* out, size_t outSize);

// Wide to narrow (and back) with the device's default code page, never past the buffer.
void WideToNarrow(const WCHAR* wide, char* out, size_t outSize);
void NarrowToWide(const char* narrow, WCHAR* out, size_t cchOut);
