#include "model.h"

#include <cstring>

namespace {

enum { kNoProfile, kEnvironment, kWait, kUser, kPassword, kOptionCount };

const char kSpace = ' ';
const DWORD kFailureStatus = 0xFFFFFFFF;

char ByteAt(const std::string& text, std::size_t at) {
  return at < text.size() ? text[at] : 0;
}

std::size_t SkipSpaces(const std::string& text, std::size_t at) {
  while (ByteAt(text, at) == kSpace) ++at;
  return at;
}

char FoldAscii(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 0x20) : byte;
}

// The options are ASCII; the platform folds only ASCII letters onto them, so
// a plain ASCII case-insensitive comparison says what it answers. It is only
// asked when the text still holds all of the option's bytes.
bool MatchesOption(ModelPlatform* platform, const std::string& text,
                   std::size_t at, int option) {
  const char* optionText = kModelOptions[option];
  std::size_t length = std::strlen(optionText);
  if (text.size() - at < length) return false;
  bool equal = true;
  for (std::size_t i = 0; i < length; ++i) {
    equal = equal && FoldAscii(text[at + i]) == optionText[i];
  }
  return ModelCompareStringA(platform, option, equal);
}

// The platform's conversion of count bytes at offset (-1: through the
// terminating zero), or none when a byte is invalid in the code page.
std::optional<std::u16string> ConvertPlainly(const std::string& text,
                                             std::size_t offset, int count) {
  const char* bytes = text.c_str() + offset;
  int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, count,
                                  nullptr, 0);
  if (units == 0) return std::nullopt;
  std::u16string converted(static_cast<std::size_t>(units), u'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, count,
                      converted.data(), units);
  return converted;
}

struct Converted {
  int block;
  std::u16string text;
};

// The conversion as the run makes it: measure, allocate one unit more,
// convert, and free the buffer when the second call fails.
std::optional<Converted> Convert(ModelPlatform* platform,
                                 const std::string& text, std::size_t offset,
                                 int count) {
  std::optional<std::u16string> units = ConvertPlainly(text, offset, count);
  int at = static_cast<int>(offset);
  if (!ModelMultiByteToWideChar(platform, at, units.has_value())) {
    return std::nullopt;
  }
  int block = ModelHeapAlloc(platform, (units->size() + 1) * sizeof(WCHAR));
  if (block == 0) return std::nullopt;
  if (!ModelMultiByteToWideChar(platform, at, true)) {
    ModelHeapFree(platform, block, false);
    return std::nullopt;
  }
  return Converted{block, *units};
}

ModelOutcome ReadUser(ModelPlatform* platform, const std::string& text,
                      std::size_t* at, ModelRun* run) {
  std::size_t start = *at;
  if (ByteAt(text, start) == 0 || ByteAt(text, start) == kSpace) {
    return ModelOutcome::InvalidArgs;
  }
  bool quoted = false;
  bool named = false;
  std::size_t end = start;
  for (;; ++end) {
    char byte = ByteAt(text, end);
    if (byte == 0) return ModelOutcome::InvalidArgs;
    if (byte == kSpace && !quoted) break;
    if (byte == '"') {
      quoted = !quoted;
    } else {
      named = true;
    }
  }
  if (!named) return ModelOutcome::InvalidArgs;

  std::optional<Converted> value =
      Convert(platform, text, start, static_cast<int>(end - start));
  if (!value) return ModelOutcome::InvalidUser;

  std::u16string account;
  for (char16_t unit : value->text) {
    if (unit != u'"') account += unit;
  }
  int block = value->block;
  std::size_t split = account.find_first_of(u"\\@");
  run->userBlock = block;
  if (split == std::u16string::npos) {
    run->user = ModelString{block, 0, account};
  } else if (account[split] == u'\\') {
    run->domain = ModelString{block, 0, account.substr(0, split)};
    run->user = ModelString{block, split + 1, account.substr(split + 1)};
  } else {
    run->user = ModelString{block, 0, account.substr(0, split)};
    run->domain = ModelString{block, split + 1, account.substr(split + 1)};
  }
  *at = end;
  return ModelOutcome::Accepted;
}

ModelOutcome ReadPassword(ModelPlatform* platform, const std::string& text,
                          std::size_t* at, ModelRun* run) {
  std::size_t start = *at;
  if (ByteAt(text, start) == 0 || ByteAt(text, start) == kSpace) {
    return ModelOutcome::InvalidPassword;
  }
  std::size_t end = start;
  while (ByteAt(text, end) != kSpace) {
    if (ByteAt(text, end) == 0) return ModelOutcome::UnterminatedPassword;
    ++end;
  }
  std::optional<Converted> value =
      Convert(platform, text, start, static_cast<int>(end - start));
  if (!value) return ModelOutcome::InvalidPassword;

  if (run->password) run->replacedPasswords.push_back(run->password->block);
  run->password = ModelString{value->block, 0, value->text};
  *at = end;
  return ModelOutcome::Accepted;
}

ModelOutcome Parse(ModelPlatform* platform, const std::string& text,
                   ModelRun* run) {
  std::size_t at = SkipSpaces(text, 0);
  while (ByteAt(text, at) == '/') {
    int option = 0;
    while (option < kOptionCount &&
           !MatchesOption(platform, text, at, option)) {
      ++option;
    }
    if (option == kOptionCount) return ModelOutcome::InvalidArgs;
    at += std::strlen(kModelOptions[option]);

    ModelOutcome outcome = ModelOutcome::Accepted;
    if (option == kNoProfile) run->noProfile = true;
    if (option == kEnvironment) {
      run->environment = ModelGetEnvironmentStrings(platform);
    }
    if (option == kWait) run->wait = true;
    if (option == kUser) outcome = ReadUser(platform, text, &at, run);
    if (option == kPassword) outcome = ReadPassword(platform, text, &at, run);
    if (outcome != ModelOutcome::Accepted) return outcome;
    at = SkipSpaces(text, at);
  }

  std::optional<Converted> command = Convert(platform, text, at, -1);
  if (!command) return ModelOutcome::InvalidCommandText;
  command->text.pop_back();  // the converted terminating zero
  run->command = ModelString{command->block, 0, command->text};
  return ModelOutcome::Accepted;
}

const char* BoxText(ModelOutcome outcome) {
  switch (outcome) {
    case ModelOutcome::InvalidUser: return "Invalid User.";
    case ModelOutcome::InvalidPassword: return "Invalid Passowrd.";
    case ModelOutcome::InvalidCommandText: return "Invalid Comand Line Args.";
    default: return "Invalid Command Line Args.";
  }
}

DWORD Mended(DWORD error) { return error != 0 ? error : kFailureStatus; }

}  // namespace

ModelRun ModelRunLauncher(const FuzzCase& fuzzCase) {
  ModelRun run{};
  run.platform = NewModelPlatform(&fuzzCase);
  ModelPlatform* platform = &run.platform;

  ModelOutcome parsed = Parse(platform, fuzzCase.text, &run);
  if (parsed != ModelOutcome::Accepted) {
    run.outcome = parsed;
    run.boxText = BoxText(parsed);
    ModelMessageBoxA(platform);
    run.status = parsed == ModelOutcome::InvalidArgs
                     ? kFailureStatus
                     : Mended(platform->lastError);
  } else {
    // The launch clears the last error first: a failure that sets none
    // reports -1, never an error left behind by an earlier call.
    platform->lastError = 0;
    if (!ModelCreateProcessWithLogonW(platform)) {
      run.outcome = ModelOutcome::LaunchFailed;
      run.status = Mended(platform->lastError);
    } else {
      run.outcome = ModelOutcome::Launched;
      run.status = 0;
      ModelCloseHandle(platform, ModelObjectKind::ThreadHandle);
      if (run.wait) ModelWaitForSingleObject(platform);
      ModelCloseHandle(platform, ModelObjectKind::ProcessHandle);
    }
  }

  if (run.userBlock != 0) ModelHeapFree(platform, run.userBlock, false);
  if (run.password) ModelHeapFree(platform, run.password->block, true);
  if (run.command) ModelHeapFree(platform, run.command->block, false);
  if (run.environment != 0) {
    ModelFreeEnvironmentStrings(platform, run.environment);
  }
  return run;
}
