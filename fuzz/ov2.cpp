// The category file readers: any bytes as an OV2 file, read by the navigator's store and by the
// exporter. Neither may read outside the file, and whatever they call whole must be.
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "navigator/ov2.h"
#include "tools/exporter/ov2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  nav::Ov2Contents contents = nav::ParseOv2(bytes);
  FUZZ_CHECK(contents.wholeBytes <= contents.fileBytes);
  FUZZ_CHECK(contents.fileBytes == size);
  // The whole records, read again on their own, are the same records.
  nav::Ov2Contents again = nav::ParseOv2(bytes.substr(0, contents.wholeBytes));
  FUZZ_CHECK(again.records.size() == contents.records.size());
  for (const nav::Ov2Record& record : contents.records)
    if (record.isPoint) FUZZ_CHECK(record.text.size() <= record.raw.size());

  exporter::Ov2Contents read = exporter::ReadOv2(std::span<const uint8_t>(data, size));
  size_t previous = 0;
  for (const exporter::Ov2Point& point : read.points) {
    FUZZ_CHECK(point.offset < size || size == 0);
    FUZZ_CHECK(point.offset >= previous);
    FUZZ_CHECK(point.recordType == 2 || point.recordType == 3);
    previous = point.offset;
  }
  return 0;
}
