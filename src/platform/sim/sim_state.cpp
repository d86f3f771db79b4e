#include "platform/sim/sim_state.h"

#include <cstdlib>

namespace {

thread_local DWORD lastError = 0;

const char* const kServiceNames[] = {
    "CompareStringA",          "MultiByteToWideChar",
    "HeapAlloc",               "HeapFree",
    "GetEnvironmentStrings",   "FreeEnvironmentStringsA",
    "CreateProcessWithLogonW", "CloseHandle",
    "WaitForSingleObject",     "MessageBoxA",
};
static_assert(sizeof(kServiceNames) / sizeof(kServiceNames[0]) ==
                  static_cast<int>(SimService::Count),
              "every service has a name");

const char kDefaultEnvironment[] = "PATH=C:\\Windows\\system32\0TEMP=C:\\Temp\0";

// A process as it starts: code page 1252, the default environment, nothing
// scripted or recorded.
SimState FreshState() {
  SimState fresh{};
  fresh.codePage = 1252;
  fresh.environment.assign(kDefaultEnvironment, sizeof(kDefaultEnvironment));
  fresh.nextHandle = 0x100;
  return fresh;
}

}  // namespace

SimState& Sim() {
  static SimState state = FreshState();
  return state;
}

const char* SimServiceName(SimService service) {
  return kServiceNames[static_cast<int>(service)];
}

void SimReset() {
  SimState& sim = Sim();
  // Blocks a run legitimately keeps (values replaced by a repeated option
  // live until the process ends) end with the simulated process.
  for (const auto& entry : sim.blocks) std::free(const_cast<void*>(entry.first));
  for (const auto& entry : sim.environmentBlocks) {
    std::free(const_cast<void*>(entry.first));
  }
  // The event log keeps its room from run to run: a benchmark that resets
  // between runs then times the launcher, not the log growing page by page.
  std::vector<SimEvent> events = std::move(sim.events);
  events.clear();
  sim = FreshState();
  sim.events = std::move(events);
  lastError = 0;
}

void SimSetCodePage(UINT codePage) {
  if (codePage != 1252 && codePage != 932) {
    SimFault("unsupported code page " + std::to_string(codePage));
    return;
  }
  Sim().codePage = codePage;
}

void SimSetEnvironment(const std::string& block) {
  Sim().environment = block;
}

void SimFailCall(SimService service, int nth, DWORD error) {
  Sim().failures.push_back(SimFailure{service, nth, true, error});
}

void SimFailCallKeepingLastError(SimService service, int nth) {
  Sim().failures.push_back(SimFailure{service, nth, false, 0});
}

void SimLeaveLastError(SimService service, DWORD error) {
  SimState& sim = Sim();
  sim.leavesLastError[static_cast<int>(service)] = true;
  sim.lastErrorLeft[static_cast<int>(service)] = error;
}

int SimCallCount(SimService service) {
  return Sim().callCounts[static_cast<int>(service)];
}

const std::vector<SimEvent>& SimEvents() { return Sim().events; }
const std::vector<SimLogonCall>& SimLogonCalls() { return Sim().logonCalls; }
const std::vector<SimMessageBox>& SimMessageBoxes() {
  return Sim().messageBoxes;
}
const std::vector<std::string>& SimFaults() { return Sim().faults; }

std::vector<SimBlock> SimLiveBlocks() {
  std::vector<SimBlock> live;
  for (const auto& entry : Sim().blocks) {
    live.push_back(SimBlock{entry.first, entry.second});
  }
  return live;
}

std::vector<const void*> SimLiveEnvironmentBlocks() {
  std::vector<const void*> live;
  for (const auto& entry : Sim().environmentBlocks) live.push_back(entry.first);
  return live;
}

std::vector<HANDLE> SimOpenHandles() {
  std::vector<HANDLE> open(Sim().processHandles.begin(),
                           Sim().processHandles.end());
  open.insert(open.end(), Sim().threadHandles.begin(),
              Sim().threadHandles.end());
  return open;
}

SIZE_T SimHeapBytesLive() { return Sim().heapBytesLive; }
SIZE_T SimHeapBytesPeak() { return Sim().heapBytesPeak; }

bool SimBeginCall(SimService service) {
  SimState& sim = Sim();
  int call = ++sim.callCounts[static_cast<int>(service)];
  for (const SimFailure& failure : sim.failures) {
    if (failure.service == service && failure.nth == call) {
      if (failure.setsLastError) lastError = failure.lastError;
      return true;
    }
  }
  return false;
}

void SimEndCall(SimService service) {
  SimState& sim = Sim();
  if (sim.leavesLastError[static_cast<int>(service)]) {
    lastError = sim.lastErrorLeft[static_cast<int>(service)];
  }
}

SimEvent& SimLog(SimService service, bool failed, const void* object) {
  std::vector<SimEvent>& events = Sim().events;
  events.push_back(SimEvent{service, failed, object, 0, {}});
  return events.back();
}

void SimFault(const std::string& what) { Sim().faults.push_back(what); }

DWORD WINAPI GetLastError() { return lastError; }

void WINAPI SetLastError(DWORD error) { lastError = error; }
