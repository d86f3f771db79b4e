#include "report.h"

namespace {

void PutChar(Report* report, char c) {
  // A block never comes near the size; a full one is cut, not overrun.
  if (report->used < sizeof(report->text)) report->text[report->used++] = c;
}

}  // namespace

void PutText(Report* report, const char* text) {
  while (*text != 0) PutChar(report, *text++);
}

void PutRaw(Report* report, const char* bytes, DWORD count) {
  for (DWORD i = 0; i < count; ++i) PutChar(report, bytes[i]);
}

void PutBytesHex(Report* report, const char* bytes, DWORD count) {
  const char kDigits[] = "0123456789abcdef";
  for (DWORD i = 0; i < count; ++i) {
    BYTE b = static_cast<BYTE>(bytes[i]);
    PutChar(report, kDigits[b >> 4]);
    PutChar(report, kDigits[b & 15]);
  }
}

void PutDecimal(Report* report, ULONGLONG value) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) PutChar(report, digits[--count]);
}

void PutHex(Report* report, ULONGLONG value) {
  const char kDigits[] = "0123456789abcdef";
  char digits[20];
  int count = 0;
  do {
    digits[count++] = kDigits[value & 15];
    value >>= 4;
  } while (value != 0);
  PutText(report, "0x");
  while (count > 0) PutChar(report, digits[--count]);
}

void PutLineText(Report* report, const char* key, const char* value) {
  PutText(report, key);
  PutChar(report, '=');
  PutText(report, value);
  PutChar(report, '\n');
}

void PutLineDecimal(Report* report, const char* key, ULONGLONG value) {
  PutText(report, key);
  PutChar(report, '=');
  PutDecimal(report, value);
  PutChar(report, '\n');
}

void PutLineHex(Report* report, const char* key, ULONGLONG value) {
  PutText(report, key);
  PutChar(report, '=');
  PutHex(report, value);
  PutChar(report, '\n');
}

void PutLineBytes(Report* report, const char* key, const char* bytes,
                  DWORD count) {
  PutText(report, key);
  PutChar(report, '=');
  PutBytesHex(report, bytes, count);
  PutChar(report, '\n');
}

void WriteLines(Report* report, DWORD standardHandle) {
  HANDLE out = GetStdHandle(standardHandle);
  DWORD done = 0;
  while (done < report->used) {
    DWORD written = 0;
    if (!WriteFile(out, report->text + done, report->used - done, &written,
                   nullptr) ||
        written == 0) {
      break;
    }
    done += written;
  }
  report->used = 0;
}
