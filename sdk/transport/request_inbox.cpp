#include "sdk/transport/request_inbox.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "sdk/transport/changed_names.h"
#include "sdk/transport/platform.h"
#include "sdk/transport/sdk_file.h"
#include "sdk/transport/shared_folder.h"

namespace {

constexpr char kMarkerSuffix[] = ".finished";

// A client holds its marker only while writing its 8 bytes: wait for it this many milliseconds.
constexpr int kBusyRetries = 1000;
// Looks again at once, giving up the processor between, before a held marker counts as busy.
constexpr int kQuickRetries = 20;

// Plain decimal as a channel writes it with "%u": digits only, no leading zero, within 32 bits.
bool ParseNumber(const char* begin, const char* end, uint32_t* value) {
  const size_t length = static_cast<size_t>(end - begin);
  if (length == 0 || length > 10 || (length > 1 && begin[0] == '0')) return false;
  uint64_t result = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p < '0' || *p > '9') return false;
    result = result * 10 + static_cast<uint64_t>(*p - '0');
  }
  if (result > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(result);
  return true;
}

const char* LastDot(const char* begin, const char* end) {
  for (const char* p = end; p > begin; --p) {
    if (p[-1] == '.') return p - 1;
  }
  return nullptr;
}

bool CallsFolder(WCHAR* folder, size_t capacity, bool withSlash) {
  WCHAR shared[kSdkPathSize];
  FindSharedFolder(shared, kSdkPathSize);
  const WCHAR* calls = withSlash ? TEXT("SdkFileCalls\\") : TEXT("SdkFileCalls");
  return SUCCEEDED(StringCchCopyW(folder, capacity, shared)) && SUCCEEDED(StringCchCatW(folder, capacity, calls));
}

bool Before(const InboxRequest& a, const InboxRequest& b) {
  const int byClient = std::strcmp(a.client, b.client);
  if (byClient != 0) return byClient < 0;
  if (a.linkId != b.linkId) return a.linkId < b.linkId;
  return a.sequence < b.sequence;
}

}  // namespace

bool ParseRequestMarker(const char* fileName, const char* server, InboxRequest* request) {
  if (!fileName || !server || !request || server[0] == '\0' || std::strchr(server, '.')) return false;
  const size_t nameLength = strnlen(fileName, kSdkNameSize);
  const size_t suffixLength = sizeof(kMarkerSuffix) - 1;
  if (nameLength >= kSdkNameSize || nameLength <= suffixLength ||
      std::strcmp(fileName + nameLength - suffixLength, kMarkerSuffix) != 0) {
    return false;
  }
  const char* end = fileName + nameLength - suffixLength;  // "<client>.<server>.<link>.<seq>"

  const char* sequenceDot = LastDot(fileName, end);
  if (!sequenceDot) return false;
  const char* linkDot = LastDot(fileName, sequenceDot);
  if (!linkDot) return false;
  uint32_t sequence = 0;
  uint32_t linkId = 0;
  // Link id 4294967295 is never written: a channel made with -1 stores its process id instead.
  if (!ParseNumber(sequenceDot + 1, end, &sequence) || !ParseNumber(linkDot + 1, sequenceDot, &linkId) ||
      linkId == UINT32_MAX) {
    return false;
  }

  // The server name has no dot, so it is exactly the component before the link id.
  const size_t serverLength = std::strlen(server);
  const char* serverDot = LastDot(fileName, linkDot);
  if (!serverDot || static_cast<size_t>(linkDot - serverDot - 1) != serverLength ||
      std::strncmp(serverDot + 1, server, serverLength) != 0) {
    return false;
  }
  const size_t clientLength = static_cast<size_t>(serverDot - fileName);
  if (clientLength == 0) return false;

  std::memcpy(request->client, fileName, clientLength);
  request->client[clientLength] = '\0';
  request->linkId = linkId;
  request->sequence = sequence;
  return true;
}

RequestInbox::RequestInbox(const char* serverName) : iWatch(INVALID_HANDLE_VALUE) {
  std::snprintf(iServer, sizeof(iServer), "%s", serverName ? serverName : "");
  iClaimed[0] = '\0';
}

RequestInbox::~RequestInbox() {
  if (iWatch != INVALID_HANDLE_VALUE) FindCloseChangeNotification(iWatch);
}

bool RequestInbox::Watch() {
  if (iWatch != INVALID_HANDLE_VALUE) return true;
  WCHAR shared[kSdkPathSize];
  FindSharedFolder(shared, kSdkPathSize);
  WCHAR folder[kSdkPathSize];
  if (!CallsFolder(folder, kSdkPathSize, false)) return false;
  // The folders may not exist before the first client writes; create them as a channel would.
  size_t length = 0;
  if (SUCCEEDED(StringCchLengthW(shared, kSdkPathSize, &length)) && length > 1) {
    shared[length - 1] = 0;
    CreateDirectoryW(shared, nullptr);
  }
  CreateDirectoryW(folder, nullptr);
  // Names only: a request announces itself by its marker's name appearing. A marker still held by
  // its writer is refused by TryRead, and the server looks again soon without a change. The names
  // are kept where the system can, so the server sleeps through its clients' other files.
  iWatch = FindFirstChangeNotificationW(folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
  return iWatch != INVALID_HANDLE_VALUE;
}

namespace {

struct MarkerMatch {
  const char* server;
};

bool IsRequestMarkerName(const WCHAR* name, size_t length, void* context) {
  char narrow[kSdkNameSize];
  if (length >= kSdkNameSize) return false;
  for (size_t i = 0; i < length; ++i) {
    // Channel names are ASCII; any other character makes a name no client writes.
    if (name[i] == 0 || name[i] > 0x7F) return false;
    narrow[i] = static_cast<char>(name[i]);
  }
  narrow[length] = '\0';
  InboxRequest request;
  return ParseRequestMarker(narrow, static_cast<const MarkerMatch*>(context)->server, &request);
}

}  // namespace

bool RequestInbox::WaitForChange(uint32_t timeoutMs) {
  if (iWatch == INVALID_HANDLE_VALUE) {
    Sleep(timeoutMs);
    return false;
  }
  const DWORD start = GetTickCount();
  MarkerMatch match = {iServer};
  for (;;) {
    const DWORD waited = GetTickCount() - start;
    const DWORD left = waited < timeoutMs ? timeoutMs - waited : 0;
    const DWORD result = WaitForSingleObject(iWatch, left);
    const bool request = result == WAIT_OBJECT_0 && NameMayHaveAppeared(iWatch, IsRequestMarkerName, &match);
    FindNextChangeNotification(iWatch);
    if (request) return true;
    if (result != WAIT_OBJECT_0 || left == 0) return false;
  }
}

int RequestInbox::List(InboxRequest* requests, int capacity) {
  if (!requests) capacity = 0;
  // Only names of this server's requests: "<client>.<server>.<link>.<sequence>.finished" (replies
  // to its clients, "<server>.<client>...", are not listed, nor looked at).
  WCHAR pattern[kSdkPathSize];
  WCHAR server[kSdkNameSize];
  if (!CallsFolder(pattern, kSdkPathSize, true) ||
      MultiByteToWideChar(CP_ACP, 0, iServer, -1, server, static_cast<int>(kSdkNameSize)) <= 0 ||
      FAILED(StringCchCatW(pattern, kSdkPathSize, TEXT("*."))) ||
      FAILED(StringCchCatW(pattern, kSdkPathSize, server)) ||
      FAILED(StringCchCatW(pattern, kSdkPathSize, TEXT(".*.finished")))) {
    return 0;
  }
  // The listing sees every change made so far: only a change after it should end the next wait
  // (the server's own replies and its clients' removals would otherwise each wake it once more).
  if (iWatch != INVALID_HANDLE_VALUE && WaitForSingleObject(iWatch, 0) == WAIT_OBJECT_0) {
    FindNextChangeNotification(iWatch);
  }
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(pattern, &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int total = 0;
  int kept = 0;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    char name[kSdkNameSize];
    const int converted =
        WideCharToMultiByte(CP_ACP, 0, entry.cFileName, -1, name, static_cast<int>(sizeof(name)), nullptr, nullptr);
    if (converted <= 0) continue;
    name[sizeof(name) - 1] = '\0';
    InboxRequest request;
    if (!ParseRequestMarker(name, iServer, &request)) continue;
    ++total;
    // Keep the `capacity` first requests in order: insert, dropping the last when full.
    int at = kept;
    while (at > 0 && Before(request, requests[at - 1])) --at;
    if (at >= capacity) continue;
    const int last = kept < capacity ? kept : capacity - 1;
    for (int i = last; i > at; --i) requests[i] = requests[i - 1];
    requests[at] = request;
    if (kept < capacity) ++kept;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return total;
}

int RequestInbox::Read(const InboxRequest& request, SdkMessage* message) {
  return ReadWaiting(request, message, kBusyRetries);
}

int RequestInbox::TryRead(const InboxRequest& request, SdkMessage* message) { return ReadWaiting(request, message, 0); }

int RequestInbox::ReadWaiting(const InboxRequest& request, SdkMessage* message, int retries) {
  if (!message) return -1;
  message->Clear();
  // The text is complete once the marker exists. The request is claimed first: its marker is
  // renamed to the reply text's name (the reply is written into that file), which is refused
  // while the client still holds it and, done, keeps the request out of every later listing.
  for (int retry = 0, quick = 0;;) {
    if (Claim(request)) break;
    if (GetLastError() != ERROR_SHARING_VIOLATION) break;  // read it all the same; Remove cleans up
    // The client holds its marker from making it to closing it, a few system calls: give it
    // that before waiting in milliseconds.
    if (quick < kQuickRetries) {
      ++quick;
      Sleep(0);
      continue;
    }
    if (retry++ >= retries) {
      if (retries == 0) return kMarkerBusy;
      break;
    }
    Sleep(1);
  }
  char name[kSdkNameSize];
  if (!FormatChannelFileName(name, sizeof(name), request.client, iServer, request.linkId, request.sequence,
                             kSdkMessageFile)) {
    return -1;
  }
  SdkFile file;
  if (file.OpenForReading(name, kSdkCallsFolder) != 0) return -1;
  if (!ReadMessageText(file, message)) {
    message->Clear();
    std::fprintf(stderr, "%s: request %s is over %u bytes: refused unread\n", iServer, name,
                 static_cast<unsigned>(kSdkMaxMessageBytes));
    return -1;
  }
  message->SplitFields();
  return 0;
}

void RequestInbox::ForgetClaim() {
  if (iClaimed[0] != '\0') SdkFile::Delete(iClaimed, kSdkCallsFolder);
  iClaimed[0] = '\0';
}

void RequestInbox::Remove(const InboxRequest& request) {
  char name[kSdkNameSize];
  if (FormatChannelFileName(name, sizeof(name), request.client, iServer, request.linkId, request.sequence,
                            kSdkFinishedFile)) {
    SdkFile::DeleteWhenFree(name, kSdkCallsFolder);
  }
  if (FormatChannelFileName(name, sizeof(name), request.client, iServer, request.linkId, request.sequence,
                            kSdkMessageFile)) {
    SdkFile::DeleteWhenFree(name, kSdkCallsFolder);
  }
  if (ClaimedFor(request)) ForgetClaim();
}

bool RequestInbox::ClaimedFor(const InboxRequest& request) const {
  char replyText[kSdkNameSize];
  return iClaimed[0] != '\0' &&
         FormatChannelFileName(replyText, sizeof(replyText), iServer, request.client, request.linkId, request.sequence,
                               kSdkMessageFile) &&
         std::strcmp(replyText, iClaimed) == 0;
}

bool RequestInbox::Claim(const InboxRequest& request) {
  if (ClaimedFor(request)) return true;
  char requestMarker[kSdkNameSize];
  char replyText[kSdkNameSize];
  if (!FormatChannelFileName(requestMarker, sizeof(requestMarker), request.client, iServer, request.linkId,
                             request.sequence, kSdkFinishedFile) ||
      !FormatChannelFileName(replyText, sizeof(replyText), iServer, request.client, request.linkId, request.sequence,
                             kSdkMessageFile)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  bool moved = SdkFile::Move(requestMarker, replyText, kSdkCallsFolder);
  // A reply text left without its marker: the answer replaces it.
  if (!moved && GetLastError() == ERROR_ALREADY_EXISTS && SdkFile::Delete(replyText, kSdkCallsFolder)) {
    moved = SdkFile::Move(requestMarker, replyText, kSdkCallsFolder);
  }
  if (!moved) return false;
  ForgetClaim();  // claimed for a request that was never answered
  std::snprintf(iClaimed, sizeof(iClaimed), "%s", replyText);
  return true;
}

void RequestInbox::Retire(const InboxRequest& request) {
  // The text keeps its name until Answer makes it the reply's marker: the request's last name
  // goes in the step that makes the reply's marker appear.
  if (!Claim(request)) Remove(request);
}

int RequestInbox::Answer(const InboxRequest& request, const char* const* fields, int count) {
  char requestText[kSdkNameSize];
  char replyMarker[kSdkNameSize];
  const bool named = FormatChannelFileName(requestText, sizeof(requestText), request.client, iServer, request.linkId,
                                           request.sequence, kSdkMessageFile) &&
                     FormatChannelFileName(replyMarker, sizeof(replyMarker), iServer, request.client, request.linkId,
                                           request.sequence, kSdkFinishedFile);
  const bool claimed = named && ClaimedFor(request);
  if (!claimed) ForgetClaim();  // claimed for another request
  if (claimed) {
    SdkMessage text('|');
    for (int i = 0; i < count && fields; ++i) text.AddField(fields[i]);
    SdkFile file;
    // The reply is written over the claimed marker, now under the reply text's name, and cut to
    // its length (not cut to nothing first, see OpenForRewriting).
    if (!text.HasFailed() && file.OpenForRewriting(iClaimed, kSdkCallsFolder) == 0) {
      const char* bytes = text.Buffer();
      const size_t length = strnlen(bytes, static_cast<size_t>(text.BufferSize() - 1));
      const uint32_t oldSize = file.Size();
      int wrote = file.Write(bytes, static_cast<uint32_t>(length + 1));
      if (wrote == 0 && oldSize > length + 1) wrote = file.EndHere();
      file.Close();
      // With the reply text closed, the request's text becomes the reply's marker (a marker's
      // content is never read): one rename takes the request's last name and makes the marker.
      bool moved = wrote == 0 && SdkFile::Move(requestText, replyMarker, kSdkCallsFolder);
      // A reply marker left from an earlier exchange of these names: replaced.
      if (!moved && wrote == 0 && GetLastError() == ERROR_ALREADY_EXISTS &&
          SdkFile::DeleteWhenFree(replyMarker, kSdkCallsFolder)) {
        moved = SdkFile::Move(requestText, replyMarker, kSdkCallsFolder);
      }
      if (moved) {
        iClaimed[0] = '\0';
        return 0;
      }
    }
    ForgetClaim();  // a fresh reply is written below
  }
  if (named) SdkFile::DeleteWhenFree(requestText, kSdkCallsFolder);  // the request's, if still there
  SdkMessage* message = new (std::nothrow) SdkMessage('|');
  if (!message) return -1;
  FileChannel reply(iServer, request.client, static_cast<int32_t>(request.linkId), message);
  reply.BeginReply(ReplyTicket(request.sequence));
  for (int i = 0; i < count && fields; ++i) reply.AddField(fields[i]);
  reply.Send();
  return reply.LastSendStatus();
}
