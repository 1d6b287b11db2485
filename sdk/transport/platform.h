// The platform calls the transport makes: the real ones on Windows, the device stand-in elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <strsafe.h>
#include "ce/win32_shims.h"
#else
#include "ce/kernel.h"
#endif
