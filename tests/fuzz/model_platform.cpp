#include "model_platform.h"

#include <algorithm>

const char* const kModelOptions[5] = {"/noprofile ", "/env ", "/wait ",
                                      "/user:", "/password:"};

namespace {

// Counts the call; when the script names it, the call fails with the
// scripted error, or keeping the last error (the first entry naming it wins).
bool FailsByScript(ModelPlatform* platform, SimService service) {
  int call = ++platform->calls[static_cast<int>(service)];
  for (const FuzzFailure& failure : platform->script->failures) {
    if (failure.service == service && failure.nth == call) {
      if (failure.setsLastError) platform->lastError = failure.lastError;
      return true;
    }
  }
  return false;
}

// A successful call leaves the error the script names for it, if any (the
// latest entry wins), and otherwise does not touch the last error.
void Succeeds(ModelPlatform* platform, SimService service) {
  for (const FuzzLeftError& left : platform->script->leftErrors) {
    if (left.service == service) platform->lastError = left.lastError;
  }
}

void Log(ModelPlatform* platform, SimService service, bool failed,
         ModelObject object, SIZE_T size = 0, bool zeroed = false) {
  platform->events.push_back(ModelEvent{service, failed, object, size, zeroed});
}

void Forget(std::vector<int>* live, int index) {
  live->erase(std::remove(live->begin(), live->end(), index), live->end());
}

}  // namespace

ModelPlatform NewModelPlatform(const FuzzCase* script) {
  ModelPlatform platform{};
  platform.script = script;
  platform.lastError = script->startingLastError;
  return platform;
}

bool ModelCompareStringA(ModelPlatform* platform, int option, bool equal) {
  ModelObject object{ModelObjectKind::Option, option};
  if (FailsByScript(platform, SimService::CompareStringA)) {
    Log(platform, SimService::CompareStringA, true, object);
    return false;
  }
  Log(platform, SimService::CompareStringA, false, object);
  Succeeds(platform, SimService::CompareStringA);
  return equal;
}

bool ModelMultiByteToWideChar(ModelPlatform* platform, int textOffset,
                              bool validText) {
  ModelObject object{ModelObjectKind::Text, textOffset};
  if (FailsByScript(platform, SimService::MultiByteToWideChar)) {
    Log(platform, SimService::MultiByteToWideChar, true, object);
    return false;
  }
  if (!validText) {
    Log(platform, SimService::MultiByteToWideChar, true, object);
    platform->lastError = ERROR_NO_UNICODE_TRANSLATION;
    return false;
  }
  Log(platform, SimService::MultiByteToWideChar, false, object);
  Succeeds(platform, SimService::MultiByteToWideChar);
  return true;
}

int ModelHeapAlloc(ModelPlatform* platform, SIZE_T bytes) {
  if (FailsByScript(platform, SimService::HeapAlloc)) {
    Log(platform, SimService::HeapAlloc, true, ModelObject{}, bytes);
    return 0;
  }
  int block = platform->calls[static_cast<int>(SimService::HeapAlloc)];
  platform->liveBlocks.push_back(block);
  Log(platform, SimService::HeapAlloc, false,
      ModelObject{ModelObjectKind::HeapBlock, block}, bytes);
  Succeeds(platform, SimService::HeapAlloc);
  return block;
}

void ModelHeapFree(ModelPlatform* platform, int block, bool zeroed) {
  ModelObject object{ModelObjectKind::HeapBlock, block};
  if (FailsByScript(platform, SimService::HeapFree)) {
    // The block stays allocated; its contents are not recorded.
    Log(platform, SimService::HeapFree, true, object);
    return;
  }
  Forget(&platform->liveBlocks, block);
  Log(platform, SimService::HeapFree, false, object, 0, zeroed);
  Succeeds(platform, SimService::HeapFree);
}

int ModelGetEnvironmentStrings(ModelPlatform* platform) {
  if (FailsByScript(platform, SimService::GetEnvironmentStrings)) {
    Log(platform, SimService::GetEnvironmentStrings, true, ModelObject{});
    return 0;
  }
  int environment =
      platform->calls[static_cast<int>(SimService::GetEnvironmentStrings)];
  platform->liveEnvironments.push_back(environment);
  Log(platform, SimService::GetEnvironmentStrings, false,
      ModelObject{ModelObjectKind::EnvironmentBlock, environment});
  Succeeds(platform, SimService::GetEnvironmentStrings);
  return environment;
}

void ModelFreeEnvironmentStrings(ModelPlatform* platform, int environment) {
  ModelObject object{ModelObjectKind::EnvironmentBlock, environment};
  if (FailsByScript(platform, SimService::FreeEnvironmentStringsA)) {
    Log(platform, SimService::FreeEnvironmentStringsA, true, object);
    return;
  }
  Forget(&platform->liveEnvironments, environment);
  Log(platform, SimService::FreeEnvironmentStringsA, false, object);
  Succeeds(platform, SimService::FreeEnvironmentStringsA);
}

bool ModelCreateProcessWithLogonW(ModelPlatform* platform) {
  if (FailsByScript(platform, SimService::CreateProcessWithLogonW)) {
    Log(platform, SimService::CreateProcessWithLogonW, true, ModelObject{});
    return false;
  }
  platform->processOpen = true;
  platform->threadOpen = true;
  Log(platform, SimService::CreateProcessWithLogonW, false,
      ModelObject{ModelObjectKind::ProcessHandle, 0});
  Succeeds(platform, SimService::CreateProcessWithLogonW);
  return true;
}

void ModelCloseHandle(ModelPlatform* platform, ModelObjectKind handle) {
  ModelObject object{handle, 0};
  if (FailsByScript(platform, SimService::CloseHandle)) {
    Log(platform, SimService::CloseHandle, true, object);
    return;
  }
  if (handle == ModelObjectKind::ThreadHandle) platform->threadOpen = false;
  if (handle == ModelObjectKind::ProcessHandle) platform->processOpen = false;
  Log(platform, SimService::CloseHandle, false, object);
  Succeeds(platform, SimService::CloseHandle);
}

void ModelWaitForSingleObject(ModelPlatform* platform) {
  ModelObject object{ModelObjectKind::ProcessHandle, 0};
  bool failed = FailsByScript(platform, SimService::WaitForSingleObject);
  Log(platform, SimService::WaitForSingleObject, failed, object, INFINITE);
  if (!failed) Succeeds(platform, SimService::WaitForSingleObject);
}

void ModelMessageBoxA(ModelPlatform* platform) {
  bool failed = FailsByScript(platform, SimService::MessageBoxA);
  Log(platform, SimService::MessageBoxA, failed, ModelObject{});
  if (!failed) Succeeds(platform, SimService::MessageBoxA);
}
