// The preferences file beside the program ("Trapmarker.ini"): the orientation digit, CR LF, the
// timer digit, CR LF, then up to five custom point names, one per line. The program reads it once
// at creation and only ever rewrites its first four bytes.
#pragma once

#include "ce/ce.h"

// Reads the file at `path` (its first 255 bytes) into orientation, timerOption, the timer
// place's label, the custom places and the target of "Custom POI". The button table must exist.
// A missing or unreadable file leaves everything as it was.
void ReadPreferences(LPCWSTR path);

// Writes the two digits over the first four bytes of `path`, creating the file if needed and
// keeping everything after them. A file that cannot be opened is left alone, silently.
void WritePreferences(LPCWSTR path, int orient, int timer);
