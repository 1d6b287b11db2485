// A separate process for the two-process tests, built on the inbox and the file channel.
//   transport_test_peer serve <server> <total>            answers <total> requests, then exits 0
//   transport_test_peer client <server> <linkid> <count>  sends <count> requests, checks each reply
// A server reply is "0|<token>|<linkid>|<sequence>|" for a request "Echo|<token>|<padding>|".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ce/kernel.h"
#include "sdk/transport/file_channel.h"
#include "sdk/transport/request_inbox.h"

namespace {

constexpr uint32_t kIdleLimitMs = 20000;  // a server nobody talks to gives up
constexpr int kRequestsPerChannel = 25;   // channels restart at sequence 1, as the program's do

int Serve(const char* server, int total) {
  RequestInbox inbox(server);
  if (!inbox.Watch()) {
    std::fprintf(stderr, "serve: cannot watch the calls folder\n");
    return 2;
  }
  int served = 0;
  uint32_t idle = 0;
  while (served < total) {
    InboxRequest requests[16];
    const int found = inbox.List(requests, 16);
    for (int i = 0; i < found && i < 16; ++i) {
      SdkMessage message('|');
      const bool read = inbox.Read(requests[i], &message) == 0;
      inbox.Remove(requests[i]);
      if (!read) continue;
      char linkId[kIntFieldSize];
      char sequence[kIntFieldSize];
      IntToField(static_cast<int32_t>(requests[i].linkId), linkId);
      IntToField(static_cast<int32_t>(requests[i].sequence), sequence);
      const char* fields[] = {"0", message.Field(1), linkId, sequence};
      if (inbox.Answer(requests[i], fields, 4) != 0) {
        std::fprintf(stderr, "serve: cannot answer %s seq %u\n", requests[i].client, requests[i].sequence);
        return 2;
      }
      ++served;
    }
    if (found > 0) {
      idle = 0;
    } else if (!inbox.WaitForChange(FileChannel::kPollMilliseconds)) {
      idle += FileChannel::kPollMilliseconds;
      if (idle >= kIdleLimitMs) {
        std::fprintf(stderr, "serve: idle after %d of %d requests\n", served, total);
        return 3;
      }
    }
  }
  return 0;
}

int Client(const char* server, int32_t linkId, int count) {
  FileChannel* channel = nullptr;
  for (int i = 0; i < count; ++i) {
    if (i % kRequestsPerChannel == 0) {
      delete channel;
      channel = new FileChannel("client", server, linkId, new SdkMessage('|'));
    }
    char token[64];
    std::snprintf(token, sizeof(token), "%d:%d", static_cast<int>(linkId), i);
    // Every 97th request outgrows the inline buffer.
    const std::string padding(i % 97 == 0 ? 3000 : static_cast<size_t>(i % 50), 'p');
    channel->BeginRequest();
    channel->AddField("Echo");
    channel->AddField(token);
    channel->AddField(padding.c_str());
    const uint32_t sequence = channel->SequenceNumber() + 1;
    ReplyTicket* ticket = channel->Send();
    if (!ticket) {
      std::fprintf(stderr, "client %d: request %d not sent\n", static_cast<int>(linkId), i);
      delete channel;
      return 2;
    }
    channel->ReceiveReply(ticket);
    SdkMessage* reply = channel->iArguments;
    if (reply->NrReceiveFields() != 4 || std::strcmp(reply->Field(0), "0") != 0 ||
        std::strcmp(reply->Field(1), token) != 0 || FieldToInt(reply->Field(2)) != linkId ||
        static_cast<uint32_t>(FieldToInt(reply->Field(3))) != sequence) {
      std::fprintf(stderr, "client %d: request %d (%s, seq %u) got %d fields: %s|%s|%s|%s\n", static_cast<int>(linkId),
                   i, token, sequence, reply->NrReceiveFields(), reply->Field(0), reply->Field(1), reply->Field(2),
                   reply->Field(3));
      delete channel;
      return 1;
    }
  }
  delete channel;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "serve") == 0) return Serve(argv[2], std::atoi(argv[3]));
  if (argc == 5 && std::strcmp(argv[1], "client") == 0) {
    return Client(argv[2], static_cast<int32_t>(std::atoi(argv[3])), std::atoi(argv[4]));
  }
  std::fprintf(stderr, "usage: %s serve <server> <total> | client <server> <linkid> <count>\n", argv[0]);
  return 64;
}
