// Folder listing: FindFirstFileW / FindNextFileW / FindClose. A find takes a sorted snapshot of the
// matching entries when it starts.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "ce/device.h"
#include "ce/kernel/internal.h"
#include "ce/kernel/name_index.h"
#include "ce/kernel/object.h"

using ce::detail::Fail;

namespace {

class FindObject : public ce::KernelObject {
 public:
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next = 0;
  std::mutex mutex;  // guards next
};

std::u32string Folded(const std::string& utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();)
    out.push_back(ce::detail::FoldCase(ce::detail::DecodeUtf8(utf8.data(), utf8.size(), i, nullptr)));
  return out;
}

// '*' any run, '?' one character; both sides already case-folded.
bool Matches(const std::u32string& pattern, const std::u32string& name) {
  size_t p = 0, n = 0, starP = std::u32string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u32string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

// As the Windows file system matches: a pattern ending in ".*" also matches the name without an
// extension ("*.*" matches every name, "readme.*" matches "readme").
bool MatchesPattern(const std::u32string& pattern, const std::u32string& name) {
  if (Matches(pattern, name)) return true;
  size_t n = pattern.size();
  return n >= 2 && pattern[n - 2] == U'.' && pattern[n - 1] == U'*' && name.find(U'.') == std::u32string::npos &&
         Matches(pattern.substr(0, n - 2), name);
}

// Looks the entry up at `where`: its name relative to the open folder folderFd (which spares the
// walk down the whole path), or its whole path with AT_FDCWD.
bool FillEntry(int folderFd, const char* where, const std::string& name, WIN32_FIND_DATAW& data) {
  struct stat st;
  if (fstatat(folderFd, where, &st, 0) != 0) return false;  // a dangling link is not listed
  std::u16string wide = ce::FromUtf8(name);
  if (wide.size() >= MAX_PATH) return false;  // cannot be handed out whole
  memset(&data, 0, sizeof data);
  data.dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((st.st_mode & S_IWUSR) == 0) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  data.ftCreationTime = ce::detail::FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  data.ftLastWriteTime = data.ftCreationTime;
  data.ftLastAccessTime = ce::detail::FileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  if (!S_ISDIR(st.st_mode)) {
    data.nFileSizeHigh = DWORD((unsigned long long)st.st_size >> 32);
    data.nFileSizeLow = DWORD((unsigned long long)st.st_size & 0xFFFFFFFFu);
  }
  data.dwOID = DWORD(st.st_ino & 0xFFFFFFFFu);
  wide.copy(data.cFileName, wide.size());
  data.cFileName[wide.size()] = 0;
  return true;
}

}  // namespace

HANDLE FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS fInfoLevelId, LPVOID lpFindFileData,
                        FINDEX_SEARCH_OPS fSearchOp, LPVOID lpSearchFilter, DWORD dwAdditionalFlags) {
  const DWORD knownFlags =
      FIND_FIRST_EX_CASE_SENSITIVE | FIND_FIRST_EX_LARGE_FETCH | FIND_FIRST_EX_ON_DISK_ENTRIES_ONLY;
  if (lpFindFileData == nullptr || (fInfoLevelId != FindExInfoStandard && fInfoLevelId != FindExInfoBasic) ||
      (fSearchOp != FindExSearchNameMatch && fSearchOp != FindExSearchLimitToDirectories) ||
      lpSearchFilter != nullptr || (dwAdditionalFlags & ~knownFlags) != 0)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  auto* result = static_cast<LPWIN32_FIND_DATAW>(lpFindFileData);
  const bool foldersOnly = fSearchOp == FindExSearchLimitToDirectories;
  if (lpFileName == nullptr || lpFileName[0] == 0) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  std::u16string path(lpFileName);
  size_t cut = path.find_last_of(u"\\/");
  if (cut == std::u16string::npos) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  std::u16string folderPath = path.substr(0, cut + 1);
  std::u32string pattern = Folded(ce::ToUtf8(path.substr(cut + 1)));
  std::string folder;
  ce::detail::PathLookup lookup;
  // A folder whose names are kept, known to be at its path as spelled, needs no look at the path.
  lookup.asSpelled = !foldersOnly;
  if (!ce::detail::ResolveDevicePath(folderPath.c_str(), folder, &lookup)) return INVALID_HANDLE_VALUE;
  if (pattern.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  std::vector<std::string> indexed;
  bool fromIndex = lookup.asSpelled && ce::detail::IndexedFolderNamesAt(folder, indexed);
  if (!fromIndex && lookup.asSpelled) {
    lookup = {};
    if (!ce::detail::ResolveDevicePath(folderPath.c_str(), folder, &lookup)) return INVALID_HANDLE_VALUE;
  }

  // Each name is folded once, for the match and as its sort key.
  struct Name {
    std::u32string folded;
    std::string name;
  };
  std::vector<Name> names;
  auto find = std::make_shared<FindObject>();
  auto fillEntries = [&](int folderFd, bool byPath) {
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) {
      return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
    });
    find->entries.reserve(names.size());
    for (const Name& name : names) {
      WIN32_FIND_DATAW data;
      const std::string path = byPath ? folder + "/" + name.name : std::string();
      if (!FillEntry(folderFd, byPath ? path.c_str() : name.name.c_str(), name.name, data)) continue;
      if (foldersOnly && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
      find->entries.push_back(data);
    }
  };

  // A folder whose names are kept from its change queue (the calls folder, listed on every change)
  // is answered from them; only the entries that match are looked at. Folders-only listings go to
  // the folder itself, whose entries say which are folders.
  if (fromIndex || (!foldersOnly && lookup.state == ce::detail::PathLookup::kExists && S_ISDIR(lookup.st.st_mode) &&
                    ce::detail::IndexedFolderNames(lookup.st, indexed))) {
    for (std::string& name : indexed) {
      std::u32string folded = Folded(name);
      if (MatchesPattern(pattern, folded)) names.push_back({std::move(folded), std::move(name)});
    }
    fillEntries(AT_FDCWD, true);
  } else {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.' && (entry->d_name[1] == 0 || (entry->d_name[1] == '.' && entry->d_name[2] == 0)))
        continue;  // Windows CE lists neither "." nor ".."
      // The folder says what most entries are: a listing of folders looks at no file. A link, or a
      // file system that does not say, is looked at below.
      if (foldersOnly && entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
      std::string name = entry->d_name;
      std::u32string folded = Folded(name);
      if (MatchesPattern(pattern, folded)) names.push_back({std::move(folded), std::move(name)});
    }
    fillEntries(dirfd(dir), false);
    closedir(dir);
  }
  if (find->entries.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  *result = find->entries[0];
  find->next = 1;
  HANDLE handle = ce::InsertObject(find);
  if (handle == nullptr) return INVALID_HANDLE_VALUE;
  SetLastError(ERROR_SUCCESS);
  return handle;
}

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  return FindFirstFileExW(lpFileName, FindExInfoStandard, lpFindFileData, FindExSearchNameMatch, nullptr, 0);
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  std::shared_ptr<FindObject> find = ce::LookupObjectAs<FindObject>(hFindFile);
  if (!find) return FALSE;
  if (lpFindFileData == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::lock_guard<std::mutex> lock(find->mutex);
  if (find->next >= find->entries.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
  *lpFindFileData = find->entries[find->next++];
  return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
  if (!ce::LookupObjectAs<FindObject>(hFindFile)) return FALSE;
  return ce::RemoveObject(hFindFile) ? TRUE : FALSE;
}
