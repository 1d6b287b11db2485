// Writes the pictures and the icon that test_resources.rc compiles in: made by code at build
// time, so the tests know every pixel and no binary file is kept in the repository.
#include <cstdio>
#include <string>

#include "tests/gdi/gdi_test.h"
#include "tests/gdi/testdata.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gdi_make_testdata <folder>\n");
    return 2;
  }
  std::string dir = argv[1];
  bool ok = gditest::WriteFile(dir + "/picture_4bpp.bmp", gditest::MakeBmp(gditest::Picture4Layout())) &&
            gditest::WriteFile(dir + "/picture_24bpp.bmp", gditest::MakeBmp(gditest::Picture24Layout())) &&
            gditest::WriteFile(dir + "/two_sizes.ico", gditest::TwoSizesIco());
  if (!ok) std::fprintf(stderr, "gdi_make_testdata: cannot write into %s\n", dir.c_str());
  return ok ? 0 : 1;
}
