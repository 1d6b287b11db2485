#include "tests/navigator/test_util.h"

#include "ce/device.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace navtest {

TempDir::TempDir() {
  char pattern[] = "/tmp/navtest-XXXXXX";
  char* made = mkdtemp(pattern);
  path_ = made ? made : "/tmp/navtest-failed";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteMarker(const std::string& path, const std::string& bytes) {
  WriteFile(path + ".part", bytes);
  std::filesystem::rename(path + ".part", path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void MakeDirs(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
}

DemoDevice::DemoDevice() {
  MakeDirs(Host("TomTom/Maps/Demotown"));
  MakeDirs(Host("Program Files/Navigator"));
  std::error_code ec;
  std::filesystem::copy(NAV_DEMO_DIR "/Demotown", Host("TomTom/Maps/Demotown"), ec);
  std::filesystem::copy_file(NAV_DEMO_DIR "/demotown.gpx", Host("Program Files/Navigator/demotown.gpx"), ec);
  setenv("CE_DEVICE", dir_.Path().c_str(), 1);
  ce::ResetDeviceForTests();
}

DemoDevice::~DemoDevice() {
  unsetenv("CE_DEVICE");
  ce::ResetDeviceForTests();
}

std::vector<std::string> DemoDevice::CallsFolderFiles() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(CallsFolder())) names.push_back(e.path().filename());
  return names;
}

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

}  // namespace navtest
