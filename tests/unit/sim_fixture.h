// Shared by the unit tests: a fresh simulated process for every test, and a
// check that nothing misused the platform.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "platform/sim/sim_control.h"

// Every misuse of the platform that the simulation saw, as a test failure.
inline void ExpectNoFaults() {
  for (const std::string& fault : SimFaults()) ADD_FAILURE() << fault;
}

class SimFixture : public ::testing::Test {
 protected:
  void SetUp() override { SimReset(); }
  void TearDown() override {
    ExpectNoFaults();
    SimReset();
  }
};

// The argument text in a heap buffer of exactly its length and terminator,
// so that a read past the end is caught by AddressSanitizer.
inline std::vector<char> ExactText(const std::string& text) {
  return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

// Narrow test text to UTF-16, byte for byte; only for ASCII expectations.
inline std::u16string Wide(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

inline std::optional<std::u16string> WideOrNone(const WCHAR* text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(text);
}

inline const char* FailureName(LauncherFailure failure) {
  switch (failure) {
    case LauncherFailure::None: return "None";
    case LauncherFailure::InvalidArgs: return "InvalidArgs";
    case LauncherFailure::InvalidUser: return "InvalidUser";
    case LauncherFailure::InvalidPassword: return "InvalidPassword";
    case LauncherFailure::UnterminatedPassword: return "UnterminatedPassword";
    case LauncherFailure::InvalidCommandText: return "InvalidCommandText";
  }
  return "?";
}

inline std::ostream& operator<<(std::ostream& out, LauncherFailure failure) {
  return out << FailureName(failure);
}

// Runs the whole launcher on text, as WinMain would.
inline DWORD RunOn(const std::string& text) {
  std::vector<char> exact = ExactText(text);
  return RunLauncher(exact.data());
}

// The events of one service, in call order.
inline std::vector<SimEvent> EventsOf(SimService service) {
  std::vector<SimEvent> events;
  for (const SimEvent& event : SimEvents()) {
    if (event.service == service) events.push_back(event);
  }
  return events;
}

// The objects that the successful calls of service handed out or were about,
// in call order.
inline std::vector<const void*> ObjectsOf(SimService service) {
  std::vector<const void*> objects;
  for (const SimEvent& event : EventsOf(service)) {
    if (!event.failed) objects.push_back(event.object);
  }
  return objects;
}

// One call of a service, about one object: sequences of these show the order
// of releases, closes and waits.
struct ServiceCall {
  SimService service;
  const void* object;
  bool operator==(const ServiceCall& other) const {
    return service == other.service && object == other.object;
  }
};

inline std::ostream& operator<<(std::ostream& out, const ServiceCall& call) {
  return out << SimServiceName(call.service) << "(" << call.object << ")";
}

// The calls of any of services, in call order, failed ones included.
inline std::vector<ServiceCall> CallsOf(std::initializer_list<SimService> services) {
  std::vector<ServiceCall> calls;
  for (const SimEvent& event : SimEvents()) {
    for (SimService service : services) {
      if (event.service == service) calls.push_back(ServiceCall{service, event.object});
    }
  }
  return calls;
}

inline bool AllZero(const unsigned char* bytes, SIZE_T size) {
  for (SIZE_T i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

inline std::vector<const void*> LiveBlockPointers() {
  std::vector<const void*> live;
  for (const SimBlock& block : SimLiveBlocks()) live.push_back(block.block);
  return live;
}
