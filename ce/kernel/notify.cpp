// Change notification on inotify. A change handle stays signalled from the first matching change
// until FindNextChangeNotification, which forgets the changes the last wait reported; changes
// after those signal the next wait.
#include <dirent.h>
#include <limits.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "ce/device.h"
#include "ce/kernel/folder_events.h"
#include "ce/kernel/internal.h"
#include "ce/kernel/object.h"

using ce::detail::Fail;

namespace {

const DWORD kKnownFilters = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_ATTRIBUTES |
                            FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_LAST_ACCESS |
                            FILE_NOTIFY_CHANGE_CREATION | FILE_NOTIFY_CHANGE_SECURITY | FILE_NOTIFY_CHANGE_CEGETINFO;

// Records kept for CeGetFileNotificationInfo before the handle gives up and says so.
constexpr size_t kKeptRecords = 1024;

DWORD ActionOf(uint32_t mask) {
  if (mask & IN_CREATE) return FILE_ACTION_ADDED;
  if (mask & IN_DELETE) return FILE_ACTION_REMOVED;
  if (mask & IN_MOVED_FROM) return FILE_ACTION_RENAMED_OLD_NAME;
  if (mask & IN_MOVED_TO) return FILE_ACTION_RENAMED_NEW_NAME;
  return FILE_ACTION_MODIFIED;
}

// Bytes of one record: the fixed fields, the name, padded to the next DWORD.
size_t RecordSize(const std::u16string& name) {
  const size_t bytes = offsetof(FILE_NOTIFY_INFORMATION, FileName) + name.size() * sizeof(WCHAR);
  return (bytes + sizeof(DWORD) - 1) / sizeof(DWORD) * sizeof(DWORD);
}

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

class ChangeObject : public ce::KernelObject, public ce::detail::FolderEventListener {
 public:
  ChangeObject(DWORD filter, bool subtree, const std::string& root)
      : filter_(filter), subtree_(subtree), root_(root), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~ChangeObject() override {
    {
      std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
      for (const auto& [wd, folder] : watches_) ce::detail::UnwatchFolder(wd, this);
    }
    if (wakeFd_ >= 0) close(wakeFd_);
  }

  // A wait that finds changes reports them: FindNextChangeNotification forgets those, while a
  // change handed over after it (read by another thread, or by a look at the folder meanwhile)
  // satisfies the next wait at once, as on Windows.
  bool TryAcquire() override {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    ce::detail::DrainFolderEvents();
    if (pending_ == 0) return false;
    reported_ = pending_;
    reportedRecords_ = records_.size();
    reportedLost_ = lost_;
    return true;
  }

  // For a wait on several objects at once: the shared queue, readable while changes are queued.
  // (Such a wait sees a change that another thread of the process took from the queue for this
  // handle at the next change or when it times out; a wait on this handle alone sees it at once.)
  int WaitFd() const override {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    return ce::detail::FolderEventsFd();
  }

  // Queued changes make the queue readable: a wait that may block polls before reading it.
  bool LookFirst() override {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    return pending_ > 0;
  }

  // The shared queue turns readable for any watch of the process, and another thread reading it
  // may hand this handle its change while a wait blocks: that thread sets the handle's wake-up.
  int WakeFd() const override { return wakeFd_; }

  bool BeginBlock() override {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    if (pending_ > 0) return false;  // handed over just now
    ++waiters_;                      // from here on, a change handed over sets the wake-up
    return true;
  }

  void EndBlock() override {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    if (--waiters_ == 0 && woken_) {
      uint64_t count;
      ssize_t n = read(wakeFd_, &count, sizeof count);
      (void)n;
      woken_ = false;
    }
  }

  void Rearm() {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    pending_ -= std::min(reported_, pending_);
    records_.erase(records_.begin(), records_.begin() + long(std::min(reportedRecords_, records_.size())));
    // Changes lost before the report are forgotten with it; once lost, later ones were not kept.
    if (reportedLost_ && pending_ == 0) lost_ = false;
    reported_ = 0;
    reportedRecords_ = 0;
    reportedLost_ = false;
  }

  BOOL Info(LPVOID buffer, DWORD length, LPDWORD returned, LPDWORD available) {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    // A signalled handle hands out the changes its wait read; later ones signal it once re-armed.
    if (pending_ == 0) ce::detail::DrainFolderEvents();
    if (returned) *returned = 0;
    if (available) *available = 0;
    if (lost_) {
      lost_ = false;
      records_.clear();
      reportedRecords_ = 0;
      reportedLost_ = false;
      return Fail(ERROR_NOTIFY_ENUM_DIR, FALSE);
    }
    size_t kept = 0;
    for (const Record& record : records_) kept += RecordSize(record.name);
    if (available) *available = DWORD(std::min<size_t>(kept, UINT32_MAX));
    if (buffer == nullptr || length == 0) {
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
    if (!records_.empty() && RecordSize(records_.front().name) > length) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    auto* bytes = static_cast<unsigned char*>(buffer);
    size_t used = 0;
    FILE_NOTIFY_INFORMATION* last = nullptr;
    while (!records_.empty() && used + RecordSize(records_.front().name) <= length) {
      const Record& record = records_.front();
      const size_t size = RecordSize(record.name);
      FILE_NOTIFY_INFORMATION head = {};
      head.Action = record.action;
      head.FileNameLength = DWORD(record.name.size() * sizeof(WCHAR));
      std::memset(bytes + used, 0, size);
      std::memcpy(bytes + used, &head, offsetof(FILE_NOTIFY_INFORMATION, FileName));
      std::memcpy(bytes + used + offsetof(FILE_NOTIFY_INFORMATION, FileName), record.name.data(),
                  record.name.size() * sizeof(WCHAR));
      if (last) last->NextEntryOffset = DWORD(bytes + used - reinterpret_cast<unsigned char*>(last));
      last = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(bytes + used);
      used += size;
      records_.pop_front();
      if (reportedRecords_ > 0) --reportedRecords_;
    }
    if (returned) *returned = DWORD(used);
    if (available) *available = DWORD(std::min<size_t>(kept - used, UINT32_MAX));
    SetLastError(records_.empty() ? ERROR_SUCCESS : ERROR_MORE_DATA);
    return TRUE;
  }

  // Watches folder (and, for a subtree, every folder below it), with FolderEventsLock() held.
  // Returns false only when the folder itself cannot be watched. A subfolder that already holds
  // entries when it is first watched counts as a change, since they may have arrived before the
  // watch did.
  bool Watch(const std::string& folder, bool isNew) {
    int wd = ce::detail::WatchFolder(folder, MaskFor(filter_, subtree_), this);
    if (wd < 0) return false;
    if (!watches_.emplace(wd, folder).second) ce::detail::UnwatchFolder(wd, this);  // watched already
    if (!subtree_) return true;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return true;
    while (dirent* entry = readdir(dir)) {
      if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
      if (isNew && (filter_ & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))) Signal();
      std::string child = folder + "/" + entry->d_name;
      struct stat st;
      if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Watch(child, isNew);
    }
    closedir(dir);
    return true;
  }

  void OnFolderEvent(int wd, uint32_t mask, const char* name, size_t nameLength) override {
    auto folder = watches_.find(wd);
    if (folder == watches_.end()) return;
    if (mask & IN_IGNORED) {
      watches_.erase(folder);
      return;
    }
    if (nameLength == 0) return;  // about the watched folder itself, not its contents
    if (EventMatches(mask, filter_)) {
      Signal();
      if (filter_ & FILE_NOTIFY_CHANGE_CEGETINFO) Keep(folder->second, mask, std::string(name, nameLength));
    }
    if (subtree_ && (mask & IN_ISDIR) && (mask & (IN_CREATE | IN_MOVED_TO))) {
      Watch(folder->second + "/" + std::string(name, nameLength), true);
    }
  }

  void OnFolderEventsLost(bool watchesGone) override {
    if (watchesGone) watches_.clear();
    Signal();
    lost_ = true;
  }

 private:
  // One more change pending; a wait of another thread is woken for it.
  void Signal() {
    if (pending_++ == 0 && waiters_ > 0 && !woken_ && wakeFd_ >= 0) {
      uint64_t one = 1;
      ssize_t n = write(wakeFd_, &one, sizeof one);
      (void)n;
      woken_ = true;
    }
  }

  // Keeps one change for CeGetFileNotificationInfo, named relative to the watched folder.
  void Keep(const std::string& folder, uint32_t mask, const std::string& name) {
    if (lost_) return;
    if (records_.size() >= kKeptRecords) {
      lost_ = true;
      records_.clear();
      reportedRecords_ = 0;
      return;
    }
    std::string relative = folder.size() > root_.size() ? folder.substr(root_.size() + 1) + "/" : "";
    relative += name;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    records_.push_back({ActionOf(mask), ce::FromUtf8(relative)});
  }

  struct Record {
    DWORD action;
    std::u16string name;
  };

  DWORD filter_;
  bool subtree_;
  std::string root_;
  int wakeFd_;
  int waiters_ = 0;
  bool woken_ = false;
  std::map<int, std::string> watches_;
  unsigned pending_ = 0;
  std::deque<Record> records_;
  bool lost_ = false;  // more changed than was kept
  // What the last wait that found changes reported: the first pending changes and records.
  unsigned reported_ = 0;
  size_t reportedRecords_ = 0;
  bool reportedLost_ = false;
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
  auto change = std::make_shared<ChangeObject>(dwNotifyFilter, bWatchSubtree != FALSE, host);
  {
    std::lock_guard<std::mutex> lock(ce::detail::FolderEventsLock());
    // Changes queued before the watch are not this handle's: take them now.
    ce::detail::DrainFolderEvents();
    if (!change->Watch(host, false)) return Fail(ce::detail::ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
  }
  HANDLE handle = ce::InsertObject(change);
  return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL FindNextChangeNotification(HANDLE hChangeHandle) {
  std::shared_ptr<ChangeObject> change = ce::LookupObjectAs<ChangeObject>(hChangeHandle);
  if (!change) return FALSE;
  change->Rearm();
  return TRUE;
}

BOOL CeGetFileNotificationInfo(HANDLE h, DWORD, LPVOID lpBuffer, DWORD nBufferLength, LPDWORD lpBytesReturned,
                               LPDWORD lpBytesAvailable) {
  std::shared_ptr<ChangeObject> change = ce::LookupObjectAs<ChangeObject>(h);
  if (!change) return FALSE;
  if (lpBuffer == nullptr && nBufferLength != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  return change->Info(lpBuffer, nBufferLength, lpBytesReturned, lpBytesAvailable);
}

BOOL FindCloseChangeNotification(HANDLE hChangeHandle) {
  if (!ce::LookupObjectAs<ChangeObject>(hChangeHandle)) return FALSE;
  return ce::RemoveObject(hChangeHandle) ? TRUE : FALSE;
}
