// Every platform call of the run, in order, against the model's prediction:
// the service, whether it failed, what it was about and its size.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "checks.h"

namespace {

std::string Pointer(const void* object) {
  char text[32];
  std::snprintf(text, sizeof(text), "%p", object);
  return text;
}

std::string DescribeExpected(const ModelEvent& event) {
  std::string out = SimServiceName(event.service);
  const ModelObject& object = event.object;
  std::string index = std::to_string(object.index);
  switch (object.kind) {
    case ModelObjectKind::None: break;
    case ModelObjectKind::HeapBlock: out += " block #" + index; break;
    case ModelObjectKind::EnvironmentBlock: out += " environment #" + index; break;
    case ModelObjectKind::ProcessHandle: out += " process"; break;
    case ModelObjectKind::ThreadHandle: out += " thread"; break;
    case ModelObjectKind::Text: out += " text+" + index; break;
    case ModelObjectKind::Option:
      out += std::string(" \"") + kModelOptions[object.index] + "\"";
      break;
  }
  if (event.size != 0) out += " size " + std::to_string(event.size);
  if (event.zeroed) out += " zeroed";
  return out + (event.failed ? " FAILS" : "");
}

std::string DescribeActual(const SimEvent& event) {
  std::string out = std::string(SimServiceName(event.service)) + " " +
                    Pointer(event.object);
  if (event.size != 0) out += " size " + std::to_string(event.size);
  return out + (event.failed ? " FAILS" : "");
}

const void* ExpectedObject(const CheckContext& context,
                           const ModelObject& object) {
  const SimLogonCall* call =
      SimLogonCalls().empty() ? nullptr : &SimLogonCalls()[0];
  switch (object.kind) {
    case ModelObjectKind::None:
    case ModelObjectKind::Option:
      return nullptr;
    case ModelObjectKind::HeapBlock:
      return ActualHeapBlock(object.index);
    case ModelObjectKind::EnvironmentBlock:
      return ActualEnvironmentBlock(object.index);
    case ModelObjectKind::ProcessHandle:
      return call != nullptr ? call->handedOut.hProcess : nullptr;
    case ModelObjectKind::ThreadHandle:
      return call != nullptr ? call->handedOut.hThread : nullptr;
    case ModelObjectKind::Text:
      return context.argumentText + object.index;
  }
  return nullptr;
}

bool Agrees(const CheckContext& context, const ModelEvent& expected,
            const SimEvent& actual) {
  if (expected.service != actual.service || expected.failed != actual.failed) {
    return false;
  }
  if (expected.object.kind == ModelObjectKind::Option) {
    // The option tried is the launcher's own text; read it.
    const char* option = static_cast<const char*>(actual.object);
    return option != nullptr &&
           std::strcmp(option, kModelOptions[expected.object.index]) == 0;
  }
  if (actual.object != ExpectedObject(context, expected.object)) return false;
  bool sized = expected.service == SimService::HeapAlloc ||
               expected.service == SimService::WaitForSingleObject;
  if (sized && actual.size != expected.size) return false;
  if (expected.zeroed &&
      !std::all_of(actual.contents.begin(), actual.contents.end(),
                   [](unsigned char byte) { return byte == 0; })) {
    return false;
  }
  return true;
}

}  // namespace

void CheckTrace(const CheckContext& context) {
  const std::vector<ModelEvent>& expected = context.model->platform.events;
  const std::vector<SimEvent>& actual = SimEvents();
  std::size_t common = std::min(expected.size(), actual.size());
  std::size_t first = 0;
  while (first < common && Agrees(context, expected[first], actual[first])) {
    ++first;
  }
  if (first == common && expected.size() == actual.size()) return;

  std::string report = "platform call " + std::to_string(first + 1) +
                       " differs from the model\n  expected:\n";
  for (const ModelEvent& event : expected) {
    report += "    " + DescribeExpected(event) + "\n";
  }
  report += "  made:\n";
  for (const SimEvent& event : actual) {
    report += "    " + DescribeActual(event) + "\n";
  }
  Breach(context, report);
}
