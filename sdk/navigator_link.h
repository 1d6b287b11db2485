// The client's end of the navigator's SDK channel.
//
// Every SDK call travels through a NavigatorLink: the link owns one message channel and a
// scratch text for integer arguments. The program opens a link for the handling of one window
// message and closes it before returning:
//
//   NavigatorLink link;
//   OpenNavigatorLink(&link);            // "client" -> "TomTomNavigationServer", this process
//   INT status;
//   CurrentPositionResult position;
//   if (GetCurrentPositionV01(&link, &status, &position) == 0 && status == 0) ...
//   CloseNavigatorLink(&link);           // also done by the link's destructor
//
// Every call returns 0, -1 or -2 and writes a status:
//    0  the exchange completed; as status: the navigator answered 0
//   -1  nothing was sent (no channel, the request files could not be written, or the first
//       exchange with a navigator just started could not be sent)
//   -2  the reply held a field count the call does not accept (also: no field at all, or the
//       navigator went away while the call waited)
//   -5  status only: the navigator does not run and cannot be started
//   other status values are the navigator's own result code; the call then returns 0.
#pragma once

#include <cstdint>

#include "ce/ce.h"
#include "sdk/transport/file_channel.h"

struct NavigatorLink {
  NavigatorLink() : channel(nullptr), numberText{} {}
  ~NavigatorLink();
  NavigatorLink(const NavigatorLink&) = delete;
  NavigatorLink& operator=(const NavigatorLink&) = delete;

  MessageChannel* channel;  // owned; null when none could be made
  char numberText[16];      // each integer argument as decimal text, just before it is added
};

// Class of the navigator's main window; the window exists exactly while the navigator runs.
extern const WCHAR kNavigatorWindowClass[];

// The navigator's main window as last found by IsNavigatorRunning, or null.
extern HWND navigatorWindow;

// Makes a channel with a "|"-separated message: own and peer endpoint names (cut to 255 bytes),
// link id -1 for the current process. Null when memory runs out. The caller owns the result.
MessageChannel* CreateFileChannel(const char* ownName, const char* peerName, INT linkId);

// Gives the link a channel from "client" to "TomTomNavigationServer" under this process's id.
// While a call waits for its reply, the channel asks whether the navigator's window still
// exists, so a navigator that went away ends the call (status -2) instead of hanging it.
// False when no channel could be made (every call on the link then returns -1).
bool OpenNavigatorLink(NavigatorLink* link);

// Destroys the link's channel, if any.
void CloseNavigatorLink(NavigatorLink* link);

// True when a top-level window of class "MunichWinClass" exists; stores it in navigatorWindow.
bool IsNavigatorRunning();
