// The one header through which the launcher reaches the platform.
// On Windows it is the SDK itself; everywhere else it is our simulated Win32,
// which declares the same names and types and is scripted by the tests.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "platform/sim/win32_sim.h"
#endif
