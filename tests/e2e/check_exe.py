#!/usr/bin/env python3
"""File checks of a built velmora.exe: size, imports, loader protections,
subsystem, no time stamp, and the version and manifest resources.

    check_exe.py --version 1.0.0 [--objdump x86_64-w64-mingw32-objdump] velmora.exe

Headers and imports come from objdump -p; the resources are read from the
file directly (objdump does not list them). Prints each problem and exits 1
if there is any.
"""

from __future__ import annotations

import argparse
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path
from typing import Dict, List, Optional, Set

MAX_SIZE = 12 * 1024

# Every function velmora.exe may import. A new import is a new dependency of
# the program on Windows: add it here on purpose, or not at all.
EXPECTED_IMPORTS: Dict[str, Set[str]] = {
    "KERNEL32.DLL": {
        "CloseHandle", "CompareStringA", "ExitProcess", "FreeEnvironmentStringsA",
        "GetCommandLineA", "GetEnvironmentStrings", "GetLastError", "GetModuleHandleA",
        "GetProcessHeap", "HeapAlloc", "HeapFree", "IsDBCSLeadByte", "MultiByteToWideChar",
        "SetLastError", "WaitForSingleObject", "lstrlenA",
    },
    "USER32.DLL": {"MessageBoxA"},
    "ADVAPI32.DLL": {"CreateProcessWithLogonW"},
}

HIGH_ENTROPY_VA = 0x0020
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
TERMINAL_SERVER_AWARE = 0x8000
REQUIRED_FLAGS = {"HIGH_ENTROPY_VA": HIGH_ENTROPY_VA, "DYNAMIC_BASE": DYNAMIC_BASE,
                  "NX_COMPAT": NX_COMPAT, "TERMINAL_SERVER_AWARE": TERMINAL_SERVER_AWARE}

RT_VERSION = 16
RT_MANIFEST = 24
SUPPORTED_OS = {
    "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


def objdump_facts(objdump: str, exe: Path) -> dict:
    text = subprocess.run([objdump, "-p", str(exe)], capture_output=True, text=True,
                          check=True).stdout

    def field(name: str) -> Optional[str]:
        m = re.search(rf"^{name}\s+(\S+)", text, re.M)
        return m.group(1) if m else None

    imports: Dict[str, Set[str]] = {}
    current = None
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            current = imports.setdefault(m.group(1).upper(), set())
            continue
        if current is None:
            continue
        # "<hint vma> <hint> <name>" lines follow their DLL's name; any other
        # non-blank line ends the DLL's list.
        m = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if m:
            current.add(m.group(1))
        elif line.strip() and not line.lstrip().startswith("vma:"):
            current = None
    return {
        "magic": field("Magic"),
        "subsystem": field("Subsystem"),
        "subsystem_version": (field("MajorSubsystemVersion"), field("MinorSubsystemVersion")),
        "dll_characteristics": int(field("DllCharacteristics") or "0", 16),
        "imports": imports,
    }


class PeFile:
    """Just enough of the PE format to reach the time stamp and resources."""

    def __init__(self, data: bytes):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        (_, self.section_count, self.timestamp, _, _, optional_size, _) = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data,
                                                                   optional + 112 + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(self.section_count):
            _, vsize, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data,
                                                                    table + 40 * i)
            self.sections.append((rva, max(vsize, raw_size), raw_offset))

    def offset(self, rva: int) -> int:
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} is in no section")

    def resources(self) -> Dict[tuple, bytes]:
        """(type, id) -> data of the first language, for numeric ids."""
        found: Dict[tuple, bytes] = {}
        if self.resource_rva == 0:
            return found
        root = self.offset(self.resource_rva)

        def entries(directory: int):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                yield name, target

        for kind, kind_target in entries(root):
            if kind & 0x80000000 or not kind_target & 0x80000000:
                continue
            for ident, id_target in entries(root + (kind_target & 0x7FFFFFFF)):
                if ident & 0x80000000 or not id_target & 0x80000000:
                    continue
                for _, leaf in entries(root + (id_target & 0x7FFFFFFF)):
                    rva, size = struct.unpack_from("<II", self.data, root + leaf)
                    start = self.offset(rva)
                    found.setdefault((kind, ident), self.data[start:start + size])
        return found


def check_manifest(data: Optional[bytes]) -> List[str]:
    if data is None:
        return ["no manifest (RT_MANIFEST id 1)"]
    try:
        root = ET.fromstring(data)
    except ET.ParseError as exc:
        return [f"the manifest is not XML: {exc}"]
    problems = []
    everything = list(root.iter())

    def local(element) -> str:
        return element.tag.rsplit("}", 1)[-1]

    levels = [e.get("level") for e in everything if local(e) == "requestedExecutionLevel"]
    if levels != ["asInvoker"]:
        problems.append(f"requestedExecutionLevel {levels}, expected asInvoker")
    ids = {e.get("Id", "").lower() for e in everything if local(e) == "supportedOS"}
    for name, guid in SUPPORTED_OS.items():
        if guid not in ids:
            problems.append(f"manifest lacks supportedOS {name}")
    aware = [(e.text or "").strip() for e in everything if local(e) == "dpiAware"]
    if aware != ["true/pm"]:
        problems.append(f"dpiAware {aware}, expected true/pm")
    awareness = [(e.text or "") for e in everything if local(e) == "dpiAwareness"]
    if len(awareness) != 1 or awareness[0].split(",")[0].strip() != "PerMonitorV2":
        problems.append(f"dpiAwareness {awareness}, expected PerMonitorV2 first")
    controls = [e for e in everything if local(e) == "assemblyIdentity"
                and e.get("name") == "Microsoft.Windows.Common-Controls"]
    if len(controls) != 1 or controls[0].get("version") != "6.0.0.0":
        problems.append("manifest lacks the Common-Controls 6.0.0.0 dependency")
    return problems


def check_version(data: Optional[bytes], version: str) -> List[str]:
    if data is None:
        return ["no version resource (RT_VERSION id 1)"]
    problems = []
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        return ["the version resource has no VS_FIXEDFILEINFO"]
    ms, ls = struct.unpack_from("<II", data, fixed + 8)
    numbers = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    wanted = tuple(int(n) for n in (version.split(".") + ["0", "0", "0"])[:4])
    if numbers != wanted:
        problems.append(f"file version {numbers}, expected {wanted}")
    for key, value in (("ProductName", "Velmora"), ("FileVersion", version),
                       ("ProductVersion", version)):
        if (key + "\0").encode("utf-16-le") not in data or \
                (value + "\0").encode("utf-16-le") not in data:
            problems.append(f"the version resource lacks {key} {value!r}")
    return problems


def check(exe: Path, version: str, objdump: str) -> List[str]:
    data = exe.read_bytes()
    problems = []
    if len(data) > MAX_SIZE:
        problems.append(f"{len(data)} bytes, more than {MAX_SIZE}")
    facts = objdump_facts(objdump, exe)
    if facts["magic"] != "020b":
        problems.append(f"not a 64-bit image (magic {facts['magic']})")
    if facts["subsystem"] != "00000002":
        problems.append(f"subsystem {facts['subsystem']}, expected 2 (Windows GUI)")
    if facts["subsystem_version"] != ("6", "0"):
        problems.append(f"subsystem version {'.'.join(facts['subsystem_version'])}, expected 6.0")
    for name, bit in REQUIRED_FLAGS.items():
        if not facts["dll_characteristics"] & bit:
            problems.append(f"DllCharacteristics {facts['dll_characteristics']:#06x} lacks {name}")
    imports = facts["imports"]
    for dll in sorted(set(imports) | set(EXPECTED_IMPORTS)):
        extra = imports.get(dll, set()) - EXPECTED_IMPORTS.get(dll, set())
        missing = EXPECTED_IMPORTS.get(dll, set()) - imports.get(dll, set())
        if extra:
            problems.append(f"unexpected imports from {dll}: {', '.join(sorted(extra))}")
        if missing:
            problems.append(f"expected imports from {dll} are gone: {', '.join(sorted(missing))}")
    pe = PeFile(data)
    if pe.timestamp != 0:
        problems.append(f"link time stamp {pe.timestamp:#x}: the build is not reproducible")
    resources = pe.resources()
    problems += check_version(resources.get((RT_VERSION, 1)), version)
    problems += check_manifest(resources.get((RT_MANIFEST, 1)))
    return problems


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--objdump", default="x86_64-w64-mingw32-objdump")
    parser.add_argument("exe", type=Path)
    args = parser.parse_args()
    problems = check(args.exe, args.version, args.objdump)
    for problem in problems:
        print(f"FAIL {args.exe.name}: {problem}")
    if not problems:
        print(f"ok   {args.exe.name}: {args.exe.stat().st_size} bytes, imports, "
              "protections, subsystem, resources")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
