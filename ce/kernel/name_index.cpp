// The folder name index; see name_index.h.
#include "ce/kernel/name_index.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "ce/kernel/internal.h"

namespace ce::detail {
namespace {

constexpr size_t kFoldersKept = 8;
constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

struct Folder {
  dev_t dev = 0;
  ino_t ino = 0;
  uint64_t lastUse = 0;
  // Folded name -> the entries spelled that way ignoring case (usually one).
  std::unordered_map<std::string, std::vector<std::string>> names;
};

void Add(Folder& folder, const std::string& name) {
  std::vector<std::string>& spellings = folder.names[FoldedName(name)];
  if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) spellings.push_back(name);
}

void Remove(Folder& folder, const std::string& name) {
  auto it = folder.names.find(FoldedName(name));
  if (it == folder.names.end()) return;
  std::vector<std::string>& spellings = it->second;
  spellings.erase(std::remove(spellings.begin(), spellings.end(), name), spellings.end());
  if (spellings.empty()) folder.names.erase(it);
}

bool Lookup(const Folder& folder, const std::string& name, std::string& found) {
  auto it = folder.names.find(FoldedName(name));
  if (it == folder.names.end() || it->second.empty()) return false;
  found = *std::min_element(it->second.begin(), it->second.end());
  return true;
}

bool ListingOf(int folderFd, Folder& folder) {
  DIR* dir = fdopendir(folderFd);
  if (dir == nullptr) {
    close(folderFd);
    return false;
  }
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    Add(folder, entry->d_name);
  }
  closedir(dir);  // closes folderFd too
  return true;
}

class Index {
 public:
  Index() { pthread_atfork(Prepare, Parent, Child); }

  // 1 found, 0 not found, -1 the index cannot answer (list instead).
  int Find(const std::string& hostFolder, const struct stat& st, const std::string& name, std::string& found) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) {
      if (unusable_) return -1;
      fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
      if (fd_ < 0) {
        unusable_ = true;
        return -1;
      }
    }
    if (!Drain()) return -1;
    ++clock_;
    if (Folder* folder = Kept(st)) return Lookup(*folder, name, found) ? 1 : 0;
    Folder* folder = Start(hostFolder, st);
    if (folder == nullptr) return -1;
    return Lookup(*folder, name, found) ? 1 : 0;
  }

  // Every name of a folder kept already; false when it is not kept (a folder is never started
  // for this: a listing walked once would only cost a watch).
  bool Names(const struct stat& st, std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || !Drain()) return false;
    Folder* folder = Kept(st);
    if (folder == nullptr) return false;
    folder->lastUse = ++clock_;
    names.clear();
    for (const auto& [folded, spellings] : folder->names) names.insert(names.end(), spellings.begin(), spellings.end());
    return true;
  }

 private:
  Folder* Kept(const struct stat& st) {
    for (auto& [wd, folder] : folders_) {
      if (folder.dev == st.st_dev && folder.ino == st.st_ino) {
        folder.lastUse = clock_;
        return &folder;
      }
    }
    return nullptr;
  }

  // Watches the folder, then lists it: a change after the watch is applied on top of the listing
  // (adding a name listed already, or removing one not listed, changes nothing).
  Folder* Start(const std::string& hostFolder, const struct stat& st) {
    if (folders_.size() >= kFoldersKept) {
      auto oldest = std::min_element(folders_.begin(), folders_.end(),
                                     [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
      inotify_rm_watch(fd_, oldest->first);
      folders_.erase(oldest);
    }
    const int wd = inotify_add_watch(fd_, hostFolder.c_str(), kMask);
    if (wd < 0) return nullptr;
    const int folderFd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat now;
    if (folderFd < 0 || fstat(folderFd, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
      // The path names another folder than the one asked about: answer by listing this time.
      if (folderFd >= 0) close(folderFd);
      inotify_rm_watch(fd_, wd);
      return nullptr;
    }
    Folder folder;
    folder.dev = st.st_dev;
    folder.ino = st.st_ino;
    folder.lastUse = clock_;
    if (!ListingOf(folderFd, folder)) {
      inotify_rm_watch(fd_, wd);
      return nullptr;
    }
    Folder& kept = folders_[wd];
    kept = std::move(folder);
    return &kept;
  }

  // Applies the queued changes. False when the index cannot be trusted and was dropped.
  bool Drain() {
    alignas(inotify_event) char buffer[16384];
    // A read hands out every queued event that fits: one that left room for the largest event
    // emptied the queue, and asking again would only be told so.
    constexpr ssize_t kRoomForAnother = ssize_t(sizeof buffer - sizeof(inotify_event) - NAME_MAX - 1);
    for (;;) {
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno == EAGAIN || Forget();  // EAGAIN: nothing more queued
      }
      if (n == 0) return true;
      for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= n;) {
        inotify_event event;
        std::memcpy(&event, buffer + offset, sizeof event);
        const char* name = buffer + offset + sizeof event;
        const size_t length = event.len > 0 ? strnlen(name, event.len) : 0;
        offset += ssize_t(sizeof event + event.len);
        if (event.mask & IN_Q_OVERFLOW) {
          Forget();
          fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
          return fd_ >= 0;
        }
        auto folder = folders_.find(event.wd);
        if (folder == folders_.end()) continue;
        if (event.mask & IN_IGNORED) {
          folders_.erase(folder);
          continue;
        }
        if (length == 0) continue;
        const std::string entry(name, length);
        if (event.mask & (IN_CREATE | IN_MOVED_TO)) Add(folder->second, entry);
        if (event.mask & (IN_DELETE | IN_MOVED_FROM)) Remove(folder->second, entry);
      }
      if (n <= kRoomForAnother) return true;
    }
  }

  bool Forget() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    folders_.clear();
    return false;
  }

  // A forked child shares the parent's inotify queue: it must not read the parent's changes.
  static void Prepare() { The().mutex_.lock(); }
  static void Parent() { The().mutex_.unlock(); }
  static void Child() {
    Index& index = The();
    index.Forget();
    index.mutex_.unlock();
  }

 public:
  static Index& The() {
    static Index* index = new Index;  // never destroyed: usable from other statics' destructors
    return *index;
  }

 private:
  std::mutex mutex_;
  int fd_ = -1;
  bool unusable_ = false;
  uint64_t clock_ = 0;
  std::unordered_map<int, Folder> folders_;  // by watch descriptor
};

}  // namespace

bool ListEntryIgnoringCase(const std::string& hostFolder, const std::string& name, std::string& found) {
  DIR* dir = opendir(hostFolder.c_str());
  if (dir == nullptr) return false;
  bool any = false;
  while (dirent* entry = readdir(dir)) {
    std::string candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (NamesEqualIgnoringCase(candidate, name) && (!any || candidate < found)) {
      found = candidate;
      any = true;
    }
  }
  closedir(dir);
  return any;
}

bool IndexedFolderNames(const struct stat& folder, std::vector<std::string>& names) {
  return Index::The().Names(folder, names);
}

bool FindEntryIgnoringCase(const std::string& hostFolder, const struct stat& folder, const std::string& name,
                           std::string& found) {
  const int answer = Index::The().Find(hostFolder, folder, name, found);
  if (answer >= 0) return answer == 1;
  return ListEntryIgnoringCase(hostFolder, name, found);
}

}  // namespace ce::detail
