// Building the driver's key=value output lines and writing them out whole.
#pragma once

#include <windows.h>

// One output block under construction; written with WriteLines.
struct Report {
  char text[24576];
  DWORD used;
};

void PutText(Report* report, const char* text);
void PutRaw(Report* report, const char* bytes, DWORD count);
void PutBytesHex(Report* report, const char* bytes, DWORD count);
void PutDecimal(Report* report, ULONGLONG value);
void PutHex(Report* report, ULONGLONG value);  // 0x..., lower case

// key=value lines in one call each.
void PutLineText(Report* report, const char* key, const char* value);
void PutLineDecimal(Report* report, const char* key, ULONGLONG value);
void PutLineHex(Report* report, const char* key, ULONGLONG value);
void PutLineBytes(Report* report, const char* key, const char* bytes,
                  DWORD count);

// Writes what the report holds to a standard handle and empties it. Nothing
// is buffered elsewhere, so the harness sees each block at once.
void WriteLines(Report* report, DWORD standardHandle);
