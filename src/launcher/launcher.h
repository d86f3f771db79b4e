// The launcher: from the argument text to the exit status.
// One plain record, LaunchRequest, is filled by the parser, read by the
// launch and released by the run sequence; failures are values.
#pragma once

#include "platform/win32.h"

// Everything a run acquires and acts on. Zero-initialise it ({}) to start.
struct LaunchRequest {
  WCHAR* userBuffer;    // the converted /user: value as allocated, or none
  WCHAR* user;          // part of userBuffer, or none
  WCHAR* domain;        // part of a user buffer, or none
  WCHAR* password;      // heap buffer, or none
  WCHAR* command;       // heap buffer; set by every successful parse
  LPCH environment;     // the caller's narrow environment block, or none
  bool noProfile;
  bool wait;
};

// Why a command line was rejected. None means it was not.
enum class LauncherFailure {
  None,
  InvalidArgs,
  InvalidUser,
  InvalidPassword,
  UnterminatedPassword,
  InvalidCommandText,
};

// The exit status of a rejected command line, and of a failure whose error
// code is 0: never let a caller read "started" from a failure.
const DWORD kFailureStatus = 0xFFFFFFFF;

DWORD RunLauncher(LPCSTR argumentText);

LauncherFailure ParseArguments(LPCSTR argumentText, LaunchRequest* request);
bool MatchOption(LPCSTR text, LPCSTR option);
void SplitAccount(WCHAR* buffer, LaunchRequest* request);
WCHAR* AnsiToWide(LPCSTR text, int length);

DWORD LaunchAsUser(const LaunchRequest* request);

// The exit status of a failure reported by the platform: the calling thread's
// last error, or kFailureStatus when that is 0. Call it at once.
DWORD GetFailureStatus();

// Overwrites a password buffer with zeros in a way the compiler keeps.
void ErasePassword(WCHAR* password);

// Releases, in a fixed order, everything that the request holds.
void ReleaseRequest(LaunchRequest* request);
