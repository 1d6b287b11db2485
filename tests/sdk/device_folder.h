// A throw-away device for one test: an empty fs/ and CE_DEVICE pointing at it while it lives.
#pragma once

#include <string>
#include <vector>

class DeviceFolder {
 public:
  DeviceFolder();
  ~DeviceFolder();
  DeviceFolder(const DeviceFolder&) = delete;
  DeviceFolder& operator=(const DeviceFolder&) = delete;

  const std::string& Root() const { return iRoot; }
  // Host path of a device path written with forward slashes and no leading one: "TomTom/x".
  std::string Host(const std::string& relative) const { return iRoot + "/fs/" + relative; }
  // Makes a file (and its folders) at a device-relative path; `executable` sets the x bits.
  void Put(const std::string& relative, const std::string& bytes = "", bool executable = false) const;
  // Names in the calls folder, sorted; empty when the folder does not exist.
  std::vector<std::string> CallsFolder() const;

 private:
  std::string iRoot;
};
