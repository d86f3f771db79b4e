// Cutting the argument text out of the process command line, as the GUI
// entry convention hands it to WinMain.
#pragma once

#include "platform/win32.h"

// Returns the part of commandLine after the program's own name and the
// blanks after it. The result points into commandLine.
LPSTR FindArgumentText(LPSTR commandLine);
