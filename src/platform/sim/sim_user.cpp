// The message box: recorded, dismissed at once.
#include "platform/sim/sim_state.h"

#define IDOK 1

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  SimState& sim = Sim();
  sim.messageBoxes.push_back(SimMessageBox{owner, text != nullptr ? text : "",
                                           caption != nullptr ? caption : "",
                                           type});
  if (SimBeginCall(SimService::MessageBoxA)) {
    SimLog(SimService::MessageBoxA, true, nullptr);
    return 0;
  }
  SimLog(SimService::MessageBoxA, false, nullptr);
  SimEndCall(SimService::MessageBoxA);
  return IDOK;
}
