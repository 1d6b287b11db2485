#include "navigator/service.h"

#include "ce/ce.h"

#include <cstdio>
#include <string>
#include <vector>

namespace nav {

namespace {
constexpr int kBatch = 64;
constexpr int kPasses = 8;
}  // namespace

Service::Service(Navigator& navigator) : navigator_(navigator), inbox_(kServerName), message_('|') {}

bool Service::Watch() { return inbox_.Watch(); }

int Service::ServeReady() {
  InboxRequest requests[kBatch];
  int answered = 0;
  busy_ = false;
  // Clients answered in one pass send their next requests while it runs: look again at once
  // rather than through another change wait and window message, but give the window its turn
  // after a few passes.
  for (int pass = 0; pass < kPasses; pass++) {
    int total = inbox_.List(requests, kBatch);
    int n = total < kBatch ? total : kBatch;
    int servedNow = 0;
    for (int i = 0; i < n; i++) {
      // A marker its writer still holds cannot be deleted yet; taking the request now would leave
      // it behind to be served a second time.
      if (!ServeOne(requests[i])) {
        busy_ = true;
        continue;
      }
      answered++;
      servedNow++;
      if (navigator_.StopRequested()) return answered;
    }
    if (servedNow == 0) break;
  }
  return answered;
}

bool Service::ServeOne(const InboxRequest& request) {
  std::vector<std::string> reply;
  const int read = inbox_.TryRead(request, &message_);
  if (read == RequestInbox::kMarkerBusy) return false;
  if (read != 0) {
    fprintf(stderr, "navigator: request %s.%u.%u has a marker but no readable text\n", request.client, request.linkId,
            request.sequence);
    reply.push_back(std::to_string(kResultBadRequest));
  } else {
    std::vector<std::string_view> fields;
    for (int32_t i = 0; i < message_.NrReceiveFields(); i++) fields.emplace_back(message_.Field(i));
    reply = navigator_.Handle(fields);
  }
  // The request goes first: the client's next channel may reuse the same names once answered.
  inbox_.Retire(request);
  std::vector<const char*> texts;
  texts.reserve(reply.size());
  for (const std::string& f : reply) texts.push_back(f.c_str());
  if (inbox_.Answer(request, texts.data(), static_cast<int>(texts.size())) != 0)
    fprintf(stderr, "navigator: cannot write the reply to %s.%u.%u\n", request.client, request.linkId,
            request.sequence);
  served_++;
  return true;
}

}  // namespace nav
