// Finding, reading and dismissing a target's message box.
#pragma once

#include <windows.h>

#include "report.h"

// The visible dialog-class top-level window of the process, or none.
HWND FindBox(DWORD processId);

// Adds box_* lines: caption, owner, rectangle, the text control's text, the
// visible buttons as id:hex-text, and whether an icon is shown. The
// rectangle is also copied out for screenshots.
void DescribeBox(HWND box, Report* report, RECT* rect);

// Presses OK the way a click does: WM_COMMAND IDOK to the box.
void PressOk(HWND box);
