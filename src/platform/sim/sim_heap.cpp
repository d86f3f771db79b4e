// The process heap, with a ledger of every live block. Blocks come from
// malloc at their exact size, so the sanitizers see any access past the end.
#include <cstdlib>
#include <cstring>

#include "platform/sim/sim_state.h"

namespace {

// The one heap the simulated process has.
int processHeap;

// HeapAlloc without HEAP_ZERO_MEMORY hands out uninitialised memory; fill it
// so that code relying on zeros shows.
const unsigned char kFreshByte = 0xCD;

}  // namespace

HANDLE WINAPI GetProcessHeap() { return &processHeap; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  SimState& sim = Sim();
  if (SimBeginCall(SimService::HeapAlloc)) {
    SimLog(SimService::HeapAlloc, true, nullptr).size = bytes;
    return nullptr;
  }
  if (heap != &processHeap || flags != 0) {
    SimFault("HeapAlloc: not the process heap, or flags other than 0");
    SimLog(SimService::HeapAlloc, true, nullptr).size = bytes;
    return nullptr;
  }
  void* block = std::malloc(bytes != 0 ? bytes : 1);
  if (block == nullptr) {
    SimLog(SimService::HeapAlloc, true, nullptr).size = bytes;
    return nullptr;
  }
  std::memset(block, kFreshByte, bytes);
  sim.blocks[block] = bytes;
  sim.heapBytesLive += bytes;
  if (sim.heapBytesLive > sim.heapBytesPeak) {
    sim.heapBytesPeak = sim.heapBytesLive;
  }
  SimLog(SimService::HeapAlloc, false, block).size = bytes;
  SimEndCall(SimService::HeapAlloc);
  return block;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  SimState& sim = Sim();
  if (SimBeginCall(SimService::HeapFree)) {
    SimLog(SimService::HeapFree, true, block);
    return FALSE;
  }
  auto entry = sim.blocks.find(block);
  if (heap != &processHeap || flags != 0 || entry == sim.blocks.end()) {
    SimFault(std::string("HeapFree: ") +
             (entry == sim.blocks.end()
                  ? "a block that is not live (never handed out, or freed)"
                  : "not the process heap, or flags other than 0"));
    SimLog(SimService::HeapFree, true, block);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SimEvent& event = SimLog(SimService::HeapFree, false, block);
  const unsigned char* bytes = static_cast<const unsigned char*>(block);
  event.size = entry->second;
  event.contents.assign(bytes, bytes + entry->second);
  sim.heapBytesLive -= entry->second;
  sim.blocks.erase(entry);
  std::free(block);
  SimEndCall(SimService::HeapFree);
  return TRUE;
}
