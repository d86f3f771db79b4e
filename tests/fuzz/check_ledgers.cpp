// What the run holds and gives back: heap and environment blocks, and the
// handles of the started process.
#include <algorithm>
#include <set>

#include "checks.h"

namespace {

struct Holding {
  const void* object;
  int releases;
  bool live;
};

// Counts release calls (failed ones too) per block handed out; a block freed
// and handed out again at the same address is a new holding.
void CountRelease(const CheckContext& context, std::vector<Holding>* holdings,
                  const SimEvent& event, const char* what) {
  for (auto holding = holdings->rbegin(); holding != holdings->rend();
       ++holding) {
    if (holding->object == event.object && holding->live) {
      if (++holding->releases > 1) {
        Breach(context, std::string(what) + " released twice");
      }
      if (!event.failed) holding->live = false;
      return;
    }
  }
  Breach(context, std::string(what) +
                      " released that was never handed out or is released");
}

bool IsOutcomeCall(SimService service) {
  return service == SimService::MessageBoxA ||
         service == SimService::CreateProcessWithLogonW ||
         service == SimService::CloseHandle ||
         service == SimService::WaitForSingleObject;
}

struct Release {
  SimService service;
  const void* object;
  const char* name;
};

bool AllZero(const void* block, SIZE_T size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(block);
  return std::all_of(bytes, bytes + size,
                     [](unsigned char byte) { return byte == 0; });
}

// A password block still allocated after the run must hold only zeros.
void CheckErasedIfLive(const CheckContext& context, const void* block,
                       const char* what) {
  for (const SimBlock& live : SimLiveBlocks()) {
    if (live.block == block && !AllZero(live.block, live.size)) {
      Breach(context, std::string(what) + " still readable after the run");
    }
  }
}

}  // namespace

void CheckReleases(const CheckContext& context) {
  const ModelRun& model = *context.model;
  const std::vector<SimEvent>& events = SimEvents();

  std::vector<Holding> blocks;
  std::vector<Holding> environments;
  std::size_t outcomeEnd = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const SimEvent& event = events[i];
    if (event.service == SimService::HeapAlloc && !event.failed) {
      blocks.push_back(Holding{event.object, 0, true});
    }
    if (event.service == SimService::GetEnvironmentStrings && !event.failed) {
      environments.push_back(Holding{event.object, 0, true});
    }
    if (event.service == SimService::HeapFree) {
      CountRelease(context, &blocks, event, "a heap block");
    }
    if (event.service == SimService::FreeEnvironmentStringsA) {
      CountRelease(context, &environments, event, "an environment block");
    }
    if (IsOutcomeCall(event.service)) outcomeEnd = i + 1;
  }

  // After the outcome: exactly what the request holds, in the fixed order.
  std::vector<Release> held;
  if (model.userBlock != 0) {
    held.push_back(Release{SimService::HeapFree,
                           ActualHeapBlock(model.userBlock), "user buffer"});
  }
  if (model.password) {
    held.push_back(Release{SimService::HeapFree,
                           ActualHeapBlock(model.password->block),
                           "password buffer"});
  }
  if (model.command) {
    held.push_back(Release{SimService::HeapFree,
                           ActualHeapBlock(model.command->block),
                           "command buffer"});
  }
  if (model.environment != 0) {
    held.push_back(Release{SimService::FreeEnvironmentStringsA,
                           ActualEnvironmentBlock(model.environment),
                           "environment block"});
  }
  std::size_t tail = events.size() - outcomeEnd;
  if (tail != held.size()) {
    Breach(context, std::to_string(tail) + " releases after the outcome, " +
                        "the request holds " + std::to_string(held.size()));
  }
  for (std::size_t i = 0; i < held.size(); ++i) {
    const SimEvent& event = events[outcomeEnd + i];
    if (event.service != held[i].service || event.object != held[i].object) {
      Breach(context, "release " + std::to_string(i + 1) +
                          " after the outcome is not the " + held[i].name +
                          " (order: user, password, command, environment)");
    }
    bool password = model.password &&
                    held[i].object == ActualHeapBlock(model.password->block);
    if (password && !event.failed &&
        !AllZero(event.contents.data(), event.contents.size())) {
      Breach(context, "the password buffer was released unerased");
    }
  }

  // Still allocated: what repeated options replaced, and what the platform
  // refused to release.
  std::set<const void*> expected;
  for (int block : model.platform.liveBlocks) {
    expected.insert(ActualHeapBlock(block));
  }
  std::set<const void*> live;
  for (const SimBlock& block : SimLiveBlocks()) live.insert(block.block);
  if (live != expected) {
    Breach(context, std::to_string(live.size()) +
                        " heap blocks live after the run, expected " +
                        std::to_string(expected.size()));
  }
  std::set<const void*> expectedEnvironments;
  for (int environment : model.platform.liveEnvironments) {
    expectedEnvironments.insert(ActualEnvironmentBlock(environment));
  }
  std::vector<const void*> liveList = SimLiveEnvironmentBlocks();
  if (std::set<const void*>(liveList.begin(), liveList.end()) !=
      expectedEnvironments) {
    Breach(context, std::to_string(liveList.size()) +
                        " environment blocks live after the run, expected " +
                        std::to_string(expectedEnvironments.size()));
  }

  for (int block : model.replacedPasswords) {
    CheckErasedIfLive(context, ActualHeapBlock(block), "a replaced password");
  }
  if (model.password) {
    CheckErasedIfLive(context, ActualHeapBlock(model.password->block),
                      "the password");
  }
}

void CheckHandles(const CheckContext& context) {
  const std::vector<SimEvent>& events = SimEvents();
  std::vector<std::size_t> closes;
  std::vector<std::size_t> waits;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].service == SimService::CloseHandle) closes.push_back(i);
    if (events[i].service == SimService::WaitForSingleObject) {
      waits.push_back(i);
    }
  }
  const std::vector<SimLogonCall>& calls = SimLogonCalls();
  bool started = calls.size() == 1 && calls[0].succeeded;
  if (!started) {
    if (!closes.empty() || !waits.empty() || !SimOpenHandles().empty()) {
      Breach(context, "handles closed, waited on or open without a process");
    }
    return;
  }

  HANDLE thread = calls[0].handedOut.hThread;
  HANDLE process = calls[0].handedOut.hProcess;
  if (closes.size() != 2 || events[closes[0]].object != thread ||
      events[closes[1]].object != process) {
    Breach(context, "the thread handle and then the process handle must "
                    "each be closed once");
  }
  if (context.model->wait) {
    if (waits.size() != 1 || events[waits[0]].object != process ||
        events[waits[0]].size != INFINITE || waits[0] < closes[0] ||
        waits[0] > closes[1]) {
      Breach(context, "with /wait, one endless wait on the process between "
                      "closing the thread and closing the process");
    }
  } else if (!waits.empty()) {
    Breach(context, "a wait without /wait");
  }

  std::set<HANDLE> expectedOpen;
  if (events[closes[0]].failed) expectedOpen.insert(thread);
  if (events[closes[1]].failed) expectedOpen.insert(process);
  std::vector<HANDLE> open = SimOpenHandles();
  if (std::set<HANDLE>(open.begin(), open.end()) != expectedOpen) {
    Breach(context, "open handles after the run are not the ones whose "
                    "closing failed");
  }
}
