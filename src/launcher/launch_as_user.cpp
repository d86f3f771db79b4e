#include "launcher/launcher.h"

DWORD LaunchAsUser(const LaunchRequest* request) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  DWORD logonFlags = request->noProfile ? 0 : LOGON_WITH_PROFILE;

  // A failure that sets no error of its own must not report a stale one
  // left by an earlier call.
  SetLastError(0);
  // The command buffer is ours and writable: the call may modify it. The
  // environment block is the narrow one captured by /env, so the creation
  // flags stay 0.
  BOOL started = CreateProcessWithLogonW(
      request->user, request->domain, request->password, logonFlags, nullptr,
      request->command, 0, request->environment, nullptr, &startup, &process);
  if (!started) return GetFailureStatus();

  // The thread handle is closed first: we never use it. The closes' results
  // are not read: the command has started, and that is the outcome.
  CloseHandle(process.hThread);
  if (request->wait) {
    // The result is not read: the started program's outcome is its own.
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hProcess);
  return 0;
}
