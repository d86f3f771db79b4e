// Cutting the argument text out of the process command line: the program's
// name, then the blanks after it, are skipped.
#include <gtest/gtest.h>

#include "platform/argument_text.h"
#include "sim_fixture.h"

namespace {

struct FindCase {
  int line;
  UINT codePage;
  const char* commandLine;
  const char* rest;  // always a suffix of commandLine
};

const FindCase kCases[] = {
    // A quoted name runs to the closing quote, which is dropped too.
    {__LINE__, 1252, "\"C:\\Tools\\velmora.exe\" /user:x cmd", "/user:x cmd"},
    {__LINE__, 1252, "\"C:\\Tools\\velmora.exe\"/user:x cmd", "/user:x cmd"},
    {__LINE__, 1252, "\"C:\\Program Files\\velmora.exe\" cmd", "cmd"},
    {__LINE__, 1252, "\"\" cmd", "cmd"},
    {__LINE__, 1252, "\"velmora.exe\"", ""},
    {__LINE__, 1252, "\"velmora.exe\"x\"y\" z", "x\"y\" z"},
    // Without a closing quote the name is the whole line.
    {__LINE__, 1252, "\"C:\\Tools\\velmora.exe /user:x cmd", ""},
    {__LINE__, 1252, "\"", ""},

    // An unquoted name ends at the first byte at or below 0x20.
    {__LINE__, 1252, "velmora.exe /wait cmd", "/wait cmd"},
    {__LINE__, 1252, "velmora.exe\t/wait cmd", "/wait cmd"},
    {__LINE__, 1252, "velmora.exe\x01/wait cmd", "/wait cmd"},
    {__LINE__, 1252, "velmora.exe\x1F/wait cmd", "/wait cmd"},
    {__LINE__, 1252, "v\xE9lmora\x7F.exe cmd", "cmd"},
    {__LINE__, 1252, "velmora.exe", ""},
    {__LINE__, 1252, "", ""},

    // Every blank from 0x01 to 0x20 after the name goes; nothing above.
    {__LINE__, 1252, "velmora.exe \t\x01\x0A\x1F\x20 /wait", "/wait"},
    {__LINE__, 1252, "velmora.exe   ", ""},
    {__LINE__, 1252, "velmora.exe \x7F/wait", "\x7F/wait"},
    {__LINE__, 1252, "velmora.exe \xA0/wait", "\xA0/wait"},
    {__LINE__, 1252, "velmora.exe \x21x", "!x"},
    {__LINE__, 1252, "\"velmora.exe\" \t cmd  ", "cmd  "},

    // Under 932 a lead byte takes the next byte along, even a quote, so the
    // name runs on to the next quote.
    {__LINE__, 932, "\"C:\\\x95\x5C\\v.exe\" cmd", "cmd"},
    {__LINE__, 932, "\"ab\x81\" cmd\" rest", "rest"},
    {__LINE__, 932, "\"\xE0\" a\" b", "b"},
    {__LINE__, 932, "\"\xFC\"\" b", "b"},
    {__LINE__, 932, "\"ab\x81\" cmd", ""},
    // A lead byte that ends the text takes nothing along.
    {__LINE__, 932, "\"ab\x81", ""},
    {__LINE__, 932, "\"\x81", ""},
    // Not lead bytes in 932: single-byte katakana and the high single bytes.
    {__LINE__, 932, "\"\xA1\" a\" b", "a\" b"},
    {__LINE__, 932, "\"\xFD\" a\" b", "a\" b"},
    {__LINE__, 932, "\"\x80\" a\" b", "a\" b"},
    // Outside the quotes no byte pairs up.
    {__LINE__, 932, "v\x81 cmd", "cmd"},

    // Under 1252 the same bytes are single characters.
    {__LINE__, 1252, "\"ab\x81\" cmd\" rest", "cmd\" rest"},
    {__LINE__, 1252, "\"\xE0\" a\" b", "a\" b"},
    {__LINE__, 1252, "\"ab\x81", ""},
};

class FindArgumentTextTest : public SimFixture {};

TEST_F(FindArgumentTextTest, Table) {
  for (const FindCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    SimReset();
    SimSetCodePage(c.codePage);
    const std::string commandLine = c.commandLine;
    const std::string rest = c.rest;
    ASSERT_LE(rest.size(), commandLine.size());
    std::vector<char> exact = ExactText(commandLine);

    LPSTR found = FindArgumentText(exact.data());

    // Pointer and text: the result lies inside the line, at its suffix.
    EXPECT_EQ(found, exact.data() + (commandLine.size() - rest.size()));
    EXPECT_EQ(std::string(found), rest);
  }
}

}  // namespace
