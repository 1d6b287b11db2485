// Ids of the graphics tests' resources, shared by test_resources.rc and the tests.
#pragma once

#define IDS_TITLE 1
#define IDS_CLASS 3
#define IDS_ESCAPES 7
#define IDS_JOINED 8
#define IDS_LONG 9
#define IDI_APP 101
#define IDB_PICTURE4 (100 + 4)
#define IDB_PICTURE24 105
