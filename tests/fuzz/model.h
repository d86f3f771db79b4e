// The reference model of a whole run: a plain restatement of the launcher's
// grammar, outcome table and release order, written without the launcher's
// code. It predicts the result, the request handed to the launch, and every
// platform call in order (through ModelPlatform).
//
// It converts text with the platform's own MultiByteToWideChar, called
// directly: call it on a fresh simulated process that has the run's code page
// and nothing scripted, then reset the platform before the real run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model_platform.h"

enum class ModelOutcome {
  Accepted,  // parsed; only while the run is modelled
  Launched,
  LaunchFailed,
  InvalidArgs,
  InvalidUser,
  InvalidPassword,
  UnterminatedPassword,
  InvalidCommandText,
};

// A string handed to the launch: the heap block it lies in, where it starts
// there (in UTF-16 units) and its text.
struct ModelString {
  int block;
  std::size_t offset;
  std::u16string text;
};

struct ModelRun {
  ModelOutcome outcome;
  const char* boxText;  // a rejected command line only
  DWORD status;

  // The request as parsing leaves it. A block index of 0 means none.
  int userBlock;
  std::optional<ModelString> user;
  std::optional<ModelString> domain;
  std::optional<ModelString> password;
  std::optional<ModelString> command;
  int environment;  // which GetEnvironmentStrings call; 0: none
  bool noProfile;
  bool wait;
  // Password blocks replaced by a later /password:, zeroed at replacement.
  std::vector<int> replacedPasswords;

  // The calls made and what is still held after the run.
  ModelPlatform platform;
};

ModelRun ModelRunLauncher(const FuzzCase& fuzzCase);
