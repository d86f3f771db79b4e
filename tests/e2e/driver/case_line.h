// One line of the driver's case file:
//   id=NAME app=HEX|- cmd=HEX|- timeout=MS dismiss=ok|none shot=none|ext
//   capture=0|1
// Byte strings are hex so that any byte, tabs and control bytes included,
// reaches CreateProcessA exactly; '-' passes NULL.
#pragma once

#include <windows.h>

struct CaseLine {
  char id[64];
  bool hasApp;
  char app[1024];
  bool hasCommand;
  char command[4096];
  DWORD timeoutMs;
  bool pressOk;      // dismiss=ok (the default) or leave the box up
  bool screenshot;   // shot=ext: the harness takes it while the driver waits
  bool capture;      // capture=1: the target's standard output is read
  const char* error; // why the line was rejected, or none
};

// Parses the line [begin, end) into *line.
void ParseCaseLine(const char* begin, const char* end, CaseLine* line);
