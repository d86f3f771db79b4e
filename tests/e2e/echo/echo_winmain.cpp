// echo.exe: built from the same start-up and argument-text cut as
// velmora.exe, it writes the argument text its WinMain receives, byte for
// byte, to its standard output and exits 0. Started with the same command
// line under the same code page, it shows what velmora.exe's WinMain got.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argumentText, int) {
  DWORD length = static_cast<DWORD>(lstrlenA(argumentText));
  DWORD written = 0;
  if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), argumentText, length,
                 &written, nullptr) ||
      written != length) {
    return 1;
  }
  return 0;
}
