#include "navigator/service.h"

#include <cstdio>
#include <string>
#include <vector>

namespace nav {

namespace {
constexpr int kBatch = 64;
}

Service::Service(Navigator& navigator) : navigator_(navigator), inbox_(kServerName), message_('|') {}

bool Service::Watch() { return inbox_.Watch(); }

int Service::ServeReady() {
  InboxRequest requests[kBatch];
  int answered = 0;
  for (;;) {
    int total = inbox_.List(requests, kBatch);
    int n = total < kBatch ? total : kBatch;
    for (int i = 0; i < n; i++) {
      ServeOne(requests[i]);
      answered++;
      if (navigator_.StopRequested()) return answered;
    }
    if (total <= kBatch) return answered;
  }
}

void Service::ServeOne(const InboxRequest& request) {
  std::vector<std::string> reply;
  if (inbox_.Read(request, &message_) != 0) {
    fprintf(stderr, "navigator: request %s.%u.%u has a marker but no readable text\n", request.client,
            request.linkId, request.sequence);
    reply.push_back(std::to_string(kResultBadRequest));
  } else {
    std::vector<std::string_view> fields;
    for (int32_t i = 0; i < message_.NrReceiveFields(); i++) fields.emplace_back(message_.Field(i));
    reply = navigator_.Handle(fields);
  }
  // The request goes first: the client's next channel may reuse the same names once answered.
  inbox_.Remove(request);
  std::vector<const char*> texts;
  texts.reserve(reply.size());
  for (const std::string& f : reply) texts.push_back(f.c_str());
  if (inbox_.Answer(request, texts.data(), static_cast<int>(texts.size())) != 0)
    fprintf(stderr, "navigator: cannot write the reply to %s.%u.%u\n", request.client, request.linkId,
            request.sequence);
  served_++;
}

}  // namespace nav
