#!/usr/bin/env python3
"""Runs velmora.exe under Wine on the command lines of velmora_cases.py and
checks each outcome: the box (text, caption, one OK button, no icon, no
owner, shown once) or the logon call's eleven values from Wine's trace, and
the exit code. Also: one box photographed from the X server, and one box
left up to show that a case that overruns its limit fails alone.

    test_velmora_e2e.py --velmora velmora.exe --driver driver.exe \
        --echo echo.exe --work DIR

Ends with "N passed, N failed"; exits 1 on any failure.
"""

from __future__ import annotations

import argparse
import subprocess
import sys
import time
from pathlib import Path

# Nothing compiled is written into the source tree.
sys.dont_write_bytecode = True
HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE / "harness"))
sys.path.insert(0, str(HERE))

from velmora_cases import CASES_932, CASES_1252, Box, Launch, VCase  # noqa: E402
from wine_session import CONVERT, Case, CaseResult, WineSession  # noqa: E402
from wine_trace import WStr  # noqa: E402

CAPTION = b"Velmora Error"
OK_ONLY = [(1, b"OK")]
# Under Wine: the logon stub fails leaving the cleared error 0, and a box
# leaves the error 0: both give -1.
EXIT_UNDER_WINE = 0xFFFFFFFF
CASE_LIMIT_MS = 5000


def text_value(value, expected) -> bool:
    if expected is None:
        return value is None
    return isinstance(value, WStr) and not value.truncated and value.matches(expected)


def check_box(res: CaseResult, text: str) -> list:
    problems = []
    box = res.box
    if box is None:
        return ["no box was shown"] + [f"traced: {line}" for line in res.program_trace()[:2]]
    if box.caption != CAPTION:
        problems.append(f"caption {box.caption!r}")
    if not box.text_found or box.text != text.encode("ascii"):
        problems.append(f"text {box.text!r}, expected {text!r}")
    if box.buttons != OK_ONLY:
        problems.append(f"buttons {box.buttons!r}, expected only OK")
    if box.icon_shown:
        problems.append("an icon is shown")
    if box.owner != 0:
        problems.append(f"owner {box.owner:#x}")
    if res.boxes_shown != 1:
        problems.append(f"{res.boxes_shown} boxes shown")
    if res.logon_calls():
        problems.append("the logon call was made as well")
    return problems


def check_launch(res: CaseResult, want: Launch) -> list:
    problems = []
    if res.boxes_shown:
        text = res.box.text if res.box else b"?"
        problems.append(f"a box was shown: {text!r}")
    calls = res.logon_calls()
    if len(calls) != 1:
        return problems + [f"{len(calls)} logon calls traced; trace: {res.program_trace()[:3]}"]
    call = calls[0]
    expected = [
        ("user", call.username, want.user),
        ("domain", call.domain, want.domain),
        ("password", call.password, want.password),
        ("application name", call.application_name, None),
        ("command line", call.command_line, want.command),
        ("current directory", call.current_directory, None),
    ]
    for name, value, wanted in expected:
        if not text_value(value, wanted):
            problems.append(f"{name} {value!r}, expected {wanted!r}")
    flags = 1 if want.profile else 0
    if call.logon_flags != flags:
        problems.append(f"logon flags {call.logon_flags:#x}, expected {flags:#x}")
    if call.creation_flags != 0:
        problems.append(f"creation flags {call.creation_flags:#x}")
    if (call.environment != 0) != want.environment:
        problems.append(f"environment {call.environment:#x}")
    if call.startup_info == 0 or call.process_information == 0:
        problems.append("null startup or process information")
    return problems


def check_case(vcase: VCase, res: CaseResult, echo: CaseResult = None) -> list:
    if res.status != "exited":
        return [f"status {res.status}: {res.raw}"]
    problems = []
    if res.exit_code != EXIT_UNDER_WINE:
        problems.append(f"exit code {res.exit_code:#x}, expected {EXIT_UNDER_WINE:#x}")
    if isinstance(vcase.expect, Box):
        problems += check_box(res, vcase.expect.text)
    else:
        problems += check_launch(res, vcase.expect)
    # Only the logon line is asked for: anything else is an error of Wine's
    # about the program (a debug buffer overflow, a failed load...).
    others = [line for line in res.program_trace() if ":CreateProcessWithLogonW " not in line]
    if others:
        problems.append(f"unexpected trace: {others[:2]}")
    if echo is not None:
        if echo.status != "exited" or echo.exit_code != 0:
            problems.append(f"echo.exe: {echo.status} {echo.exit_code!r}")
        elif echo.output != vcase.argument_text:
            problems.append(f"argument text {echo.output!r}, expected {vcase.argument_text!r}")
    return problems


def driver_cases(vcases, velmora: str, echo: str) -> list:
    cases = []
    for v in vcases:
        cases.append(Case(v.id, velmora, v.command_line, timeout_ms=CASE_LIMIT_MS))
        if v.argument_text is not None:
            cases.append(Case(v.id + ".echo", echo, v.command_line,
                              timeout_ms=CASE_LIMIT_MS, capture=True))
    return cases


def image_facts(png: Path) -> tuple:
    identify = CONVERT.replace("convert", "identify")
    out = subprocess.run([identify, "-format", "%w %h %k", str(png)], capture_output=True,
                         text=True, check=True).stdout.split()
    return int(out[0]), int(out[1]), int(out[2])


class Tally:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def record(self, name: str, problems: list) -> None:
        if problems:
            self.failed += 1
            print(f"FAIL {name}")
            for problem in problems:
                print(f"     {problem}")
        else:
            self.passed += 1
            print(f"ok   {name}")


def main() -> int:
    parser = argparse.ArgumentParser()
    for name in ("velmora", "driver", "echo", "work"):
        parser.add_argument("--" + name, required=True, type=Path)
    args = parser.parse_args()

    started = time.monotonic()
    tally = Tally()
    with WineSession(args.work, args.driver) as wine:
        velmora = wine.install(args.velmora, "velmora.exe")
        echo = wine.install(args.echo, "echo.exe")

        extra = [
            Case("screenshot", velmora, b"velmora.exe /bogus cmd", timeout_ms=CASE_LIMIT_MS,
                 screenshot=True),
            # The box is left up: the driver must end the program at the
            # limit, and the case after it must still run.
            Case("box_left_up", velmora, b"velmora.exe /bogus cmd", timeout_ms=1000,
                 dismiss="none"),
        ]
        results = {r.case.id: r for r in wine.run(
            driver_cases(CASES_1252, velmora, echo) + extra)}
        wine.set_locale("ja_JP.UTF-8")
        results.update({r.case.id: r for r in wine.run(
            driver_cases(CASES_932, velmora, echo))})

        for vcase in CASES_1252 + CASES_932:
            tally.record(f"cp{vcase.code_page} {vcase.id}", check_case(
                vcase, results[vcase.id], results.get(vcase.id + ".echo")))

        def screenshot() -> list:
            res = results["screenshot"]
            problems = check_box(res, "Invalid Command Line Args.")
            if res.screenshot is None:
                return problems + [f"no screenshot ({res.raw.get('xwd_ok')})"]
            width, height, colours = image_facts(res.screenshot)
            left, top, right, bottom = res.box.rect
            if (width, height) != (right - left, bottom - top):
                problems.append(f"screenshot {width}x{height}, box {right - left}x{bottom - top}")
            # A box photographed before it painted is one flat colour.
            if colours < 8:
                problems.append(f"only {colours} colours: the box did not paint")
            return problems
        tally.record("box photographed from the X server", screenshot())

        def left_up() -> list:
            res = results["box_left_up"]
            problems = []
            if res.status != "timeout":
                problems.append(f"status {res.status}")
            if res.box is None or res.box.text != b"Invalid Command Line Args.":
                problems.append("the box was not read before the limit")
            if results["unknown_option"].status != "exited":
                problems.append("cases around it did not run")
            return problems
        tally.record("a box left up ends at the case limit, alone", left_up())

    elapsed = time.monotonic() - started
    timings = ", ".join(f"{k} {v:.1f}s" for k, v in wine.timings.items())
    print(f"Wine end-to-end run: {elapsed:.1f}s ({timings})")
    print(f"{tally.passed} passed, {tally.failed} failed")
    return 0 if tally.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
