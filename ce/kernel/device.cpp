// The device folder named by CE_DEVICE: its profile (device.ini) and the mapping of device paths
// into its fs/ folder.
#include "ce/device.h"

#include <INIReader.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

#include "ce/kernel/internal.h"
#include "ce/kernel/name_index.h"

namespace ce {
namespace {

// Never destroyed, so destructors of other statics can still reach the device at exit.
struct Cache {
  std::mutex mutex;
  std::unique_ptr<std::string> root;
  std::unique_ptr<DeviceProfile> profile;
};

Cache& TheCache() {
  static Cache* cache = new Cache;
  return *cache;
}

[[noreturn]] void StopWithoutDevice(const char* why, const char* value) {
  if (value)
    std::fprintf(stderr, "%s: %s (set CE_DEVICE to the device folder that holds device.ini and fs/)\n", why, value);
  else
    std::fprintf(stderr, "%s (set CE_DEVICE to the device folder that holds device.ini and fs/)\n", why);
  // _exit: the device lock is held here, and exit handlers might ask for the device again.
  std::fflush(nullptr);
  _exit(2);
}

const std::string& RootLocked() {
  std::unique_ptr<std::string>& cachedRoot = TheCache().root;
  if (!cachedRoot) {
    const char* env = std::getenv("CE_DEVICE");
    if (env == nullptr || *env == '\0') StopWithoutDevice("CE_DEVICE is not set", nullptr);
    char resolved[PATH_MAX];
    if (realpath(env, resolved) == nullptr) StopWithoutDevice("CE_DEVICE names no folder", env);
    struct stat st;
    if (stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) StopWithoutDevice("CE_DEVICE is not a folder", env);
    cachedRoot = std::make_unique<std::string>(resolved);
    // A fresh device gets its file system folder on first use.
    mkdir((*cachedRoot + "/fs").c_str(), 0777);
  }
  return *cachedRoot;
}

void Warn(const std::string& iniPath, const char* what, const std::string& value) {
  std::fprintf(stderr, "%s: %s \"%s\"; using the default\n", iniPath.c_str(), what, value.c_str());
}

// A positive screen dimension of at most 8192, written as plain digits.
bool ParseDimension(const std::string& text, int& out) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 8192) return false;
  out = value;
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An even number of hex digits, at most 64 bytes.
bool ParseDeviceId(const std::string& text, std::vector<uint8_t>& out) {
  if (text.size() % 2 != 0 || text.size() > 128) return false;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = HexValue(text[i]), lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(uint8_t(hi * 16 + lo));
  }
  out = std::move(bytes);
  return true;
}

DeviceProfile ReadProfile(const std::string& iniPath) {
  DeviceProfile profile;
  INIReader reader(iniPath);
  int error = reader.ParseError();
  if (error == -1) return profile;  // no file: every key takes its default
  if (error != 0)
    std::fprintf(stderr, "%s: line %d is not understood; it and the keys it held take their defaults\n",
                 iniPath.c_str(), error);
  std::string text = reader.Get("screen", "width", "");
  if (!text.empty() && !ParseDimension(text, profile.screenWidth)) Warn(iniPath, "bad screen width", text);
  text = reader.Get("screen", "height", "");
  if (!text.empty() && !ParseDimension(text, profile.screenHeight)) Warn(iniPath, "bad screen height", text);
  text = reader.Get("system", "platform", "");
  if (!text.empty()) profile.platform = text;
  text = reader.Get("system", "deviceid", "");
  if (!text.empty() && !ParseDeviceId(text, profile.deviceId)) Warn(iniPath, "bad deviceid (hex bytes)", text);
  return profile;
}

}  // namespace

const std::string& DeviceRoot() {
  std::lock_guard<std::mutex> lock(TheCache().mutex);
  return RootLocked();
}

const DeviceProfile& Device() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (!cache.profile) cache.profile = std::make_unique<DeviceProfile>(ReadProfile(RootLocked() + "/device.ini"));
  return *cache.profile;
}

void ResetDeviceForTests() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.root.reset();
  cache.profile.reset();
}

bool DevicePathToHost(LPCWSTR devicePath, std::string& hostPath) {
  return DevicePathToHost(devicePath, hostPath, nullptr);
}

bool DevicePathToHost(LPCWSTR devicePath, std::string& hostPath, detail::PathLookup* lookup) {
  if (lookup) lookup->state = detail::PathLookup::kUnknown;
  if (devicePath == nullptr || (devicePath[0] != u'\\' && devicePath[0] != u'/')) return false;
  // Split into components, folding "." and ".." lexically so no path climbs above the root. The
  // path is converted whole: its separators are ASCII, so no character spans one.
  const std::string text = ToUtf8(devicePath);
  std::vector<std::string_view> parts;
  for (size_t i = 0; i < text.size();) {
    while (i < text.size() && (text[i] == '\\' || text[i] == '/')) ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != '\\' && text[i] != '/') ++i;
    if (i == start) break;
    const std::string_view part(text.data() + start, i - start);
    if (part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string path = DeviceRoot() + "/fs";
  std::string exactPath;
  exactPath.reserve(text.size() + path.size() + 1);
  exactPath = path;
  for (std::string_view part : parts) {
    exactPath += '/';
    exactPath += part;
  }
  if (lookup && lookup->asSpelled) {
    hostPath = std::move(exactPath);
    return true;
  }
  // The answer of the folder index for the last component when its folder is known to be there:
  // the entry in the spelling found, or its absence, without a look at the folder.
  auto answerFromIndex = [&](int known, std::string& parent, std::string& found) {
    if (known == 1) {
      hostPath = parent + "/" + found;
    } else {
      // Not there in any case (as of the look-up): the caller need not look again.
      hostPath = std::move(exactPath);
      if (lookup) lookup->state = detail::PathLookup::kMissing;
    }
  };
  std::string parent;
  std::string last;
  if (!parts.empty()) {
    last = parts.back();
    parent = exactPath.substr(0, exactPath.size() - last.size() - 1);
  }
  // A name about to be made is usually not there: the index says so without any look.
  if (lookup && lookup->expectMissing && !parts.empty()) {
    std::string found;
    const int known = detail::FindEntryInKnownFolder(parent, last, found);
    if (known == 0 || (known == 1 && found != last)) {
      answerFromIndex(known, parent, found);
      return true;
    }
  }
  // The common case costs one look-up: the path exists with the exact case given.
  struct stat whole;
  if (lstat(exactPath.c_str(), &whole) == 0) {
    hostPath = std::move(exactPath);
    if (lookup) {
      lookup->state = detail::PathLookup::kExists;
      lookup->st = whole;
    }
    return true;
  }
  // Next most common: only the last component is missing or differs in case.
  if (!parts.empty()) {
    std::string found;
    const int known = detail::FindEntryInKnownFolder(parent, last, found);
    if (known >= 0) {
      answerFromIndex(known, parent, found);
      return true;
    }
    struct stat folder;
    if (lstat(parent.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode)) {
      answerFromIndex(detail::FindEntryIgnoringCase(parent, folder, last, found, path) ? 1 : 0, parent, found);
      return true;
    }
  }
  bool exists = true;  // once a component is missing, the rest cannot exist either
  for (std::string_view view : parts) {
    const std::string part(view);
    std::string exact = path + "/" + part;
    struct stat st;
    if (exists && lstat(exact.c_str(), &st) != 0) {
      std::string found;
      if (detail::ListEntryIgnoringCase(path, part, found)) {
        path += "/" + found;
        continue;
      }
      exists = false;
    }
    path = std::move(exact);
  }
  hostPath = std::move(path);
  return true;
}

bool HostPathToDevice(const std::string& hostPath, std::u16string& devicePath) {
  std::string fs = DeviceRoot() + "/fs";
  std::string path = hostPath;
  char resolved[PATH_MAX];
  if (realpath(hostPath.c_str(), resolved) != nullptr) path = resolved;
  if (path.compare(0, fs.size(), fs) != 0) return false;
  if (path.size() > fs.size() && path[fs.size()] != '/') return false;
  std::string rest = path.substr(fs.size());
  if (rest.empty()) rest = "/";
  std::replace(rest.begin(), rest.end(), '/', '\\');
  devicePath = FromUtf8(rest);
  return true;
}

}  // namespace ce
