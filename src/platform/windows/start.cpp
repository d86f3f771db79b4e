// The program's own start-up. No C runtime is linked: the runtimes' start-ups
// cut the program name by rules of their own, and a quote state that outlives
// the name would swallow the first option of "C:\Tools\velmora.exe"/user:...
#include "platform/argument_text.h"

// The compiler may emit calls to memset for zero-filled records; without a
// C runtime we provide it. The volatile store keeps the compiler from
// turning the loop back into a call to memset; MSVC must be told that memset
// is ours and not its intrinsic.
#ifdef _MSC_VER
#pragma function(memset)
#endif
extern "C" void* memset(void* block, int value, size_t bytes) {
  volatile unsigned char* cursor = static_cast<unsigned char*>(block);
  while (bytes-- != 0) *cursor++ = static_cast<unsigned char>(value);
  return block;
}

extern "C" void WINAPI VelmoraStart() {
  LPSTR argumentText = FindArgumentText(GetCommandLineA());
  int status = WinMain(GetModuleHandleA(nullptr), nullptr, argumentText,
                       SW_SHOWDEFAULT);
  // The 32-bit status is the exit code as it stands: -1 reaches the caller
  // as 0xFFFFFFFF.
  ExitProcess(static_cast<UINT>(status));
}
