// One inotify queue for every folder watch of the process.
//
// The name index and the change handles often watch the same folder (the calls folder): with a
// queue each, every change there was queued, read and looked at twice in each process. They share
// one queue instead: a change is queued once, and one read hands each change to every listener of
// its folder. One lock guards the queue and the state of every listener, so a listener's calls
// below are made with FolderEventsLock() held and its callbacks run under it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace ce::detail {

class FolderEventListener {
 public:
  virtual ~FolderEventListener() = default;
  // One change in the folder watched as `wd`: the entry's name (`length` bytes, 0 for the folder
  // itself). IN_IGNORED says the watch is gone. Listeners see every change queued for the folder,
  // also of kinds only another listener asked for.
  virtual void OnFolderEvent(int wd, uint32_t mask, const char* name, size_t length) = 0;
  // Changes were lost. watchesGone: every watch of the listener is gone too (a forked child must
  // not read its parent's queue); otherwise they still stand (the queue overflowed).
  virtual void OnFolderEventsLost(bool watchesGone) = 0;
};

std::mutex& FolderEventsLock();

// Watches the host folder for `mask` (added to what other listeners asked of it) and returns the
// watch, or -1 with errno. Each call takes one reference, given back by UnwatchFolder.
int WatchFolder(const std::string& hostFolder, uint32_t mask, FolderEventListener* listener);
void UnwatchFolder(int wd, FolderEventListener* listener);

// Reads every queued change and hands it out. Cheap when nothing is queued: one read.
void DrainFolderEvents();

// The queue's descriptor, readable while changes are queued; -1 when there is none.
int FolderEventsFd();

}  // namespace ce::detail
