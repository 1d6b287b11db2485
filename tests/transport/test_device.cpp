#include "tests/transport/test_device.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "ce/device.h"
#include "sdk/transport/file_channel.h"

namespace fs = std::filesystem;

TestDevice::TestDevice(const char* platform) {
  std::string pattern = (fs::temp_directory_path() / "transport-device-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data())) iRoot = buffer.data();
  fs::create_directories(iRoot + "/fs");
  WriteFile(iRoot + "/device.ini", std::string("[system]\nplatform=") + platform + "\n");
  setenv("CE_DEVICE", iRoot.c_str(), 1);
  ce::ResetDeviceForTests();
}

TestDevice::~TestDevice() {
  std::error_code ignored;
  fs::remove_all(iRoot, ignored);
  ce::ResetDeviceForTests();
  ForgetCallsFolderWatch();
}

void TestDevice::WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool TestDevice::ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *bytes = content.str();
  return true;
}

bool TestDevice::Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

void TestDevice::MakeFolder(const std::string& path) { fs::create_directories(path); }

std::vector<std::string> TestDevice::List(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
