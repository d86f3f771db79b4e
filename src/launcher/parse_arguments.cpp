#include "launcher/launcher.h"

namespace {

enum class Option { NoProfile, Environment, Wait, User, Password };

struct OptionEntry {
  LPCSTR text;
  int length;
  Option option;
};

// Tested in this order at every option position. The switches carry their
// trailing space, so "/wait" at the end or "/waitx" is no option.
const OptionEntry kOptions[] = {
    {"/noprofile ", 11, Option::NoProfile},
    {"/env ", 5, Option::Environment},
    {"/wait ", 6, Option::Wait},
    {"/user:", 6, Option::User},
    {"/password:", 10, Option::Password},
};

const char kSpace = ' ';
const char kQuote = '"';
const WCHAR kWideQuote = 0x0022;

LPCSTR SkipSpaces(LPCSTR cursor) {
  while (*cursor == kSpace) ++cursor;
  return cursor;
}

void DropQuotes(WCHAR* text) {
  WCHAR* out = text;
  for (const WCHAR* in = text; *in != 0; ++in) {
    if (*in != kWideQuote) *out++ = *in;
  }
  *out = 0;
}

// The /user: value runs to the first space outside a quoted run; quotes
// only group, they are not part of the account name.
LauncherFailure ScanUser(LPCSTR* cursor, LaunchRequest* request) {
  LPCSTR start = *cursor;
  if (*start == 0 || *start == kSpace) return LauncherFailure::InvalidArgs;

  bool quoted = false;
  bool named = false;
  LPCSTR end = start;
  for (; quoted || *end != kSpace; ++end) {
    // The command must still follow the value, after a space.
    if (*end == 0) return LauncherFailure::InvalidArgs;
    if (*end == kQuote) {
      quoted = !quoted;
    } else {
      named = true;
    }
  }
  if (!named) return LauncherFailure::InvalidArgs;

  WCHAR* buffer = AnsiToWide(start, static_cast<int>(end - start));
  if (buffer == nullptr) return LauncherFailure::InvalidUser;
  // An earlier buffer stays allocated: a domain it gave may still be used.
  request->userBuffer = buffer;
  DropQuotes(buffer);
  SplitAccount(buffer, request);
  *cursor = end;
  return LauncherFailure::None;
}

// The /password: value runs to the first space; quotes are ordinary bytes.
LauncherFailure ScanPassword(LPCSTR* cursor, LaunchRequest* request) {
  LPCSTR start = *cursor;
  if (*start == 0 || *start == kSpace) return LauncherFailure::InvalidPassword;

  LPCSTR end = start;
  while (*end != kSpace) {
    if (*end == 0) return LauncherFailure::UnterminatedPassword;
    ++end;
  }

  WCHAR* buffer = AnsiToWide(start, static_cast<int>(end - start));
  if (buffer == nullptr) return LauncherFailure::InvalidPassword;
  // A replaced password is never used again; it stays allocated until the
  // process ends, but not readable.
  if (request->password != nullptr) ErasePassword(request->password);
  request->password = buffer;
  *cursor = end;
  return LauncherFailure::None;
}

LauncherFailure ApplyOption(Option option, LPCSTR* cursor,
                            LaunchRequest* request) {
  switch (option) {
    case Option::NoProfile:
      request->noProfile = true;
      return LauncherFailure::None;
    case Option::Environment:
      // Captured now, handed on unchanged; an earlier capture stays
      // allocated until the process ends.
      request->environment = GetEnvironmentStrings();
      return LauncherFailure::None;
    case Option::Wait:
      request->wait = true;
      return LauncherFailure::None;
    case Option::User:
      return ScanUser(cursor, request);
    case Option::Password:
      return ScanPassword(cursor, request);
  }
  return LauncherFailure::InvalidArgs;
}

}  // namespace

bool MatchOption(LPCSTR text, LPCSTR option) {
  int length = lstrlenA(option);
  // Never compare past the end of the argument text.
  for (int i = 0; i < length; ++i) {
    if (text[i] == 0) return false;
  }
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, option, length,
                        text, length) == CSTR_EQUAL;
}

LauncherFailure ParseArguments(LPCSTR argumentText, LaunchRequest* request) {
  LPCSTR cursor = SkipSpaces(argumentText);
  while (*cursor == '/') {
    const OptionEntry* match = nullptr;
    for (const OptionEntry& entry : kOptions) {
      if (MatchOption(cursor, entry.text)) {
        match = &entry;
        break;
      }
    }
    if (match == nullptr) return LauncherFailure::InvalidArgs;

    cursor += match->length;
    LauncherFailure failure = ApplyOption(match->option, &cursor, request);
    if (failure != LauncherFailure::None) return failure;
    cursor = SkipSpaces(cursor);
  }

  // The command is the rest of the text, unchanged: later slashes, quotes
  // and trailing spaces all belong to it. It may be empty.
  request->command = AnsiToWide(cursor, -1);
  if (request->command == nullptr) return LauncherFailure::InvalidCommandText;
  return LauncherFailure::None;
}
