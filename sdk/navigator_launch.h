// Finding, starting and showing the navigator.
//
// Before every call the client makes sure the navigator runs (EnsureNavigatorRunning). When its
// window is missing, the whole device is searched for one of its executables, the first one found
// is started, and the client waits for the window and for a first answer before the call goes on.
// The search is depth-first: a folder's own files first, in listing order, then each subfolder.
#pragma once

#include "ce/ce.h"

struct NavigatorLink;

// Full path of the executable met by the last search that found one; empty at start.
extern WCHAR navigatorPath[MAX_PATH];

// Makes sure the navigator runs and has answered a first exchange on the link.
// 0: it runs (or was started and answered); -5: it does not run and cannot be started;
// -1: it was started but the first request could not be sent.
// Shows the wait cursor while it searches and waits, and restores the previous cursor.
INT EnsureNavigatorRunning(NavigatorLink* link);

// Brings a running navigator's window to the front without any exchange.
// 0 when done, -5 when the navigator does not run.
INT ShowNavigator();

// Searches the device from "\" for "TomTom Navigator.exe", "GPS Navigation.exe" or
// "TomTom Mobile.exe" (letter case ignored); the first existing one found ends up in
// navigatorPath. True when the search visited any "*.exe" at all.
bool FindNavigatorExecutable();

// Starts a process from navigatorPath. True when a process was started.
bool StartNavigator();

// Called once per file found: nonzero goes on, 0 stops the whole search.
typedef int (*SearchVisitor)(LPCWSTR folder, LPCWSTR name, void* argument);

// Shows the visitor every file of `folder` matching `pattern`, then (with `recurse`) searches
// every subfolder the same way. `stop` may be null; a search that sets it ends everywhere.
// Returns the number of files shown to the visitor. Entries whose full path would exceed
// MAX_PATH characters are skipped, and "." and ".." are never descended into.
INT SearchFiles(LPCWSTR folder, LPCWSTR pattern, bool recurse, SearchVisitor visitor, void* argument, bool* stop);

// How SearchFiles lists a folder: the platform's FindFirstFileW family, unless replaced (tests
// use this to list "." and ".." the way desktop Windows does). findFirstFolders starts the listing
// of subfolders; it may leave out files but need not (a null one means findFirst).
struct FolderListing {
  HANDLE(WINAPI* findFirst)(LPCWSTR pattern, LPWIN32_FIND_DATAW entry);
  BOOL(WINAPI* findNext)(HANDLE find, LPWIN32_FIND_DATAW entry);
  BOOL(WINAPI* findClose)(HANDLE find);
  HANDLE(WINAPI* findFirstFolders)(LPCWSTR pattern, LPWIN32_FIND_DATAW entry);
};
// Null restores the platform's listing.
void SetFolderListing(const FolderListing* listing);

// Writes `folder`, a backslash unless `folder` already ends with one, and `name` into `dest`
// (capacity in characters, terminator included). When the result does not fit, `dest` is left
// empty and the result is false.
bool JoinPath(WCHAR* dest, size_t capacity, LPCWSTR folder, LPCWSTR name);
