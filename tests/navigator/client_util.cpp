#include "tests/navigator/client_util.h"

#ifndef _WIN32
#include <signal.h>
#endif

#include "navigator/geo.h"

namespace navtest {

TestClient::TestClient(const char* name, int32_t linkId)
    : channel_(std::make_unique<FileChannel>(name, "TomTomNavigationServer", linkId, new SdkMessage('|'))) {
  channel_->SetPeerAliveCheck(&TestClient::StillWaiting, this);
}

bool TestClient::StillWaiting(void* self) {
  auto* c = static_cast<TestClient*>(self);
  if (std::chrono::steady_clock::now() > c->deadline_) return false;
#ifdef _WIN32
  return true;  // the Windows build waits for its deadline alone
#else
  return c->serverPid_ <= 0 || kill(c->serverPid_, 0) == 0;
#endif
}

bool TestClient::Exchange(const Fields& request, Fields& reply, int timeoutMs) {
  reply.clear();
  channel_->BeginRequest();
  for (const std::string& f : request) channel_->AddField(f.c_str());
  ReplyTicket* ticket = channel_->Send();
  if (!ticket) return false;
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  channel_->ReceiveReply(ticket);
  SdkMessage* m = channel_->iArguments;
  for (int32_t i = 0; i < m->NrReceiveFields(); i++) reply.emplace_back(m->Field(i));
  return !reply.empty();
}

bool FieldsHaveTypes(const Fields& reply, const std::string& types) {
  if (reply.size() != types.size() + 1) return false;
  int32_t v;
  if (!nav::ParseInt32(reply[0], v) || reply[0].find(' ') != std::string::npos) return false;
  for (size_t i = 0; i < types.size(); i++)
    if (types[i] == 'i' && (!nav::ParseInt32(reply[i + 1], v) || reply[i + 1] != std::to_string(v))) return false;
  return true;
}

}  // namespace navtest
