// The one header the application includes. On Linux it declares the Windows CE stand-in;
// on Windows it brings the real API plus shims for the CE-only calls.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <strsafe.h>
#include "ce/win32_shims.h"
#else
#include "ce/types.h"
#include "ce/kernel.h"
#include "ce/gdi.h"
#include "ce/user.h"
#endif
