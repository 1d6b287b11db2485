// Navigator discovery and launch: the pre-call step behind every SDK call.
#include "sdk/navigator_launch.h"

#include "sdk/call_sequence.h"
#include "sdk/navigator_link.h"

WCHAR navigatorPath[MAX_PATH];

namespace {

// The executable names the navigator is installed under; all three rank the same.
const WCHAR* const kNavigatorNames[] = {
    TEXT("TomTom Navigator.exe"),
    TEXT("GPS Navigation.exe"),
    TEXT("TomTom Mobile.exe"),
};

// While a started navigator comes up: 5 ms pauses, at most 5000 of them (about 25 s).
const DWORD kStartPollMs = 5;
const int kStartRetries = 5000;

// Subfolders are listed with a hint that only folders are wanted: a file system that can tell
// folders from the listing itself then skips looking at every file.
HANDLE WINAPI FindFirstFolder(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  return FindFirstFileExW(pattern, FindExInfoStandard, entry, FindExSearchLimitToDirectories, nullptr, 0);
}

const FolderListing kPlatformListing = {FindFirstFileW, FindNextFileW, FindClose, FindFirstFolder};
const FolderListing* folderListing = &kPlatformListing;

size_t TextLength(LPCWSTR text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

WCHAR FoldCase(WCHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c - u'A' + u'a') : c; }

// The device's file system ignores letter case, so names found on it are compared the same way.
bool SameNameIgnoringCase(LPCWSTR a, LPCWSTR b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
  }
  return *a == *b;
}

bool IsNavigatorName(LPCWSTR name) {
  for (const WCHAR* candidate : kNavigatorNames) {
    if (SameNameIgnoringCase(name, candidate)) return true;
  }
  return false;
}

bool IsDotEntry(LPCWSTR name) { return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0)); }

// Remembers a candidate and ends the search once it exists.
int VisitNavigatorCandidate(LPCWSTR folder, LPCWSTR name, void* argument) {
  if (!IsNavigatorName(name)) return 1;
  WCHAR* found = static_cast<WCHAR*>(argument);
  WCHAR joined[MAX_PATH];
  if (!JoinPath(joined, MAX_PATH, folder, name)) return 1;
  for (size_t i = 0; i < MAX_PATH; ++i) {
    found[i] = joined[i];
    if (joined[i] == 0) break;
  }
  return GetFileAttributesW(found) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

}  // namespace

void SetFolderListing(const FolderListing* listing) {
  folderListing = listing != nullptr ? listing : &kPlatformListing;
}

bool JoinPath(WCHAR* dest, size_t capacity, LPCWSTR folder, LPCWSTR name) {
  if (dest == nullptr || capacity == 0) return false;
  dest[0] = 0;
  size_t folderLength = TextLength(folder);
  size_t nameLength = TextLength(name);
  bool needsSeparator = folderLength == 0 || folder[folderLength - 1] != u'\\';
  size_t total = folderLength + (needsSeparator ? 1 : 0) + nameLength;
  if (total + 1 > capacity) return false;
  size_t at = 0;
  for (size_t i = 0; i < folderLength; ++i) dest[at++] = folder[i];
  if (needsSeparator) dest[at++] = u'\\';
  for (size_t i = 0; i < nameLength; ++i) dest[at++] = name[i];
  dest[at] = 0;
  return true;
}

INT SearchFiles(LPCWSTR folder, LPCWSTR pattern, bool recurse, SearchVisitor visitor, void* argument, bool* stop) {
  bool localStop = false;
  if (stop == nullptr) stop = &localStop;
  INT count = 0;
  WCHAR path[MAX_PATH];
  WIN32_FIND_DATAW entry;

  if (JoinPath(path, MAX_PATH, folder, pattern)) {
    HANDLE find = folderListing->findFirst(path, &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // A file whose full path would not fit cannot be opened by anyone: leave it out.
        if (!JoinPath(path, MAX_PATH, folder, entry.cFileName)) continue;
        ++count;
        if (visitor(folder, entry.cFileName, argument) == 0) *stop = true;
      } while (!*stop && folderListing->findNext(find, &entry));
      folderListing->findClose(find);
    }
  }
  if (*stop || !recurse) return count;

  if (!JoinPath(path, MAX_PATH, folder, TEXT("*.*"))) return count;
  HANDLE find = (folderListing->findFirstFolders != nullptr ? folderListing->findFirstFolders
                                                            : folderListing->findFirst)(path, &entry);
  if (find == INVALID_HANDLE_VALUE) return count;
  WCHAR subfolder[MAX_PATH];
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (IsDotEntry(entry.cFileName)) continue;
    if (!JoinPath(subfolder, MAX_PATH, folder, entry.cFileName)) continue;
    count += SearchFiles(subfolder, pattern, recurse, visitor, argument, stop);
  } while (!*stop && folderListing->findNext(find, &entry));
  folderListing->findClose(find);
  return count;
}

bool FindNavigatorExecutable() {
  return SearchFiles(TEXT("\\"), TEXT("*.exe"), true, VisitNavigatorCandidate, navigatorPath, nullptr) > 0;
}

bool StartNavigator() {
  if (navigatorPath[0] == 0) return false;
  PROCESS_INFORMATION process = {};
  const WCHAR* path = navigatorPath;
  STARTUPINFOW* startup = nullptr;  // CE has none
#if defined(_WIN32) && !defined(_WIN32_WCE)
  // Device paths are root-relative; a desktop wants the drive they sit on (the current one), and
  // its CreateProcessW requires start-up information (Wine faults on a null one).
  WCHAR fullPath[MAX_PATH];
  DWORD length = GetFullPathNameW(navigatorPath, MAX_PATH, fullPath, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  path = fullPath;
  STARTUPINFOW desktopStartup = {};
  desktopStartup.cb = sizeof desktopStartup;
  startup = &desktopStartup;
#endif
  if (!CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

INT EnsureNavigatorRunning(NavigatorLink* link) {
  HWND foreground = GetForegroundWindow();
  if (IsNavigatorRunning()) return 0;

  HCURSOR previousCursor = GetCursor();
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  INT result = -5;

  if (FindNavigatorExecutable()) {
    if (StartNavigator()) {
      for (int retry = 0; !IsNavigatorRunning() && retry < kStartRetries; ++retry) Sleep(kStartPollMs);
    }
    if (navigatorWindow != nullptr) {
      // First exchange: proves the navigator serves its calls folder before the real call goes out.
      const SdkCallShape& firstCall = kSdkCalls[kBringNavigatorToForegroundCall];
      ReplyTicket* ticket = SendNavigatorRequest(link, firstCall.wire->name, nullptr, 0);
      if (ticket == nullptr) {
        result = -1;
      } else {
        // A navigator that dies while coming up will never answer: stop polling for it then.
        for (int retry = 0; !link->channel->IsReplyReady(ticket) && retry < kStartRetries &&
                            FindWindowW(kNavigatorWindowClass, nullptr) != nullptr;
             ++retry) {
          Sleep(kStartPollMs);
        }
        INT discarded = 0;
        ReadNavigatorReply(link, &discarded, ticket, firstCall, nullptr);
        // The navigator took the foreground while it came up; give it back.
        if (foreground != nullptr) {
          SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(foreground) | 1));
        }
        result = navigatorWindow != nullptr ? 0 : -5;
      }
    }
  }

  SetCursor(previousCursor);
  return result;
}

INT ShowNavigator() {
  if (!IsNavigatorRunning() || navigatorWindow == nullptr) return -5;
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(navigatorWindow) | 1));
  ShowWindow(navigatorWindow, SW_SHOWNORMAL);
  return 0;
}
