// The search for the navigator's executable over a whole device, beside `find -iname` on the
// same tree in the same run.
//   discovery_bench [files] [folders] [runs]        (default 100000, 5000 and 5)
// Generates, in a throw-away folder, a device tree of `folders` folders two levels deep holding
// `files` files (a few of them .exe), with the navigator in the folder searched last, so both
// searches walk the whole tree. Prints the median of each and their ratio; never fails on a figure.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ce/ce.h"
#include "ce/device.h"
#include "sdk/navigator_launch.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

bool Touch(const std::string& path) {
  std::ofstream out(path);
  return static_cast<bool>(out);
}

// Top folders "Folder000".., each with subfolders "Sub000"..; the files spread evenly.
bool MakeTree(const std::string& fs, int files, int folders) {
  const int top = std::max(1, folders / 100);
  const int perTop = std::max(1, folders / top);
  const int perFolder = std::max(1, files / (top * perTop));
  char name[64];
  for (int t = 0; t < top; ++t) {
    snprintf(name, sizeof name, "/Folder%03d", t);
    const std::string topPath = fs + name;
    if (mkdir(topPath.c_str(), 0777) != 0) return false;
    for (int s = 0; s < perTop; ++s) {
      snprintf(name, sizeof name, "/Sub%03d", s);
      const std::string folder = topPath + name;
      if (mkdir(folder.c_str(), 0777) != 0) return false;
      for (int f = 0; f < perFolder; ++f) {
        snprintf(name, sizeof name, f % 10 == 0 ? "/Program%02d.exe" : "/Data%02d.dat", f);
        if (!Touch(folder + name)) return false;
      }
      if (t == top - 1 && s == perTop - 1 && !Touch(folder + "/TomTom Navigator.exe")) return false;
    }
  }
  return true;
}

double RunFind(const std::string& fs, std::string* found) {
  const std::string command = "find '" + fs + "' -iname 'TomTom Navigator.exe' -o -iname 'GPS Navigation.exe' -o " +
                              "-iname 'TomTom Mobile.exe'";
  const Clock::time_point start = Clock::now();
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char line[4096];
  found->clear();
  while (fgets(line, sizeof line, pipe)) *found = line;
  const int status = pclose(pipe);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

double RunSearch(std::string* found) {
  navigatorPath[0] = 0;
  const Clock::time_point start = Clock::now();
  const bool any = FindNavigatorExecutable();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  *found = ce::ToUtf8(navigatorPath);
  return any ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
  const int folders = argc > 2 ? std::max(1, atoi(argv[2])) : 5000;
  const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
  char root[] = "/tmp/discovery-bench-XXXXXX";
  if (!mkdtemp(root)) return 1;
  const std::string fs = std::string(root) + "/fs";
  mkdir(fs.c_str(), 0777);
  setenv("CE_DEVICE", root, 1);
  ce::ResetDeviceForTests();
  int result = 0;
  if (!MakeTree(fs, files, folders)) {
    fprintf(stderr, "discovery_bench: cannot generate the tree in %s\n", root);
    result = 1;
  } else {
    std::vector<double> search, find;
    std::string searchFound, findFound;
    // Warm the host's caches once, then take turns so both see the same load.
    RunFind(fs, &findFound);
    for (int i = 0; i < runs && result == 0; ++i) {
      const double s = RunSearch(&searchFound);
      const double f = RunFind(fs, &findFound);
      if (s < 0 || f < 0) {
        fprintf(stderr, "discovery_bench: a search failed (navigator search %.1f, find %.1f)\n", s, f);
        result = 1;
      }
      search.push_back(s);
      find.push_back(f);
    }
    if (result == 0) {
      printf("tree: %d files in %d folders; runs: %d\n", files, folders, runs);
      printf("navigator search  median %8.1f ms   found %s\n", Median(search), searchFound.c_str());
      printf("find -iname       median %8.1f ms   found %s", Median(find), findFound.c_str());
      printf("ratio   search / find (medians) %.2f\n", Median(search) / Median(find));
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
