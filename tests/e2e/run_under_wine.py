#!/usr/bin/env python3
"""scripts/run's second half: runs velmora.exe once under Wine with the
command line `velmora.exe ` + the argument text given, and shows what it
did. Wine starts no process: its CreateProcessWithLogonW only traces the
call and fails.

    run_under_wine.py --build build/mingw-gcc [--cp932] ARGUMENT-TEXT
"""

from __future__ import annotations

import argparse
import os
import sys
from pathlib import Path

# Nothing compiled is written into the source tree.
sys.dont_write_bytecode = True
HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE / "harness"))

from wine_session import Case, WineSession  # noqa: E402
from wine_trace import WStr  # noqa: E402

# Errors a refused launch commonly reports; others are shown by number.
ERROR_NAMES = {
    2: "ERROR_FILE_NOT_FOUND", 3: "ERROR_PATH_NOT_FOUND", 5: "ERROR_ACCESS_DENIED",
    6: "ERROR_INVALID_HANDLE", 8: "ERROR_NOT_ENOUGH_MEMORY", 87: "ERROR_INVALID_PARAMETER",
    122: "ERROR_INSUFFICIENT_BUFFER", 193: "ERROR_BAD_EXE_FORMAT", 267: "ERROR_DIRECTORY",
    740: "ERROR_ELEVATION_REQUIRED", 1058: "ERROR_SERVICE_DISABLED",
    1113: "ERROR_NO_UNICODE_TRANSLATION", 1311: "ERROR_NO_LOGON_SERVERS",
    1314: "ERROR_PRIVILEGE_NOT_HELD", 1317: "ERROR_NO_SUCH_USER",
    1326: "ERROR_LOGON_FAILURE", 1327: "ERROR_ACCOUNT_RESTRICTION",
    1328: "ERROR_INVALID_LOGON_HOURS", 1329: "ERROR_INVALID_WORKSTATION",
    1330: "ERROR_PASSWORD_EXPIRED", 1331: "ERROR_ACCOUNT_DISABLED",
    1385: "ERROR_LOGON_TYPE_NOT_GRANTED", 1907: "ERROR_PASSWORD_MUST_CHANGE",
    1909: "ERROR_ACCOUNT_LOCKED_OUT",
}


# Single bytes that Wine's 932 conversion rejects and Windows' does not.
WINE_ONLY_INVALID = {0xA0, 0xFD, 0xFE, 0xFF}


def show_bytes(data: bytes) -> str:
    out = []
    for b in data:
        if b in b'"\\':
            out.append("\\" + chr(b))
        elif 0x20 <= b < 0x7F:
            out.append(chr(b))
        else:
            out.append(f"\\x{b:02x}")
    return '"' + "".join(out) + '"'


def show_value(value, mask: bool = False) -> str:
    if value is None:
        return "(null)"
    if not isinstance(value, WStr):
        return repr(value)
    if mask and value.units:
        return 'L"********"  (masked)'
    text = "".join(c if 0x20 <= ord(c) < 0x7F and c not in '"\\' else
                   ("\\" + c if c in '"\\' else f"\\u{ord(c):04x}") for c in value.units)
    return f'L"{text}"' + ("...  (cut by Wine\'s trace)" if value.truncated else "")


def show_status(code: int) -> str:
    if code == 0:
        return "0 (the program was started)"
    if code == 0xFFFFFFFF:
        return ("0xFFFFFFFF (-1: the command line was rejected, or a failure "
                "left no error code)")
    name = ERROR_NAMES.get(code, "an error code without a name here")
    return f"{code} (0x{code:08X}, {name})"


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--cp932", action="store_true", help="run under ANSI code page 932")
    parser.add_argument("text", help="the argument text, after `velmora.exe `")
    args = parser.parse_args()

    # The exact bytes the shell gave us, whatever the locale.
    command_line = b"velmora.exe " + os.fsencode(args.text)
    build = args.build.resolve()
    work = build.parent / "run-wine"
    code_page = 932 if args.cp932 else 1252
    with WineSession(work, build / "tests/e2e/driver.exe",
                     lc_all="ja_JP.UTF-8" if args.cp932 else None, reuse_prefix=True) as wine:
        velmora = wine.install(build / "velmora.exe", "velmora.exe")
        echo = wine.install(build / "tests/e2e/echo.exe", "echo.exe")
        cut, run = wine.run([
            Case("argument_text", echo, command_line, timeout_ms=10000, capture=True),
            Case("velmora", velmora, command_line, timeout_ms=30000, screenshot=True),
        ])

    print(f"velmora.exe under Wine, ANSI code page {code_page}. Wine starts no process:")
    print("its CreateProcessWithLogonW only records the call and fails.\n")
    print(f"command line   {show_bytes(command_line)}")
    if cut.output is None:
        print(f"argument text  (echo.exe did not report: {cut.status})")
    else:
        print(f"argument text  {show_bytes(cut.output)}")
        print("               (what WinMain receives: the same start-up, run on the same")
        print("               bytes under the same code page)")

    if run.status != "exited":
        print(f"\nvelmora.exe did not end normally: {run.status}; see {work / 'logs'}")
        return 1
    calls = run.logon_calls()
    if calls:
        call = calls[0]
        environment = ("(null)" if call.environment == 0 else
                       f"0x{call.environment:X} (the caller's environment block)")
        flags = {1: " (LOGON_WITH_PROFILE)", 0: " (no profile)"}.get(call.logon_flags, "")
        print("\nthe logon call, as Wine traced it:")
        for name, shown in [
                ("user", show_value(call.username)),
                ("domain", show_value(call.domain)),
                ("password", show_value(call.password, mask=True)),
                ("logon flags", f"0x{call.logon_flags:08X}{flags}"),
                ("application name", show_value(call.application_name)),
                ("command line", show_value(call.command_line)),
                ("creation flags", f"0x{call.creation_flags:08X}"),
                ("environment", environment),
                ("current directory", show_value(call.current_directory))]:
            print(f"  {name:<18} {shown}")
    else:
        print("\nno logon call was made")
    if run.box is not None:
        print("\nmessage box:")
        print(f"  caption  {run.box.caption.decode('latin-1')}")
        print(f"  text     {run.box.text.decode('latin-1')}")
        buttons = ", ".join(text.decode("latin-1") for _, text in run.box.buttons)
        print(f"  buttons  {buttons}; {'an' if run.box.icon_shown else 'no'} icon")
        if run.screenshot is not None:
            print(f"  picture  {run.screenshot}")
        print("  (dismissed with OK)")
    else:
        print("\nno message box")
    print(f"\nexit status    {show_status(run.exit_code)}")
    if args.cp932 and any(b in WINE_ONLY_INVALID for b in command_line):
        print("\nnote: Wine's code page 932 rejects the single bytes 0xA0 and 0xFD-0xFF as")
        print("invalid; Windows maps them to U+F8F0-U+F8F3 and would accept them.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
