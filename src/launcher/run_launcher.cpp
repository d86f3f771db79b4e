#include "launcher/launcher.h"

namespace {

LPCSTR DescribeFailure(LauncherFailure failure) {
  // The texts are the program's own and callers may match them; keep them
  // exactly, spelling included.
  switch (failure) {
    case LauncherFailure::InvalidUser:
      return "Invalid User.";
    case LauncherFailure::InvalidPassword:
      return "Invalid Passowrd.";
    case LauncherFailure::InvalidCommandText:
      return "Invalid Comand Line Args.";
    case LauncherFailure::None:
    case LauncherFailure::InvalidArgs:
    case LauncherFailure::UnterminatedPassword:
      break;
  }
  return "Invalid Command Line Args.";
}

DWORD ReportFailure(LauncherFailure failure) {
  // The result is not read: the box has one button.
  MessageBoxA(nullptr, DescribeFailure(failure), "Velmora Error", MB_OK);
  if (failure == LauncherFailure::InvalidArgs) return kFailureStatus;
  return GetFailureStatus();
}

}  // namespace

DWORD GetFailureStatus() {
  DWORD error = GetLastError();
  return error != 0 ? error : kFailureStatus;
}

DWORD RunLauncher(LPCSTR argumentText) {
  LaunchRequest request = {};
  DWORD status = 0;
  LauncherFailure failure = ParseArguments(argumentText, &request);
  if (failure != LauncherFailure::None) {
    status = ReportFailure(failure);
  } else {
    status = LaunchAsUser(&request);
  }
  ReleaseRequest(&request);
  return status;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argumentText, int) {
  return static_cast<int>(RunLauncher(argumentText));
}
