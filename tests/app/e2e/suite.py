"""What every end-to-end suite shares: the demo account and the registry texts the cases
start from, and SuiteCase, the test case whose class opens the suite's Wine session once and
whose helpers start the program, serve the account and read the window through the UI driver."""

import time
import unittest
from pathlib import Path

from session import AccountServer, Program, close_suite, config, open_suite

SEPARATOR = "-" * 24
DEMO_FIELDS = ("0|100512|Смирнова Анна Петровна|Домашний 100|412.50|15.01.2027|0|"
               "активен|0|100 Мбит/с|100 Мбит/с|0|0")
DEMO_ACCOUNT = f"demo|demo|{DEMO_FIELDS}\n"
CLEAN_REGISTRY = ("[-HKEY_CURRENT_USER\\Software\\Norvenda]\r\n\r\n"
                  "[-HKEY_CURRENT_USER\\Software\\velmora]\r\n\r\n")


def reg_text(text: str) -> str:
    """A value as a .reg file quotes it."""
    return text.replace("\\", "\\\\").replace('"', '\\"')


def saved_settings(login, password, auto_connect="1", auto_reconnect="1"):
    return (CLEAN_REGISTRY +
            "[HKEY_CURRENT_USER\\Software\\Norvenda\\LoginData]\r\n"
            f'"Login"="{reg_text(login)}"\r\n"Password"="{reg_text(password)}"\r\n'
            '"Save"="1"\r\n\r\n'
            "[HKEY_CURRENT_USER\\Software\\velmora]\r\n"
            f'"AutoConnect"="{auto_connect}"\r\n"AutoReconnect"="{auto_reconnect}"\r\n\r\n')


class SuiteCase(unittest.TestCase):
    """The suite's work folder, display and Wine session (cls.work, cls.display, cls.session),
    opened once for all its cases. Each case's programs and account server end with it."""

    @classmethod
    def setUpClass(cls):
        cls.work, cls.display, cls.session = open_suite()
        # A cleanup, not tearDownClass: it also runs when a subclass's own set-up fails.
        cls.addClassCleanup(close_suite, cls.display, cls.session)

    def setUp(self):
        self.programs = []
        self.server = None

    def tearDown(self):
        for program in self.programs:
            program.stop()
        if self.server:
            self.server.stop()

    def serve(self, *options, accounts=DEMO_ACCOUNT, folder=None) -> AccountServer:
        """The stand-in account server on the program's port, in place of one already serving."""
        folder = folder or self.work
        if self.server:
            self.server.stop()
        accounts_file = folder / "accounts.txt"
        accounts_file.write_text(accounts, encoding="utf-8")
        self.server = AccountServer(folder, self.session.port, accounts_file, options)
        return self.server

    def start(self, exe=None) -> Program:
        """The program (the build's own unless exe), once its window is there."""
        program = Program(self.session, Path(exe or config("OSTRADA_EXE")))
        self.programs.append(program)
        ok, output = self.session.drive("windows", expect="1", timeout_ms=30000)
        self.assertTrue(ok, f"the window did not appear (windows = {output})")
        return program

    def read(self, *args):
        ok, output = self.session.drive(*args)
        self.assertTrue(ok, f"uidriver {' '.join(args)} failed: {output}")
        return output

    def wait_for(self, command, control, expected, timeout_ms=15000):
        ok, output = self.session.drive(command, control, expect=expected, timeout_ms=timeout_ms)
        self.assertTrue(ok, f"{command} {control}: waited for {expected!r}, last {output!r}")

    def wait_until(self, condition, timeout, what) -> float:
        """The monotonic time at which condition() first held."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if condition():
                return time.monotonic()
            time.sleep(0.2)
        self.fail(f"waited {timeout} s for {what}")

    def dials(self):
        return self.session.dialer_commands("dial")

    def hangups(self):
        return self.session.dialer_commands("hangup")

    def listings(self):
        """Line checks so far: each runs the dialer's listing once."""
        return self.session.dialer_commands("list")
