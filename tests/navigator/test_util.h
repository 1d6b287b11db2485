// Helpers shared by the navigator tests: a throw-away device folder and small file helpers.
#pragma once

#include <string>
#include <vector>

namespace navtest {

// A fresh temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }  // no trailing '/'

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
// A request's marker written from the host: the navigator takes a request once its marker can be
// moved, which a device program's handle prevents while it writes, but a host writer holds no such
// handle. So it is written aside and renamed into place, whole.
void WriteMarker(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);
// A device folder ($CE_DEVICE points at it while the object lives) holding the demo map in
// \TomTom\Maps\Demotown\ and the demo track beside the navigator in \Program Files\Navigator\.
class DemoDevice {
 public:
  DemoDevice();
  ~DemoDevice();
  const std::string& Root() const { return dir_.Path(); }
  std::string Host(const std::string& relative) const { return dir_.Path() + "/fs/" + relative; }
  std::string MapFolder() const { return Host("TomTom/Maps/Demotown/"); }
  std::string CallsFolder() const { return Host("TomTom/SdkFileCalls/"); }
  // The names of the files in the calls folder (nothing may be left behind after an exchange).
  std::vector<std::string> CallsFolderFiles() const;

 private:
  TempDir dir_;
};

// Runs a shell command and returns what it printed on standard output.
std::string RunCommand(const std::string& command, int* status = nullptr);

}  // namespace navtest
