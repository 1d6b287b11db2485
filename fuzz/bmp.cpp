// .bmp pictures: any bytes decode into a bounded bitmap or fail like a bad file.
#include <cstdint>

#include "ce/gdi/internal.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ce::gdi;
  Bitmap* bitmap = DecodeBmp(data, size);
  if (!bitmap) return 0;
  FUZZ_CHECK(bitmap->surface.width > 0 && bitmap->surface.height > 0);
  // At most 4 MiB of 16-bit pixels, whatever the file claims.
  FUZZ_CHECK(static_cast<uint64_t>(bitmap->strideBytes) * bitmap->surface.height <= (4u << 20));
  FreeBitmap(bitmap);
  return 0;
}
