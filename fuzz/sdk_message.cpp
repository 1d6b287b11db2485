// SDK message splitting and integer fields: a reply text of any bytes is cut into fields, each
// read as an integer; the fields built back with AddField give the same text.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "sdk/transport/sdk_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  // The text as a reply is read: up to its first NUL.
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, std::strlen(text.c_str()));

  SdkMessage reply('|');
  FUZZ_CHECK(reply.Reserve(static_cast<int32_t>(text.size() + 1)) == 1);
  std::memcpy(reply.Buffer(), text.c_str(), text.size() + 1);
  reply.SplitFields();
  const int32_t n = reply.NrReceiveFields();
  FUZZ_CHECK(n >= 0);
  // Every field is a terminated text inside the buffer; Field(n) and beyond are "".
  SdkMessage rebuilt('|');
  for (int32_t i = 0; i < n; ++i) {
    const char* field = reply.Field(i);
    FUZZ_CHECK(field >= reply.Buffer() && field < reply.Buffer() + reply.BufferSize());
    FieldToInt(field);
    rebuilt.AddField(field);
  }
  FUZZ_CHECK(reply.Field(n)[0] == '\0' && reply.Field(-1)[0] == '\0');
  if (!reply.HasFailed()) {
    // Bytes after the last separator are no field; all before it come back whole.
    const size_t last = text.rfind('|');
    const std::string fields = last == std::string::npos ? std::string() : text.substr(0, last + 1);
    FUZZ_CHECK(!rebuilt.HasFailed());
    FUZZ_CHECK(fields == rebuilt.Buffer());
  }

  // Integers: every 32-bit value survives the trip through its text.
  if (size >= 4) {
    int32_t value;
    std::memcpy(&value, data, sizeof value);
    char number[kIntFieldSize];
    FUZZ_CHECK(FieldToInt(IntToField(value, number)) == value);
  }
  return 0;
}
