#!/usr/bin/env python3
"""The UI driver's serve mode with its client (tests/app/e2e/uidriver.py) under Wine, without
the program: words and texts come through whole, failures come back as replies and the driver
answers on, a driver that dies or falls silent is reported with its stderr and replaced, and
the driver ends with its session. The one-shot mode keeps its output and exit codes.

Configuration from the environment (set by CTest): UIDRIVER_EXE, VELMORA_WINEPREFIX (a
prepared prefix), VELMORA_TEST_WORK (a folder for the driver's stderr)."""

import os
import signal
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
REPO = Path(__file__).resolve().parents[3]
sys.path.insert(0, str(REPO / "tests/app/e2e"))
from uidriver import DriverError, UiDriver  # noqa: E402

NO_WINDOW = "no window titled Velmora Connector"


def config(name: str) -> str:
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(f"{name} is not set")
    return value


class ServeMode(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(config("VELMORA_TEST_WORK"))
        cls.work.mkdir(parents=True, exist_ok=True)
        # scripts/wine-run runs a Windows program as every test does (the Wine environment,
        # the prefix) and becomes the program: the process started is the driver itself.
        cls.wine = [str(REPO / "scripts/wine-run"), config("VELMORA_WINEPREFIX"),
                    config("UIDRIVER_EXE")]

    def driver(self, command=None, name="uidriver", **options) -> UiDriver:
        driver = UiDriver(command or self.wine + ["--serve"], dict(os.environ),
                          self.work / f"{self._testMethodName}.{name}.err", **options)
        self.addCleanup(driver.stop)
        return driver

    def test_words_and_texts_come_through_whole(self):
        """A command's name comes back in the driver's answer: every character that the line
        format escapes, and Russian text, make the trip both ways unchanged."""
        driver = self.driver()
        names = ["tab\there", "line\nfeed", "cr\r\nlf", "back\\slash\\", "\\t not a tab",
                 "Подключено", "mixed\t\\\n\r end\\"]
        for name in names:
            with self.subTest(name=name):
                self.assertEqual(driver.run(name), (False, "unknown command " + name))

    def test_failures_are_replies_and_the_driver_answers_on(self):
        driver = self.driver()
        cases = [
            (("windows",), {}, (True, "0")),
            (("text",), {}, (False, "usage: text CONTROL")),
            (("dialog-click", "Setup"), {}, (False, "usage: dialog-click TITLE BUTTON")),
            (("text", "bConnect"), {}, (False, NO_WINDOW)),
            (("tray-exists",), {}, (False, NO_WINDOW)),
            (("dialog-controls", "no such dialog"), {}, (False, "no dialog titled *no such dialog*")),
            # The awaited text that does not come: the last reading, not a failure to run.
            (("windows",), {"expect": "1", "timeout_ms": 300}, (False, "0")),
            (("windows",), {"expect": "0", "timeout_ms": 300}, (True, "0")),
            (("text", "bConnect"), {"timeout_ms": 300}, (False, NO_WINDOW)),
            (("windows",), {}, (True, "0")),
        ]
        for args, options, expected in cases:
            with self.subTest(args=args, options=options):
                self.assertEqual(driver.run(*args, **options), expected)
        process = driver.process
        driver.stop()
        self.assertEqual(process.returncode, 0, "not ended by the end of its input")

    def test_driver_keeps_out_of_the_callers_output(self):
        """Its stdin and stdout are pipes of its own and its stderr a file: nothing that runs
        beside it can hold the caller's output (CTest's pipes) open."""
        driver = self.driver()
        driver.run("windows")
        links = [os.readlink(f"/proc/{driver.process.pid}/fd/{fd}") for fd in (0, 1, 2)]
        ours = {os.readlink(f"/proc/self/fd/{fd}") for fd in (0, 1, 2)}
        self.assertEqual(links[2], str(driver.stderr_path))
        for link in links[:2]:
            self.assertTrue(link.startswith("pipe:"), link)
            self.assertNotIn(link, ours)

    def test_dead_driver_is_reported_with_its_stderr_and_replaced(self):
        driver = self.driver()
        self.assertEqual(driver.run("windows"), (True, "0"))
        os.killpg(driver.process.pid, signal.SIGKILL)
        with self.assertRaisesRegex(DriverError, r"ended \(exit code -9\) at windows"):
            driver.run("windows")
        self.assertIsNone(driver.process)
        self.assertEqual(driver.run("windows"), (True, "0"), "no new driver after the death")

        missing = self.driver(self.wine[:2] + [str(self.work / "missing.exe"), "--serve"],
                              name="missing")
        with self.assertRaisesRegex(DriverError, r"(?s)ended .*stderr:\n.*missing\.exe"):
            missing.run("windows")

    def test_silent_driver_is_given_up_and_ended(self):
        silent = self.driver([sys.executable, "-c", "import time; time.sleep(600)"], slack_s=1)
        silent.start()
        process = silent.process
        with self.assertRaisesRegex(DriverError, r"gave no reply to windows in time"):
            silent.run("windows")
        self.assertIsNotNone(process.poll(), "the silent driver still runs")
        self.assertIsNone(silent.process)

    def test_one_shot_mode(self):
        """A command as arguments: the reading on stdout and exit code 0; a failure on stderr
        and 1; no command, the usage and 2."""
        cases = [(["windows"], 0, b"0\n", b""),
                 (["--expect", "1", "--timeout", "300", "windows"], 1, b"0\n", b""),
                 (["text"], 1, b"", b"uidriver: usage: text CONTROL\n"),
                 (["text", "bConnect"], 1, b"", f"uidriver: {NO_WINDOW}\n".encode()),
                 ([], 2, b"", b"uidriver: usage: uidriver ")]
        for args, code, out, err in cases:
            with self.subTest(args=args), tempfile.TemporaryFile() as stdout, \
                    tempfile.TemporaryFile() as stderr:
                # Files, not pipes: what Wine starts beside the driver would hold a pipe open.
                result = subprocess.run(self.wine + args, stdin=subprocess.DEVNULL,
                                        stdout=stdout, stderr=stderr, timeout=120)
                stdout.seek(0)
                stderr.seek(0)
                said = stderr.read()
                self.assertEqual(result.returncode, code)
                self.assertEqual(stdout.read(), out)
                self.assertTrue(said.startswith(err), said)


if __name__ == "__main__":
    unittest.main(verbosity=2)
