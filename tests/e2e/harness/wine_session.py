"""Runs Windows programs under Wine for the end-to-end tests and scripts/run:
a private Xvfb display, a private Wine prefix, and driver.exe, which starts
each case with an exact command line and reports what happened.

    with WineSession(workdir, driver_exe=...) as wine:
        exe = wine.install(Path("velmora.exe"))
        results = wine.run([Case("plain", exe, b"velmora.exe cmd")])

Everything it starts (Xvfb, wineserver, wine) is stopped when the session
closes: Xvfb by its process id, Wine by `wineserver -k` on the session's own
prefix. Wine's output always goes to files: services that Wine starts inherit
it and would keep a pipe open long after the call that started them.
"""

from __future__ import annotations

import os
import queue
import select
import shutil
import signal
import subprocess
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Dict, List, Optional

import wine_trace

WINE64 = os.environ.get("E2E_WINE64", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("E2E_WINESERVER", "/usr/lib/wine/wineserver")
XVFB = "Xvfb"
XWD = "xwd"
# Always Debian's ImageMagick: another `convert` may come first on PATH.
CONVERT = "/usr/bin/convert"

# mscoree/mshtml empty: no prompt to install Wine's .NET or HTML engines.
# winedbg.exe=d: a crashing program ends with its exception code instead of
# leaving a debugger behind. winemenubuilder.exe=d: no desktop menu files.
DLL_OVERRIDES = "mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
# Only the logon stub's fixme line (channel advapi) and errors, each line
# prefixed with the process id so it can be matched to a case.
TRACE_CHANNELS = "fixme-all,fixme+advapi,+pid"

# How long past a case's own limit the harness waits before it takes the
# driver itself for stuck, and how long Wine gets to start the driver.
DRIVER_GRACE_S = 5.0
DRIVER_START_S = 20.0

READY_MARK = ".velmora-prefix-ready"


class HarnessError(RuntimeError):
    pass


class Xvfb:
    """An X server on a display it picks itself (-displayfd), so two runs on
    one machine never collide."""

    def __init__(self, log_path: Path):
        self.log_path = log_path
        self.proc: Optional[subprocess.Popen] = None
        self.display: Optional[str] = None

    def start(self, timeout: float = 15.0) -> str:
        read_fd, write_fd = os.pipe()
        with open(self.log_path, "wb") as log:
            try:
                self.proc = subprocess.Popen(
                    [XVFB, "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=log,
                    stderr=log, start_new_session=True)
            finally:
                os.close(write_fd)
        data = b""
        deadline = time.monotonic() + timeout
        try:
            while not data.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or self.proc.poll() is not None:
                    raise HarnessError(f"Xvfb reported no display; see {self.log_path}")
                ready, _, _ = select.select([read_fd], [], [], left)
                if ready:
                    chunk = os.read(read_fd, 64)
                    if not chunk:
                        raise HarnessError(f"Xvfb closed -displayfd; see {self.log_path}")
                    data += chunk
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_fd)
        self.display = ":" + data.decode().strip()
        return self.display

    def stop(self) -> None:
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self.proc = None


@dataclass
class Case:
    """One start of a program. `command_line` is the exact lpCommandLine,
    program-name token included; `app` is the Windows path passed as
    lpApplicationName, so the name token can be anything."""

    id: str
    app: str
    command_line: bytes
    timeout_ms: int = 10000
    dismiss: str = "ok"        # ok | none
    screenshot: bool = False   # xwd of the box, before it is dismissed
    capture: bool = False      # read the program's standard output

    def line(self) -> str:
        if not self.id or not all(c.isalnum() or c in "_.-" for c in self.id):
            raise ValueError(f"case id {self.id!r}: use [A-Za-z0-9_.-]")
        return " ".join([
            f"id={self.id}", "app=" + self.app.encode("ascii").hex(),
            "cmd=" + self.command_line.hex(), f"timeout={self.timeout_ms}",
            f"dismiss={self.dismiss}", "shot=" + ("ext" if self.screenshot else "none"),
            "capture=" + ("1" if self.capture else "0")])


@dataclass
class Box:
    caption: bytes
    text: bytes
    text_found: bool
    buttons: List[tuple]   # (control id, text) of each visible button
    icon_shown: bool
    owner: int
    rect: tuple
    found_ms: int


@dataclass
class CaseResult:
    case: Case
    # from the driver: exited | timeout | create_failed | bad_case;
    # from the harness: harness_timeout | driver_died
    status: str
    pid: Optional[int] = None
    exit_code: Optional[int] = None
    box: Optional[Box] = None
    boxes_shown: int = 0
    output: Optional[bytes] = None
    elapsed_ms: Optional[int] = None
    screenshot: Optional[Path] = None
    raw: Dict[str, str] = field(default_factory=dict)
    trace: Optional[wine_trace.TraceSegment] = None

    def logon_calls(self) -> List[wine_trace.LogonCall]:
        if self.trace is None or self.pid is None:
            return []
        return self.trace.logon_calls(self.pid)

    def program_trace(self) -> List[str]:
        if self.trace is None or self.pid is None:
            return []
        return self.trace.for_pid(self.pid)


def _buttons(value: str) -> List[tuple]:
    out = []
    for item in filter(None, value.split(",")):
        ident, text = item.split(":", 1)
        out.append((int(ident), bytes.fromhex(text)))
    return out


def result_from_block(case: Case, kv: Dict[str, str]) -> CaseResult:
    res = CaseResult(case=case, status=kv.get("result", "incomplete"), raw=kv)
    if "pid" in kv:
        res.pid = int(kv["pid"])
    if "exit_code" in kv:
        res.exit_code = int(kv["exit_code"], 16)
    if "elapsed_ms" in kv:
        res.elapsed_ms = int(kv["elapsed_ms"])
    if "output_hex" in kv:
        res.output = bytes.fromhex(kv["output_hex"])
    res.boxes_shown = int(kv.get("boxes_shown", "0"))
    if "box_caption_hex" in kv:
        res.box = Box(
            caption=bytes.fromhex(kv["box_caption_hex"]),
            text=bytes.fromhex(kv.get("box_text_hex", "")),
            text_found=kv.get("box_text_found") == "1",
            buttons=_buttons(kv.get("box_buttons", "")),
            icon_shown=kv.get("box_icon_shown") == "1",
            owner=int(kv.get("box_owner", "0x0"), 16),
            rect=tuple(int(v) for v in kv.get("box_rect", "0,0,0,0").split(",")),
            found_ms=int(kv.get("box_found_ms", "0")))
    return res


class WineSession:
    """`lc_all` picks Wine's ANSI code page (ja_JP.UTF-8 gives 932; unset
    gives 1252). With `reuse_prefix` a prefix that was set up before is used
    again and kept; otherwise it is made new and deleted on close (~700 MB)."""

    def __init__(self, workdir: Path, driver_exe: Path, lc_all: Optional[str] = None,
                 reuse_prefix: bool = False):
        self.workdir = Path(workdir).resolve()
        self.prefix = self.workdir / "prefix"
        self.driver_exe = Path(driver_exe)
        self.lc_all = lc_all
        self.reuse_prefix = reuse_prefix
        self.xvfb: Optional[Xvfb] = None
        self.locpath: Optional[Path] = None
        self.timings: Dict[str, float] = {}
        self._driver_win = ""
        self._runs = 0

    def __enter__(self) -> "WineSession":
        try:
            self.open()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def open(self) -> None:
        for name in ("shots", "logs"):
            (self.workdir / name).mkdir(parents=True, exist_ok=True)
        if self.lc_all:
            self._prepare_locale(self.lc_all)
        start = time.monotonic()
        self.xvfb = Xvfb(self.workdir / "logs" / "xvfb.log")
        self.xvfb.start()
        self.timings["xvfb_start"] = time.monotonic() - start
        start = time.monotonic()
        self._start_server()
        if not (self.reuse_prefix and (self.prefix / READY_MARK).exists()):
            self._create_prefix()
        self.timings["prefix"] = time.monotonic() - start
        self._driver_win = self.install(self.driver_exe, "driver.exe")

    def close(self) -> None:
        if self.prefix.exists():
            start = time.monotonic()
            self._stop_server()
            self.timings["wineserver_stop"] = time.monotonic() - start
        if self.xvfb is not None:
            self.xvfb.stop()
            self.xvfb = None
        if not self.reuse_prefix and self.prefix.exists():
            shutil.rmtree(self.prefix, ignore_errors=True)

    def _start_server(self) -> None:
        # A persistent server: wineboot, reg and every driver run share it;
        # it goes only at `wineserver -k`.
        self.prefix.mkdir(parents=True, exist_ok=True)
        subprocess.run([WINESERVER, "-p"], env=self.env(), check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _stop_server(self) -> None:
        env = self.env()
        subprocess.run([WINESERVER, "-k"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30, check=False)
        # -w returns once the server, and so every process of the prefix, is gone.
        subprocess.run([WINESERVER, "-w"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30, check=False)

    def set_locale(self, lc_all: Optional[str]) -> None:
        """Switches the code page for everything started from now on. Wine's
        services keep the locale they started with, and a program under
        another locale than theirs was seen to stall on exit, so the
        prefix's server goes and comes back under the new locale."""
        if lc_all == self.lc_all:
            return
        start = time.monotonic()
        self._stop_server()
        self.lc_all = lc_all
        self.locpath = None
        if lc_all:
            self._prepare_locale(lc_all)
        self._start_server()
        self.timings["locale_switch"] = time.monotonic() - start

    def _prepare_locale(self, name: str) -> None:
        """Wine takes the code page from LC_ALL by name, but converts Unix
        text with the C library, which needs the locale compiled: when the
        machine lacks it, compile a private copy (localedef, no root)."""
        have = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
        norm = name.lower().replace("-", "")
        if any(h.lower().replace("-", "") == norm for h in have):
            return
        lang, _, charset = name.partition(".")
        self.locpath = self.workdir / "locale"
        self.locpath.mkdir(exist_ok=True)
        if not (self.locpath / name / "LC_CTYPE").exists():
            start = time.monotonic()
            done = subprocess.run(["localedef", "-i", lang, "-f", charset or "UTF-8",
                                   str(self.locpath / name)], capture_output=True)
            # localedef exits 1 for mere warnings; the compiled files count.
            if not (self.locpath / name / "LC_CTYPE").exists():
                raise HarnessError(f"localedef {name} failed: {done.stderr!r}")
            self.timings["localedef"] = time.monotonic() - start

    def env(self, winedebug: str = "-all") -> Dict[str, str]:
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("WINE", "LC_")) and k not in ("LANG", "LANGUAGE", "LOCPATH")}
        env.update(WINEPREFIX=str(self.prefix), WINEDLLOVERRIDES=DLL_OVERRIDES,
                   WINEDEBUG=winedebug, WINEARCH="win64")
        env.pop("DISPLAY", None)
        if self.xvfb is not None and self.xvfb.display:
            env["DISPLAY"] = self.xvfb.display
        if self.lc_all:
            env["LC_ALL"] = self.lc_all
        if self.locpath is not None:
            env["LOCPATH"] = str(self.locpath)
        return env

    def _wine(self, *args: str, timeout: float = 120) -> subprocess.CompletedProcess:
        log = self.workdir / "logs" / "wine-calls.log"
        with open(log, "ab") as out:
            out.write(("$ wine64 " + " ".join(args) + "\n").encode())
            out.flush()
            return subprocess.run([WINE64, *args], env=self.env(), stdout=out, stderr=out,
                                  stdin=subprocess.DEVNULL, timeout=timeout)

    def _create_prefix(self) -> None:
        (self.prefix / READY_MARK).unlink(missing_ok=True)
        if self._wine("wineboot", "--init", timeout=180).returncode != 0:
            raise HarnessError("wineboot failed; see logs/wine-calls.log")
        # Managed=N: no window-manager hand-off, which costs ~2 s each time a
        # box closes under a bare X server.
        if self._wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                      "/d", "N", "/f").returncode != 0:
            raise HarnessError("reg add failed; see logs/wine-calls.log")
        (self.prefix / READY_MARK).touch()

    def install(self, path: Path, name: str) -> str:
        """Copies a file into C:\\e2e and returns its Windows path."""
        folder = self.prefix / "drive_c" / "e2e"
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(path, folder / name)
        return "C:\\e2e\\" + name

    def run(self, cases: List[Case]) -> List[CaseResult]:
        """Runs the cases in one driver process. A case that overruns its
        limit fails alone: the driver ends the program; if the driver itself
        stops answering, the harness kills it and starts another for the
        cases left."""
        ids = [c.id for c in cases]
        if len(set(ids)) != len(ids):
            raise HarnessError("case ids must be unique")
        results: Dict[str, CaseResult] = {}
        pending = list(cases)
        while pending:
            before = len(results)
            self._run_driver(pending, results)
            if len(results) == before:
                raise HarnessError("driver.exe ran no case; see logs/driver-*.stderr")
            pending = [c for c in pending if c.id not in results]
        return [results[c.id] for c in cases]

    def _run_driver(self, cases: List[Case], results: Dict[str, CaseResult]) -> None:
        self._runs += 1
        logs = self.workdir / "logs"
        case_file = logs / f"cases-{self._runs}.txt"
        case_file.write_text("".join(c.line() + "\n" for c in cases))
        stderr_path = logs / f"driver-{self._runs}.stderr"
        by_id = {c.id: c for c in cases}

        with open(stderr_path, "wb") as err, \
                open(logs / f"driver-{self._runs}.stdout", "wb") as copy:
            proc = subprocess.Popen(
                [WINE64, self._driver_win, "Z:" + str(case_file).replace("/", "\\")],
                env=self.env(TRACE_CHANNELS), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                stderr=err, start_new_session=True)
            lines: "queue.Queue[Optional[bytes]]" = queue.Queue()

            def reader():
                for raw in proc.stdout:
                    copy.write(raw)
                    lines.put(raw)
                lines.put(None)

            reader_thread = threading.Thread(target=reader, daemon=True)
            reader_thread.start()
            current: Optional[Case] = None
            kv: Dict[str, str] = {}
            deadline = time.monotonic() + DRIVER_START_S + cases[0].timeout_ms / 1000
            stuck: Optional[Case] = None
            died: Optional[Case] = None
            while True:
                try:
                    raw = lines.get(timeout=max(0.0, deadline - time.monotonic()))
                except queue.Empty:
                    stuck = current or next((c for c in cases if c.id not in results), None)
                    break
                if raw is None:
                    died = current
                    break
                key, _, value = raw.decode("latin-1").rstrip("\r\n").partition("=")
                if key == "begin":
                    current = by_id[value]
                    kv = {}
                    deadline = time.monotonic() + current.timeout_ms / 1000 + DRIVER_GRACE_S
                elif key == "end" and current is not None:
                    results[current.id] = result_from_block(current, kv)
                    nxt = next((c for c in cases if c.id not in results), None)
                    deadline = time.monotonic() + DRIVER_GRACE_S + (
                        nxt.timeout_ms / 1000 if nxt else 0)
                    current = None
                elif key == "driver_done":
                    # Not end-of-file: a Wine service may hold the pipe.
                    break
                elif key == "ready" and current is not None:
                    kv.update(self._screenshot(current, kv))
                    proc.stdin.write(b"go\n")
                    proc.stdin.flush()
                elif current is not None:
                    kv[key] = value
            if stuck is not None:
                # Our own child, by its process group.
                os.killpg(proc.pid, signal.SIGKILL)
                res = result_from_block(stuck, kv if current is stuck else {})
                res.status = "harness_timeout"
                results[stuck.id] = res
                if res.pid is not None:
                    self._wine("taskkill", "/F", "/PID", str(res.pid), timeout=30)
            if died is not None:
                res = result_from_block(died, kv)
                res.status = "driver_died"
                results[died.id] = res
            try:
                proc.stdin.close()
            except BrokenPipeError:
                pass
            try:
                proc.wait(30)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(5)
            reader_thread.join(2)

        segments = wine_trace.split_by_case(stderr_path.read_text("latin-1"))
        for case in cases:
            res = results.get(case.id)
            if res is not None:
                res.trace = segments.get(case.id)
                png = self.workdir / "shots" / f"{case.id}.png"
                if case.screenshot and res.raw.get("shot") == "ext" and png.exists():
                    res.screenshot = png

    def _screenshot(self, case: Case, kv: Dict[str, str]) -> Dict[str, str]:
        """The box as the X server shows it: the whole screen from xwd, cut
        to the box's rectangle."""
        left, top, right, bottom = (int(v) for v in kv["box_rect"].split(","))
        png = self.workdir / "shots" / f"{case.id}.png"
        png.unlink(missing_ok=True)
        xwd = subprocess.Popen([XWD, "-root", "-silent", "-display", self.xvfb.display],
                               stdout=subprocess.PIPE)
        conv = subprocess.run(
            [CONVERT, "xwd:-", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
             "+repage", f"png:{png}"], stdin=xwd.stdout, capture_output=True, timeout=30)
        xwd.stdout.close()
        xwd.wait(30)
        return {"xwd_ok": "1" if conv.returncode == 0 and xwd.returncode == 0 else "0"}
