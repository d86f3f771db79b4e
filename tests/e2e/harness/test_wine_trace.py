#!/usr/bin/env python3
"""Unit tests for wine_trace. The lines below were printed by Wine 8.0
(Debian 8.0~repack-4), copied verbatim from its stderr: the first ones by
velmora.exe, the others by a test program that passed what velmora never
does (an application name, a directory, a creation flag, long or wide
text), so that every shape of value is read."""

import sys
import unittest
from pathlib import Path

# Nothing compiled is written into the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

from wine_trace import (Atom, TraceFormatError, WStr, parse_logon_line,  # noqa: E402
                        parse_wstr, split_by_case, utf16_units)

PLAIN = ('0218:021c:fixme:advapi:CreateProcessWithLogonW L"bob" L"corp" L"pw" 0x00000000 '
         '(null) L"cmd" 0x00000000 0000000000350170 (null) 000000000021FCE8 '
         '000000000021FCD0 stub')
EMPTY_DOMAIN = ('01e0:01e4:fixme:advapi:CreateProcessWithLogonW L"bob" L"" L"pw" 0x00000001 '
                '(null) L"cmd" 0x00000000 0000000000000000 (null) 000000000021FCE8 '
                '000000000021FCD0 stub')
NO_ARGUMENTS = ('0238:023c:fixme:advapi:CreateProcessWithLogonW (null) (null) (null) 0x00000001 '
                '(null) L"" 0x00000000 0000000000000000 (null) 000000000021FCE8 '
                '000000000021FCD0 stub')
ESCAPES = ('0248:024c:fixme:advapi:CreateProcessWithLogonW (null) (null) (null) 0x00000001 '
           '(null) L"notepad.exe \\"C:\\\\a b.txt\\"" 0x00000000 0000000000000000 (null) '
           '000000000021FCE8 000000000021FCD0 stub')
CP932 = ('0130:0134:fixme:advapi:CreateProcessWithLogonW L"\\8868" L"corp" L"\\8868" 0x00000001 '
         '(null) L"cmd \\8868" 0x00000000 0000000000000000 (null) 000000000021FCE8 '
         '000000000021FCD0 stub')
WIDE = ('0120:0124:fixme:advapi:CreateProcessWithLogonW L"\\00f6ser" L"dom\\00e4in" L"pa\\4e2d" '
        '0x00000001 L"C:\\\\x\\\\\\00fc.exe" L"\\00e9\\8868\\d83d\\de00\\t\\n\\"\\\\ \\0001\\007f" '
        '0x00000000 0000000000000000 L"C:\\\\t\\00e8mp" 000000000021FD48 000000000021FD30 stub')
NULLS = ('0118:011c:fixme:advapi:CreateProcessWithLogonW L"" (null) L"" 0x00000001 (null) L"" '
         '0x00000400 0000000000000000 (null) 000000000021FD48 000000000021FD30 stub')
TRUNCATED = ('0108:010c:fixme:advapi:CreateProcessWithLogonW L"bob" L"corp" L"secret" 0x00000001 '
             '(null) L"' + 'a' * 289 + '"... 0x00000000 0000000000000000 (null) '
             '000000000021FD48 000000000021FD30 stub')
OVERFLOW = ('0100:0104:fixme:advapi:CreateProcessWithLogonW 0100:0104:err:thread:append_output '
            'debug buffer overflow:')


class DebugStrW(unittest.TestCase):
    def test_null_empty_atom(self):
        self.assertIsNone(parse_wstr("(null)"))
        self.assertEqual(parse_wstr('L""'), WStr(""))
        self.assertEqual(parse_wstr("#0011"), Atom(0x11))

    def test_escapes(self):
        self.assertEqual(parse_wstr('L"a\\tb\\nc\\rd\\"e\\\\f"').units, 'a\tb\nc\rd"e\\f')
        self.assertEqual(parse_wstr('L"\\0001\\007f\\00e9"').units, "\x01\x7f\u00e9")

    def test_backslash_before_hex_digits_is_literal(self):
        # a literal backslash followed by "0041" must not read as U+0041
        self.assertEqual(parse_wstr('L"\\\\0041"').units, "\\0041")

    def test_surrogates_compare_with_astral_text(self):
        value = parse_wstr('L"\\d83d\\de00"')
        self.assertTrue(value.matches("\U0001F600"))
        self.assertFalse(value.matches("\ud83d"))
        self.assertEqual(utf16_units("\U0001F600"), "\ud83d\ude00")

    def test_truncated_matches_prefix_only(self):
        value = parse_wstr('L"abc"...')
        self.assertTrue(value.truncated)
        self.assertTrue(value.matches("abcdef"))
        self.assertFalse(value.matches("abc"))      # cut means there was more
        self.assertFalse(value.matches("abxdef"))

    def test_rejects_malformed(self):
        for bad in ('L"abc', 'L"\\q"', 'L"\\12"', '"abc"', 'L"a" x', "#12"):
            with self.assertRaises(TraceFormatError, msg=bad):
                parse_wstr(bad)


class LogonLine(unittest.TestCase):
    def test_plain(self):
        c = parse_logon_line(PLAIN)
        self.assertEqual((c.pid, c.tid), (0x218, 0x21C))
        self.assertTrue(c.username.matches("bob"))
        self.assertTrue(c.domain.matches("corp"))
        self.assertTrue(c.password.matches("pw"))
        self.assertEqual(c.logon_flags, 0)
        self.assertIsNone(c.application_name)
        self.assertTrue(c.command_line.matches("cmd"))
        self.assertEqual(c.creation_flags, 0)
        self.assertEqual(c.environment, 0x350170)
        self.assertIsNone(c.current_directory)
        self.assertEqual(c.startup_info, 0x21FCE8)
        self.assertEqual(c.process_information, 0x21FCD0)

    def test_null_and_empty_differ(self):
        self.assertEqual(parse_logon_line(EMPTY_DOMAIN).domain, WStr(""))
        c = parse_logon_line(NO_ARGUMENTS)
        self.assertEqual((c.username, c.domain, c.password), (None, None, None))
        self.assertEqual(c.command_line, WStr(""))
        self.assertFalse(c.command_line.matches("x"))

    def test_quotes_and_backslashes(self):
        c = parse_logon_line(ESCAPES)
        self.assertTrue(c.command_line.matches('notepad.exe "C:\\a b.txt"'))

    def test_nulls_and_empties_differ(self):
        c = parse_logon_line(NULLS)
        self.assertEqual(c.username, WStr(""))
        self.assertIsNone(c.domain)
        self.assertEqual(c.command_line, WStr(""))
        self.assertEqual(c.creation_flags, 0x400)

    def test_wide(self):
        c = parse_logon_line(WIDE)
        self.assertTrue(c.username.matches("\u00f6ser"))
        self.assertTrue(c.application_name.matches("C:\\x\\\u00fc.exe"))
        self.assertTrue(c.command_line.matches("\u00e9\u8868\U0001F600\t\n\"\\ \x01\x7f"))
        self.assertTrue(c.current_directory.matches("C:\\t\u00e8mp"))

    def test_cp932(self):
        c = parse_logon_line(CP932)
        self.assertTrue(c.username.matches("\u8868"))
        self.assertTrue(c.command_line.matches("cmd \u8868"))

    def test_truncated(self):
        c = parse_logon_line(TRUNCATED)
        self.assertTrue(c.command_line.truncated)
        self.assertTrue(c.command_line.matches("a" * 400))
        self.assertEqual(c.creation_flags, 0)

    def test_other_lines_are_ignored(self):
        self.assertIsNone(parse_logon_line(
            "0108:010c:fixme:imm:ImeSetActiveContext (0000000000010052, 1): stub"))
        self.assertIsNone(parse_logon_line("e2e-driver:begin=plain"))

    def test_overflow_and_damaged_lines_raise(self):
        with self.assertRaises(TraceFormatError):
            parse_logon_line(OVERFLOW)
        with self.assertRaises(TraceFormatError):
            parse_logon_line(PLAIN.replace(" stub", ""))
        with self.assertRaises(TraceFormatError):
            parse_logon_line(PLAIN.replace("0x00000000 (null)", "0x0 (null)", 1))


class Segments(unittest.TestCase):
    def test_split_and_filter_by_pid(self):
        text = "\n".join([
            "0040:0044:fixme:imm:ImmReleaseContext (1, 2): stub",
            "e2e-driver:begin=a",
            PLAIN,
            "0040:0044:fixme:imm:ImmReleaseContext (1, 2): stub",
            "e2e-driver:end=a",
            "e2e-driver:begin=b",
            PLAIN,  # same pid reused in another case
            "e2e-driver:end=b",
        ])
        seg = split_by_case(text)
        self.assertEqual(sorted(seg), ["a", "b"])
        self.assertEqual(len(seg["a"].lines), 2)
        self.assertEqual(len(seg["a"].logon_calls(0x218)), 1)
        self.assertEqual(seg["a"].logon_calls(0x40), [])
        self.assertEqual(len(seg["b"].logon_calls(0x218)), 1)

    def test_overflow_detected(self):
        seg = split_by_case("e2e-driver:begin=x\n" + OVERFLOW + "\ne2e-driver:end=x\n")["x"]
        self.assertTrue(seg.overflowed(0x100))
        self.assertFalse(seg.overflowed(0x108))


if __name__ == "__main__":
    unittest.main()
