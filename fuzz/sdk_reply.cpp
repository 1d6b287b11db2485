// The client's reading of a reply, for every call of fixed shape: the input is the reply text a
// navigator wrote, handed to the call's reply reader as the channel would hand it over. Each
// call's result record is a heap block of exactly its own size, so any write past it shows.
// The route's list, whose length the reply gives, is read by its own call, against a navigator
// window made once on the screenless backend.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/scratch_device.h"
#include "sdk/call_sequence.h"
#include "sdk/navigator_link.h"
#include "sdk/sdk_calls.h"
#include "sdk/transport/file_channel.h"
#include "sdk/transport/sdk_message.h"

namespace {

// A channel whose every reply is the current fuzz input, read into the message as the file
// channel does: never more than the buffer holds.
class InputChannel : public MessageChannel {
 public:
  InputChannel() : MessageChannel(new SdkMessage('|')) {}
  void BeginRequest() override { iArguments->Clear(); }
  void BeginReply(const ReplyTicket&) override { iArguments->Clear(); }
  void AddField(const char* text) override { iArguments->AddField(text); }
  ReplyTicket* Send() override { return new ReplyTicket(1); }
  int IsReplyReady(const ReplyTicket*) override { return 1; }
  void ReceiveReply(ReplyTicket* ticket) override {
    delete ticket;
    iArguments->Clear();
    if (size_ >= static_cast<size_t>(iArguments->BufferSize())) iArguments->Reserve(static_cast<int32_t>(size_ + 1));
    size_t n = size_ < static_cast<size_t>(iArguments->BufferSize()) ? size_ : iArguments->BufferSize() - 1;
    if (n > 0) std::memcpy(iArguments->Buffer(), data_, n);
    iArguments->Buffer()[n] = '\0';
    iArguments->SplitFields();
  }
  void SetInput(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = size;
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Size of each call's result record (0: the call fills none).
struct RecordOf {
  int call;
  size_t size;
};
const RecordOf kRecords[] = {
    {kGetApplicationVersionCall, sizeof(ApplicationVersionResult)},
    {kGetDataSetInfoCall, sizeof(DataSetInfoResult)},
    {kGetUniqueDeviceIdCall, sizeof(UniqueDeviceIdResult)},
    {kGetLocationInfoCall, sizeof(LocationInfoResult)},
    {kGetLocationInfoExCall, sizeof(LocationInfoExResult)},
    {kGetRouteInfoCall, sizeof(RouteInfoResult)},
    {kGetCurrentPositionCall, sizeof(CurrentPositionResult)},
    {kGeocodeCall, sizeof(GeocodeResult)},
    {kGeocodeExtendedCall, sizeof(GeocodeResult)},
    {kGetFavoriteCall, sizeof(FavoriteResult)},
    {kEnableExternalGPSInputCall, sizeof(INT)},
};

size_t RecordSize(int call) {
  for (const RecordOf& r : kRecords)
    if (r.call == call) return r.size;
  return 0;
}

LRESULT CALLBACK NavigatorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The window the client looks for before its route call; made on first use.
bool NavigatorWindowMade() {
  static const bool made = [] {
    setenv("CE_BACKEND", "null", 1);
    fuzzutil::ScratchDevice();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = NavigatorWindowProc;
    windowClass.lpszClassName = kNavigatorWindowClass;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, kNavigatorWindowClass, TEXT("Navigator"), WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                           nullptr, nullptr) != nullptr;
  }();
  return made;
}

// The route list: never more pairs than the reply holds, each one readable, none on failure.
void ReadRoute(NavigatorLink* link) {
  if (!NavigatorWindowMade()) std::abort();
  RouteCoordinatesResult route = {-7, nullptr};
  INT status = -99;
  if (GetRouteCoordinatesV01(link, &status, &route) != 0) std::abort();
  if (route.count < -1 || (route.count > 0) != (route.points != nullptr)) std::abort();
  if (status != 0 && route.count > 0) std::abort();
  volatile INT seen = 0;  // every pair is read, so a short list shows
  for (INT i = 0; i < route.count; ++i) seen = route.points[i].x ^ route.points[i].y;
  (void)seen;
  std::free(route.points);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NavigatorLink link;
  InputChannel* channel = new InputChannel;
  link.channel = channel;  // the link destroys it
  channel->SetInput(data, size);
  for (int call = 0; call < kSdkCallCount; ++call) {
    const SdkCallShape& shape = kSdkCalls[call];
    if (shape.wire->listReply) continue;  // the route list is read by its own call
    std::vector<uint8_t> record(RecordSize(call));
    INT status = -99;
    INT result =
        ReadNavigatorReply(&link, &status, new ReplyTicket(1), shape, record.empty() ? nullptr : record.data());
    if (result != 0 && result != -2) std::abort();
    // Every text member of a filled record ends within its width.
    if (result == 0 && !record.empty() && shape.members != nullptr) {
      for (int32_t m = 0; m < shape.wire->resultCount; ++m) {
        const SdkRecordMember& member = shape.members[m];
        if (shape.wire->results[m].type != kSdkTextField) continue;
        if (std::memchr(record.data() + member.offset, '\0', member.size) == nullptr) std::abort();
      }
    }
  }
  ReadRoute(&link);
  return 0;
}
