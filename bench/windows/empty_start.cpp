// The smallest GUI program this toolchain makes: its entry ends the process
// at once. The start-up cost of velmora.exe is measured against it.
//
// Built a second time with VELMORA_SAME_IMPORTS: then it also imports the
// USER32 and ADVAPI32 functions that velmora.exe imports (calls that never
// run) and carries velmora.exe's resources, so that what the system does to
// load such a program can be told apart from what velmora.exe itself does.
#include <windows.h>

extern "C" void WINAPI EmptyStart() {
#ifdef VELMORA_SAME_IMPORTS
  // The command line never starts with a byte 0x01: these never run.
  if (GetCommandLineA()[0] == 0x01) {
    MessageBoxA(nullptr, "", "", MB_OK);
    CreateProcessWithLogonW(nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0,
                            nullptr, nullptr, nullptr, nullptr);
  }
#endif
  ExitProcess(0);
}
