// What the run answers: the one message box or the one launch, the exit
// status, and the values the launch was given.
#include <cstdio>

#include "checks.h"

namespace {

const DWORD kFailureStatus = 0xFFFFFFFF;

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%lX", static_cast<unsigned long>(value));
  return text;
}

std::string Show(const std::optional<std::u16string>& text) {
  return text ? Quoted(*text) : "null";
}

void CheckString(const CheckContext& context, const char* name,
                 const std::optional<ModelString>& expected,
                 const std::optional<std::u16string>& actual,
                 const WCHAR* actualPointer) {
  std::optional<std::u16string> expectedText;
  if (expected) expectedText = expected->text;
  if (actual != expectedText) {
    Breach(context, std::string("launch ") + name + " is " + Show(actual) +
                        ", the request holds " + Show(expectedText));
  }
  // Handed on in place: the pointer lies where the model says in its buffer.
  const WCHAR* expectedPointer = nullptr;
  if (expected) {
    expectedPointer =
        static_cast<const WCHAR*>(ActualHeapBlock(expected->block)) +
        expected->offset;
  }
  if (actualPointer != expectedPointer) {
    Breach(context, std::string("launch ") + name +
                        " is not passed from its place in the request's "
                        "buffer");
  }
}

bool IsZeroButSize(const STARTUPINFOW& startup) {
  return startup.cb == sizeof(STARTUPINFOW) && startup.lpReserved == nullptr &&
         startup.lpDesktop == nullptr && startup.lpTitle == nullptr &&
         startup.dwX == 0 && startup.dwY == 0 && startup.dwXSize == 0 &&
         startup.dwYSize == 0 && startup.dwXCountChars == 0 &&
         startup.dwYCountChars == 0 && startup.dwFillAttribute == 0 &&
         startup.dwFlags == 0 && startup.wShowWindow == 0 &&
         startup.cbReserved2 == 0 && startup.lpReserved2 == nullptr &&
         startup.hStdInput == nullptr && startup.hStdOutput == nullptr &&
         startup.hStdError == nullptr;
}

}  // namespace

void CheckOutcome(const CheckContext& context) {
  const ModelRun& model = *context.model;
  const std::vector<SimMessageBox>& boxes = SimMessageBoxes();
  const std::vector<SimLogonCall>& calls = SimLogonCalls();
  bool boxed = boxes.size() == 1 && calls.empty();
  bool launched = boxes.empty() && calls.size() == 1;
  if (!boxed && !launched) {
    Breach(context, "not exactly one outcome: " +
                        std::to_string(boxes.size()) + " message boxes, " +
                        std::to_string(calls.size()) + " launch calls");
  }
  if (context.status == 0 && !(launched && calls[0].succeeded)) {
    Breach(context, "a run that started nothing exits 0");
  }
  if (context.status != model.status) {
    Breach(context, "exit status " + Hex(context.status) + ", expected " +
                        Hex(model.status));
  }

  bool rejected = model.outcome != ModelOutcome::Launched &&
                  model.outcome != ModelOutcome::LaunchFailed;
  if (rejected != boxed) {
    Breach(context, rejected ? "a rejected command line was launched"
                             : "an accepted command line was rejected");
  }
  if (boxed) {
    const SimMessageBox& box = boxes[0];
    if (box.text != model.boxText || box.caption != "Velmora Error" ||
        box.type != MB_OK || box.owner != nullptr) {
      Breach(context, "message box \"" + box.text + "\" / \"" + box.caption +
                          "\" / style " + Hex(box.type) +
                          (box.owner != nullptr ? " / owned" : " / no owner") +
                          ", expected \"" + model.boxText +
                          "\" / \"Velmora Error\" / MB_OK / no owner");
    }
    if (model.outcome == ModelOutcome::InvalidArgs &&
        context.status != kFailureStatus) {
      Breach(context, "invalid arguments must exit -1");
    }
    return;
  }
  if (calls[0].succeeded != (model.outcome == ModelOutcome::Launched)) {
    Breach(context, "the launch call's success is not what the script says");
  }
}

void CheckLaunchCall(const CheckContext& context) {
  const ModelRun& model = *context.model;
  if (SimLogonCalls().size() != 1) return;
  const SimLogonCall& call = SimLogonCalls()[0];

  CheckString(context, "user name", model.user, call.username,
              call.usernamePointer);
  CheckString(context, "domain", model.domain, call.domain,
              call.domainPointer);
  CheckString(context, "password", model.password, call.password,
              call.passwordPointer);
  CheckString(context, "command line", model.command, call.commandLine,
              call.commandLinePointer);

  DWORD logonFlags = model.noProfile ? 0 : LOGON_WITH_PROFILE;
  if (call.logonFlags != logonFlags) {
    Breach(context, "logon flags " + Hex(call.logonFlags) + ", expected " +
                        Hex(logonFlags));
  }
  if (call.applicationNamePointer != nullptr) {
    Breach(context, "the launch was given an application name");
  }
  if (call.creationFlags != 0) {
    Breach(context, "creation flags " + Hex(call.creationFlags) +
                        ", expected 0");
  }
  const void* environment =
      model.environment != 0 ? ActualEnvironmentBlock(model.environment)
                             : nullptr;
  if (call.environment != environment) {
    Breach(context, environment != nullptr
                        ? "the launch was not given the captured environment"
                        : "the launch was given an environment block");
  }
  if (call.currentDirectoryPointer != nullptr) {
    Breach(context, "the launch was given a current directory");
  }
  if (!call.hasStartupInfo || !IsZeroButSize(call.startupInfo)) {
    Breach(context, "startup information missing or not zero but its size");
  }
  if (!call.hasProcessInformation) {
    Breach(context, "the launch had nowhere to put the process information");
  }
}
