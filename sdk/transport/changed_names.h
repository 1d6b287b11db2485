// What a watch on the calls folder says appeared there, for waits that care about some names
// only: a wake for other files then costs no look at the folder.
#pragma once

#include "sdk/transport/platform.h"

// Hands every change the watch kept since it was last re-armed to `visit` (its FILE_ACTION_* and
// its name of `length` characters, not NUL-terminated); those changes are forgotten. False when
// the watch cannot say what changed (it keeps no names, or more changed than it kept).
bool VisitChangedNames(HANDLE watch, void (*visit)(DWORD action, const WCHAR* name, size_t length, void* context),
                       void* context);

// Whether a name that `wanted` accepts appeared (was made, or renamed into place) among the
// changes the watch kept since it was last re-armed; those changes are handed out and forgotten.
// True also when the watch cannot say (it keeps no names, or more changed than it kept): the
// caller then looks for itself. `wanted` gets a name of `length` characters, not NUL-terminated.
bool NameMayHaveAppeared(HANDLE watch, bool (*wanted)(const WCHAR* name, size_t length, void* context), void* context);

// Equality of a changed name with a channel file name, ignoring the case of ASCII letters (the
// names the channel writes are ASCII); with `prefixOnly`, whether the name starts with it.
bool ChangedNameIs(const WCHAR* name, size_t length, const char* channelName, bool prefixOnly = false);
