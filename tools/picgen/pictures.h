// The program's pictures as drawing code: the 27 button pictures (78 x 48), the two images of
// the program icon and the camera category icon installed beside the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/picgen/canvas.h"

namespace picgen {

// One output file: its name relative to the resources folder and its bytes.
struct OutputFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

// Every file the generator makes, in a fixed order.
std::vector<OutputFile> GenerateAll();

// The button picture with the given resource id (104 to 132), drawn on a fresh 78 x 48 canvas;
// false for an id that has no picture.
bool DrawButtonPicture(int id, Canvas& canvas);

}  // namespace picgen
