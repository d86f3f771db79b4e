"""Parsing of Wine's debug trace as the end-to-end tests see it.

Wine (8.x) prints the CreateProcessWithLogonW stub as one fixme line:

    PPPP:TTTT:fixme:advapi:CreateProcessWithLogonW <user> <domain> <password>
        0x%08x <application> <command line> 0x%08x %p <current dir> %p %p stub

(one line; PPPP is the process id when WINEDEBUG has +pid, TTTT the thread
id). The string values are printed with debugstr_w:

  * a NULL pointer           ->  (null)
  * a value below 0x10000    ->  #xxxx            (an atom / resource id)
  * anything else            ->  L"..."           or L"..."... when cut
Inside the quotes: \\n \\r \\t \\" \\\\ are escaped; every other code unit below
0x20 or from 0x7f up is \\xxxx (four lowercase hex digits, no 'x'); UTF-16
surrogates appear as two separate escapes. A string is cut after about 289
plain characters (escapes use up the limit faster) and then ends in "...

%p prints 16 upper-case hex digits, so NULL is 0000000000000000.
"""

from __future__ import annotations

import re
from dataclasses import dataclass
from typing import List, Optional, Tuple, Union

LOGON_FUNCTION = "CreateProcessWithLogonW"

# Longest trace line seen to survive: Wine 8 keeps a per-thread buffer of about
# 1 KiB for one debug line; a line of 1024+ characters overflows it, Wine
# prints "err:thread:append_output debug buffer overflow" and the process dies
# with exception 0x80000005. Lines up to 1018 characters were printed whole.
MAX_SAFE_TRACE_LINE = 1018

_TRACE_LINE = re.compile(
    r"^(?:(?P<pid>[0-9a-f]{4,8}):)?(?P<tid>[0-9a-f]{4,8}):(?P<cls>fixme|err|warn|trace):"
    r"(?P<channel>[^:]+):(?P<func>[^ ]+) ?(?P<rest>.*)$"
)


class TraceFormatError(ValueError):
    pass


@dataclass(frozen=True)
class WStr:
    """A debugstr_w value: code units as a str (one char per UTF-16 unit)."""

    units: str
    truncated: bool = False

    def matches(self, expected: str) -> bool:
        """True when `expected` is exactly this value (or, for a cut value,
        starts with the part that was printed)."""
        want = utf16_units(expected)
        if self.truncated:
            return want.startswith(self.units) and len(want) > len(self.units)
        return want == self.units


@dataclass(frozen=True)
class Atom:
    """debugstr_w of a pointer value below 0x10000."""

    value: int


StrValue = Union[None, WStr, Atom]


def utf16_units(text: str) -> str:
    """Maps `text` to one char per UTF-16 code unit (splits astral chars into
    their surrogates), the form WStr.units uses."""
    data = text.encode("utf-16-le", "surrogatepass")
    return "".join(chr(int.from_bytes(data[i:i + 2], "little")) for i in range(0, len(data), 2))


def _parse_wstr(text: str, pos: int) -> Tuple[StrValue, int]:
    """Parses one debugstr_w token starting at text[pos]; returns the value and
    the index just past it."""
    if text.startswith("(null)", pos):
        return None, pos + 6
    if text.startswith("#", pos):
        m = re.compile(r"#([0-9a-f]{4})").match(text, pos)
        if not m:
            raise TraceFormatError(f"bad atom at {pos}: {text[pos:pos + 10]!r}")
        return Atom(int(m.group(1), 16)), m.end()
    if not text.startswith('L"', pos):
        raise TraceFormatError(f"expected a string at {pos}: {text[pos:pos + 20]!r}")
    i = pos + 2
    out = []
    simple = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
    while True:
        if i >= len(text):
            raise TraceFormatError("unterminated string")
        c = text[i]
        if c == '"':
            i += 1
            break
        if c == "\\":
            nxt = text[i + 1:i + 2]
            if nxt in simple:
                out.append(simple[nxt])
                i += 2
                continue
            digits = text[i + 1:i + 5]
            if len(digits) == 4 and re.fullmatch(r"[0-9a-f]{4}", digits):
                out.append(chr(int(digits, 16)))
                i += 5
                continue
            raise TraceFormatError(f"bad escape at {i}: {text[i:i + 6]!r}")
        out.append(c)
        i += 1
    truncated = text.startswith("...", i)
    if truncated:
        i += 3
    return WStr("".join(out), truncated), i


def parse_wstr(token: str) -> StrValue:
    value, end = _parse_wstr(token, 0)
    if end != len(token):
        raise TraceFormatError(f"trailing text after string: {token[end:]!r}")
    return value


@dataclass(frozen=True)
class LogonCall:
    pid: Optional[int]
    tid: int
    username: StrValue
    domain: StrValue
    password: StrValue
    logon_flags: int
    application_name: StrValue
    command_line: StrValue
    creation_flags: int
    environment: int
    current_directory: StrValue
    startup_info: int
    process_information: int
    line: str


def parse_logon_line(line: str) -> Optional[LogonCall]:
    """Returns the parsed call if `line` is the CreateProcessWithLogonW fixme
    line, None for any other line; raises TraceFormatError when the line is
    that fixme but does not have the expected shape."""
    m = _TRACE_LINE.match(line.rstrip("\n"))
    if not m or m.group("func") != LOGON_FUNCTION or m.group("cls") != "fixme":
        return None
    rest = m.group("rest")
    values = []
    pos = 0

    def skip_space():
        nonlocal pos
        if rest[pos:pos + 1] != " ":
            raise TraceFormatError(f"expected a space at {pos}: {rest[pos:pos + 20]!r}")
        pos += 1

    def take(pattern: str) -> str:
        nonlocal pos
        mm = re.compile(pattern).match(rest, pos)
        if not mm:
            raise TraceFormatError(f"expected {pattern} at {pos}: {rest[pos:pos + 20]!r}")
        pos = mm.end()
        return mm.group(0)

    kinds = "sssdssdpspp"  # s: debugstr_w, d: 0x%08x, p: %p
    for n, kind in enumerate(kinds):
        if n:
            skip_space()
        if kind == "s":
            value, pos = _parse_wstr(rest, pos)
            values.append(value)
        elif kind == "d":
            values.append(int(take(r"0x[0-9a-f]{8}"), 16))
        else:
            values.append(int(take(r"[0-9A-F]{16}"), 16))
    if rest[pos:] != " stub":
        raise TraceFormatError(f"expected ' stub' at the end, got {rest[pos:]!r}")
    pid = int(m.group("pid"), 16) if m.group("pid") else None
    return LogonCall(pid, int(m.group("tid"), 16), *values, line=line.rstrip("\n"))


@dataclass
class TraceSegment:
    """The stderr lines Wine and the driver wrote while one case ran."""

    case_id: str
    lines: List[str]

    def for_pid(self, pid: int) -> List[str]:
        prefix = f"{pid:04x}:"
        return [l for l in self.lines if l.startswith(prefix)]

    def logon_calls(self, pid: int) -> List[LogonCall]:
        calls = []
        for line in self.for_pid(pid):
            call = parse_logon_line(line)
            if call is not None:
                calls.append(call)
        return calls

    def overflowed(self, pid: int) -> bool:
        return any("debug buffer overflow" in l for l in self.for_pid(pid))


def split_by_case(stderr_text: str) -> dict:
    """Cuts the driver's stderr into per-case segments using the
    e2e-driver:begin=/end= markers the driver writes around each case."""
    segments = {}
    current = None
    for line in stderr_text.splitlines():
        if line.startswith("e2e-driver:begin="):
            current = TraceSegment(line.split("=", 1)[1], [])
            segments[current.case_id] = current
        elif line.startswith("e2e-driver:end="):
            current = None
        elif current is not None:
            current.lines.append(line)
    return segments
