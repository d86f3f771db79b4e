// The test side of the simulated Win32: what a test scripts before a run and
// what it reads afterwards. Every call of a service that can fail is logged in
// order; the heap, environment blocks and handles are kept in ledgers, so a
// release of something never handed out, or released twice, becomes a fault
// in SimFaults() instead of a crash.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/sim/win32_sim.h"

// The services that can be made to fail. The others (lstrlenA,
// GetProcessHeap, GetLastError, IsDBCSLeadByte, SecureZeroMemory) do not fail
// on Windows either.
enum class SimService {
  CompareStringA,
  MultiByteToWideChar,
  HeapAlloc,
  HeapFree,
  GetEnvironmentStrings,
  FreeEnvironmentStringsA,
  CreateProcessWithLogonW,
  CloseHandle,
  WaitForSingleObject,
  MessageBoxA,
  Count,
};

const char* SimServiceName(SimService service);

struct SimEvent {
  SimService service;
  bool failed;
  // The block, environment block or handle the call was about; for
  // HeapAlloc and GetEnvironmentStrings the one handed out, if any.
  const void* object;
  SIZE_T size;  // HeapAlloc: bytes asked for
  // HeapFree and FreeEnvironmentStringsA: the block's bytes just before
  // release.
  std::vector<unsigned char> contents;
};

// The eleven values that CreateProcessWithLogonW received. Strings are copied
// at the call; absent (null) ones are nullopt.
struct SimLogonCall {
  LPCWSTR usernamePointer;
  LPCWSTR domainPointer;
  LPCWSTR passwordPointer;
  LPCWSTR applicationNamePointer;
  LPWSTR commandLinePointer;
  LPCWSTR currentDirectoryPointer;
  std::optional<std::u16string> username;
  std::optional<std::u16string> domain;
  std::optional<std::u16string> password;
  DWORD logonFlags;
  std::optional<std::u16string> applicationName;
  std::optional<std::u16string> commandLine;
  DWORD creationFlags;
  LPVOID environment;
  std::optional<std::u16string> currentDirectory;
  bool hasStartupInfo;
  STARTUPINFOW startupInfo;  // a copy, when given
  bool hasProcessInformation;
  bool succeeded;
  PROCESS_INFORMATION handedOut;  // when succeeded
};

struct SimMessageBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

struct SimBlock {
  const void* block;
  SIZE_T size;
};

// Back to a fresh process: code page 1252, the default environment, nothing
// scripted, last error 0, empty logs. Blocks still live are released.
void SimReset();

// 1252 (Western, single-byte) or 932 (Japanese, double-byte).
void SimSetCodePage(UINT codePage);

// The caller's environment as a Windows block: strings each ending in a zero
// byte, the block ending in one more. GetEnvironmentStrings hands out a copy.
void SimSetEnvironment(const std::string& block);

// The nth call (counting from 1 since SimReset) of service fails, leaving
// lastError as the thread's last error (0 allowed).
void SimFailCall(SimService service, int nth, DWORD lastError);

// The nth call of service fails and leaves the thread's last error as it was,
// as some platform stubs do.
void SimFailCallKeepingLastError(SimService service, int nth);

// After every successful call of service, the thread's last error is
// lastError (as a MessageBoxA may leave one behind).
void SimLeaveLastError(SimService service, DWORD lastError);

int SimCallCount(SimService service);
const std::vector<SimEvent>& SimEvents();
const std::vector<SimLogonCall>& SimLogonCalls();
const std::vector<SimMessageBox>& SimMessageBoxes();
// Misuse of the platform: releases of unknown or released objects, waits on
// closed handles, bad parameters. Empty after a correct run.
const std::vector<std::string>& SimFaults();

std::vector<SimBlock> SimLiveBlocks();
std::vector<const void*> SimLiveEnvironmentBlocks();
std::vector<HANDLE> SimOpenHandles();
SIZE_T SimHeapBytesLive();
SIZE_T SimHeapBytesPeak();
