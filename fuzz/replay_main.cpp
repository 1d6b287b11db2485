// Replays saved fuzz inputs without libFuzzer: every file in the folders (or the files) given
// on the command line goes once through LLVMFuzzerTestOneInput. A crash or an abort fails the run.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int Replay(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the file's size, so a read past the end is caught by the sanitizer build.
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 0, failures = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat st;
    if (stat(argv[i], &st) != 0) continue;  // a target without regressions has no folder
    if (!S_ISDIR(st.st_mode)) {
      failures += Replay(argv[i]);
      ++files;
      continue;
    }
    DIR* dir = opendir(argv[i]);
    if (!dir) continue;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != ".." && name != ".keep") names.push_back(std::string(argv[i]) + "/" + name);
    }
    closedir(dir);
    for (const std::string& name : names) {
      failures += Replay(name);
      ++files;
    }
  }
  std::printf("replayed %d inputs\n", files);
  if (files == 0) {
    std::fprintf(stderr, "replay: no inputs found\n");
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
