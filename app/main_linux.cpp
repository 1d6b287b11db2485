// The Linux process entry: hands over to WinMain as the device's loader would.
#include "app/app.h"

int main() {
  // One executable, one resource table: the instance handle only has to be non-null.
  HINSTANCE instance = (HINSTANCE)(uintptr_t)0x10000;
  static WCHAR commandLine[1] = {0};
  return WinMain(instance, NULL, commandLine, SW_SHOW);
}
