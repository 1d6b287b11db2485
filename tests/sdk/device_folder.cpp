#include "tests/sdk/device_folder.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "ce/device.h"
#include "sdk/transport/file_channel.h"

namespace fs = std::filesystem;

DeviceFolder::DeviceFolder() {
  std::string pattern = (fs::temp_directory_path() / "sdk-device-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) != nullptr) iRoot = buffer.data();
  fs::create_directories(iRoot + "/fs");
  std::ofstream(iRoot + "/device.ini") << "[screen]\nwidth=240\nheight=320\n";
  setenv("CE_DEVICE", iRoot.c_str(), 1);
  ce::ResetDeviceForTests();
}

DeviceFolder::~DeviceFolder() {
  // This thread's reply watch points into the folder about to go.
  ForgetCallsFolderWatch();
  std::error_code ignored;
  fs::remove_all(iRoot, ignored);
  ce::ResetDeviceForTests();
}

void DeviceFolder::Put(const std::string& relative, const std::string& bytes, bool executable) const {
  fs::path path = Host(relative);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  if (executable) {
    fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
  }
}

std::vector<std::string> DeviceFolder::CallsFolder() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(Host("TomTom/SdkFileCalls"), error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
