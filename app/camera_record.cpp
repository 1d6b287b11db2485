#include "app/camera_record.h"

#include <stdlib.h>
#include <string.h>

const char cameraCategory[] = "Roadwatchcameras";

static const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void EncodeBase64Text(const char* text, char* out, size_t outSize) {
  if (outSize == 0) return;
  out[0] = 0;
  char work[kDataTextSize + 3];
  size_t length = strnlen(text, kDataTextSize - 1);
  memcpy(work, text, length);
  // The padding is part of the data: it decodes as empty trailing items.
  while (length % 3 != 0) work[length++] = ';';

  size_t written = 0;
  for (size_t i = 0; i < length; i += 3) {
    if (written + 4 >= outSize) break;
    const unsigned char b0 = (unsigned char)work[i];
    const unsigned char b1 = (unsigned char)work[i + 1];
    const unsigned char b2 = (unsigned char)work[i + 2];
    out[written++] = kBase64Alphabet[b0 >> 2];
    out[written++] = kBase64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out[written++] = kBase64Alphabet[((b1 & 15) << 2) | (b2 >> 6)];
    out[written++] = kBase64Alphabet[b2 & 63];
  }
  out[written] = 0;
}

void CutPlaceText(const char* place, char* out, size_t outSize) {
  StringCchCopyA(out, outSize, place);
  char* cut = strstr(out, " (");
  if (cut) *cut = 0;
}

void ReadDeviceId(WCHAR* deviceId, size_t cchDeviceId) {
  if (cchDeviceId == 0) return;
  deviceId[0] = 0;

  DWORD size = 128;
  BYTE* buffer = (BYTE*)calloc(1, size);
  if (!buffer) {
    StringCchCopyW(deviceId, cchDeviceId, TEXT("No Device ID"));
    return;
  }
  ((DEVICE_ID*)buffer)->dwSize = size;
  DWORD returned = 0;
  BOOL ok = KernelIoControl(IOCTL_HAL_GET_DEVICEID, NULL, 0, buffer, size, &returned);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    // The platform wrote the size it needs into the structure's size field.
    DWORD needed = ((DEVICE_ID*)buffer)->dwSize;
    free(buffer);
    buffer = (needed >= sizeof(DEVICE_ID) && needed <= 65536) ? (BYTE*)calloc(1, needed) : NULL;
    if (buffer) {
      size = needed;
      ((DEVICE_ID*)buffer)->dwSize = size;
      ok = KernelIoControl(IOCTL_HAL_GET_DEVICEID, NULL, 0, buffer, size, &returned);
    }
  }
  if (!ok || !buffer) {
    if (buffer) free(buffer);
    StringCchCopyW(deviceId, cchDeviceId, TEXT("No Device ID"));
    return;
  }

  const DEVICE_ID* id = (const DEVICE_ID*)buffer;
  if (id->dwPresetIDOffset != 0) {
    // Only bytes inside what the platform filled are read; the text is cut at its buffer.
    DWORD end = id->dwPresetIDOffset + id->dwPresetIDBytes;
    if (id->dwPresetIDOffset <= size && end >= id->dwPresetIDOffset && end <= size) {
      for (DWORD i = id->dwPresetIDOffset; i < end; ++i) {
        WCHAR hex[3];
        StringCchPrintfW(hex, 3, TEXT("%02X"), (unsigned)buffer[i]);
        if (FAILED(StringCchCatW(deviceId, cchDeviceId, hex))) break;
      }
    }
  }
  free(buffer);
}

void BuildCameraDataText(const CameraData& data, char* out, size_t outSize) {
  char deviceId[kDeviceIdSize * 3];
  char date[16];
  char time[16];
  WideToNarrow(data.deviceId, deviceId, sizeof deviceId);
  WideToNarrow(data.date, date, sizeof date);
  WideToNarrow(data.time, time, sizeof time);
  StringCchPrintfA(out, outSize, "%d;%d;%s;N;%s %s;%d;%d;%d", data.heading, data.speed, deviceId, date, time,
                   data.typeCode, data.speedCode, data.directionCode);
}

void BuildCameraDescription(const char* street, const char* place, const char* dataText, char* out, size_t outSize) {
  char encoded[kEncodedSize];
  EncodeBase64Text(dataText, encoded, sizeof encoded);
  StringCchPrintfA(out, outSize, "%s, %s !%s%s!", street, place, "01", encoded);
}

void BuildCustomDescription(int houseNumber, const char* street, const char* place, char* out, size_t outSize) {
  StringCchPrintfA(out, outSize, "%d %s, %s", houseNumber, street, place);
}

void WideToNarrow(const WCHAR* wide, char* out, size_t outSize) {
  if (outSize == 0) return;
  out[0] = 0;
  if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, out, (int)outSize, NULL, NULL)) {
    // Too long for the buffer: keep the longest whole-character prefix that fits. A size of 0
    // would ask for the length instead of converting, so a one-byte buffer stays empty.
    out[0] = 0;
    if (outSize < 2) return;
    size_t cch = 0;
    while (wide[cch]) ++cch;
    while (cch > 0) {
      --cch;
      int n = WideCharToMultiByte(CP_ACP, 0, wide, (int)cch, out, (int)outSize - 1, NULL, NULL);
      if (n > 0) {
        out[n] = 0;
        return;
      }
    }
    out[0] = 0;
  }
}

void NarrowToWide(const char* narrow, WCHAR* out, size_t cchOut) {
  if (cchOut == 0) return;
  out[0] = 0;
  if (!MultiByteToWideChar(CP_ACP, 0, narrow, -1, out, (int)cchOut)) {
    out[0] = 0;
    if (cchOut < 2) return;
    size_t length = strlen(narrow);
    while (length > 0) {
      --length;
      int n = MultiByteToWideChar(CP_ACP, 0, narrow, (int)length, out, (int)cchOut - 1);
      if (n > 0) {
        out[n] = 0;
        return;
      }
    }
    out[0] = 0;
  }
}
