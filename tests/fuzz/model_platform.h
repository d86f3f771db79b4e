// The reference model's view of the platform: every call the launcher must
// make, whether the script fails it, what the thread's last error is after
// it, and what is handed out and still held. Calls are counted per service
// exactly as the simulated platform counts them, so a scripted failure is
// predicted by call number, not looked up in the run's log.
#pragma once

#include <vector>

#include "fuzz_case.h"

enum class ModelObjectKind {
  None,
  HeapBlock,         // index: which HeapAlloc call handed it out (from 1)
  EnvironmentBlock,  // index: which GetEnvironmentStrings call (from 1)
  ProcessHandle,
  ThreadHandle,
  Text,    // index: a byte offset into the argument text
  Option,  // index: the option tried, in the order of kModelOptions
};

struct ModelObject {
  ModelObjectKind kind;
  int index;
};

struct ModelEvent {
  SimService service;
  bool failed;
  ModelObject object;
  SIZE_T size;  // HeapAlloc: bytes asked for; WaitForSingleObject: timeout
  bool zeroed;  // a successful HeapFree: the block holds only zeros
};

struct ModelPlatform {
  const FuzzCase* script;
  int calls[static_cast<int>(SimService::Count)];
  DWORD lastError;
  std::vector<ModelEvent> events;
  std::vector<int> liveBlocks;        // HeapBlock indexes
  std::vector<int> liveEnvironments;  // EnvironmentBlock indexes
  bool processOpen;
  bool threadOpen;
};

extern const char* const kModelOptions[5];

ModelPlatform NewModelPlatform(const FuzzCase* script);

// Each returns what the launcher sees; a failure leaves the last error the
// script (or the platform itself) gives.
bool ModelCompareStringA(ModelPlatform* platform, int option, bool equal);
bool ModelMultiByteToWideChar(ModelPlatform* platform, int textOffset,
                              bool validText);
int ModelHeapAlloc(ModelPlatform* platform, SIZE_T bytes);  // 0: failed
void ModelHeapFree(ModelPlatform* platform, int block, bool zeroed);
int ModelGetEnvironmentStrings(ModelPlatform* platform);  // 0: failed
void ModelFreeEnvironmentStrings(ModelPlatform* platform, int environment);
bool ModelCreateProcessWithLogonW(ModelPlatform* platform);
void ModelCloseHandle(ModelPlatform* platform, ModelObjectKind handle);
void ModelWaitForSingleObject(ModelPlatform* platform);
void ModelMessageBoxA(ModelPlatform* platform);
