// Case-insensitive look-up of one name in a host folder without listing the folder each time.
//
// The device's file system ignores case, so a name that is not there with the exact case means a
// look through the folder for another spelling. A folder asked about this way is listed once and
// then kept up to date from inotify: every look-up first reads the changes queued since the last
// one (the kernel queues a change before the call that made it returns, in any process), so the
// answer is the one a fresh listing would give. A few folders are kept, the least recently used
// let go; a lost change (queue overflow), a folder deleted, or a fork forgets what was kept.
// Without inotify every look-up lists the folder.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace ce::detail {

// The entry of the folder at hostFolder (`folder` is its lstat) whose name equals `name` ignoring
// case, the first in sorted order when several do. False when there is none. When hostFolder lies
// under `root` (the device's file system folder), the folders on the way are watched from then on,
// so that FindEntryInKnownFolder can answer for the same path without a look at it.
bool FindEntryIgnoringCase(const std::string& hostFolder, const struct stat& folder, const std::string& name,
                           std::string& found, const std::string& root = std::string());

// FindEntryIgnoringCase for a folder given by its host path only: 1 found, 0 not there, -1 when
// the index does not know that the path still names a folder it keeps (look at the folder then).
int FindEntryInKnownFolder(const std::string& hostFolder, const std::string& name, std::string& found);

// Every entry name of the folder whose lstat is `folder`, from the index, when the index keeps that
// folder already (one read of its change queue instead of a listing). False when it does not.
bool IndexedFolderNames(const struct stat& folder, std::vector<std::string>& names);

// IndexedFolderNames for a folder given by its host path only, when the index knows that the path
// still names a folder it keeps. False otherwise.
bool IndexedFolderNamesAt(const std::string& hostFolder, std::vector<std::string>& names);

// Lists the folder for the same answer, without any index (the reference the index must match).
bool ListEntryIgnoringCase(const std::string& hostFolder, const std::string& name, std::string& found);

}  // namespace ce::detail
