#include "sdk/transport/file_channel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "sdk/transport/changed_names.h"
#include "sdk/transport/platform.h"
#include "sdk/transport/sdk_file.h"
#include "sdk/transport/shared_folder.h"

namespace {

// Another handle holds a channel file only for an instant (a peer reading a marker the moment it
// appears, or finishing its write): retry every millisecond for this many times.
constexpr int kBusyRetries = 100;

// Wakes of a reply wait answered at once; a lone call takes about this many before its reply.
constexpr int kEagerWakes = 6;
// Wakes answered at once that only other exchanges' files caused, where the changes are named.
constexpr int kEagerForeignWakes = 0;
// Looks at the peer in a row that must all miss it before the wait gives it up.
constexpr int kMissedLooksForGone = 2;

// Opens a channel file in the calls folder, retrying while another handle has it open.
int OpenWhenFree(SdkFile& file, const char* name, bool forWriting) {
  for (int retry = 0;; ++retry) {
    const int opened =
        forWriting ? file.OpenForWriting(name, kSdkCallsFolder, false) : file.OpenForReading(name, kSdkCallsFolder);
    if (opened == 0 || file.LastError() != ERROR_SHARING_VIOLATION || retry >= kBusyRetries) {
      return opened;
    }
    Sleep(1);
  }
}

// How many reply waits this thread has ended (defined with the thread's watch below).
uint32_t WaitsEndedOnThisThread();

// CE_SDK_POLL=1 in the environment makes every channel of the process wait for replies by the
// plain 100 ms poll instead of change notification, so the two can be measured side by side.
SdkReplyWait DefaultReplyWait() {
  const char* poll = std::getenv("CE_SDK_POLL");
  return poll != nullptr && std::strcmp(poll, "1") == 0 ? SdkReplyWait::kPoll : SdkReplyWait::kNotify;
}

}  // namespace

MessageChannel::~MessageChannel() { delete iArguments; }

bool FormatChannelFileName(char* name, size_t capacity, const char* sender, const char* receiver, uint32_t linkId,
                           uint32_t sequence, SdkChannelFile kind) {
  if (!name || capacity == 0) return false;
  if (capacity > kSdkNameSize) capacity = kSdkNameSize;
  if (!sender) sender = "";
  if (!receiver) receiver = "";
  const int length = kind == kSdkMessageFile
                         ? std::snprintf(name, capacity, "%s.%s.%u.%u.message", sender, receiver,
                                         static_cast<unsigned>(linkId), static_cast<unsigned>(sequence))
                         : std::snprintf(name, capacity, "%s.%s.%u.%u.finished", sender, receiver,
                                         static_cast<unsigned>(linkId), static_cast<unsigned>(sequence));
  if (length < 0 || static_cast<size_t>(length) >= capacity) {
    name[0] = '\0';
    return false;
  }
  return true;
}

FileChannel::FileChannel(const char* ownName, const char* peerName, int32_t linkId, SdkMessage* arguments)
    : MessageChannel(arguments),
      iSequence(0),
      iLinkId(linkId == -1 ? static_cast<uint32_t>(GetCurrentProcessId()) : static_cast<uint32_t>(linkId)),
      iIsReply(0),
      iLastSendStatus(-1),
      iReplyWait(DefaultReplyWait()),
      iIsPeerAlive(nullptr),
      iPeerAliveContext(nullptr),
      iSentAfterWaits(0) {
  std::snprintf(iOwnName, sizeof(iOwnName), "%s", ownName ? ownName : "");
  std::snprintf(iPeerName, sizeof(iPeerName), "%s", peerName ? peerName : "");
}

FileChannel::~FileChannel() {}

void FileChannel::BeginRequest() {
  iIsReply = 0;
  if (iArguments) iArguments->Clear();
}

void FileChannel::BeginReply(const ReplyTicket& request) {
  iIsReply = 1;
  if (iArguments) iArguments->Clear();
  iSequence = request.iSequence - 1u;  // Send raises it back to the request's number
}

void FileChannel::AddField(const char* text) {
  if (iArguments) iArguments->AddField(text);
}

void FileChannel::SetPeerAliveCheck(bool (*isAlive)(void* context), void* context) {
  iIsPeerAlive = isAlive;
  iPeerAliveContext = context;
}

void FileChannel::RemoveExchange(const char* sender, const char* receiver, uint32_t sequence) {
  char name[kSdkNameSize];
  // Marker first: a peer never sees a marker whose text is already gone.
  if (FormatChannelFileName(name, sizeof(name), sender, receiver, iLinkId, sequence, kSdkFinishedFile)) {
    SdkFile::Delete(name, kSdkCallsFolder);
  }
  if (FormatChannelFileName(name, sizeof(name), sender, receiver, iLinkId, sequence, kSdkMessageFile)) {
    SdkFile::Delete(name, kSdkCallsFolder);
  }
}

ReplyTicket* FileChannel::Send() {
  iLastSendStatus = -1;
  const uint32_t sequence = ++iSequence;
  if (!iArguments || iArguments->HasFailed()) return nullptr;

  char textName[kSdkNameSize];
  char markerName[kSdkNameSize];
  if (!FormatChannelFileName(textName, sizeof(textName), iOwnName, iPeerName, iLinkId, sequence, kSdkMessageFile) ||
      !FormatChannelFileName(markerName, sizeof(markerName), iOwnName, iPeerName, iLinkId, sequence,
                             kSdkFinishedFile)) {
    return nullptr;
  }

  // Channels restart at sequence 1, so these names recur: a reply left from an earlier exchange
  // must not pass for the answer to this request.
  // The marker alone makes a reply: a text left without one is replaced by the peer's answer.
  if (!iIsReply) {
    char staleMarker[kSdkNameSize];
    char staleText[kSdkNameSize];
    if (FormatChannelFileName(staleMarker, sizeof(staleMarker), iPeerName, iOwnName, iLinkId, sequence,
                              kSdkFinishedFile) &&
        FormatChannelFileName(staleText, sizeof(staleText), iPeerName, iOwnName, iLinkId, sequence, kSdkMessageFile) &&
        SdkFile::Delete(staleMarker, kSdkCallsFolder)) {
      SdkFile::Delete(staleText, kSdkCallsFolder);
    }
  }

  SdkFile file;
  if (OpenWhenFree(file, textName, true) != 0) return nullptr;
  const char* text = iArguments->Buffer();
  const size_t length = strnlen(text, static_cast<size_t>(iArguments->BufferSize() - 1));
  const int wrote = file.Write(text, static_cast<uint32_t>(length + 1));
  file.Close();
  if (wrote != 0) {
    // A cut text would be served as if whole; take it back instead.
    SdkFile::Delete(textName, kSdkCallsFolder);
    return nullptr;
  }

  // The text is closed before the marker exists, so a peer never reads it half-written.
  if (!WriteMarker(markerName)) {
    SdkFile::Delete(textName, kSdkCallsFolder);
    return nullptr;
  }

  iLastSendStatus = 0;
  if (iIsReply) return nullptr;
  iSentAfterWaits = WaitsEndedOnThisThread();
  ReplyTicket* ticket = new (std::nothrow) ReplyTicket(sequence);
  if (!ticket) {
    // Nobody would read the answer: withdraw the request.
    RemoveExchange(iOwnName, iPeerName, sequence);
    iLastSendStatus = -1;
  }
  return ticket;
}

bool FileChannel::WriteMarker(const char* markerName) {
  // A request's marker is written in place: the server takes a request by renaming its marker,
  // which is refused while the marker is still open here, and looks again soon. A reply's marker
  // is written under a passing name and renamed into place, so it appears closed and whole: the
  // client, woken by its appearance, never deletes it under its writer's hands.
  char passing[kSdkNameSize];
  const int length = iIsReply ? std::snprintf(passing, sizeof(passing), "%s.tmp", markerName) : 0;
  const bool renamed = length > 0 && static_cast<size_t>(length) < sizeof(passing);
  const char* target = renamed ? passing : markerName;

  SdkFile file;
  if (file.OpenForWriting(target, kSdkCallsFolder, false) != 0) return false;
  const int marked = file.Write(kMarker, sizeof(kMarker));
  file.Close();
  if (marked != 0) {
    SdkFile::Delete(target, kSdkCallsFolder);
    return false;
  }
  if (!renamed) return true;
  if (SdkFile::Move(passing, markerName, kSdkCallsFolder)) return true;
  // A marker of that name is left from before: replace it.
  if (SdkFile::DeleteWhenFree(markerName, kSdkCallsFolder) && SdkFile::Move(passing, markerName, kSdkCallsFolder)) {
    return true;
  }
  SdkFile::Delete(passing, kSdkCallsFolder);
  return false;
}

int FileChannel::IsReplyReady(const ReplyTicket* ticket) {
  if (!ticket) return 0;
  char markerName[kSdkNameSize];
  if (!FormatChannelFileName(markerName, sizeof(markerName), iPeerName, iOwnName, iLinkId, ticket->iSequence,
                             kSdkFinishedFile)) {
    return 0;
  }
  // The peer closes its reply text before the marker appears, so the marker being there is the
  // answer, whatever it holds: one its writer still has open, or one that is not a regular file
  // and never becomes readable, counts too. ReceiveReply reads the text and removes both names
  // (the marker once its writer lets go).
  return SdkFile::Exists(markerName, kSdkCallsFolder) ? 1 : 0;
}

namespace {

// Opening a change watch is cheap, closing one costs milliseconds (the system waits out a grace
// period), so each thread keeps one watch on the calls folder and reuses it for every wait.
struct CallsFolderWatch {
  WCHAR folder[kSdkPathSize] = {};
  HANDLE handle = INVALID_HANDLE_VALUE;
  uint32_t waitsEnded = 0;  // reply waits of this thread that ended (its changes were taken)
  ~CallsFolderWatch() { Close(); }
  void Close() {
    if (handle != INVALID_HANDLE_VALUE) FindCloseChangeNotification(handle);
    handle = INVALID_HANDLE_VALUE;
    folder[0] = 0;
  }
};
thread_local CallsFolderWatch tCallsWatch;

uint32_t WaitsEndedOnThisThread() { return tCallsWatch.waitsEnded; }

// The watch on the calls folder as it is found now. `fresh`: made just now; a watch kept from an
// earlier wait holds every change since that wait ended.
HANDLE WatchCallsFolder(bool* fresh) {
  *fresh = false;
  WCHAR shared[kSdkPathSize];
  FindSharedFolder(shared, kSdkPathSize);
  WCHAR calls[kSdkPathSize];
  if (FAILED(StringCchCopyW(calls, kSdkPathSize, shared)) ||
      FAILED(StringCchCatW(calls, kSdkPathSize, TEXT("SdkFileCalls")))) {
    return INVALID_HANDLE_VALUE;
  }
  if (tCallsWatch.handle != INVALID_HANDLE_VALUE && lstrcmpW(tCallsWatch.folder, calls) == 0) {
    return tCallsWatch.handle;
  }
  tCallsWatch.Close();
  // The folders exist once a request was written; make sure, since a missing folder cannot be
  // watched.
  size_t length = 0;
  if (SUCCEEDED(StringCchLengthW(shared, kSdkPathSize, &length)) && length > 1) {
    shared[length - 1] = 0;
    CreateDirectoryW(shared, nullptr);
  }
  CreateDirectoryW(calls, nullptr);
  // Names only: a reply marker announces itself by appearing, and waking on every write of the
  // peer's reply text would only cost a look that finds nothing. The names themselves are kept
  // where the system can, so a wake for another client's files costs no look either.
  HANDLE handle =
      FindFirstChangeNotificationW(calls, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  *fresh = true;
  tCallsWatch.handle = handle;
  StringCchCopyW(tCallsWatch.folder, kSdkPathSize, calls);
  return handle;
}

}  // namespace

void ForgetCallsFolderWatch() { tCallsWatch.Close(); }

bool ReadMessageText(SdkFile& file, SdkMessage* message) {
  const uint32_t size = file.Size();
  const bool withinLimit = size <= kSdkMaxMessageBytes;
  int32_t region = SdkMessage::kInlineSize;
  if (!withinLimit) {
    message->Clear();
  } else if (size >= static_cast<uint32_t>(SdkMessage::kInlineSize - 1)) {
    // A large text gets a heap buffer of size + 1. If that cannot be had, the message falls back
    // to its inline buffer and the text is read only as far as that holds.
    if (size < static_cast<uint32_t>(INT32_MAX) && message->Reserve(static_cast<int32_t>(size + 1))) {
      region = static_cast<int32_t>(size + 1);
    } else {
      message->Clear();
    }
  }
  if (region > message->BufferSize()) region = message->BufferSize();

  char* buffer = message->Buffer();
  buffer[0] = '\0';  // an empty or unreadable file leaves an empty text, not the previous one
  if (file.ReadLine(buffer, region) < 0) buffer[0] = '\0';
  buffer[region - 1] = '\0';
  return withinLimit;
}

namespace {

// What the changes of one wake were to a waiting exchange: its reply marker appearing, or any
// change of its own files (both directions share "<a>.<b>.<link>.<sequence>."). Across the wakes
// of one wait: whether the reply marker stands, having appeared after the request's marker did
// (a marker of the same name may have come and gone before, in an exchange the watch saw too).
struct WakeNames {
  char replyMarker[kSdkNameSize];
  char requestMarker[kSdkNameSize];
  char requestPrefix[kSdkNameSize];
  char replyPrefix[kSdkNameSize];
  bool replyAppeared;
  bool ours;
  bool requestSeen;
  bool replyStands;
};

void SortWakeName(DWORD action, const WCHAR* name, size_t length, void* context) {
  WakeNames* names = static_cast<WakeNames*>(context);
  const bool added = action == FILE_ACTION_ADDED || action == FILE_ACTION_RENAMED_NEW_NAME;
  if (ChangedNameIs(name, length, names->replyMarker)) {
    if (added) names->replyAppeared = true;
    names->replyStands = added && names->requestSeen;
  } else if (added && ChangedNameIs(name, length, names->requestMarker)) {
    names->requestSeen = true;
    names->replyStands = false;
  }
  if (ChangedNameIs(name, length, names->requestPrefix, true) ||
      ChangedNameIs(name, length, names->replyPrefix, true)) {
    names->ours = true;
  }
}

// The exchange's file names minus their ".message" / ".finished" endings, each ending in a dot.
bool ExchangePrefix(char* prefix, const char* sender, const char* receiver, uint32_t linkId, uint32_t sequence) {
  const int length = std::snprintf(prefix, kSdkNameSize, "%s.%s.%u.%u.", sender, receiver,
                                   static_cast<unsigned>(linkId), static_cast<unsigned>(sequence));
  return length > 0 && static_cast<size_t>(length) < kSdkNameSize;
}

}  // namespace

bool FileChannel::WaitForReplyMarker(const ReplyTicket* ticket) {
  WakeNames names;
  const bool named = FormatChannelFileName(names.replyMarker, sizeof(names.replyMarker), iPeerName, iOwnName, iLinkId,
                                           ticket->iSequence, kSdkFinishedFile) &&
                     FormatChannelFileName(names.requestMarker, sizeof(names.requestMarker), iOwnName, iPeerName,
                                           iLinkId, ticket->iSequence, kSdkFinishedFile) &&
                     ExchangePrefix(names.requestPrefix, iOwnName, iPeerName, iLinkId, ticket->iSequence) &&
                     ExchangePrefix(names.replyPrefix, iPeerName, iOwnName, iLinkId, ticket->iSequence);
  // Watch before looking, so a marker created between the look and the wait still wakes us.
  bool fresh = true;
  HANDLE watch = iReplyWait == SdkReplyWait::kNotify ? WatchCallsFolder(&fresh) : INVALID_HANDLE_VALUE;
  bool look = true;  // false after a wake whose changes named other files only
  bool namesKnown = false;
  // A watch made for this wait saw no change older than the request.
  names.requestSeen = fresh;
  names.replyStands = false;
  // Our own request files have just changed the folder: take those changes now, before the first
  // look, so they do not come back as wakes (a change after this still signals the wait). A watch
  // kept from the last wait saw every change since, so the first look is needed only when the
  // reply's marker is among them (or the names are not known).
  if (watch != INVALID_HANDLE_VALUE && WaitForSingleObject(watch, 0) == WAIT_OBJECT_0) {
    names.replyAppeared = false;
    names.ours = false;
    // (Only for this channel's latest request sent since the thread's last wait: a wait in between
    // took the changes, this reply's marker perhaps among them.)
    const bool latest = ticket->iSequence == iSequence && iSentAfterWaits == tCallsWatch.waitsEnded;
    namesKnown = !fresh && latest && named && VisitChangedNames(watch, SortWakeName, &names);
    FindNextChangeNotification(watch);
    look = !namesKnown || names.replyAppeared;
  }
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastAliveCheck = Clock::now();
  bool replied = false;
  int idleWakes = 0;
  int missedLooks = 0;
  for (;;) {
    // Changes that name the reply's marker standing are the answer without a look.
    if ((namesKnown && names.replyStands) || (look && IsReplyReady(ticket))) {
      replied = true;
      break;
    }
    if (iIsPeerAlive && Clock::now() - lastAliveCheck >= std::chrono::milliseconds(kPollMilliseconds)) {
      lastAliveCheck = Clock::now();
      // One look that misses the peer's window proves nothing (a window list taken while another
      // process changes its windows can miss one); the peer is gone when two looks a poll apart
      // both miss it.
      if (iIsPeerAlive(iPeerAliveContext)) {
        missedLooks = 0;
      } else if (++missedLooks >= kMissedLooksForGone) {
        replied = IsReplyReady(ticket) != 0;  // it may have answered just before leaving
        break;
      }
    }
    if (watch != INVALID_HANDLE_VALUE) {
      // Every change in the folder wakes every waiting client, mostly for other clients' files.
      // After a few wakes that brought nothing of this exchange, let the changes gather for a
      // moment, so that many clients waiting together leave the navigator the processor. Where the
      // changes are not named, every wake counts, and a few more are let through.
      if (idleWakes > (namesKnown ? kEagerForeignWakes : kEagerWakes)) Sleep(1);
      const bool changed = WaitForSingleObject(watch, kPollMilliseconds) == WAIT_OBJECT_0;
      names.replyAppeared = false;
      names.ours = false;
      namesKnown = changed && named && VisitChangedNames(watch, SortWakeName, &names);
      FindNextChangeNotification(watch);
      look = !namesKnown || names.replyAppeared;
      if (!namesKnown || !names.ours) ++idleWakes;
    } else {
      Sleep(kPollMilliseconds);
    }
  }
  ++tCallsWatch.waitsEnded;
  return replied;
}

void FileChannel::ReceiveReply(ReplyTicket* ticket) {
  if (!ticket) {
    if (iArguments) iArguments->Clear();
    return;
  }
  const uint32_t sequence = ticket->iSequence;
  if (!iArguments) {
    delete ticket;
    return;
  }
  if (!WaitForReplyMarker(ticket)) {
    // The peer is gone: its request will never be served.
    RemoveExchange(iOwnName, iPeerName, sequence);
    iArguments->Clear();
    delete ticket;
    return;
  }

  char textName[kSdkNameSize];
  char markerName[kSdkNameSize];
  FormatChannelFileName(textName, sizeof(textName), iPeerName, iOwnName, iLinkId, sequence, kSdkMessageFile);
  FormatChannelFileName(markerName, sizeof(markerName), iPeerName, iOwnName, iLinkId, sequence, kSdkFinishedFile);

  SdkFile file;
  if (OpenWhenFree(file, textName, false) != 0) {
    // A marker without its text answers nothing; left in place it would answer a later request.
    SdkFile::Delete(markerName, kSdkCallsFolder);
    iArguments->Clear();
    delete ticket;
    return;
  }

  ReadMessageText(file, iArguments);
  file.Close();

  iArguments->SplitFields();
  if (iArguments->NrReceiveFields() < 1) {
    MessageBoxW(nullptr, kErrorBoxText, kErrorBoxCaption, MB_OK | MB_ICONHAND);
  }

  SdkFile::DeleteWhenFree(markerName, kSdkCallsFolder);
  SdkFile::DeleteWhenFree(textName, kSdkCallsFolder);
  delete ticket;
}
