// SHFullScreen's states, the Pocket PC shell's values: one list for the stand-in and for the
// desktop shim, which both provide SHFullScreen.
#pragma once

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020
