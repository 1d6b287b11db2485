// The link, its channel, and the call sequence every SDK call follows.
#include "sdk/navigator_link.h"

#include <cstring>
#include <new>

#include "sdk/call_sequence.h"
#include "sdk/navigator_launch.h"
#include "sdk/transport/sdk_message.h"

HWND navigatorWindow = nullptr;
const WCHAR kNavigatorWindowClass[] = TEXT("MunichWinClass");

namespace {

const char kClientName[] = "client";
const char kNavigatorName[] = "TomTomNavigationServer";

FileChannel* MakeFileChannel(const char* ownName, const char* peerName, INT linkId) {
  SdkMessage* message = new (std::nothrow) SdkMessage('|');
  if (message == nullptr) return nullptr;
  FileChannel* channel = new (std::nothrow) FileChannel(ownName, peerName, linkId, message);
  if (channel == nullptr) delete message;
  return channel;
}

// Asked by the channel while a call waits: a navigator whose window is gone will never answer.
bool NavigatorWindowExists(void*) { return FindWindowW(kNavigatorWindowClass, nullptr) != nullptr; }

void FillRecord(const SdkCallShape& call, SdkMessage* reply, void* record) {
  unsigned char* base = static_cast<unsigned char*>(record);
  for (int32_t i = 1; i < call.wire->FullCount(); ++i) {
    const SdkRecordMember& member = call.members[i - 1];
    const char* field = reply->Field(i);
    if (call.wire->results[i - 1].type == kSdkIntField) {
      int32_t value = FieldToInt(field);
      std::memcpy(base + member.offset, &value, sizeof value);
    } else {
      // Cut a text that does not fit, so the member always ends with its terminator.
      size_t length = std::strlen(field);
      if (length > member.size - 1u) length = member.size - 1u;
      std::memcpy(base + member.offset, field, length);
      base[member.offset + length] = 0;
    }
  }
}

}  // namespace

NavigatorLink::~NavigatorLink() { CloseNavigatorLink(this); }

MessageChannel* CreateFileChannel(const char* ownName, const char* peerName, INT linkId) {
  return MakeFileChannel(ownName, peerName, linkId);
}

bool OpenNavigatorLink(NavigatorLink* link) {
  CloseNavigatorLink(link);
  FileChannel* channel = MakeFileChannel(kClientName, kNavigatorName, -1);
  if (channel == nullptr) return false;
  channel->SetPeerAliveCheck(NavigatorWindowExists, nullptr);
  link->channel = channel;
  return true;
}

void CloseNavigatorLink(NavigatorLink* link) {
  delete link->channel;
  link->channel = nullptr;
}

bool IsNavigatorRunning() {
  navigatorWindow = FindWindowW(kNavigatorWindowClass, nullptr);
  return navigatorWindow != nullptr;
}

INT BeginNavigatorCall(NavigatorLink* link, INT* status, const SdkCallShape& call) {
  *status = 0;
  // Without a channel there is nothing to send on, so nothing is started either.
  if (link == nullptr || link->channel == nullptr) {
    *status = -1;
    return -1;
  }
  if (call.checkOnly) {
    *status = IsNavigatorRunning() ? 0 : -5;
  } else {
    *status = EnsureNavigatorRunning(link);
  }
  return *status;
}

ReplyTicket* SendNavigatorRequest(NavigatorLink* link, const char* callName, const SdkArgument* arguments,
                                  size_t count) {
  if (link == nullptr || link->channel == nullptr) return nullptr;
  MessageChannel* channel = link->channel;
  channel->BeginRequest();
  channel->AddField(callName);
  for (size_t i = 0; i < count; ++i) {
    if (arguments[i].text != nullptr) {
      channel->AddField(arguments[i].text);
    } else {
      IntToField(arguments[i].number, link->numberText);
      channel->AddField(link->numberText);
    }
  }
  return channel->Send();
}

INT ReadNavigatorReply(NavigatorLink* link, INT* status, ReplyTicket* ticket, const SdkCallShape& call, void* record) {
  link->channel->ReceiveReply(ticket);
  SdkMessage* reply = link->channel->iArguments;
  int32_t n = reply != nullptr ? reply->NrReceiveFields() : 0;
  if (n != 1 && n != call.wire->FullCount()) {
    *status = -2;
    return -2;
  }
  *status = FieldToInt(reply->Field(0));
  if (n > 1 && record != nullptr && call.members != nullptr) FillRecord(call, reply, record);
  return 0;
}

INT CallNavigator(NavigatorLink* link, INT* status, const SdkCallShape& call, const SdkArgument* arguments,
                  size_t count, void* record) {
  INT ignored;
  if (status == nullptr) status = &ignored;
  if (BeginNavigatorCall(link, status, call) != 0) {
    // A stop request to a navigator that is not there has nothing left to do.
    return (call.checkOnly && *status == -5) ? 0 : -1;
  }
  ReplyTicket* ticket = SendNavigatorRequest(link, call.wire->name, arguments, count);
  if (ticket == nullptr) {
    *status = -1;
    return -1;
  }
  return ReadNavigatorReply(link, status, ticket, call, record);
}
