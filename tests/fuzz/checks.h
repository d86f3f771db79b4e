// The properties every run must have, checked against the simulated
// platform's records and the model's prediction. A breach is reported on
// stderr with the case that shows it, and the process aborts.
#pragma once

#include <string>

#include "fuzz_case.h"
#include "model.h"

struct CheckContext {
  const FuzzCase* fuzzCase;
  const ModelRun* model;
  const char* argumentText;  // the buffer the launcher was given
  DWORD status;              // what RunLauncher returned
};

[[noreturn]] void Breach(const CheckContext& context, const std::string& what);

// The block handed out by the nth HeapAlloc call of the run, or the
// environment block of the nth GetEnvironmentStrings call; null when that
// call failed or never happened.
const void* ActualHeapBlock(int nth);
const void* ActualEnvironmentBlock(int nth);

std::string Quoted(const std::u16string& text);

// Exactly one outcome, and box, caption, style, owner and status as the
// outcome table says.
void CheckOutcome(const CheckContext& context);
// The eleven values the launch received.
void CheckLaunchCall(const CheckContext& context);
// Releases: once each, in order, password zeroed; what stays allocated.
void CheckReleases(const CheckContext& context);
// The thread and process handles, and the wait.
void CheckHandles(const CheckContext& context);
// Every platform call, in order, as the model predicts it.
void CheckTrace(const CheckContext& context);

void CheckRun(const CheckContext& context);
