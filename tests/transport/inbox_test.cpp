// The answering side: request marker names, listing, reading, removing and answering.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/kernel.h"
#include "sdk/transport/file_channel.h"
#include "sdk/transport/request_inbox.h"
#include "tests/transport/test_device.h"

namespace {

TEST(RequestInbox, ParsesRequestMarkerNames) {
  struct Case {
    const char* name;
    const char* server;
    bool ok;
    const char* client;
    uint32_t linkId;
    uint32_t sequence;
  } cases[] = {
      {"client.TomTomNavigationServer.77.1.finished", "TomTomNavigationServer", true, "client", 77, 1},
      {"my.dotted.client.Srv.0.4294967295.finished", "Srv", true, "my.dotted.client", 0, 4294967295u},
      {"a.Srv.4294967294.12.finished", "Srv", true, "a", 4294967294u, 12},
      {"client.TomTomNavigationServer.77.1.message", "TomTomNavigationServer", false, "", 0, 0},
      {"client.Other.77.1.finished", "TomTomNavigationServer", false, "", 0, 0},
      {"client.XSrv.77.1.finished", "Srv", false, "", 0, 0},
      {"client.SrvX.77.1.finished", "Srv", false, "", 0, 0},
      {".Srv.77.1.finished", "Srv", false, "", 0, 0},
      {"Srv.77.1.finished", "Srv", false, "", 0, 0},
      {"c.Srv.77.01.finished", "Srv", false, "", 0, 0},
      {"c.Srv.-1.1.finished", "Srv", false, "", 0, 0},
      {"c.Srv.4294967295.1.finished", "Srv", false, "", 0, 0},
      {"c.Srv.4294967296.1.finished", "Srv", false, "", 0, 0},
      {"c.Srv.77..finished", "Srv", false, "", 0, 0},
      {"c.Srv.7a.1.finished", "Srv", false, "", 0, 0},
      {".finished", "Srv", false, "", 0, 0},
      {"c.Srv.1.1.finished", "S.rv", false, "", 0, 0},
      {"c.Srv.1.1.finished", "", false, "", 0, 0},
  };
  for (const Case& c : cases) {
    InboxRequest request;
    std::memset(&request, 0x5a, sizeof(request));
    request.client[0] = '\0';
    EXPECT_EQ(ParseRequestMarker(c.name, c.server, &request), c.ok) << c.name << " for " << c.server;
    if (!c.ok) continue;
    EXPECT_STREQ(request.client, c.client) << c.name;
    EXPECT_EQ(request.linkId, c.linkId) << c.name;
    EXPECT_EQ(request.sequence, c.sequence) << c.name;
  }
  EXPECT_FALSE(ParseRequestMarker(nullptr, "Srv", nullptr));
}

TEST(RequestInbox, ServesRequestsOfSeveralClientsInOrder) {
  TestDevice device;
  RequestInbox inbox("Srv");
  ASSERT_TRUE(inbox.Watch());

  FileChannel first("beta", "Srv", 6, new SdkMessage('|'));
  FileChannel second("alpha", "Srv", 5, new SdkMessage('|'));
  FileChannel elsewhere("alpha", "OtherSrv", 5, new SdkMessage('|'));
  std::vector<ReplyTicket*> tickets;
  for (FileChannel* channel : {&first, &second, &second, &elsewhere}) {
    channel->BeginRequest();
    channel->AddField("Echo");
    channel->AddField(channel->OwnName());
    tickets.push_back(channel->Send());
    ASSERT_NE(tickets.back(), nullptr);
  }
  // A text without its marker is not a request yet.
  TestDevice::WriteFile(device.Calls("gamma.Srv.1.1.message"), std::string("Echo|\0", 6));
  EXPECT_TRUE(inbox.WaitForChange(0)) << "the requests changed the watched folder";

  InboxRequest requests[8];
  ASSERT_EQ(inbox.List(requests, 8), 3);
  const char* clients[] = {"alpha", "alpha", "beta"};
  const uint32_t sequences[] = {1, 2, 1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(requests[i].client, clients[i]) << "request " << i;
    EXPECT_EQ(requests[i].sequence, sequences[i]) << "request " << i;
  }
  InboxRequest one[1];
  EXPECT_EQ(inbox.List(one, 1), 3) << "the count covers what did not fit";
  EXPECT_STREQ(one[0].client, "alpha");
  EXPECT_EQ(one[0].sequence, 1u);

  for (int i = 0; i < 3; ++i) {
    SdkMessage message('|');
    ASSERT_EQ(inbox.Read(requests[i], &message), 0);
    ASSERT_EQ(message.NrReceiveFields(), 2);
    EXPECT_STREQ(message.Field(0), "Echo");
    EXPECT_STREQ(message.Field(1), requests[i].client);
    inbox.Remove(requests[i]);
    std::string sequence = std::to_string(requests[i].sequence);
    const char* fields[] = {"0", requests[i].client, sequence.c_str()};
    EXPECT_EQ(inbox.Answer(requests[i], fields, 3), 0);
  }
  EXPECT_EQ(inbox.List(requests, 8), 0);

  struct Expect {
    FileChannel* channel;
    ReplyTicket* ticket;
    const char* client;
    const char* sequence;
  } expects[] = {
      {&first, tickets[0], "beta", "1"}, {&second, tickets[1], "alpha", "1"}, {&second, tickets[2], "alpha", "2"}};
  for (const Expect& e : expects) {
    ASSERT_EQ(e.channel->IsReplyReady(e.ticket), 1);
    e.channel->ReceiveReply(e.ticket);
    ASSERT_EQ(e.channel->iArguments->NrReceiveFields(), 3);
    EXPECT_STREQ(e.channel->iArguments->Field(1), e.client);
    EXPECT_STREQ(e.channel->iArguments->Field(2), e.sequence);
  }
  delete tickets[3];
  EXPECT_EQ(
      TestDevice::List(device.Calls()),
      (std::vector<std::string>{"alpha.OtherSrv.5.1.finished", "alpha.OtherSrv.5.1.message", "gamma.Srv.1.1.message"}));
}

TEST(RequestInbox, ReadsLargeRequestsAndReportsMissingText) {
  TestDevice device;
  RequestInbox inbox("Srv");
  FileChannel client("c", "Srv", 3, new SdkMessage('|'));
  client.BeginRequest();
  client.AddField("Big");
  const std::string big(6000, 'b');
  client.AddField(big.c_str());
  ReplyTicket* ticket = client.Send();
  ASSERT_NE(ticket, nullptr);

  InboxRequest requests[2];
  ASSERT_EQ(inbox.List(requests, 2), 1);
  SdkMessage message('|');
  ASSERT_EQ(inbox.Read(requests[0], &message), 0);
  ASSERT_EQ(message.NrReceiveFields(), 2);
  EXPECT_EQ(std::string(message.Field(1)), big);

  inbox.Remove(requests[0]);
  EXPECT_TRUE(TestDevice::List(device.Calls()).empty()) << "a request read and removed leaves nothing";
  delete ticket;

  client.BeginRequest();
  client.AddField("Lost");
  ticket = client.Send();
  ASSERT_NE(ticket, nullptr);
  ASSERT_EQ(inbox.List(requests, 2), 1);
  ASSERT_EQ(unlink(device.Calls("c.Srv.3.2.message").c_str()), 0);
  EXPECT_EQ(inbox.Read(requests[0], &message), -1);
  EXPECT_EQ(message.NrReceiveFields(), 0);
  inbox.Remove(requests[0]);
  EXPECT_TRUE(TestDevice::List(device.Calls()).empty());
  delete ticket;
}

TEST(RequestInbox, WaitSeesOnlyChangesMadeAfterTheLastWaitOrListing) {
  TestDevice device;
  RequestInbox inbox("Srv");
  ASSERT_TRUE(inbox.Watch());
  EXPECT_FALSE(inbox.WaitForChange(10)) << "nothing changed yet";
  // Only a request marker for this server ends the wait: other files, and other servers'
  // requests, do not.
  TestDevice::WriteFile(device.Calls("c.Srv.1.1.message"), std::string("Echo|\0", 6));
  TestDevice::WriteFile(device.Calls("c.Other.1.1.finished"), "finish");
  EXPECT_FALSE(inbox.WaitForChange(50)) << "no request for this server came";
  TestDevice::WriteFile(device.Calls("c.Srv.1.1.finished"), "finish");
  EXPECT_TRUE(inbox.WaitForChange(1000));
  EXPECT_FALSE(inbox.WaitForChange(10)) << "the change was reported twice";

  // A listing has seen what changed before it; a change after it still ends the wait.
  TestDevice::WriteFile(device.Calls("c.Srv.1.2.message"), std::string("Echo|\0", 6));
  TestDevice::WriteFile(device.Calls("c.Srv.1.2.finished"), "finish");
  InboxRequest requests[2];
  EXPECT_EQ(inbox.List(requests, 2), 2);
  EXPECT_FALSE(inbox.WaitForChange(10)) << "changes the listing saw ended the wait";
  TestDevice::WriteFile(device.Calls("c.Srv.1.3.finished"), "finish");
  EXPECT_TRUE(inbox.WaitForChange(1000));
}

// A retired request's files become the reply's; whatever stands in the way, the answer ends with
// exactly the reply's two files, and the client reads it.
TEST(RequestInbox, RetiredRequestsAreAnsweredInTheirOwnFiles) {
  struct Case {
    const char* what;
    const char* leftover;  // a file in the calls folder before the request is read, or nullptr
    bool answerOther;      // another request is answered after this one was retired
    bool shortReply;       // a reply shorter than the marker it is written over
  } cases[] = {
      {"plain", nullptr, false, false},
      {"a reply shorter than the request's marker", nullptr, false, true},
      {"a stale reply marker of the same name", "Srv.c.3.1.finished", false, false},
      {"a stale reply text of the same name", "Srv.c.3.1.message", false, false},
      {"answered out of turn", nullptr, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestDevice device;
    RequestInbox inbox("Srv");
    FileChannel client("c", "Srv", 3, new SdkMessage('|'));
    client.BeginRequest();
    client.AddField("Echo");
    ReplyTicket* ticket = client.Send();
    ASSERT_NE(ticket, nullptr);
    if (c.leftover) TestDevice::WriteFile(device.Calls(c.leftover), "old");
    InboxRequest requests[2];
    ASSERT_EQ(inbox.List(requests, 2), 1);
    SdkMessage message('|');
    HANDLE writer = CreateFileW(u"\\TomTom\\SdkFileCalls\\c.Srv.3.1.finished", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(inbox.TryRead(requests[0], &message), RequestInbox::kMarkerBusy) << "the marker is still held";
    CloseHandle(writer);
    ASSERT_EQ(inbox.TryRead(requests[0], &message), 0);
    EXPECT_STREQ(message.Field(0), "Echo");
    EXPECT_EQ(inbox.List(requests, 2), 0) << "a request read is not listed again";
    inbox.Retire(requests[0]);
    const char* fields[] = {"0", "done"};
    const int fieldCount = c.shortReply ? 1 : 2;
    if (c.answerOther) {
      InboxRequest other = requests[0];
      other.sequence = 9;
      EXPECT_EQ(inbox.Answer(other, fields, fieldCount), 0);
      for (const char* name : {"Srv.c.3.9.finished", "Srv.c.3.9.message"}) unlink(device.Calls(name).c_str());
    }
    EXPECT_EQ(inbox.Answer(requests[0], fields, fieldCount), 0);
    EXPECT_EQ(TestDevice::List(device.Calls()), (std::vector<std::string>{"Srv.c.3.1.finished", "Srv.c.3.1.message"}));
    std::string reply;
    ASSERT_TRUE(TestDevice::ReadFile(device.Calls("Srv.c.3.1.message"), &reply));
    EXPECT_EQ(reply, c.shortReply ? std::string("0|\0", 3) : std::string("0|done|\0", 8))
        << "nothing of the file written over is left in the reply";
    client.ReceiveReply(ticket);
    ASSERT_EQ(client.iArguments->NrReceiveFields(), fieldCount);
    EXPECT_STREQ(client.iArguments->Field(fieldCount - 1), fields[fieldCount - 1]);
    EXPECT_TRUE(TestDevice::List(device.Calls()).empty());
  }
}

}  // namespace
