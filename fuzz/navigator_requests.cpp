// The navigator's serving of request texts: any text is split as the service splits it and
// answered by the navigator core, whose map and category files live in a scratch device made
// once. The calls folder is not involved, so each input costs one request's work.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ce/device.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/scratch_device.h"
#include "navigator/navigator.h"
#include "sdk/transport/sdk_message.h"

namespace {

namespace fs = std::filesystem;

std::string gRoot;

// A device with the demo map; every few thousand inputs the map is put back as it was, so the
// category files the inputs add to stay small.
void MakeDevice() {
  if (gRoot.empty()) gRoot = fuzzutil::ScratchDevice().string();
  std::error_code ec;
  fs::remove_all(gRoot + "/fs", ec);
  const fs::path map = gRoot + "/fs/TomTom/Maps/Demotown";
  fs::create_directories(map);
  fs::create_directories(gRoot + "/fs/Program Files/Navigator");
  fs::copy(fs::path(TM_SOURCE_DIR) / "navigator/demo/Demotown", map, fs::copy_options::recursive, ec);
}

nav::Navigator* MakeNavigator() {
  MakeDevice();
  nav::NavigatorConfig config;
  config.mode = nav::GpsMode::kFixed;
  config.latitude = 52.1;
  config.longitude = 5.1;
  auto* navigator = new nav::Navigator(
      config, "\\Program Files\\Navigator\\", [] { return 100.0; }, "00A1B2C3");
  std::vector<std::string> warnings;
  navigator->Start(warnings);
  return navigator;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static nav::Navigator* navigator = nullptr;
  static unsigned inputs = 0;
  if (!navigator || ++inputs % 4096 == 0) {
    delete navigator;
    navigator = MakeNavigator();
  }
  if (size > 65536) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(std::strlen(text.c_str()));
  SdkMessage message('|');
  FUZZ_CHECK(message.Reserve(static_cast<int32_t>(text.size() + 1)) == 1);
  std::memcpy(message.Buffer(), text.c_str(), text.size() + 1);
  message.SplitFields();
  std::vector<std::string_view> fields;
  for (int32_t i = 0; i < message.NrReceiveFields(); i++) fields.emplace_back(message.Field(i));

  std::vector<std::string> reply = navigator->Handle(fields);
  // Never empty, the result code first, and nothing a reply field cannot carry.
  FUZZ_CHECK(!reply.empty());
  FUZZ_CHECK(!reply[0].empty() && reply[0].find_first_not_of("-0123456789") == std::string::npos);
  SdkMessage answer('|');
  for (const std::string& field : reply) {
    FUZZ_CHECK(field.find_first_of(std::string("|\n\0", 3)) == std::string::npos);
    answer.AddField(field.c_str());
  }
  answer.SplitFields();
  FUZZ_CHECK(answer.NrReceiveFields() == static_cast<int32_t>(reply.size()));
  return 0;
}
