// Trapmarker: mark a road-side speed camera in the navigator's map with two or three taps.
//
// Where to start reading: shell.cpp holds WinMain and the window procedure, whose dispatch table
// routes every message; capture_flow.cpp is what happens between the first paint and the save
// (position, map folder, countdown, button releases); camera_store.cpp turns the selection into a
// point stored by the navigator. Pages, drawing and touch live in ui/, the navigator's SDK in sdk/.
#pragma once

#include "ce/ce.h"
#include "sdk/sdk_calls.h"

// Commands the window sends to itself (WM_COMMAND, id in the low word).
enum { SaveCommand = 40001, CloseCommand = 40003 };

// ---- shell.cpp ----
extern HWND mainWindow;
extern WCHAR programFolder[MAX_PATH];    // the program's folder with its trailing backslash
extern WCHAR preferencesPath[MAX_PATH];  // programFolder + "Trapmarker.ini"

#if defined(_WIN32) && !defined(_WIN32_WCE)
// Desktop Windows names the wide entry wWinMain (link with -municode); CE's WinMain is wide.
#define WinMain wWinMain
extern "C"
#endif
    int WINAPI
    WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);
BOOL InitInstance(HINSTANCE instance);
ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The link opened for the message being handled; every SDK call of a handler goes through it.
extern NavigatorLink* activeLink;

// The close command's work: releases the link and the drawing objects, then closes the window.
void RunCloseCommand();

// ---- capture_flow.cpp ----
extern int positionTaken;
extern CurrentPositionResult capturedPosition;

void AfterPaintChecks();
void CountdownTick();
void CancelCountdown();
void ApplySlotRelease();
void ToggleTimerOption();

// ---- camera_store.cpp ----
void SaveCapturedPoint();
void ClearCameraStore();
