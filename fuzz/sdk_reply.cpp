// The client's reading of a reply, for every call of fixed shape: the input is the reply text a
// navigator wrote, handed to the call's reply reader as the channel would hand it over. Each
// call's result record is a heap block of exactly its own size, so any write past it shows.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

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
  return 0;
}
