// The folder the program shares with the navigator: "\TomTom\" at the top of the device's file
// system, or, on a Smartphone without it, the "TomTom" folder inside the first top-level folder
// (in listing order, names starting with "." skipped) that holds one. Nothing is cached: every
// channel file operation works it out afresh, so a card inserted later is still found.
#pragma once

#include <cstddef>

#ifdef _WIN32
#include <windows.h>
#else
#include "ce/types.h"
#endif

// Capacity, in wide characters, of every path buffer of the transport.
constexpr size_t kSdkPathSize = MAX_PATH;

// Storage roots tried on a Smartphone, last to first, and by the file search of the script
// location; a single empty entry, the root of the file system.
extern const WCHAR* const kSdkStorageRoots[];
extern const size_t kSdkStorageRootCount;

// True on a Windows CE device whose platform type text holds "Smartphone" or "SmartPhone"
// (case-sensitive). A failed version or platform query counts as not a Smartphone.
bool IsSmartphone();

// Writes the base folder the SDK folders hang from, ending in a backslash ("\" on every
// device: the only storage root is the root of the file system).
void GetSdkBaseFolder(WCHAR* folder, size_t capacity);

// Writes the shared folder, always ending in a backslash, into `folder` (`capacity` wide
// characters, at least kSdkPathSize). Never fails: "\TomTom\" when nothing better is found,
// whether or not it exists. Creates nothing.
void FindSharedFolder(WCHAR* folder, size_t capacity);
