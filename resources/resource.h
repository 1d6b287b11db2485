// Resource ids of Trapmarker, shared by Trapmarker.rc and the code that loads them.
#pragma once

#define IDS_APP_TITLE 1  // window title
#define IDS_APP_CLASS 3  // window class name
#define IDI_TRAPMARKER 101

// Button pictures, 78 x 48, 16 colours, white drawn as transparent.
#define IDB_SPEED20 104  // also held by blank places without a picture of their own
#define IDB_SPEED30 105
#define IDB_SPEED40 106
#define IDB_SPEED50 107
#define IDB_SPEED60 108
#define IDB_SPEED70 109
#define IDB_TIMER_CROSS 110  // drawn over IDB_TIMER while the timer option is on
#define IDB_CUSTOM_FRAME 111
#define IDB_GATSO 112
#define IDB_MOBILE 113
#define IDB_ARROW_RIGHT 114  // page arrows
#define IDB_OTHER_SIDE 115
#define IDB_PREFERENCES 117
#define IDB_START_OVER 118
#define IDB_REDLIGHT 119
#define IDB_REMOVE 120
#define IDB_CLEAR_CAMERAS 122
#define IDB_SPEED_VARIABLE 123
#define IDB_REVERSIBLE 124
#define IDB_ROTATE_SCREEN 125
#define IDB_SPECS 126
#define IDB_TEMPORARY 127
#define IDB_THIS_SIDE 128
#define IDB_TRUVELO 129
#define IDB_SPEED_UNKNOWN 130
#define IDB_UNKNOWN_TYPE 131
#define IDB_TIMER 132
