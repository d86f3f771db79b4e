#include "launcher/launcher.h"

void ErasePassword(WCHAR* password) {
  SIZE_T units = 0;
  while (password[units] != 0) ++units;
  SecureZeroMemory(password, units * sizeof(WCHAR));
}

// The user buffer is released through its start: when the value named a
// domain before a backslash, user points into the middle of it. The results
// are not read: the run's outcome is settled and the process is about to end.
void ReleaseRequest(LaunchRequest* request) {
  HANDLE heap = GetProcessHeap();
  if (request->userBuffer != nullptr) HeapFree(heap, 0, request->userBuffer);
  if (request->password != nullptr) {
    ErasePassword(request->password);
    HeapFree(heap, 0, request->password);
  }
  if (request->command != nullptr) HeapFree(heap, 0, request->command);
  if (request->environment != nullptr) {
    FreeEnvironmentStringsA(request->environment);
  }
  *request = LaunchRequest{};
}
