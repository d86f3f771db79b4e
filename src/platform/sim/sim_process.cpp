// The environment block, the logon launch, handles and waiting.
#include <cstdlib>
#include <cstring>

#include "platform/sim/sim_state.h"

namespace {

std::optional<std::u16string> CopyText(LPCWSTR text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(text);
}

HANDLE NewHandle() {
  SimState& sim = Sim();
  HANDLE handle = reinterpret_cast<HANDLE>(sim.nextHandle);
  sim.nextHandle += 4;
  return handle;
}

}  // namespace

LPCH WINAPI GetEnvironmentStrings() {
  SimState& sim = Sim();
  if (SimBeginCall(SimService::GetEnvironmentStrings)) {
    SimLog(SimService::GetEnvironmentStrings, true, nullptr);
    return nullptr;
  }
  // Each call hands out a copy of its own, as Windows does.
  char* block = static_cast<char*>(std::malloc(sim.environment.size() + 1));
  std::memcpy(block, sim.environment.data(), sim.environment.size());
  block[sim.environment.size()] = 0;
  sim.environmentBlocks[block] = sim.environment.size() + 1;
  SimLog(SimService::GetEnvironmentStrings, false, block).size =
      sim.environment.size() + 1;
  SimEndCall(SimService::GetEnvironmentStrings);
  return block;
}

BOOL WINAPI FreeEnvironmentStringsA(LPCH block) {
  SimState& sim = Sim();
  if (SimBeginCall(SimService::FreeEnvironmentStringsA)) {
    SimLog(SimService::FreeEnvironmentStringsA, true, block);
    return FALSE;
  }
  auto entry = sim.environmentBlocks.find(block);
  if (entry == sim.environmentBlocks.end()) {
    SimFault("FreeEnvironmentStringsA: a block that is not live");
    SimLog(SimService::FreeEnvironmentStringsA, true, block);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SimEvent& event = SimLog(SimService::FreeEnvironmentStringsA, false, block);
  event.size = entry->second;
  event.contents.assign(block, block + entry->second);
  sim.environmentBlocks.erase(entry);
  std::free(block);
  SimEndCall(SimService::FreeEnvironmentStringsA);
  return TRUE;
}

BOOL WINAPI CreateProcessWithLogonW(
    LPCWSTR username, LPCWSTR domain, LPCWSTR password, DWORD logonFlags,
    LPCWSTR applicationName, LPWSTR commandLine, DWORD creationFlags,
    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
    LPPROCESS_INFORMATION processInformation) {
  SimState& sim = Sim();
  SimLogonCall call{};
  call.usernamePointer = username;
  call.domainPointer = domain;
  call.passwordPointer = password;
  call.applicationNamePointer = applicationName;
  call.commandLinePointer = commandLine;
  call.currentDirectoryPointer = currentDirectory;
  call.username = CopyText(username);
  call.domain = CopyText(domain);
  call.password = CopyText(password);
  call.logonFlags = logonFlags;
  call.applicationName = CopyText(applicationName);
  call.commandLine = CopyText(commandLine);
  call.creationFlags = creationFlags;
  call.environment = environment;
  call.currentDirectory = CopyText(currentDirectory);
  call.hasStartupInfo = startupInfo != nullptr;
  if (startupInfo != nullptr) call.startupInfo = *startupInfo;
  call.hasProcessInformation = processInformation != nullptr;

  if (SimBeginCall(SimService::CreateProcessWithLogonW)) {
    sim.logonCalls.push_back(call);
    SimLog(SimService::CreateProcessWithLogonW, true, nullptr);
    return FALSE;
  }
  if (startupInfo == nullptr || processInformation == nullptr ||
      (applicationName == nullptr && commandLine == nullptr)) {
    SimFault("CreateProcessWithLogonW: a required parameter is missing");
    sim.logonCalls.push_back(call);
    SimLog(SimService::CreateProcessWithLogonW, true, nullptr);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  processInformation->hProcess = NewHandle();
  processInformation->hThread = NewHandle();
  processInformation->dwProcessId = 4000 + static_cast<DWORD>(sim.logonCalls.size());
  processInformation->dwThreadId = 5000 + static_cast<DWORD>(sim.logonCalls.size());
  sim.processHandles.insert(processInformation->hProcess);
  sim.threadHandles.insert(processInformation->hThread);
  call.succeeded = true;
  call.handedOut = *processInformation;
  sim.logonCalls.push_back(call);
  SimLog(SimService::CreateProcessWithLogonW, false, processInformation->hProcess);
  SimEndCall(SimService::CreateProcessWithLogonW);
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  SimState& sim = Sim();
  if (SimBeginCall(SimService::CloseHandle)) {
    SimLog(SimService::CloseHandle, true, handle);
    return FALSE;
  }
  if (sim.processHandles.erase(handle) == 0 &&
      sim.threadHandles.erase(handle) == 0) {
    SimFault("CloseHandle: a handle that is not open");
    SimLog(SimService::CloseHandle, true, handle);
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SimLog(SimService::CloseHandle, false, handle);
  SimEndCall(SimService::CloseHandle);
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  SimState& sim = Sim();
  if (SimBeginCall(SimService::WaitForSingleObject)) {
    SimLog(SimService::WaitForSingleObject, true, handle).size = milliseconds;
    return WAIT_FAILED;
  }
  if (sim.processHandles.count(handle) == 0 &&
      sim.threadHandles.count(handle) == 0) {
    SimFault("WaitForSingleObject: a handle that is not open");
    SimLog(SimService::WaitForSingleObject, true, handle).size = milliseconds;
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  // The simulated process has always ended already.
  SimLog(SimService::WaitForSingleObject, false, handle).size = milliseconds;
  SimEndCall(SimService::WaitForSingleObject);
  return WAIT_OBJECT_0;
}

PVOID WINAPI SecureZeroMemory(PVOID block, SIZE_T bytes) {
  volatile unsigned char* cursor = static_cast<volatile unsigned char*>(block);
  while (bytes-- != 0) *cursor++ = 0;
  return block;
}
