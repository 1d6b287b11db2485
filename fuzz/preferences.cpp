// The program's preferences file, whatever a user or a crash left in it.
#include <cstdint>
#include <cstdlib>

// The scratch folder helper first: its standard headers must come before the Win32 names.
#include "fuzz/scratch_device.h"

#include "app/preferences.h"
#include "ui/buttons.h"
#include "ui/run_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    std::filesystem::create_directories(fuzzutil::ScratchDevice() / "fs" / "Trapmarker");
    buildButtonTable();
    return true;
  }();
  (void)ready;
  fuzzutil::WriteWhole(fuzzutil::ScratchDevice() / "fs" / "Trapmarker" / "Trapmarker.ini", data, size);
  orientation = 0;
  timerOption = 0;
  ReadPreferences(u"\\Trapmarker\\Trapmarker.ini");
  if (orientation < 0 || orientation > 3 || timerOption < 0 || timerOption > 1) std::abort();
  return 0;
}
