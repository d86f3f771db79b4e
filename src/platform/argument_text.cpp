#include "platform/argument_text.h"

// A quoted name runs to the next double quote; inside it a lead byte of the
// ANSI code page takes the byte after it along (unless that byte ends the
// text), so a trail byte is never read as the closing quote. An unquoted name
// runs to the first byte at or below 0x20. Then every byte from 0x01 to 0x20
// is skipped. No quote state outlives the name, so a caller's
// "C:\Tools\velmora.exe"/user:... keeps its first option.
LPSTR FindArgumentText(LPSTR commandLine) {
  const char kQuote = '"';
  const BYTE kBlank = 0x20;
  char* cursor = commandLine;

  if (*cursor == kQuote) {
    ++cursor;
    while (*cursor != 0 && *cursor != kQuote) {
      if (IsDBCSLeadByte(static_cast<BYTE>(*cursor)) && cursor[1] != 0) {
        ++cursor;
      }
      ++cursor;
    }
    if (*cursor == kQuote) ++cursor;
  } else {
    while (static_cast<BYTE>(*cursor) > kBlank) ++cursor;
  }

  while (*cursor != 0 && static_cast<BYTE>(*cursor) <= kBlank) ++cursor;
  return cursor;
}
