#include "ui/run_state.h"

HINSTANCE instanceHandle = NULL;
HDC memoryDC = NULL;

int physicalWidth = 0, physicalHeight = 0;
int logicalWidth = 0, logicalHeight = 0;

int orientation = 0;
int timerOption = 0;

int countdownValue = 6;
UINT_PTR countdownRunning = 0;

int mapFolderKnown = 0;
char mapFolder[128] = "";
