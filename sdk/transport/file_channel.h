// The message channel between the program and the navigator: a request is a ".message" file with
// the message text and its NUL, followed by an 8-byte ".finished" marker ("finish\n" and NUL)
// whose appearance says the text is complete. The reply comes back the same way under the
// mirrored names. All files live in the calls folder (shared folder + "SdkFileCalls\").
//
//   request text    "<own>.<peer>.<linkid>.<seq>.message"      written by the sender
//   request marker  "<own>.<peer>.<linkid>.<seq>.finished"     written after the text is closed
//   reply text      "<peer>.<own>.<linkid>.<seq>.message"      written by the peer
//   reply marker    "<peer>.<own>.<linkid>.<seq>.finished"     written after the reply is closed
//
// One exchange on the client side:
//   channel->BeginRequest();
//   channel->AddField("GetCurrentPositionV01");           // then one AddField per argument
//   ReplyTicket* ticket = channel->Send();                  // null: nothing was sent
//   channel->ReceiveReply(ticket);                          // waits, reads, splits, deletes ticket
//   n = channel->iArguments->NrReceiveFields(); channel->iArguments->Field(i) ...
//
// The answering side (see request_inbox.h) makes a FileChannel with own = server and peer =
// client, then BeginReply(ReplyTicket(seq)), AddField..., Send (which returns no ticket).
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include "ce/types.h"
#endif

#include "sdk/transport/sdk_message.h"

// Stands for one request awaiting its reply: made by Send, consumed by ReceiveReply.
class ReplyTicket : public SdkObject {
 public:
  explicit ReplyTicket(uint32_t sequence) : iSequence(sequence) {}
  uint32_t iSequence;
};

class MessageChannel {
 public:
  // Takes ownership of `arguments` (may be null only if the caller never uses the channel).
  explicit MessageChannel(SdkMessage* arguments) : iArguments(arguments) {}
  virtual ~MessageChannel();  // destroys iArguments
  MessageChannel(const MessageChannel&) = delete;
  MessageChannel& operator=(const MessageChannel&) = delete;

  // Starts a request (a reply is expected): clears the message.
  virtual void BeginRequest() = 0;
  // Starts the reply to a received request: clears the message; the next Send answers under
  // the ticket's sequence number.
  virtual void BeginReply(const ReplyTicket& request) = 0;
  virtual void AddField(const char* text) = 0;
  // Writes the message. A request returns a new ticket (owned by the caller until
  // ReceiveReply), or null when it was not sent; a reply always returns null.
  virtual ReplyTicket* Send() = 0;
  // 1 when the reply marker for the ticket exists, else 0.
  virtual int IsReplyReady(const ReplyTicket* ticket) = 0;
  // Waits for the reply, reads it into iArguments, splits it, removes the reply files and
  // deletes the ticket. Null ticket: only clears the message.
  virtual void ReceiveReply(ReplyTicket* ticket) = 0;

  SdkMessage* iArguments;  // owned
};

enum SdkChannelFile { kSdkMessageFile, kSdkFinishedFile };

// Capacity of every endpoint and file name, NUL included.
constexpr size_t kSdkNameSize = 256;

// Formats "<sender>.<receiver>.<linkId>.<sequence>.message" (or ".finished") into `name`.
// False, with `name` empty, when it does not fit in kSdkNameSize bytes (or `capacity`).
bool FormatChannelFileName(char* name, size_t capacity, const char* sender, const char* receiver, uint32_t linkId,
                           uint32_t sequence, SdkChannelFile kind);

// How ReceiveReply waits for the reply marker.
enum class SdkReplyWait {
  kNotify,  // wake on a change in the calls folder, checking at least every 100 ms
  kPoll,    // check every 100 ms
};

class SdkFile;

// Reads an open channel file into `message` as a reply is read: a text under 1023 bytes into the
// current buffer, a larger one into a reserved buffer of size + 1 (or, when that cannot be had,
// as much as the inline buffer holds); up to the first line feed; always NUL-terminated; not
// split. An empty or unreadable file leaves an empty text. A file over kSdkMaxMessageBytes gets
// no heap buffer (no peer makes us hold more than that): it is read only as far as the inline
// buffer holds, and the result is false so that a server can refuse it.
constexpr uint32_t kSdkMaxMessageBytes = 1u << 20;
bool ReadMessageText(SdkFile& file, SdkMessage* message);

// Each thread that waits for replies with kNotify keeps one watch on the calls folder for good
// (closing a watch is slow). This closes the calling thread's watch: for a test that moves the
// device to another folder while the calls folder keeps its device path.
void ForgetCallsFolderWatch();

class FileChannel : public MessageChannel {
 public:
  static constexpr uint32_t kPollMilliseconds = 100;
  static constexpr char kMarker[8] = {'f', 'i', 'n', 'i', 's', 'h', '\n', '\0'};
  static constexpr const WCHAR* kErrorBoxText = TEXT("iArguments->NrReceiveFields ()>0");
  static constexpr const WCHAR* kErrorBoxCaption = TEXT("SDK ERROR!");

  // Copies the two endpoint names (at most 255 bytes each); link id -1 stands for the current
  // process id. Owns `arguments`. The sequence number starts at 0, so the first request is 1.
  FileChannel(const char* ownName, const char* peerName, int32_t linkId, SdkMessage* arguments);
  ~FileChannel() override;

  void BeginRequest() override;
  void BeginReply(const ReplyTicket& request) override;
  void AddField(const char* text) override;
  // Raises the sequence number, then (requests only) removes any reply files left under this
  // exchange's reply names, writes the text, closes it, and writes the marker (a request's in
  // place; a reply's as "<marker>.tmp", renamed into place, so it appears whole). When the text
  // cannot be written whole, nothing of the exchange is left behind and no ticket is returned.
  ReplyTicket* Send() override;
  int IsReplyReady(const ReplyTicket* ticket) override;
  // Reply without any field: one "SDK ERROR!" box (MessageBoxW, MB_OK | MB_ICONHAND), 0 fields.
  // Marker without a readable text: 0 fields, the marker is removed. Peer found gone while
  // waiting (SetPeerAliveCheck): 0 fields, the request files are removed.
  void ReceiveReply(ReplyTicket* ticket) override;

  // While waiting for a reply, asks `isAlive(context)` every 100 ms or so; a false answer ends
  // the wait with 0 fields (unless the reply came just before). A living peer is waited for
  // however long it takes; without a check the wait has no limit.
  void SetPeerAliveCheck(bool (*isAlive)(void* context), void* context);
  void SetReplyWait(SdkReplyWait mode) { iReplyWait = mode; }
  SdkReplyWait ReplyWait() const { return iReplyWait; }

  // 0 when the last Send wrote both files, else -1 (tells a replying server whether it answered).
  int LastSendStatus() const { return iLastSendStatus; }
  uint32_t SequenceNumber() const { return iSequence; }
  uint32_t LinkId() const { return iLinkId; }
  const char* OwnName() const { return iOwnName; }
  const char* PeerName() const { return iPeerName; }

 private:
  bool WaitForReplyMarker(const ReplyTicket* ticket);
  bool WriteMarker(const char* markerName);
  void RemoveExchange(const char* sender, const char* receiver, uint32_t sequence);

  char iOwnName[kSdkNameSize];
  char iPeerName[kSdkNameSize];
  uint32_t iSequence;
  uint32_t iLinkId;
  int iIsReply;
  int iLastSendStatus;
  SdkReplyWait iReplyWait;
  bool (*iIsPeerAlive)(void* context);
  void* iPeerAliveContext;
  uint32_t iSentAfterWaits;  // how many reply waits this thread had ended when the last request went
};
