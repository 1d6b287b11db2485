// The answering side of the channel, for the navigator and for test peers: find the requests
// addressed to one server in the calls folder, read them, remove them and answer them.
//
// A request is taken once its marker "<client>.<server>.<linkid>.<seq>.finished" exists. The
// server name must not contain a dot; the client name may (it is everything before the last
// ".<server>."), so a file name always has exactly one reading. Any client name and link id are
// served.
//
// Serving loop (the inbox keeps its own watch on the calls folder):
//   RequestInbox inbox("TomTomNavigationServer");
//   inbox.Watch();                                     // before the first listing
//   for (;;) {
//     int n = inbox.List(requests, kMax);
//     for each request r:
//       if (inbox.Read(r, message) == 0) { fields... } // text split into `message`
//       inbox.Retire(r);                               // before answering: a client's next
//                                                      // channel may reuse the same names
//       inbox.Answer(r, fields, count);                // into the request's own files
//       // or Remove(r) instead of Retire, then a FileChannel of one's own:
//       // FileChannel reply(server, r.client, r.linkId, new SdkMessage('|'));
//       // reply.BeginReply(ReplyTicket(r.sequence)); reply.AddField(...); reply.Send();
//     inbox.WaitForChange(100);                        // change or timeout, then list again
//   }
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include "ce/types.h"
#endif
#include "sdk/transport/file_channel.h"
#include "sdk/transport/sdk_message.h"

struct InboxRequest {
  char client[kSdkNameSize];
  uint32_t linkId;
  uint32_t sequence;
};

// Parses a request marker file name for `server`. False for anything else: another server, a
// ".message" file, a link id or sequence number that is not plain decimal within 32 bits, an
// empty client name, or a server name holding a dot.
bool ParseRequestMarker(const char* fileName, const char* server, InboxRequest* request);

class RequestInbox {
 public:
  explicit RequestInbox(const char* serverName);  // at most 255 bytes, no dot
  ~RequestInbox();
  RequestInbox(const RequestInbox&) = delete;
  RequestInbox& operator=(const RequestInbox&) = delete;

  // Creates the calls folder if needed and starts watching it. False when it cannot be
  // watched; WaitForChange then just sleeps its timeout.
  bool Watch();
  // Waits until the calls folder changes or `timeoutMs` passes; true on a change. Where the
  // system names the changes, only a request marker's appearing counts. Re-arms the watch, so a
  // change after this returns is seen by the next wait.
  bool WaitForChange(uint32_t timeoutMs);

  // Requests whose marker exists, ordered by client, link id and sequence number. Fills up to
  // `capacity` entries and returns how many there are in all. Changes made before the listing no
  // longer end the next WaitForChange: the listing has seen them.
  int List(InboxRequest* requests, int capacity);
  // Claims the request, once the client has closed its marker (waiting up to a second for that):
  // the marker is renamed to the reply text's name, for the reply to be written into, so no later
  // listing shows the request. Then reads the request text into `message` and splits it. 0, or
  // -1 when the text cannot be opened or is over kSdkMaxMessageBytes (the message is then empty;
  // Remove the request). Follow with Retire and Answer, or with Remove.
  int Read(const InboxRequest& request, SdkMessage* message);
  // Read that does not wait for the client to let go of the marker: kMarkerBusy (and an empty
  // message) while it holds it, so that a server can serve other requests meanwhile.
  static constexpr int kMarkerBusy = 1;
  int TryRead(const InboxRequest& request, SdkMessage* message);
  // Removes the request's marker (or the file Read claimed), then its text (waiting, within a
  // second, for a handle that still holds one of them).
  void Remove(const InboxRequest& request);
  // For a request about to be answered: claims it (as Read does) unless it is, else Removes it.
  // The request's files become the reply's: the claimed marker its text, the request's text its
  // marker, so that an exchange makes and removes two files fewer and the folder changes less.
  void Retire(const InboxRequest& request);
  // Writes the reply of `count` fields under the mirrored names: the text, closed, then the
  // marker, in a retired request's files (the request's text leaves its name as the reply's
  // marker appears); otherwise new files, the request's text removed. 0 when both files were
  // written, else -1.
  int Answer(const InboxRequest& request, const char* const* fields, int count);

  const char* ServerName() const { return iServer; }

 private:
  int ReadWaiting(const InboxRequest& request, SdkMessage* message, int retries);
  // Renames the request's marker to the reply text's name and keeps that name; true when done
  // now or before. Otherwise GetLastError says why (ERROR_SHARING_VIOLATION: held).
  bool Claim(const InboxRequest& request);
  // Whether the file claimed is this request's.
  bool ClaimedFor(const InboxRequest& request) const;
  // Deletes the file claimed, if any.
  void ForgetClaim();

  char iServer[kSdkNameSize];
  HANDLE iWatch;
  // The claimed marker's name now (the reply text's), empty when none.
  char iClaimed[kSdkNameSize];
};
