// The emulated handheld: a host folder named by CE_DEVICE holding device.ini and fs/.
// These helpers are the stand-in's own (not Win32); every part of ce/ that needs the device uses them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ce/types.h"

namespace ce {

struct DeviceProfile {
  int screenWidth = 240;
  int screenHeight = 320;
  std::string platform = "PocketPC";  // the platform type text; "SmartPhone" makes a Smartphone
  std::vector<uint8_t> deviceId;      // preset identifier bytes; empty: none
};

// The device folder ($CE_DEVICE). The first use without CE_DEVICE set prints a one-line error
// saying what to set and ends the process with status 2.
const std::string& DeviceRoot();

// The profile read from $CE_DEVICE/device.ini once per process (defaults for missing keys or file).
const DeviceProfile& Device();

// Forgets the cached root and profile so a test can point CE_DEVICE elsewhere.
void ResetDeviceForTests();

// Device path ("\TomTom\x", UTF-16, absolute, backslashes) to the host path under $CE_DEVICE/fs.
// Existing components are matched ignoring case; missing ones keep the case given.
// Returns false for a path that is not absolute or that tries to climb out with "..".
bool DevicePathToHost(LPCWSTR devicePath, std::string& hostPath);

// Host path inside $CE_DEVICE/fs back to a device path; false when it lies outside the device.
bool HostPathToDevice(const std::string& hostPath, std::u16string& devicePath);

// UTF-16 <-> UTF-8 for the stand-in's own use (never splits a character; bad input is replaced).
std::string ToUtf8(const std::u16string& wide);
std::string ToUtf8(LPCWSTR wide);
std::u16string FromUtf8(const std::string& narrow);

}  // namespace ce
