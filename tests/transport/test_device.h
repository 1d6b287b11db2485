// A throw-away device folder for one test: device.ini with the given platform, an empty fs/, and
// CE_DEVICE pointing at it for as long as the object lives.
#pragma once

#include <string>
#include <vector>

class TestDevice {
 public:
  explicit TestDevice(const char* platform = "PocketPC");
  ~TestDevice();

  const std::string& Root() const { return iRoot; }
  // Host path of a device path given with forward slashes relative to the root: "TomTom/x".
  std::string Host(const std::string& relative) const { return iRoot + "/fs/" + relative; }
  std::string Calls(const std::string& name = "") const { return Host("TomTom/SdkFileCalls/" + name); }

  static void WriteFile(const std::string& path, const std::string& bytes);
  static bool ReadFile(const std::string& path, std::string* bytes);
  static bool Exists(const std::string& path);
  static void MakeFolder(const std::string& path);
  // Names of the files in a host folder, sorted.
  static std::vector<std::string> List(const std::string& folder);

 private:
  std::string iRoot;
};
