// The process's shared inotify queue; see folder_events.h.
#include "ce/kernel/folder_events.h"

#include <limits.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace ce::detail {
namespace {

class Queue {
 public:
  Queue() { pthread_atfork(Prepare, Parent, Child); }

  int Watch(const std::string& hostFolder, uint32_t mask, FolderEventListener* listener) {
    if (fd_ < 0) {
      fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
      if (fd_ < 0) return -1;
    }
    const int wd = inotify_add_watch(fd_, hostFolder.c_str(), mask | IN_MASK_ADD);
    if (wd < 0) return -1;
    ++listeners_[wd][listener];
    return wd;
  }

  void Unwatch(int wd, FolderEventListener* listener) {
    auto watch = listeners_.find(wd);
    if (watch == listeners_.end()) return;
    auto count = watch->second.find(listener);
    if (count == watch->second.end()) return;
    if (--count->second == 0) watch->second.erase(count);
    if (watch->second.empty()) {
      listeners_.erase(watch);
      inotify_rm_watch(fd_, wd);
    }
  }

  void Drain() {
    if (fd_ < 0) return;
    alignas(inotify_event) char buffer[16384];
    // A read hands out every queued event that fits: one that left room for the largest event
    // emptied the queue, and asking again would only be told so.
    constexpr ssize_t kRoomForAnother = ssize_t(sizeof buffer - sizeof(inotify_event) - NAME_MAX - 1);
    for (;;) {
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;  // EAGAIN: nothing more queued
      for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= n;) {
        inotify_event event;
        std::memcpy(&event, buffer + offset, sizeof event);
        const char* name = buffer + offset + sizeof event;
        const size_t length = event.len > 0 ? strnlen(name, event.len) : 0;
        offset += ssize_t(sizeof event + event.len);
        if (event.mask & IN_Q_OVERFLOW) {
          LoseAll(false);
          continue;
        }
        auto watch = listeners_.find(event.wd);
        if (watch == listeners_.end()) continue;
        // A listener may give back watches from its callback: hand out from a copy.
        listenersOfEvent_.clear();
        for (const auto& [listener, count] : watch->second) listenersOfEvent_.push_back(listener);
        if (event.mask & IN_IGNORED) listeners_.erase(watch);
        for (FolderEventListener* listener : listenersOfEvent_) {
          listener->OnFolderEvent(event.wd, event.mask, name, length);
        }
      }
      if (n <= kRoomForAnother) return;
    }
  }

  int Fd() const { return fd_; }

  std::mutex mutex;

 private:
  void LoseAll(bool watchesGone) {
    std::vector<FolderEventListener*> all;
    for (const auto& [wd, listeners] : listeners_) {
      for (const auto& [listener, count] : listeners) {
        if (std::find(all.begin(), all.end(), listener) == all.end()) all.push_back(listener);
      }
    }
    if (watchesGone) listeners_.clear();
    for (FolderEventListener* listener : all) listener->OnFolderEventsLost(watchesGone);
  }

  // A forked child shares the parent's queue: it must not read the parent's changes.
  static void Prepare() { The().mutex.lock(); }
  static void Parent() { The().mutex.unlock(); }
  static void Child() {
    Queue& queue = The();
    if (queue.fd_ >= 0) close(queue.fd_);
    queue.fd_ = -1;
    queue.LoseAll(true);
    queue.mutex.unlock();
  }

 public:
  static Queue& The() {
    static Queue* queue = new Queue;  // never destroyed: usable from other statics' destructors
    return *queue;
  }

 private:
  int fd_ = -1;
  std::unordered_map<int, std::unordered_map<FolderEventListener*, int>> listeners_;  // by watch
  std::vector<FolderEventListener*> listenersOfEvent_;
};

}  // namespace

std::mutex& FolderEventsLock() { return Queue::The().mutex; }

int WatchFolder(const std::string& hostFolder, uint32_t mask, FolderEventListener* listener) {
  return Queue::The().Watch(hostFolder, mask, listener);
}

void UnwatchFolder(int wd, FolderEventListener* listener) { Queue::The().Unwatch(wd, listener); }

void DrainFolderEvents() { Queue::The().Drain(); }

int FolderEventsFd() { return Queue::The().Fd(); }

}  // namespace ce::detail
