// The client end of the file channel: names and bytes of an exchange, reply reading, and the
// waits for a reply.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ce/device.h"
#include "ce/kernel.h"
#include "sdk/transport/file_channel.h"
#include "sdk/transport/request_inbox.h"
#include "tests/transport/test_device.h"

namespace {

const char kServer[] = "TomTomNavigationServer";

struct BoxRecord {
  bool hasOwner;
  std::string text;
  std::string caption;
  UINT type;
};
std::vector<BoxRecord> gBoxes;

int RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  gBoxes.push_back({owner != nullptr, ce::ToUtf8(text), ce::ToUtf8(caption), type});
  return IDOK;
}

class Channel : public ::testing::Test {
 protected:
  void SetUp() override {
    gBoxes.clear();
    ce::SetMessageBoxHandler(RecordBox);
  }
  void TearDown() override { ce::SetMessageBoxHandler(nullptr); }

  static FileChannel* Make(int32_t linkId = 77) {
    return new FileChannel("client", kServer, linkId, new SdkMessage('|'));
  }
  static ReplyTicket* Request(FileChannel* channel, const std::vector<std::string>& fields) {
    channel->BeginRequest();
    for (const std::string& field : fields) channel->AddField(field.c_str());
    return channel->Send();
  }
  // Writes the peer's reply for `sequence` of link 77 as raw bytes: text, then marker.
  void Reply(uint32_t sequence, const std::string& bytes, bool withText = true) {
    const std::string base = std::string(kServer) + ".client.77." + std::to_string(sequence);
    if (withText) TestDevice::WriteFile(device.Calls(base + ".message"), bytes);
    TestDevice::WriteFile(device.Calls(base + ".finished"), std::string("finish\n\0", 8));
  }
  static std::vector<std::string> Fields(FileChannel* channel) {
    std::vector<std::string> fields;
    for (int32_t i = 0; i < channel->iArguments->NrReceiveFields(); ++i) {
      fields.push_back(channel->iArguments->Field(i));
    }
    return fields;
  }
  std::vector<std::string> CallsFolder() const { return TestDevice::List(device.Calls()); }

  TestDevice device;
};

TEST_F(Channel, FirstRequestOfProcess77HasTheNamesAndBytesOfTheExchange) {
  FileChannel* channel = Make();
  EXPECT_EQ(channel->LinkId(), 77u);
  ReplyTicket* ticket = Request(channel, {"GetCurrentPositionV01"});
  ASSERT_NE(ticket, nullptr);
  EXPECT_EQ(ticket->iSequence, 1u);

  std::string text, marker;
  ASSERT_TRUE(TestDevice::ReadFile(device.Calls("client.TomTomNavigationServer.77.1.message"), &text));
  EXPECT_EQ(text, std::string("GetCurrentPositionV01|\0", 23));
  ASSERT_TRUE(TestDevice::ReadFile(device.Calls("client.TomTomNavigationServer.77.1.finished"), &marker));
  EXPECT_EQ(marker, std::string("\x66\x69\x6E\x69\x73\x68\x0A\x00", 8));

  // The reply is expected under the mirrored names; the text alone is not enough.
  EXPECT_EQ(channel->IsReplyReady(ticket), 0);
  TestDevice::WriteFile(device.Calls("TomTomNavigationServer.client.77.1.message"), std::string("0|5|-3|\0", 8));
  EXPECT_EQ(channel->IsReplyReady(ticket), 0);
  TestDevice::WriteFile(device.Calls("TomTomNavigationServer.client.77.1.finished"), "anything");
  EXPECT_EQ(channel->IsReplyReady(ticket), 1);

  channel->ReceiveReply(ticket);
  EXPECT_EQ(Fields(channel), (std::vector<std::string>{"0", "5", "-3"}));
  EXPECT_TRUE(gBoxes.empty());
  // The reply is gone; the request files are the peer's to remove.
  EXPECT_EQ(CallsFolder(), (std::vector<std::string>{"client.TomTomNavigationServer.77.1.finished",
                                                     "client.TomTomNavigationServer.77.1.message"}));

  ReplyTicket* second = Request(channel, {"GetDataSetInfoV01", "7"});
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->iSequence, 2u);
  ASSERT_TRUE(TestDevice::ReadFile(device.Calls("client.TomTomNavigationServer.77.2.message"), &text));
  EXPECT_EQ(text, std::string("GetDataSetInfoV01|7|\0", 21));
  delete second;
  delete channel;
}

TEST_F(Channel, FailedSendStillUsesUpItsSequenceNumber) {
  FileChannel* channel = Make();
  TestDevice::WriteFile(device.Host("TomTom"), "a file where the shared folder belongs");
  EXPECT_EQ(Request(channel, {"GetCurrentPositionV01"}), nullptr);
  EXPECT_EQ(channel->LastSendStatus(), -1);
  ASSERT_EQ(unlink(device.Host("TomTom").c_str()), 0);

  ReplyTicket* ticket = Request(channel, {"GetCurrentPositionV01"});
  ASSERT_NE(ticket, nullptr);
  EXPECT_EQ(ticket->iSequence, 2u);
  EXPECT_EQ(channel->LastSendStatus(), 0);
  EXPECT_TRUE(TestDevice::Exists(device.Calls("client.TomTomNavigationServer.77.2.finished")));
  delete ticket;
  delete channel;
}

TEST_F(Channel, NamesThatDoNotFitAreNotSent) {
  // 219 bytes make the text name 255 bytes long (it fits) and the marker name 256 (it does not).
  const std::string own(219, 'o');
  char name[kSdkNameSize];
  EXPECT_TRUE(FormatChannelFileName(name, sizeof(name), own.c_str(), kServer, 77, 1, kSdkMessageFile));
  EXPECT_EQ(std::strlen(name), 255u);
  EXPECT_FALSE(FormatChannelFileName(name, sizeof(name), own.c_str(), kServer, 77, 1, kSdkFinishedFile));
  EXPECT_STREQ(name, "");

  FileChannel channel(own.c_str(), kServer, 77, new SdkMessage('|'));
  channel.BeginRequest();
  channel.AddField("GetCurrentPositionV01");
  EXPECT_EQ(channel.Send(), nullptr);
  EXPECT_EQ(channel.SequenceNumber(), 1u);
  EXPECT_TRUE(CallsFolder().empty()) << "a request without its marker was left behind";

  // Endpoint names are kept to 255 bytes.
  FileChannel longNames(std::string(400, 'a').c_str(), std::string(300, 'b').c_str(), 1, new SdkMessage('|'));
  EXPECT_EQ(std::strlen(longNames.OwnName()), 255u);
  EXPECT_EQ(std::strlen(longNames.PeerName()), 255u);
}

TEST_F(Channel, RequestThatCannotBeWrittenWholeLeavesNothingBehind) {
  FileChannel* channel = Make();
  // Files may not grow past 1000 bytes for a moment: the 3000-byte request is cut short.
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ReplyTicket* ticket = Request(channel, {"Call", std::string(3000, 'w')});
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);

  EXPECT_EQ(ticket, nullptr);
  EXPECT_EQ(channel->LastSendStatus(), -1);
  EXPECT_TRUE(CallsFolder().empty()) << "a cut request was left for the peer";
  delete ticket;
  delete channel;
}

TEST_F(Channel, LinkIdMinusOneIsTheProcessId) {
  FileChannel channel("client", kServer, -1, new SdkMessage('|'));
  EXPECT_EQ(channel.LinkId(), static_cast<uint32_t>(getpid()));
  FileChannel other("client", kServer, 0, new SdkMessage('|'));
  EXPECT_EQ(other.LinkId(), 0u);
}

TEST_F(Channel, ReadsRepliesOfEverySizeIntoTheRightBuffer) {
  struct Case {
    const char* what;
    size_t requestField;   // 0: a small request
    size_t replyBytes;     // "0|" + filler + "|" of this many bytes, without NUL
    int32_t heapCapacity;  // of the message after the reply; 0: the inline buffer served
  } cases[] = {
      {"1022 bytes fit the inline region", 0, 1022, 0},
      {"1023 bytes reserve size + 1", 0, 1023, 1024},
      {"5000 bytes reserve size + 1", 0, 5000, 5001},
      {"small reply into a large request's buffer", 3000, 100, 3072},
  };
  for (const Case& c : cases) {
    FileChannel* channel = Make();
    std::vector<std::string> request = {"Call"};
    if (c.requestField) request.push_back(std::string(c.requestField, 'q'));
    ReplyTicket* ticket = Request(channel, request);
    ASSERT_NE(ticket, nullptr) << c.what;
    const std::string filler(c.replyBytes - 3, 'x');
    Reply(1, "0|" + filler + "|");
    channel->ReceiveReply(ticket);
    ASSERT_EQ(channel->iArguments->NrReceiveFields(), 2) << c.what;
    EXPECT_STREQ(channel->iArguments->Field(0), "0") << c.what;
    EXPECT_EQ(std::string(channel->iArguments->Field(1)), filler) << c.what;
    EXPECT_EQ(channel->iArguments->HeapCapacity(), c.heapCapacity) << c.what;
    delete channel;
  }
}

TEST_F(Channel, ReplyCutAtItsFirstLineFeed) {
  struct Case {
    std::string reply;
    std::vector<std::string> fields;
  } cases[] = {
      {"0|1\n2|3|", {"0"}},
      {"0|1|\n2|3|", {"0", "1"}},
      {"0|x|\n", {"0", "x"}},
  };
  for (const Case& c : cases) {
    FileChannel* channel = Make();
    ReplyTicket* ticket = Request(channel, {"Call"});
    Reply(1, c.reply);
    channel->ReceiveReply(ticket);
    EXPECT_EQ(Fields(channel), c.fields) << "reply '" << c.reply << "'";
    EXPECT_TRUE(gBoxes.empty());
    delete channel;
  }
}

TEST_F(Channel, ReplyWithoutAnyFieldShowsOneErrorBox) {
  const std::string replies[] = {"no separator", "", std::string("\0|1|", 4)};
  for (const std::string& reply : replies) {
    gBoxes.clear();
    FileChannel* channel = Make();
    // The request's own fields must not show through an empty reply.
    ReplyTicket* ticket = Request(channel, {"Call", "arg"});
    Reply(1, reply);
    channel->ReceiveReply(ticket);
    EXPECT_EQ(channel->iArguments->NrReceiveFields(), 0) << "reply '" << reply << "'";
    ASSERT_EQ(gBoxes.size(), 1u) << "reply '" << reply << "'";
    EXPECT_FALSE(gBoxes[0].hasOwner);
    EXPECT_EQ(gBoxes[0].text, "iArguments->NrReceiveFields ()>0");
    EXPECT_EQ(gBoxes[0].caption, "SDK ERROR!");
    EXPECT_EQ(gBoxes[0].type, MB_OK | MB_ICONHAND);
    EXPECT_FALSE(TestDevice::Exists(device.Calls("TomTomNavigationServer.client.77.1.message")));
    EXPECT_FALSE(TestDevice::Exists(device.Calls("TomTomNavigationServer.client.77.1.finished")));
    delete channel;
  }
}

// A reply text or marker that is a FIFO (nobody ever writes it) must end the wait, not block the
// program in an open or a read. Each case runs in a child that an alarm kills if it hangs.
TEST_F(Channel, FifoInPlaceOfTheReplyTextOrMarkerEndsTheCall) {
  struct Case {
    const char* what;
    bool fifoText;
    bool fifoMarker;
  };
  const Case cases[] = {
      {"reply text is a FIFO", true, false},
      {"reply marker is a FIFO", false, true},
      {"both are FIFOs", true, true},
  };
  const std::string base = std::string(kServer) + ".client.77.1";
  for (const Case& c : cases) {
    EXPECT_EXIT(
        {
          alarm(5);
          FileChannel* channel = Make();
          ReplyTicket* ticket = Request(channel, {"Call"});
          if (c.fifoText)
            mkfifo(device.Calls(base + ".message").c_str(), 0600);
          else
            TestDevice::WriteFile(device.Calls(base + ".message"), std::string("0|\0", 3));
          if (c.fifoMarker)
            mkfifo(device.Calls(base + ".finished").c_str(), 0600);
          else
            TestDevice::WriteFile(device.Calls(base + ".finished"), std::string("finish\n\0", 8));
          channel->ReceiveReply(ticket);
          // A FIFO text has nothing to read: no field may come of it.
          const bool ok = !c.fifoText || channel->iArguments->NrReceiveFields() == 0;
          std::_Exit(ok ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "")
        << c.what;
    std::remove(device.Calls(base + ".message").c_str());
    std::remove(device.Calls(base + ".finished").c_str());
  }
}

TEST_F(Channel, MarkerWithoutTextIsRemovedAndAnswersNoLaterRequest) {
  FileChannel* channel = Make();
  ReplyTicket* ticket = Request(channel, {"Call"});
  Reply(1, "", /*withText=*/false);
  channel->ReceiveReply(ticket);
  EXPECT_EQ(channel->iArguments->NrReceiveFields(), 0);
  EXPECT_TRUE(gBoxes.empty());
  EXPECT_FALSE(TestDevice::Exists(device.Calls("TomTomNavigationServer.client.77.1.finished")));
  delete channel;

  FileChannel* next = Make();
  ReplyTicket* again = Request(next, {"Call"});
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->iSequence, 1u);
  EXPECT_EQ(next->IsReplyReady(again), 0);
  delete again;
  delete next;
}

TEST_F(Channel, ReplyLeftFromAnEarlierExchangeIsRemovedBeforeTheRequest) {
  Reply(1, "0|stale|");
  FileChannel* channel = Make();
  ReplyTicket* ticket = Request(channel, {"Call"});
  ASSERT_NE(ticket, nullptr);
  EXPECT_EQ(channel->IsReplyReady(ticket), 0) << "an old reply answered a new request";
  EXPECT_EQ(CallsFolder(), (std::vector<std::string>{"client.TomTomNavigationServer.77.1.finished",
                                                     "client.TomTomNavigationServer.77.1.message"}));
  Reply(1, "0|fresh|");
  channel->ReceiveReply(ticket);
  EXPECT_EQ(Fields(channel), (std::vector<std::string>{"0", "fresh"}));
  delete channel;
}

TEST_F(Channel, ReadOnlyReplyFilesAreStillDeleted) {
  FileChannel* channel = Make();
  ReplyTicket* ticket = Request(channel, {"Call"});
  Reply(1, "0|");
  ASSERT_EQ(chmod(device.Calls("TomTomNavigationServer.client.77.1.message").c_str(), 0444), 0);
  ASSERT_EQ(chmod(device.Calls("TomTomNavigationServer.client.77.1.finished").c_str(), 0444), 0);
  channel->ReceiveReply(ticket);
  EXPECT_EQ(Fields(channel), (std::vector<std::string>{"0"}));
  EXPECT_FALSE(TestDevice::Exists(device.Calls("TomTomNavigationServer.client.77.1.message")));
  EXPECT_FALSE(TestDevice::Exists(device.Calls("TomTomNavigationServer.client.77.1.finished")));
  delete channel;
}

TEST_F(Channel, ReceiveReplyWithoutTicketOnlyClears) {
  FileChannel* channel = Make();
  ReplyTicket* ticket = Request(channel, {"Call", "x"});
  Reply(1, "0|");
  const std::vector<std::string> before = CallsFolder();
  channel->ReceiveReply(nullptr);
  EXPECT_STREQ(channel->iArguments->Buffer(), "");
  EXPECT_EQ(channel->iArguments->NrReceiveFields(), 0);
  EXPECT_EQ(CallsFolder(), before);
  EXPECT_TRUE(gBoxes.empty());
  delete ticket;
  delete channel;
}

TEST_F(Channel, ReplyTooLargeToReserveIsReadAsFarAsTheInlineBufferHolds) {
  FileChannel* channel = Make();
  ReplyTicket* ticket = Request(channel, {"Call"});
  // A sparse 2 GiB reply: its buffer cannot be had, so only the first 1023 bytes are read.
  Reply(1, "0|1|");
  const std::string path = device.Calls("TomTomNavigationServer.client.77.1.message");
  ASSERT_EQ(truncate(path.c_str(), 0x80000000LL), 0);
  channel->ReceiveReply(ticket);
  EXPECT_EQ(Fields(channel), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(channel->iArguments->BufferSize(), SdkMessage::kInlineSize);
  EXPECT_FALSE(TestDevice::Exists(path));
  delete channel;
}

TEST_F(Channel, BeginReplyAnswersUnderTheRequestsNumber) {
  FileChannel* client = Make();
  ReplyTicket* ticket = Request(client, {"Call"});
  ASSERT_NE(ticket, nullptr);

  FileChannel server(kServer, "client", 77, new SdkMessage('|'));
  server.BeginReply(ReplyTicket(1));
  server.AddField("0");
  server.AddField("served");
  EXPECT_EQ(server.Send(), nullptr) << "a reply expects no reply";
  EXPECT_EQ(server.LastSendStatus(), 0);
  std::string text;
  ASSERT_TRUE(TestDevice::ReadFile(device.Calls("TomTomNavigationServer.client.77.1.message"), &text));
  EXPECT_EQ(text, std::string("0|served|\0", 10));
  EXPECT_TRUE(TestDevice::Exists(device.Calls("client.TomTomNavigationServer.77.1.message")))
      << "a reply must not remove the request it answers";

  client->ReceiveReply(ticket);
  EXPECT_EQ(Fields(client), (std::vector<std::string>{"0", "served"}));
  delete client;
}

// The peer-alive check and the two ways of waiting.
struct AliveState {
  std::atomic<int> calls{0};
  std::atomic<bool> alive{true};
  std::atomic<int> missesFirst{0};   // looks that miss the living peer before it is seen
  TestDevice* answerWith = nullptr;  // when set, the check writes the reply before saying "gone"
};

bool CheckAlive(void* context) {
  AliveState* state = static_cast<AliveState*>(context);
  ++state->calls;
  if (state->answerWith) {
    const std::string base = std::string(kServer) + ".client.77.1";
    TestDevice::WriteFile(state->answerWith->Calls(base + ".message"), "0|last words|");
    TestDevice::WriteFile(state->answerWith->Calls(base + ".finished"), "finish\n");
  }
  if (state->missesFirst > 0) {
    --state->missesFirst;
    return false;
  }
  return state->alive;
}

TEST_F(Channel, WaitEndsWithNoFieldsWhenThePeerIsGone) {
  for (SdkReplyWait mode : {SdkReplyWait::kNotify, SdkReplyWait::kPoll}) {
    FileChannel* channel = Make();
    channel->SetReplyWait(mode);
    AliveState state;
    state.alive = false;
    channel->SetPeerAliveCheck(CheckAlive, &state);
    ReplyTicket* ticket = Request(channel, {"Call", "x"});
    ASSERT_NE(ticket, nullptr);
    channel->ReceiveReply(ticket);
    EXPECT_GE(state.calls.load(), 1);
    EXPECT_EQ(channel->iArguments->NrReceiveFields(), 0);
    EXPECT_STREQ(channel->iArguments->Buffer(), "");
    EXPECT_TRUE(CallsFolder().empty()) << "the unserved request was left behind";
    EXPECT_TRUE(gBoxes.empty());
    delete channel;
  }
}

TEST_F(Channel, ReplyWrittenJustBeforeThePeerLeftIsTaken) {
  FileChannel* channel = Make();
  AliveState state;
  state.alive = false;
  state.answerWith = &device;
  channel->SetPeerAliveCheck(CheckAlive, &state);
  channel->SetReplyWait(SdkReplyWait::kPoll);
  ReplyTicket* ticket = Request(channel, {"Call"});
  channel->ReceiveReply(ticket);
  EXPECT_EQ(Fields(channel), (std::vector<std::string>{"0", "last words"}));
  delete channel;
}

// Also when one look at it misses its window.
TEST_F(Channel, SlowLivingPeerIsWaitedFor) {
  struct Wait {
    int missedLooks;
    SdkReplyWait mode;
  };
  for (Wait wait : {Wait{0, SdkReplyWait::kNotify}, Wait{0, SdkReplyWait::kPoll}, Wait{1, SdkReplyWait::kNotify},
                    Wait{1, SdkReplyWait::kPoll}}) {
    FileChannel* channel = Make();
    channel->SetReplyWait(wait.mode);
    AliveState state;
    state.missesFirst = wait.missedLooks;
    channel->SetPeerAliveCheck(CheckAlive, &state);
    ReplyTicket* ticket = Request(channel, {"Echo", "slow"});
    ASSERT_NE(ticket, nullptr);

    std::thread peer([&state] {
      usleep(350 * 1000);
      RequestInbox inbox(kServer);
      InboxRequest requests[4];
      SdkMessage message('|');
      const bool served = inbox.List(requests, 4) == 1 && inbox.Read(requests[0], &message) == 0;
      EXPECT_TRUE(served) << "the request was not found";
      if (!served) {
        state.alive = false;  // lets the client's wait end instead of hanging the test
        return;
      }
      inbox.Remove(requests[0]);
      const char* fields[] = {"0", message.Field(1)};
      EXPECT_EQ(inbox.Answer(requests[0], fields, 2), 0);
    });
    channel->ReceiveReply(ticket);
    peer.join();
    EXPECT_EQ(Fields(channel), (std::vector<std::string>{"0", "slow"}));
    EXPECT_GE(state.calls.load(), 1) << "the peer was not asked while waiting";
    EXPECT_TRUE(CallsFolder().empty());
    delete channel;
  }
}

// Other exchanges keep the calls folder busy, so a wait never times out: a reply is found only by
// noticing its own marker among their changes, however the marker is put in place.
TEST_F(Channel, ReplyIsNoticedAmongOtherExchangesChanges) {
  enum class Put { kRenamedIn, kWrittenInPlace, kOtherCase };
  for (Put put : {Put::kRenamedIn, Put::kWrittenInPlace, Put::kOtherCase}) {
    SCOPED_TRACE(static_cast<int>(put));
    FileChannel* channel = Make();
    ReplyTicket* ticket = Request(channel, {"Echo", "busy"});
    ASSERT_NE(ticket, nullptr);
    std::atomic<bool> received{false};
    // Enough changes to outlast any wait that does not notice the reply (each pair is a wake).
    constexpr int kMostChanges = 20000;
    int changes = 0;
    std::thread peer([&] {
      const std::string other = device.Calls("client.TomTomNavigationServer.99.1.message");
      auto churn = [&](int count) {
        for (int i = 0; i < count && !received && changes < kMostChanges; ++i, ++changes) {
          TestDevice::WriteFile(other, "x");
          std::remove(other.c_str());
        }
      };
      churn(50);
      const std::string base =
          put == Put::kOtherCase ? "TOMTOMNAVIGATIONSERVER.CLIENT.77.1" : std::string(kServer) + ".client.77.1";
      if (put == Put::kRenamedIn) {
        RequestInbox inbox(kServer);
        InboxRequest requests[2];
        SdkMessage message('|');
        ASSERT_EQ(inbox.List(requests, 2), 1);
        ASSERT_EQ(inbox.Read(requests[0], &message), 0);
        inbox.Retire(requests[0]);
        const char* fields[] = {"0", message.Field(1)};
        EXPECT_EQ(inbox.Answer(requests[0], fields, 2), 0);
      } else {
        TestDevice::WriteFile(device.Calls(base + ".message"), std::string("0|busy|\0", 8));
        TestDevice::WriteFile(device.Calls(base + ".finished"), std::string("finish\n\0", 8));
      }
      churn(kMostChanges);
    });
    channel->ReceiveReply(ticket);
    received = true;
    peer.join();
    EXPECT_EQ(Fields(channel), (std::vector<std::string>{"0", "busy"}));
    EXPECT_LT(changes, kMostChanges) << "the reply was found only once the folder went quiet";
    delete channel;
    for (const std::string& name : CallsFolder()) std::remove(device.Calls(name).c_str());
  }
}

}  // namespace
