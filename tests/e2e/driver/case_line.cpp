#include "case_line.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes hex into a NUL-terminated buffer; '-' means NULL.
bool DecodeBytes(const char* value, const char* end, char* out, DWORD size,
                 bool* present) {
  *present = !(end - value == 1 && *value == '-');
  out[0] = 0;
  if (!*present) return true;
  DWORD count = 0;
  while (value < end) {
    if (end - value < 2 || count + 1 >= size) return false;
    int high = HexDigit(value[0]);
    int low = HexDigit(value[1]);
    if (high < 0 || low < 0) return false;
    out[count++] = static_cast<char>(high * 16 + low);
    value += 2;
  }
  out[count] = 0;
  return true;
}

bool Equals(const char* begin, const char* end, const char* text) {
  while (begin < end && *text != 0 && *begin == *text) {
    ++begin;
    ++text;
  }
  return begin == end && *text == 0;
}

bool ReadNumber(const char* value, const char* end, DWORD* number) {
  DWORD result = 0;
  if (value == end) return false;
  for (; value < end; ++value) {
    if (*value < '0' || *value > '9') return false;
    result = result * 10 + static_cast<DWORD>(*value - '0');
  }
  *number = result;
  return true;
}

bool ApplyField(const char* key, const char* keyEnd, const char* value,
                const char* end, CaseLine* line) {
  if (Equals(key, keyEnd, "id")) {
    DWORD length = static_cast<DWORD>(end - value);
    if (length == 0 || length >= sizeof(line->id)) return false;
    for (DWORD i = 0; i < length; ++i) line->id[i] = value[i];
    line->id[length] = 0;
    return true;
  }
  if (Equals(key, keyEnd, "app")) {
    return DecodeBytes(value, end, line->app, sizeof(line->app),
                       &line->hasApp);
  }
  if (Equals(key, keyEnd, "cmd")) {
    return DecodeBytes(value, end, line->command, sizeof(line->command),
                       &line->hasCommand);
  }
  if (Equals(key, keyEnd, "timeout")) {
    return ReadNumber(value, end, &line->timeoutMs);
  }
  if (Equals(key, keyEnd, "dismiss")) {
    line->pressOk = Equals(value, end, "ok");
    return line->pressOk || Equals(value, end, "none");
  }
  if (Equals(key, keyEnd, "shot")) {
    line->screenshot = Equals(value, end, "ext");
    return line->screenshot || Equals(value, end, "none");
  }
  if (Equals(key, keyEnd, "capture")) {
    line->capture = Equals(value, end, "1");
    return line->capture || Equals(value, end, "0");
  }
  return false;
}

}  // namespace

void ParseCaseLine(const char* begin, const char* end, CaseLine* line) {
  line->id[0] = 0;
  line->hasApp = false;
  line->hasCommand = false;
  line->timeoutMs = 10000;
  line->pressOk = true;
  line->screenshot = false;
  line->capture = false;
  line->error = nullptr;

  const char* cursor = begin;
  while (cursor < end) {
    while (cursor < end && *cursor == ' ') ++cursor;
    if (cursor == end) break;
    const char* token = cursor;
    while (cursor < end && *cursor != ' ') ++cursor;
    const char* equals = token;
    while (equals < cursor && *equals != '=') ++equals;
    if (equals == cursor ||
        !ApplyField(token, equals, equals + 1, cursor, line)) {
      line->error = "bad field";
      return;
    }
  }
  if (line->id[0] == 0) line->error = "no id";
}
