"""A Wine session for the end-to-end runs of Ostrada.exe: Xvfb display, the suite's own Wine
prefix with the stand-in dialer, the stand-in account server on loopback, the UI driver (one
for the session, uidriver.py), and the program itself. Everything started here is ended
here."""

import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from uidriver import UiDriver

REPO = Path(__file__).resolve().parents[3]
# The Wine environment of every run, shared with the scripts: its NAME=VALUE lines.
WINE_ENV = dict(line.split("=", 1) for line in (REPO / "scripts/wine-env").read_text().splitlines()
                if line[:1].isupper() and "=" in line)


def dialer_run_kind(command: str) -> str:
    """What one run of the dialer did: "hangup", "dial" (the entry with login and password) or
    "list" (the line check's listing, no entry named)."""
    if "/DISCONNECT" in command.upper():
        return "hangup"
    return "dial" if "Tarvolix " in command else "list"


def windows_path(path: Path) -> str:
    """The Z: drive of every Wine prefix maps the Unix root."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Display:
    """An Xvfb server on a display number it picks itself."""

    def __init__(self, work: Path):
        read_end, write_end = os.pipe()
        with open(work / "xvfb.log", "wb") as log:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                 "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            self.process.wait()
            said = (work / "xvfb.log").read_text(errors="replace").strip()
            raise RuntimeError("Xvfb did not start; it said:\n" + said)
        self.name = ":" + number

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class AccountServer:
    """The stand-in account server with one accounts file, logging every request."""

    def __init__(self, work: Path, port: int, accounts: Path, extra_args=()):
        """extra_args: further options of the server (an update, a hostile answer)."""
        self.log = work / "account-requests.log"
        self.log.unlink(missing_ok=True)
        ready = work / "account-ready"
        ready.unlink(missing_ok=True)
        with open(work / "account-server.err", "wb") as errors:
            self.process = subprocess.Popen(
                ["python3", str(REPO / "tools/account_server/account_server.py"), "--port",
                 str(port), "--accounts", str(accounts), "--log", str(self.log), "--ready-file",
                 str(ready), *extra_args], stdout=subprocess.DEVNULL, stderr=errors)
        deadline = time.monotonic() + 15
        while not ready.exists():
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("account server did not start (see account-server.err)")
            time.sleep(0.1)

    def requests(self) -> str:
        return self.log.read_bytes().decode("cp1251", "replace") if self.log.exists() else ""

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()


class WineSession:
    """The suite's Wine prefix on a display, with the stand-in dialer's folder."""

    def __init__(self, work: Path, prefix: Path, display: str, driver: Path, rasdial: Path):
        self.work = work
        self.prefix = prefix
        self.driver = driver  # also for a command run on its own (wine DRIVER COMMAND ...)
        self.dialer_dir = work / "rasdial"
        self.env = dict(os.environ, **WINE_ENV, WINEPREFIX=str(prefix), DISPLAY=display,
                        VELMORA_RASDIAL_DIR=windows_path(self.dialer_dir) + "\\")
        if subprocess.run([str(REPO / "scripts/can-run-win32")]).returncode != 0:
            # Wine through its 64-bit loader alone (see scripts/wine-path).
            only64 = str(REPO / "scripts/wine64-only")
            self.env["PATH"] = only64 + os.pathsep + self.env.get("PATH", "")
        self.env.pop("WAYLAND_DISPLAY", None)
        subprocess.run([str(REPO / "scripts/wine-prefix"), str(prefix), str(rasdial)], env=self.env,
                       check=True, timeout=300, stdout=subprocess.DEVNULL)
        self.ui = UiDriver(["wine", driver, "--serve"], self.env, work / "uidriver.err")

    def wine(self, *args, timeout=60, check=True) -> subprocess.CompletedProcess:
        # Output goes through files, not pipes: processes that Wine starts on the side (the
        # desktop, services) inherit the descriptors and would hold a pipe open for good.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(["wine", *map(str, args)], env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=timeout, check=check)
            out.seek(0)
            err.seek(0)
            result.stdout, result.stderr = out.read(), err.read()
        return result

    def reset_dialer(self, scenario: str, connected=()):
        shutil.rmtree(self.dialer_dir, ignore_errors=True)
        self.dialer_dir.mkdir(parents=True)
        (self.dialer_dir / "scenario.txt").write_text(scenario, encoding="utf-8")
        if connected:
            (self.dialer_dir / "state.txt").write_bytes(
                "".join(name + "\r\n" for name in connected).encode("utf-8"))

    def dialer_commands(self, kind=None) -> list:
        """The dialer's command lines so far, or only those of one kind (see dialer_run_kind)."""
        log = self.dialer_dir / "commands.log"
        lines = log.read_text(encoding="utf-8").splitlines() if log.exists() else []
        return lines if kind is None else [line for line in lines if dialer_run_kind(line) == kind]

    def write_registry(self, text: str):
        """Imports a .reg text (deletions with [-KEY] included) into the prefix."""
        reg = self.work / "import.reg"
        reg.write_text("Windows Registry Editor Version 5.00\r\n\r\n" + text, encoding="utf-16")
        self.wine("regedit", "/S", windows_path(reg))

    def registry_value(self, key: str, name: str):
        result = self.wine("reg", "query", key, "/v", name, check=False)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None

    def linux_process(self, exe_name: str):
        """The /proc folder of the Linux process that runs exe_name in this session's prefix,
        None while there is none. Others run the same program at the same time in prefixes of
        their own, and their scripts name it on their command lines: the name alone would
        find theirs."""
        prefix = f"WINEPREFIX={self.prefix}".encode()
        for entry in Path("/proc").iterdir():
            try:
                if (entry.name.isdigit() and
                        (entry / "comm").read_text().strip() == exe_name[:15] and
                        prefix in (entry / "environ").read_bytes().split(b"\0")):
                    return entry
            except OSError:
                continue
        return None

    def phonebook(self):
        found = list((self.prefix / "drive_c").rglob("rasphone.pbk"))
        return found[0] if found else None

    def drive(self, *args, expect=None, timeout_ms=None) -> tuple:
        """One command of the session's UI driver: (succeeded, output), the output without
        trailing line ends; expect: repeated until it reads that (or timeout_ms runs out)."""
        ok, output = self.ui.run(*args, expect=expect, timeout_ms=timeout_ms)
        return ok, output.rstrip("\r\n")

    def stop(self):
        self.ui.stop()  # before Wine ends: a driver killed with it could not be told to end
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)


class Program:
    """One run of Ostrada.exe in the session."""

    def __init__(self, session: WineSession, exe: Path):
        self.session = session
        self.started = time.monotonic()
        self.process = subprocess.Popen(["wine", str(exe)], env=session.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)

    def wait(self, timeout) -> int:
        return self.process.wait(timeout)

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(10)


def free_port_available(port: int) -> bool:
    with socket.socket() as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def config(name: str) -> str:
    """A setting from the environment (CTest sets them); the suite is skipped without it."""
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(f"{name} is not set")
    return value


def open_suite():
    """What every end-to-end suite sets up once: its work folder (VELMORA_E2E_WORK), an Xvfb
    display and the Wine session with the stand-in dialer and the UI driver, whose port is the
    program's account port. Skipped for a program not built for the loopback account server.
    Returns (work, display, session); close_suite ends them."""
    host, _, port = config("VELMORA_ACCOUNT_HOST").partition(":")
    if host != "127.0.0.1":
        raise unittest.SkipTest("the program is not built for the loopback account server")
    work = Path(config("VELMORA_E2E_WORK"))
    (work / "screenshots").mkdir(parents=True, exist_ok=True)
    display = Display(work)
    session = WineSession(work, work / "wineprefix", display.name, Path(config("UIDRIVER_EXE")),
                          Path(config("RASDIAL_EXE")))
    session.port = int(port or 80)
    return work, display, session


def close_suite(display, session):
    if session:
        session.stop()
    if display:
        display.stop()
