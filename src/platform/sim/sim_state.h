// The simulated process's state, shared by the services' files.
#pragma once

#include <map>
#include <unordered_map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim_control.h"

struct SimFailure {
  SimService service;
  int nth;
  bool setsLastError;
  DWORD lastError;
};

struct SimState {
  UINT codePage;
  std::string environment;
  std::vector<SimFailure> failures;
  bool leavesLastError[static_cast<int>(SimService::Count)];
  DWORD lastErrorLeft[static_cast<int>(SimService::Count)];
  int callCounts[static_cast<int>(SimService::Count)];

  std::vector<SimEvent> events;
  std::vector<SimLogonCall> logonCalls;
  std::vector<SimMessageBox> messageBoxes;
  std::vector<std::string> faults;

  // Hashed: a run with thousands of repeated options keeps thousands of
  // blocks live, and the ledger must not make its cost grow faster than them.
  std::unordered_map<const void*, SIZE_T> blocks;
  SIZE_T heapBytesLive;
  SIZE_T heapBytesPeak;
  std::map<const void*, SIZE_T> environmentBlocks;  // block -> bytes
  std::set<HANDLE> processHandles;
  std::set<HANDLE> threadHandles;
  std::uintptr_t nextHandle;
};

SimState& Sim();

// Counts a call of service and says whether the script makes it fail; if so
// the thread's last error is already set.
bool SimBeginCall(SimService service);

// Ends a successful call: applies SimLeaveLastError.
void SimEndCall(SimService service);

SimEvent& SimLog(SimService service, bool failed, const void* object);
void SimFault(const std::string& what);
