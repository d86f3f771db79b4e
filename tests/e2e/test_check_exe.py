#!/usr/bin/env python3
"""The file checks must fail on a damaged velmora.exe. Each case patches a
copy of the built file the way a faulty build would leave it and expects the
matching problem, and nothing but it. Every patch keeps the length of what
it replaces, so the rest of the file stays where it was.

    test_check_exe.py --version 1.0.0 --objdump OBJDUMP velmora.exe
"""

import argparse
import struct
import sys
import tempfile
import unittest
from pathlib import Path

# Nothing compiled is written into the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

import check_exe  # noqa: E402

ARGS = None


def header_offsets(data: bytes) -> dict:
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    return {"timestamp": pe + 8, "subsystem": optional + 68,
            "dll_characteristics": optional + 70, "resource_entry": optional + 112 + 16}


def put16(data: bytearray, offset: int, value: int) -> None:
    struct.pack_into("<H", data, offset, value)


class DamagedExecutable(unittest.TestCase):
    def setUp(self):
        self.original = ARGS.exe.read_bytes()
        self.at = header_offsets(self.original)
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def problems(self, data: bytes) -> list:
        path = Path(self.tmp.name) / "velmora.exe"
        path.write_bytes(bytes(data))
        return check_exe.check(path, ARGS.version, ARGS.objdump)

    def test_the_built_file_passes(self):
        self.assertEqual(self.problems(self.original), [])

    def test_each_protection_is_required(self):
        flags = struct.unpack_from("<H", self.original, self.at["dll_characteristics"])[0]
        for name, bit in check_exe.REQUIRED_FLAGS.items():
            with self.subTest(name):
                data = bytearray(self.original)
                put16(data, self.at["dll_characteristics"], flags & ~bit)
                problems = self.problems(data)
                self.assertEqual(len(problems), 1, problems)
                self.assertIn(f"lacks {name}", problems[0])

    def test_console_subsystem(self):
        data = bytearray(self.original)
        put16(data, self.at["subsystem"], 3)
        self.assertEqual(self.problems(data),
                         ["subsystem 00000003, expected 2 (Windows GUI)"])

    def test_new_import(self):
        data = self.original.replace(b"lstrlenA\0", b"lstrlenW\0")
        self.assertNotEqual(data, self.original)
        self.assertEqual(self.problems(data), [
            "unexpected imports from KERNEL32.DLL: lstrlenW",
            "expected imports from KERNEL32.DLL are gone: lstrlenA"])

    def test_new_library(self):
        data = self.original.replace(b"USER32.dll\0", b"SHELL3.dll\0")
        self.assertEqual(self.problems(data), [
            "unexpected imports from SHELL3.DLL: MessageBoxA",
            "expected imports from USER32.DLL are gone: MessageBoxA"])

    def test_time_stamp(self):
        data = bytearray(self.original)
        struct.pack_into("<I", data, self.at["timestamp"], 0x5F000000)
        self.assertEqual(self.problems(data),
                         ["link time stamp 0x5f000000: the build is not reproducible"])

    def test_no_resources(self):
        data = bytearray(self.original)
        struct.pack_into("<II", data, self.at["resource_entry"], 0, 0)
        self.assertEqual(self.problems(data), ["no version resource (RT_VERSION id 1)",
                                               "no manifest (RT_MANIFEST id 1)"])

    def test_manifest_content(self):
        data = self.original.replace(b'level="asInvoker"', b'level="requireAd"')
        data = data.replace(b"PerMonitorV2,", b"PerMonitor  ,")
        self.assertEqual(self.problems(data), [
            "requestedExecutionLevel ['requireAd'], expected asInvoker",
            "dpiAwareness ['PerMonitor  , PerMonitor'], expected PerMonitorV2 first"])

    def test_version_mismatch(self):
        problems = check_exe.check(ARGS.exe, "9.8.7", ARGS.objdump)
        self.assertEqual(len(problems), 3, problems)
        self.assertRegex(problems[0], r"^file version \(.*\), expected \(9, 8, 7, 0\)$")
        self.assertEqual(problems[1:], ["the version resource lacks FileVersion '9.8.7'",
                                        "the version resource lacks ProductVersion '9.8.7'"])

    def test_too_big(self):
        data = self.original + b"\0" * (check_exe.MAX_SIZE + 1 - len(self.original))
        self.assertEqual(self.problems(data),
                         [f"{check_exe.MAX_SIZE + 1} bytes, more than {check_exe.MAX_SIZE}"])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--objdump", default="x86_64-w64-mingw32-objdump")
    parser.add_argument("exe", type=Path)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
