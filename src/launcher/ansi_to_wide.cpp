#include "launcher/launcher.h"

// Converts narrow text in the ANSI code page to a new UTF-16 buffer on the
// process heap. length is a byte count, or -1 for "up to and including the
// terminating zero". Any byte that is invalid in the code page fails the whole
// conversion: a password or account name must never be altered silently.
WCHAR* AnsiToWide(LPCSTR text, int length) {
  int count = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length,
                                  nullptr, 0);
  if (count == 0) return nullptr;

  SIZE_T units = static_cast<SIZE_T>(count) + 1;
  WCHAR* buffer = static_cast<WCHAR*>(
      HeapAlloc(GetProcessHeap(), 0, units * sizeof(WCHAR)));
  if (buffer == nullptr) return nullptr;

  int written = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length,
                                    buffer, count + 1);
  if (written == 0) {
    HeapFree(GetProcessHeap(), 0, buffer);
    return nullptr;
  }
  // A byte count leaves the result unterminated; the extra unit ends it.
  buffer[written] = 0;
  return buffer;
}
