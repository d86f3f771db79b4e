#include "launcher/launcher.h"

// Splits an account name in place at its first backslash (domain\user) or
// at sign (user@domain). The domain is only set when the value names one, so
// a domain given by an earlier /user: survives a later value without one.
void SplitAccount(WCHAR* buffer, LaunchRequest* request) {
  const WCHAR kBackslash = 0x005C;
  const WCHAR kAtSign = 0x0040;

  for (WCHAR* unit = buffer; *unit != 0; ++unit) {
    if (*unit == kBackslash) {
      *unit = 0;
      request->domain = buffer;
      request->user = unit + 1;
      return;
    }
    if (*unit == kAtSign) {
      *unit = 0;
      request->user = buffer;
      request->domain = unit + 1;
      return;
    }
  }
  request->user = buffer;
}
