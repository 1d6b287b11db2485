// Change notification on inotify. A change handle stays signalled from the first matching change
// until FindNextChangeNotification; changes read from inotify after that signal the next wait.
#include <dirent.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "ce/device.h"
#include "ce/kernel/internal.h"
#include "ce/kernel/object.h"

using ce::detail::Fail;

namespace {

const DWORD kKnownFilters = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_ATTRIBUTES |
                            FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_LAST_ACCESS |
                            FILE_NOTIFY_CHANGE_CREATION | FILE_NOTIFY_CHANGE_SECURITY;

uint32_t MaskFor(DWORD filter, bool subtree) {
  uint32_t mask = 0;
  if (filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))
    mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
  if (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY)) mask |= IN_ATTRIB;
  if (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) mask |= IN_MODIFY;
  if (filter & FILE_NOTIFY_CHANGE_LAST_ACCESS) mask |= IN_ACCESS;
  if (filter & FILE_NOTIFY_CHANGE_CREATION) mask |= IN_CREATE;
  if (subtree) mask |= IN_CREATE | IN_MOVED_TO;  // to follow new subfolders
  return mask | IN_ONLYDIR;
}

// Whether one inotify event is a change of a kind the filter asks for.
bool EventMatches(uint32_t mask, DWORD filter) {
  if (mask & IN_Q_OVERFLOW) return true;  // changes were lost: report one
  bool dir = (mask & IN_ISDIR) != 0;
  DWORD names = dir ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME;
  if ((mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) && (filter & names)) return true;
  if ((mask & IN_CREATE) && (filter & FILE_NOTIFY_CHANGE_CREATION)) return true;
  if ((mask & IN_ATTRIB) && (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY))) return true;
  if ((mask & IN_MODIFY) && (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE))) return true;
  if ((mask & IN_ACCESS) && (filter & FILE_NOTIFY_CHANGE_LAST_ACCESS)) return true;
  return false;
}

class ChangeObject : public ce::KernelObject {
 public:
  ChangeObject(int fd, DWORD filter, bool subtree) : fd_(fd), filter_(filter), subtree_(subtree) {}
  ~ChangeObject() override { close(fd_); }

  int WaitFd() const override { return fd_; }

  bool TryAcquire() override {
    std::lock_guard<std::mutex> lock(mutex_);
    Drain();
    return pending_ > 0;
  }

  void Rearm() {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = 0;
  }

  // Watches folder (and, for a subtree, every folder below it). Returns false only when the
  // folder itself cannot be watched. A subfolder that already holds entries when it is first
  // watched counts as a change, since they may have arrived before the watch did.
  bool Watch(const std::string& folder, bool isNew) {
    int wd = inotify_add_watch(fd_, folder.c_str(), MaskFor(filter_, subtree_));
    if (wd < 0) return false;
    watches_[wd] = folder;
    if (!subtree_) return true;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return true;
    while (dirent* entry = readdir(dir)) {
      if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
      if (isNew && (filter_ & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))) ++pending_;
      std::string child = folder + "/" + entry->d_name;
      struct stat st;
      if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Watch(child, isNew);
    }
    closedir(dir);
    return true;
  }

 private:
  void Drain() {
    alignas(struct inotify_event) char buffer[8192];
    // A read that left room for the largest event emptied the queue: no need to be told so.
    constexpr ssize_t kRoomForAnother = ssize_t(sizeof buffer - sizeof(inotify_event) - NAME_MAX - 1);
    for (;;) {
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;  // EAGAIN: nothing more for now
      for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= n;) {
        inotify_event event;
        memcpy(&event, buffer + offset, sizeof event);
        const char* name = buffer + offset + sizeof event;
        size_t nameLength = strnlen(name, event.len);
        offset += ssize_t(sizeof event + event.len);
        if (event.mask & IN_IGNORED) {
          watches_.erase(event.wd);
          continue;
        }
        if (event.mask & IN_Q_OVERFLOW) {
          ++pending_;
          continue;
        }
        if (nameLength == 0) continue;  // about the watched folder itself, not its contents
        if (EventMatches(event.mask, filter_)) ++pending_;
        if (subtree_ && (event.mask & IN_ISDIR) && (event.mask & (IN_CREATE | IN_MOVED_TO))) {
          auto folder = watches_.find(event.wd);
          if (folder != watches_.end()) Watch(folder->second + "/" + std::string(name, nameLength), true);
        }
      }
      if (n <= kRoomForAnother) return;
    }
  }

  int fd_;
  DWORD filter_;
  bool subtree_;
  std::mutex mutex_;
  std::map<int, std::string> watches_;
  unsigned pending_ = 0;
};

}  // namespace

HANDLE FindFirstChangeNotificationW(LPCWSTR lpPathName, BOOL bWatchSubtree, DWORD dwNotifyFilter) {
  if (dwNotifyFilter == 0 || (dwNotifyFilter & ~kKnownFilters) != 0)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  std::string host;
  if (!ce::detail::ResolveDevicePath(lpPathName, host)) return INVALID_HANDLE_VALUE;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return Fail(ce::detail::MissingError(host), INVALID_HANDLE_VALUE);
  if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY, INVALID_HANDLE_VALUE);
  int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return Fail(ce::detail::ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
  auto change = std::make_shared<ChangeObject>(fd, dwNotifyFilter, bWatchSubtree != FALSE);
  if (!change->Watch(host, false)) return Fail(ce::detail::ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
  HANDLE handle = ce::InsertObject(change);
  return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL FindNextChangeNotification(HANDLE hChangeHandle) {
  std::shared_ptr<ChangeObject> change = ce::LookupObjectAs<ChangeObject>(hChangeHandle);
  if (!change) return FALSE;
  change->Rearm();
  return TRUE;
}

BOOL FindCloseChangeNotification(HANDLE hChangeHandle) {
  if (!ce::LookupObjectAs<ChangeObject>(hChangeHandle)) return FALSE;
  return ce::RemoveObject(hChangeHandle) ? TRUE : FALSE;
}
