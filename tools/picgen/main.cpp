// picgen: writes the program's pictures into the resources folder, or checks that the files
// there are exactly what the drawing code makes (so nobody edits a picture by hand).
//
//   picgen <resources folder>           write every picture
//   picgen --check <resources folder>   compare, list the files that differ, exit 1 if any

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "tools/picgen/pictures.h"

namespace fs = std::filesystem;

static bool ReadWhole(const fs::path& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int main(int argc, char** argv) {
  bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 2 && !check) {
    std::fprintf(stderr, "usage: picgen [--check] <resources folder>\n");
    return 2;
  }
  fs::path root = argv[argc - 1];
  int bad = 0;
  for (const picgen::OutputFile& f : picgen::GenerateAll()) {
    fs::path path = root / f.path;
    if (check) {
      std::vector<uint8_t> have;
      if (!ReadWhole(path, have) || have != f.bytes) {
        std::fprintf(stderr, "picgen: %s differs from its drawing code (regenerate with picgen)\n",
                     path.string().c_str());
        ++bad;
      }
      continue;
    }
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "picgen: cannot write %s\n", path.string().c_str());
      ++bad;
    }
  }
  return bad ? 1 : 0;
}
