#!/usr/bin/env python3
"""The Windows half of scripts/bench: Ostrada.exe and the reference program side by side under
Wine on Xvfb, with the stand-in dialer and account server on loopback, runs alternating.
Prints one table row per figure: our median, the reference's, the ratio and the target; the
rows of our window hidden have no reference.

  wine_bench.py OSTRADA_EXE REFERENCE_EXE RASDIAL_EXE UIDRIVER_EXE WORK RUNS

VELMORA_BENCH_IDLE_S shortens the idle time (default 60: memory read after it, CPU counted over
twice as long). Run it in a network namespace of its own: the account server takes port 18931.
"""

import ctypes
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "app/e2e"))
from session import AccountServer, Display, Program, WineSession  # noqa: E402
from suite import DEMO_ACCOUNT, saved_settings  # noqa: E402

PR_SET_CHILD_SUBREAPER = 36
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
TITLES = {"ours": "Velmora Connector", "reference": "Bench Reference"}


class Bench:
    def __init__(self, exes, rasdial, driver, work: Path, runs: int):
        self.exes = exes
        self.runs = runs
        self.work = work
        # Processes that Wine starts on the side (the dialer runs among them) leave their parent
        # at once; as their subreaper this process collects them and their CPU time.
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
        self.display = Display(work)
        self.session = WineSession(work, work / "wineprefix", self.display.name, driver, rasdial)
        # The Wine "system" stays up between runs, as the desktop's does: each start then costs
        # the program's own start, not Wine's boot.
        subprocess.run(["wineserver", "-p"], env=self.session.env)
        self.session.wine("cmd", "/c", "exit")
        accounts = work / "accounts.txt"
        accounts.write_text(DEMO_ACCOUNT, encoding="utf-8")
        self.server = AccountServer(work, 18931, accounts)
        self.session.write_registry(saved_settings("demo", "demo"))
        self.own = set()

    def close(self):
        self.server.stop()
        self.session.stop()
        self.display.stop()

    # -- processes ---------------------------------------------------------------------------

    def start(self, side) -> Program:
        self.session.reset_dialer("account = demo demo\nline = up\n", connected=["Tarvolix"])
        program = Program(self.session, self.exes[side])
        self.own.add(program.process.pid)
        return program

    def launch(self, side):
        """Starts one side and waits for its window: (program, seconds to the window shown).
        Should Wine's tray host be stuck all the same, the next program waits in its tray call
        for good: Wine is restarted once and the run repeated."""
        for attempt in (1, 2):
            program = self.start(side)
            try:
                return program, self.wait_shown(side, program.started)
            except TimeoutError:
                if attempt == 2:
                    raise
                print(f"({side}: no window within 20 s; Wine restarted, run repeated)",
                      file=sys.stderr, flush=True)
                program.stop()
                self.session.stop()
                subprocess.run(["wineserver", "-p"], env=self.session.env)
                self.session.wine("cmd", "/c", "exit")

    def stop(self, program: Program, side):
        """Ends the program as a log-off does (ours) or by its window's close (the reference),
        so that it takes its tray icon away: a killed owner can leave Wine's tray host stuck.
        A program still running after that is killed."""
        if program.process.poll() is None:
            if side == "ours":
                self.session.drive("query-end-session")
                self.session.drive("end-session", "1")
            else:
                self.session.wine("taskkill", "/IM", self.exes[side].name, check=False)
            try:
                program.wait(20)
            except subprocess.TimeoutExpired:
                pass
        program.stop()
        deadline = time.monotonic() + 20
        while (self.window_state(side) is not None or self.windows_pid(side)) and \
                time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(2)  # the side processes of the ending (driver, taskkill) end too

    def reap(self) -> float:
        """CPU seconds of the side processes that ended since the last call."""
        cpu = 0.0
        while True:
            try:
                pid, _, usage = os.wait4(-1, os.WNOHANG)
            except ChildProcessError:
                return cpu
            if pid == 0:
                return cpu
            if pid not in self.own:
                cpu += usage.ru_utime + usage.ru_stime

    def windows_pid(self, side):
        """The Linux process that runs the Windows program, None while there is none."""
        name = self.exes[side].name[:15]  # the kernel keeps 15 characters of a name
        # Others may run the same program at the same time, in Wine prefixes of their own.
        prefix = f"WINEPREFIX={self.session.prefix}".encode()
        for entry in Path("/proc").iterdir():
            if entry.name.isdigit():
                try:
                    if ((entry / "comm").read_text().strip() == name and
                            prefix in (entry / "environ").read_bytes().split(b"\0")):
                        return int(entry.name)
                except OSError:
                    pass
        return None

    # -- readings ----------------------------------------------------------------------------

    def window_state(self, side):
        """Map state of the program's top-level X window ("IsViewable" if any of that title
        is), None while there is none. Wine may keep an unmapped window of an ended run, so
        every window of the title is looked at."""
        if self.display.process.poll() is not None:
            raise RuntimeError("the Xvfb display has gone")

        def xwininfo(*args):
            return subprocess.run(["xwininfo", "-display", self.display.name, *args],
                                  capture_output=True, text=True, timeout=10).stdout

        states = []
        for line in xwininfo("-root", "-children").splitlines():
            if f'"{TITLES[side]}"' in line:
                for info in xwininfo("-id", line.split()[0]).splitlines():
                    if "Map State:" in info:
                        states.append(info.split(":", 1)[1].strip())
        if not states:
            return None
        return "IsViewable" if "IsViewable" in states else states[0]

    def wait_shown(self, side, started) -> float:
        while self.window_state(side) != "IsViewable":
            if time.monotonic() - started > 20:
                raise TimeoutError(f"{side}: no window within 20 s")
            time.sleep(0.005)
        return time.monotonic() - started

    @staticmethod
    def process_cpu(pid) -> float:
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS

    @staticmethod
    def switches(pid):
        """Context switches of the whole process and of its main thread."""
        total = main = 0
        for task in Path(f"/proc/{pid}/task").iterdir():
            count = 0
            for line in (task / "status").read_text().splitlines():
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    count += int(line.split()[1])
            total += count
            if task.name == str(pid):
                main = count
        return total, main

    @staticmethod
    def memory(pid):
        """Resident and private (clean + dirty) memory in MiB."""
        values = {}
        for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
            parts = line.split()
            if len(parts) >= 2 and parts[1].isdigit():
                values[parts[0].rstrip(":")] = int(parts[1])
        private = values.get("Private_Clean", 0) + values.get("Private_Dirty", 0)
        return values["Rss"] / 1024, private / 1024, values.get("Anonymous", 0) / 1024

    # -- figures -----------------------------------------------------------------------------

    def start_times(self):
        figures = {"ours": [], "reference": []}
        for side in figures:  # a first run of each fills the caches; not counted
            program, _ = self.launch(side)
            self.stop(program, side)
        for _ in range(self.runs):
            for side in figures:
                program, shown = self.launch(side)
                figures[side].append(shown)
                self.stop(program, side)
        return figures

    def idle(self, idle_s, hidden=False):
        """Readings over the idle time, the line up; hidden: ours alone, its window hidden as
        to the tray (the program's usual state once it has dialled at start)."""
        keys = ("rss", "private", "anon", "cpu", "side_cpu", "wakeups", "main_wakeups", "threads")
        sides = ("ours",) if hidden else ("ours", "reference")
        figures = {side: {key: [] for key in keys} for side in sides}
        for _ in range(self.runs):
            for side, got in figures.items():
                program, _ = self.launch(side)
                if side == "ours":
                    ok, text = self.session.drive("text", "bConnect", expect="Подключено",
                                                  timeout_ms=30000)
                    if not ok:
                        raise RuntimeError(f"the line did not come up: {text}")
                if hidden:
                    self.read("hide")
                pid = self.windows_pid(side)
                time.sleep(2)  # the driver's own side processes end
                self.reap()
                cpu0, (all0, main0), t0 = self.process_cpu(pid), self.switches(pid), time.monotonic()
                side_cpu = 0.0
                time.sleep(idle_s)
                side_cpu += self.reap()
                rss, private, anon = self.memory(pid)
                time.sleep(idle_s)
                side_cpu += self.reap()
                elapsed = time.monotonic() - t0
                all1, main1 = self.switches(pid)
                got["cpu"].append((self.process_cpu(pid) - cpu0 + side_cpu) / elapsed * 100)
                got["side_cpu"].append(side_cpu / elapsed * 100)
                got["wakeups"].append((all1 - all0) / elapsed)
                got["main_wakeups"].append((main1 - main0) / elapsed)
                got["threads"].append(len(list(Path(f"/proc/{pid}/task").iterdir())))
                got["rss"].append(rss)
                got["private"].append(private)
                got["anon"].append(anon)
                self.stop(program, side)
        return figures

    def redial(self):
        """Line down to the automatic dial and to "Подключено"; resume to the line check."""
        dial, connected, resume = [], [], []
        program = None
        for run in range(self.runs):
            # After three automatic dials the program pauses before the next one, by design:
            # a fresh start for every three drops keeps the pause out of the figures.
            if run % 3 == 0:
                if program:
                    self.stop(program, "ours")
                program, _ = self.launch("ours")
            self.wait_text("Подключено")
            dials = len(self.dials())
            (self.session.dialer_dir / "state.txt").unlink()
            down = time.monotonic()
            while len(self.dials()) == dials:
                if time.monotonic() - down > 60:
                    raise RuntimeError("no automatic dial within 60 s")
                time.sleep(0.05)
            dial.append(time.monotonic() - down)
            self.wait_text("Подключено")
            connected.append(time.monotonic() - down)
            time.sleep(2)
            checks = len(self.listings())
            self.read("resume")
            sent = time.monotonic()
            while len(self.listings()) == checks:
                if time.monotonic() - sent > 30:
                    raise RuntimeError("no line check within 30 s of the resume")
                time.sleep(0.05)
            resume.append(time.monotonic() - sent)
        self.stop(program, "ours")
        return dial, connected, resume

    def dials(self):
        return self.session.dialer_commands("dial")

    def listings(self):
        return self.session.dialer_commands("list")

    def read(self, *args):
        ok, output = self.session.drive(*args)
        if not ok:
            raise RuntimeError(f"uidriver {' '.join(args)}: {output}")

    def wait_text(self, text):
        ok, output = self.session.drive("text", "bConnect", expect=text, timeout_ms=60000)
        if not ok:
            raise RuntimeError(f"bConnect did not read {text!r}: {output!r}")


def row(name, ours, reference, unit, target=None, limit=None, digits=2):
    """One line of the table: medians, ratio and the target's verdict."""
    ours_m = statistics.median(ours)
    text = f"{name:<34} {ours_m:>9.{digits}f}"
    if reference is not None:
        ref_m = statistics.median(reference)
        ratio = ours_m / ref_m if ref_m else float("inf")
        shown = f"{ratio:>6.2f}x" if ref_m else f"{'-':>7}"
        text += f" {ref_m:>9.{digits}f} {shown}"
    else:
        ratio = None
        text += f" {'':>9} {'':>7}"
    text += f"  {unit:<8}"
    if target:
        value = ratio if target.startswith("ratio") else ours_m
        text += f" {target:<16} {'ok' if value <= limit else 'MISSED'}"
    print(text, flush=True)


def main():
    ours, reference, rasdial, driver, work, runs = sys.argv[1:7]
    runs = int(runs)
    idle_s = float(os.environ.get("VELMORA_BENCH_IDLE_S", "60"))
    exes = {"ours": Path(ours), "reference": Path(reference)}
    bench = Bench(exes, Path(rasdial), Path(driver), Path(work), runs)
    try:
        print(f"{'figure':<34} {'ours':>9} {'reference':>9} {'ratio':>7}  {'unit':<8} target",
              flush=True)
        sizes = [[exes[side].stat().st_size / 1024] for side in ("ours", "reference")]
        row("executable size, stripped", *sizes, "KiB", digits=0)
        starts = bench.start_times()
        row("start to window shown", starts["ours"], starts["reference"], "s", "ratio <= 1.3", 1.3,
            digits=3)
        idle = bench.idle(idle_s)
        o, r = idle["ours"], idle["reference"]
        row(f"resident after {idle_s:.0f} s idle", o["rss"], r["rss"], "MiB", "ratio <= 1.5", 1.5, 1)
        row(f"private after {idle_s:.0f} s idle", o["private"], r["private"], "MiB",
            "ratio <= 1.5", 1.5, 1)
        row(f"  of it anonymous", o["anon"], r["anon"], "MiB", digits=1)
        row(f"CPU over {2 * idle_s:.0f} s idle, dials in", o["cpu"], r["cpu"], "% core",
            "< 0.2 % core", 0.2, 3)
        row("  of it the dialer runs", o["side_cpu"], r["side_cpu"], "% core", digits=3)
        row("wake-ups, all threads", o["wakeups"], r["wakeups"], "/s", digits=1)
        row("wake-ups, main thread", o["main_wakeups"], r["main_wakeups"], "/s", digits=1)
        row("threads", o["threads"], r["threads"], "", digits=0)
        # The same idle with our window hidden; the reference has no hidden state to compare.
        hidden = bench.idle(idle_s, hidden=True)["ours"]
        row(f"hidden: private after {idle_s:.0f} s idle", hidden["private"], None, "MiB",
            digits=1)
        row(f"hidden: CPU over {2 * idle_s:.0f} s idle", hidden["cpu"], None, "% core", digits=3)
        row("hidden: wake-ups, main thread", hidden["main_wakeups"], None, "/s", digits=1)
        dial, connected, resume = bench.redial()
        row("line down to automatic dial", dial, None, "s", digits=2)
        row("line down to \"Подключено\"", connected, None, "s", digits=2)
        row("resume broadcast to line check", resume, None, "s", digits=2)
    finally:
        bench.close()


if __name__ == "__main__":
    main()
