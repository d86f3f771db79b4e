#!/usr/bin/env python3
"""The harness's own limits, without Wine: a stand-in for wine64 plays a
driver that stops answering, or dies, in the middle of one case. That case
must fail alone, its program must be ended with taskkill, and the cases
after it must still run, in a new driver."""

import os
import stat
import sys
import tempfile
import textwrap
import time
import unittest
from pathlib import Path

# Nothing compiled is written into the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

import wine_session  # noqa: E402

STAND_IN = textwrap.dedent(r"""
    #!/bin/bash
    # $1 = the driver (Windows path), $2 = the case file (Z:\... path)
    if [ "$1" = taskkill ]; then echo "taskkill $*" >> "$STAND_IN_LOG"; exit 0; fi
    echo "driver $*" >> "$STAND_IN_LOG"
    casefile=$(printf '%s' "${2#Z:}" | tr '\\' '/')
    echo driver_pid=1
    pid=100
    while read -r line; do
      id=${line#id=}; id=${id%% *}
      pid=$((pid + 8))
      echo "begin=$id"; echo "pid=$pid"
      case "$id" in
        hang*) exec sleep 1000 ;;
        die*) exit 3 ;;
      esac
      echo "timed_out=0"; echo "exit_code=0x2a"; echo "result=exited"; echo "end=$id"
    done < "$casefile"
    echo driver_done=1
""").lstrip()


class Watchdog(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        folder = Path(self.tmp.name)
        stand_in = folder / "wine64"
        stand_in.write_text(STAND_IN)
        stand_in.chmod(stand_in.stat().st_mode | stat.S_IXUSR)
        self.log = folder / "stand-in.log"
        os.environ["STAND_IN_LOG"] = str(self.log)
        self.saved = (wine_session.WINE64, wine_session.DRIVER_GRACE_S,
                      wine_session.DRIVER_START_S)
        wine_session.WINE64 = str(stand_in)
        wine_session.DRIVER_GRACE_S = 0.5
        wine_session.DRIVER_START_S = 5.0
        self.session = wine_session.WineSession(folder / "work", folder / "driver.exe")
        (self.session.workdir / "logs").mkdir(parents=True)
        self.session._driver_win = "C:\\e2e\\driver.exe"

    def tearDown(self):
        (wine_session.WINE64, wine_session.DRIVER_GRACE_S,
         wine_session.DRIVER_START_S) = self.saved
        self.tmp.cleanup()

    def case(self, case_id):
        return wine_session.Case(case_id, "C:\\e2e\\velmora.exe", b"velmora.exe", timeout_ms=200)

    def test_a_stuck_driver_fails_one_case(self):
        start = time.monotonic()
        results = self.session.run([self.case("a"), self.case("hang1"), self.case("b")])
        took = time.monotonic() - start
        self.assertEqual([r.status for r in results], ["exited", "harness_timeout", "exited"])
        self.assertEqual(results[0].exit_code, 0x2A)
        self.assertEqual(results[1].pid, 116)
        log = self.log.read_text().splitlines()
        self.assertIn("taskkill taskkill /F /PID 116", log)
        self.assertEqual(sum(line.startswith("driver ") for line in log), 2)
        self.assertLess(took, 5.0)

    def test_a_driver_that_dies_fails_one_case(self):
        results = self.session.run([self.case("die1"), self.case("c")])
        self.assertEqual([r.status for r in results], ["driver_died", "exited"])


if __name__ == "__main__":
    unittest.main()
