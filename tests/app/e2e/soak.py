#!/usr/bin/env python3
"""A long run of Ostrada.exe under Wine against misbehaving stand-ins: the dialer drops the
line, fails dials (691, 651, 678) and hangs until the program's bound; the account server is
slow, resets, answers garbage or announces an update that cannot be downloaded; the UI driver
clicks connect, disconnect and refresh, hides and shows the window and sends the resume
broadcast, all at random. At the end it checks that the program runs and answers, that its
memory, handles and threads stayed at the first minutes' level, that the log holds at most 50
lines, that the redial policy held and that the registry and the phonebook are intact.
  soak.py [minutes]     (default 30; exit status 1 on any failed check)

Configuration as for the end-to-end suites (OSTRADA_EXE, UIDRIVER_EXE, RASDIAL_EXE,
VELMORA_E2E_WORK, VELMORA_ACCOUNT_HOST) plus VELMORA_RECONNECT_PAUSE_MS (the build's pause).
Run it in a private network namespace: it takes the account server's fixed port."""

import os
import random
import re
import sys
import threading
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from suite import DEMO_ACCOUNT, saved_settings  # noqa: E402
from session import (AccountServer, Program, close_suite, config, dialer_run_kind,  # noqa: E402
                     open_suite)

NOTICE = "Найдена новая версия программы. Сейчас будет выполнено обновление."
SAMPLE_EVERY_S = 15
MANUAL_DIAL_WITHIN_S = 15  # a dial this soon after a click on "Подключить" is the click's
SETTINGS = {("HKCU\\Software\\Norvenda\\LoginData", "Login"): "demo",
            ("HKCU\\Software\\Norvenda\\LoginData", "Password"): "demo",
            ("HKCU\\Software\\Norvenda\\LoginData", "Save"): "1",
            ("HKCU\\Software\\velmora", "AutoConnect"): "1",
            ("HKCU\\Software\\velmora", "AutoReconnect"): "1",
            ("HKCU\\Software\\velmora", "AutoUpdate"): "1"}
# What the next dials meet, by weight: most connect, some fail, a few hang.
DIAL_OUTCOMES = [("line = up\n", 10), ("error = 691\n", 2), ("line = down\n", 2),
                 ("line = noanswer\n", 2), ("hang = dial\n", 1)]
SERVER_MODES = [("mode=normal\nupdate=off\n", 6), ("mode=slow\ndelay=4\nupdate=off\n", 1),
                ("mode=reset\nupdate=off\n", 1), ("mode=garbage\nupdate=off\n", 1),
                ("mode=normal\nupdate=on\n", 1)]


def pick(weighted):
    return random.choices([item for item, _ in weighted], [w for _, w in weighted])[0]


def write_whole(path: Path, text: str):
    """Replaced in one step: a reader sees the old or the new file, never half of one."""
    temporary = path.with_name(path.name + ".new")
    temporary.write_text(text, encoding="utf-8")
    os.replace(temporary, path)


class DialerRecord(threading.Thread):
    """Stamps each new line of the stand-in dialer's command log with the time it appeared:
    ("dial" | "hangup" | "list", monotonic seconds)."""

    def __init__(self, session):
        super().__init__(daemon=True)
        self.session = session
        self.runs = []
        self.running = True

    def run(self):
        seen = 0
        while self.running:
            lines = self.session.dialer_commands()
            for line in lines[seen:]:
                self.runs.append((dialer_run_kind(line), time.monotonic()))
            seen = len(lines)
            time.sleep(0.3)


class Soak:
    def __init__(self, minutes: float, work: Path, session):
        self.minutes = minutes
        self.work = work
        self.session = session
        self.pause_s = int(os.environ.get("VELMORA_RECONNECT_PAUSE_MS", "300000")) / 1000
        self.actions = []  # (name, monotonic seconds) of what the driver did
        self.samples = []  # (seconds from start, rss_kb, anonymous_kb, handles, threads)
        self.failures = []
        self.control = work / "soak-control.txt"

    def drive(self, *args):
        return self.session.drive(*args)

    def act(self, name, *args):
        stamp = time.monotonic()
        ok, _ = self.drive(*args)
        if ok:
            self.actions.append((name, stamp))
        return ok

    def sample(self, started):
        process = self.session.linux_process("Ostrada.exe")
        status = (process / "status").read_text() if process else ""
        rss = re.search(r"VmRSS:\s+(\d+)", status)
        anonymous = re.search(r"RssAnon:\s+(\d+)", status)
        ok, counts = self.drive("process-counts")
        values = dict(item.split("=") for item in counts.split()) if ok else {}
        self.samples.append((round(time.monotonic() - started), int(rss.group(1)) if rss else -1,
                             int(anonymous.group(1)) if anonymous else -1,
                             int(values.get("handles", -1)), int(values.get("threads", -1))))

    def set_dialer(self, scenario):
        write_whole(self.session.dialer_dir / "scenario.txt", "account = demo demo\n" + scenario)

    def set_server(self, text):
        write_whole(self.control, text)

    def step(self):
        """One random event of the run."""
        event = random.choices(
            ["connect", "disconnect", "refresh", "hide", "show", "resume", "dialer", "drop",
             "server"], [4, 2, 6, 1, 1, 1, 3, 2, 2])[0]
        if event == "connect":
            self.act("connect", "click", "bConnect")
        elif event == "disconnect":
            self.act("disconnect", "click", "bDisconnect")
        elif event == "refresh":
            self.act("refresh", "click", "bRefresh")
        elif event == "hide":
            self.act("hide", "hide")
        elif event == "show":
            self.act("show", "show-request")
        elif event == "resume":
            self.act("resume", "resume")
        elif event == "dialer":
            self.set_dialer(pick(DIAL_OUTCOMES))
        elif event == "drop":
            (self.session.dialer_dir / "state.txt").unlink(missing_ok=True)
        else:
            self.set_server(pick(SERVER_MODES))
        # The update notice (and any other box) waits for a click: give it one.
        ok, text = self.drive("message-box", "close")
        if ok:
            self.actions.append(("message-box: " + text, time.monotonic()))

    def run(self):
        port = self.session.port
        accounts = self.work / "accounts.txt"
        accounts.write_text(DEMO_ACCOUNT, encoding="utf-8")
        # The first answer announces the update: its one attempt a run (the notice, the
        # refused download) belongs to the first minutes' level.
        self.set_server("mode=normal\nupdate=on\n")
        server = AccountServer(self.work, port, accounts, [
            "--control", str(self.control), "--max-lifetime", str(int(self.minutes * 60 + 600)),
            "--update-link", f"http://127.0.0.1:{port}/download/missing.exe"])
        self.session.write_registry(saved_settings("demo", "demo") +
                                    '[HKEY_CURRENT_USER\\Software\\velmora]\r\n'
                                    '"AutoUpdate"="1"\r\n\r\n')
        self.session.reset_dialer("account = demo demo\nline = up\ndelay = 500\n")
        record = DialerRecord(self.session)
        record.start()
        program = Program(self.session, Path(config("OSTRADA_EXE")))
        try:
            ok, _ = self.session.drive("windows", expect="1", timeout_ms=60000)
            if not ok:
                self.failures.append("the window did not appear")
                return
            ok, _ = self.session.drive("message-box", expect=NOTICE, timeout_ms=60000)
            if not ok:
                self.failures.append("no update notice at the first account answer")
            self.drive("message-box", "close")
            self.set_server("mode=normal\nupdate=off\n")
            time.sleep(5)
            phonebook = self.session.phonebook()
            pbk_text = phonebook.read_bytes() if phonebook else b""
            started = time.monotonic()
            end = started + self.minutes * 60
            next_sample = started
            while time.monotonic() < end:
                if time.monotonic() >= next_sample:
                    self.sample(started)
                    next_sample += SAMPLE_EVERY_S
                self.step()
                time.sleep(random.uniform(1, 6))
            self.sample(started)
            self.check(program, record, pbk_text)
            print(f"soak: account server requests {server.requests().count('--- request ')}")
        finally:
            record.running = False
            program.stop()
            server.stop()

    # -- checks -----------------------------------------------------------------------------

    def check(self, program, record, pbk_text):
        if program.process.poll() is not None:
            self.failures.append(f"the program ended (exit code {program.process.returncode})")
            return
        ok, answer = self.drive("responds")
        if not (ok and answer == "1"):
            self.failures.append("the window does not answer")
        self.check_growth()
        ok, lines = self.drive("lines", "mInfo")
        # The log always ends with a line end: the edit counts the empty line after it.
        shown = int(lines) - 1 if ok else -1
        print(f"soak: log lines {shown}")
        if not 0 <= shown <= 50:
            self.failures.append(f"the log holds {shown} lines, more than 50")
        self.check_redial_policy(record.runs)
        for (key, name), expected in SETTINGS.items():
            value = self.session.registry_value(key, name)
            if value != expected:
                self.failures.append(f"registry {key}\\{name} is {value!r}, not {expected!r}")
        phonebook = self.session.phonebook()
        now = phonebook.read_bytes() if phonebook else b""
        if b"[Tarvolix]" not in now or now != pbk_text:
            self.failures.append("the phonebook entry changed or is gone")

    def check_growth(self):
        print("soak: seconds  rss_kb  anon_kb  handles  threads")
        for sample in self.samples:
            print("soak: %7d %7d %8d %8d %8d" % sample)
        if len(self.samples) < 4:
            self.failures.append("too few samples")
            return
        first = self.samples[:max(2, len(self.samples) * 2 // 5)]
        last = self.samples[-max(2, len(self.samples) * 3 // 10):]
        # The least of the last samples against the most of the first: a leak lifts every
        # sample, a dial that runs at the moment lifts one.
        for column, name, slack in ((1, "resident memory (kB)", lambda v: v * 0.15 + 2048),
                                    (2, "anonymous memory (kB)", lambda v: v * 0.15 + 2048),
                                    (3, "handles", lambda v: 20),
                                    (4, "threads", lambda v: 2)):
            baseline = max(s[column] for s in first)
            settled = min(s[column] for s in last)
            if baseline < 0 or settled < 0:
                self.failures.append(f"{name} could not be read")
            elif settled > baseline + slack(baseline):
                self.failures.append(f"{name} grew from {baseline} to {settled}")

    def check_redial_policy(self, runs):
        dials = [t for kind, t in runs if kind == "dial"]
        hangups = [t for kind, t in runs if kind == "hangup"]
        clicks = [t for name, t in self.actions if name == "connect"]
        unclaimed = list(clicks)
        automatic = []
        for dial in dials:
            claim = next((c for c in unclaimed if c <= dial <= c + MANUAL_DIAL_WITHIN_S), None)
            if claim is None:
                automatic.append(dial)
            else:
                unclaimed.remove(claim)
        print(f"soak: dials {len(dials)} ({len(automatic)} automatic), hang-ups by hand "
              f"{len(hangups)}, clicks on connect {len(clicks)}, pause {self.pause_s:.0f} s")
        for i in range(len(automatic) - 3):
            gaps = [b - a for a, b in zip(automatic[i:i + 4], automatic[i + 1:i + 4])]
            if max(gaps) < self.pause_s:
                self.failures.append("four automatic dials without a pause between them, gaps "
                                     + ", ".join(f"{g:.0f} s" for g in gaps))
                break
        for hangup in hangups:
            resumed = min((c for c in clicks if c > hangup), default=float("inf"))
            early = [d for d in dials if hangup < d < resumed]
            if early:
                self.failures.append(f"dialled {early[0] - hangup:.0f} s after a hang-up by hand")
                break


def main():
    minutes = float(sys.argv[1]) if len(sys.argv) > 1 else 30
    display = session = None
    try:
        work, display, session = open_suite()
        soak = Soak(minutes, work, session)
        soak.run()
    except unittest.SkipTest as reason:
        print(f"soak: cannot run: {reason}")
        return 1
    finally:
        close_suite(display, session)
    actions = {}
    for name, _ in soak.actions:
        actions[name] = actions.get(name, 0) + 1
    print("soak: driver actions " + ", ".join(f"{k} {v}" for k, v in sorted(actions.items())))
    for failure in soak.failures:
        print(f"soak: FAILED: {failure}")
    print(f"soak: {minutes:g} minutes, " + ("passed" if not soak.failures else
                                             f"{len(soak.failures)} checks failed"))
    return 1 if soak.failures else 0


if __name__ == "__main__":
    sys.exit(main())
