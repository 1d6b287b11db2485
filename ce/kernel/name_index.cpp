// The folder name index; see name_index.h.
#include "ce/kernel/name_index.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "ce/kernel/folder_events.h"
#include "ce/kernel/internal.h"

namespace ce::detail {
namespace {

constexpr size_t kFoldersKept = 8;
constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

struct Folder {
  dev_t dev = 0;
  ino_t ino = 0;
  uint64_t lastUse = 0;
  unsigned finds = 0;
  // The host path this folder was last found at, and whether it is still known to name it: every
  // folder on the way to it from the file system root is watched for its next step changing.
  std::string path;
  bool trusted = false;
  std::vector<std::pair<int, std::string>> steps;  // (watch of a folder on the way, next name)
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

class Index : public FolderEventListener {
 public:
  // 1 found, 0 not found, -1 the index cannot answer (list instead).
  int Find(const std::string& hostFolder, const struct stat& st, const std::string& name, std::string& found,
           const std::string& root) {
    std::lock_guard<std::mutex> lock(FolderEventsLock());
    DrainFolderEvents();
    ++clock_;
    Folder* folder = Kept(st);
    if (folder == nullptr) folder = Start(hostFolder, st);
    if (folder == nullptr) return -1;
    // A folder asked about again (the calls folder, not each folder of a search through the tree)
    // is worth watching the way to.
    if (++folder->finds >= 2 && (!folder->trusted || folder->path != hostFolder)) Trust(*folder, hostFolder, root);
    return Lookup(*folder, name, found) ? 1 : 0;
  }

  // Find for a folder known by its path alone: -1 unless a kept folder is still known to be there.
  int FindAt(const std::string& hostFolder, const std::string& name, std::string& found) {
    std::lock_guard<std::mutex> lock(FolderEventsLock());
    // Changes can only make a path unknown: one not known now needs no read of them.
    if (KnownAt(hostFolder) == nullptr) return -1;
    DrainFolderEvents();
    const Folder* folder = KnownAt(hostFolder);
    if (folder == nullptr) return -1;
    return Lookup(*folder, name, found) ? 1 : 0;
  }

  // Every name of a folder kept already; false when it is not kept (a folder is never started
  // for this: a listing walked once would only cost a watch).
  bool Names(const struct stat& st, std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(FolderEventsLock());
    if (folders_.empty()) return false;
    DrainFolderEvents();
    return NamesOf(Kept(st), names);
  }

  // Names for a folder known by its path alone.
  bool NamesAt(const std::string& hostFolder, std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(FolderEventsLock());
    if (KnownAt(hostFolder) == nullptr) return false;
    DrainFolderEvents();
    return NamesOf(KnownAt(hostFolder), names);
  }

  void OnFolderEvent(int wd, uint32_t mask, const char* name, size_t length) override {
    auto way = steps_.find(wd);
    if (way != steps_.end()) {
      // A folder on the way to kept folders: gone, or one of its steps changed.
      if (mask & IN_IGNORED) {
        steps_.erase(way);
        UntrustAll();
      } else if (length > 0 && way->second.count(std::string(name, length)) != 0) {
        UntrustAll();
      }
    }
    auto folder = folders_.find(wd);
    if (folder == folders_.end()) return;
    if (mask & IN_IGNORED) {
      Untrust(folder->second);
      folders_.erase(folder);
      return;
    }
    if (length == 0) return;
    const std::string entry(name, length);
    if (mask & (IN_CREATE | IN_MOVED_TO)) Add(folder->second, entry);
    if (mask & (IN_DELETE | IN_MOVED_FROM)) Remove(folder->second, entry);
  }

  void OnFolderEventsLost(bool watchesGone) override {
    for (auto& [wd, folder] : folders_) {
      if (!watchesGone) {
        Untrust(folder);
        UnwatchFolder(wd, this);
      }
    }
    folders_.clear();
    steps_.clear();
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

  // The kept folder known to be at the host path, or nullptr.
  Folder* KnownAt(const std::string& hostFolder) {
    for (auto& [wd, folder] : folders_) {
      if (folder.trusted && folder.path == hostFolder) {
        folder.lastUse = ++clock_;
        return &folder;
      }
    }
    return nullptr;
  }

  bool NamesOf(Folder* folder, std::vector<std::string>& names) {
    if (folder == nullptr) return false;
    folder->lastUse = ++clock_;
    names.clear();
    for (const auto& [folded, spellings] : folder->names) names.insert(names.end(), spellings.begin(), spellings.end());
    return true;
  }

  // Watches every folder from the root down to the folder's parent, then checks that the path still
  // names the folder: from then on a change of any step on the way shows in a watch (the parent
  // of a step lists it being renamed, removed or replaced), and the path is taken without a look.
  void Trust(Folder& folder, const std::string& hostFolder, const std::string& root) {
    Untrust(folder);
    if (root.empty() || hostFolder.compare(0, root.size(), root) != 0 || hostFolder.size() <= root.size() ||
        hostFolder[root.size()] != '/') {
      return;
    }
    for (size_t at = root.size(); at != std::string::npos && at < hostFolder.size();) {
      const size_t next = hostFolder.find('/', at + 1);
      const std::string step = hostFolder.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
      const int wd = step.empty() ? -1 : WatchFolder(hostFolder.substr(0, at), kMask, this);
      if (wd < 0) {
        Untrust(folder);
        return;
      }
      ++steps_[wd][step];
      folder.steps.emplace_back(wd, step);
      at = next;
    }
    struct stat now;
    if (lstat(hostFolder.c_str(), &now) != 0 || now.st_dev != folder.dev || now.st_ino != folder.ino) {
      Untrust(folder);
      return;
    }
    folder.path = hostFolder;
    folder.trusted = true;
  }

  // Gives back the folder's watches on its way.
  void Untrust(Folder& folder) {
    folder.trusted = false;
    for (const auto& [wd, step] : folder.steps) {
      auto watched = steps_.find(wd);
      if (watched != steps_.end()) {
        auto count = watched->second.find(step);
        if (count != watched->second.end() && --count->second == 0) watched->second.erase(count);
        if (watched->second.empty()) steps_.erase(watched);
      }
      UnwatchFolder(wd, this);
    }
    folder.steps.clear();
  }

  void UntrustAll() {
    for (auto& [wd, folder] : folders_) folder.trusted = false;
  }

  // Watches the folder, then lists it: a change after the watch is applied on top of the listing
  // (adding a name listed already, or removing one not listed, changes nothing).
  Folder* Start(const std::string& hostFolder, const struct stat& st) {
    if (folders_.size() >= kFoldersKept) {
      auto oldest = std::min_element(folders_.begin(), folders_.end(),
                                     [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
      Untrust(oldest->second);
      const int wd = oldest->first;
      folders_.erase(oldest);
      UnwatchFolder(wd, this);
    }
    const int wd = WatchFolder(hostFolder, kMask, this);
    if (wd < 0) return nullptr;
    if (folders_.count(wd) != 0) {
      // The path now names a kept folder under another identity than asked about.
      UnwatchFolder(wd, this);
      return nullptr;
    }
    const int folderFd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat now;
    if (folderFd < 0 || fstat(folderFd, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
      // The path names another folder than the one asked about: answer by listing this time.
      if (folderFd >= 0) close(folderFd);
      UnwatchFolder(wd, this);
      return nullptr;
    }
    Folder folder;
    folder.dev = st.st_dev;
    folder.ino = st.st_ino;
    folder.lastUse = clock_;
    if (!ListingOf(folderFd, folder)) {
      UnwatchFolder(wd, this);
      return nullptr;
    }
    Folder& kept = folders_[wd];
    kept = std::move(folder);
    return &kept;
  }

 public:
  static Index& The() {
    static Index* index = new Index;  // never destroyed: usable from other statics' destructors
    return *index;
  }

 private:
  uint64_t clock_ = 0;
  std::unordered_map<int, Folder> folders_;  // by watch descriptor
  // Folders on the way to kept folders, by watch descriptor: the next names taken from each, with
  // how many kept folders take them.
  std::unordered_map<int, std::unordered_map<std::string, int>> steps_;
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

bool IndexedFolderNamesAt(const std::string& hostFolder, std::vector<std::string>& names) {
  return Index::The().NamesAt(hostFolder, names);
}

bool IndexedFolderNames(const struct stat& folder, std::vector<std::string>& names) {
  return Index::The().Names(folder, names);
}

int FindEntryInKnownFolder(const std::string& hostFolder, const std::string& name, std::string& found) {
  return Index::The().FindAt(hostFolder, name, found);
}

bool FindEntryIgnoringCase(const std::string& hostFolder, const struct stat& folder, const std::string& name,
                           std::string& found, const std::string& root) {
  const int answer = Index::The().Find(hostFolder, folder, name, found, root);
  if (answer >= 0) return answer == 1;
  return ListEntryIgnoringCase(hostFolder, name, found);
}

}  // namespace ce::detail
