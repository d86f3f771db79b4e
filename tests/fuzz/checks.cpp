#include "checks.h"

#include <cstdio>
#include <cstdlib>

namespace {

const void* NthObject(SimService service, int nth) {
  int seen = 0;
  for (const SimEvent& event : SimEvents()) {
    if (event.service == service && ++seen == nth) {
      return event.failed ? nullptr : event.object;
    }
  }
  return nullptr;
}

}  // namespace

void Breach(const CheckContext& context, const std::string& what) {
  std::fprintf(stderr, "\nvelmora fuzz: BREACH: %s\n%sexit status %lu\n",
               what.c_str(), DescribeFuzzCase(*context.fuzzCase).c_str(),
               static_cast<unsigned long>(context.status));
  std::abort();
}

const void* ActualHeapBlock(int nth) {
  return NthObject(SimService::HeapAlloc, nth);
}

const void* ActualEnvironmentBlock(int nth) {
  return NthObject(SimService::GetEnvironmentStrings, nth);
}

std::string Quoted(const std::u16string& text) {
  std::string out = "\"";
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char escaped[10];
      std::snprintf(escaped, sizeof(escaped), "\\u%04X", unit);
      out += escaped;
    }
  }
  return out + "\"";
}

void CheckRun(const CheckContext& context) {
  for (const std::string& fault : SimFaults()) {
    Breach(context, "the platform was misused: " + fault);
  }
  CheckOutcome(context);
  CheckLaunchCall(context);
  CheckReleases(context);
  CheckHandles(context);
  // Last: the properties above give the clearer message for what they cover.
  CheckTrace(context);
}
