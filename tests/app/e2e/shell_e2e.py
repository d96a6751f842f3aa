#!/usr/bin/env python3
"""End-to-end runs of the real Ostrada.exe under Wine for what keeps the line up and the
program alive: the redial pause that ends, a hang-up by hand that is obeyed, a cancelled
log-off, the wake from sleep, the tray icon after Explorer restarts, a registry value of the
wrong type, the log's wheel and copy.

Configuration as for ostrada_e2e.py, plus VELMORA_RECONNECT_PAUSE_MS (the build's pause).
Run one case with: shell_e2e.py ShellEndToEnd.test_resume_checks_the_line_at_once"""

import os
import re
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import REPO  # noqa: E402
from suite import CLEAN_REGISTRY, SEPARATOR, SuiteCase, saved_settings  # noqa: E402

VK_TAB, VK_SPACE, VK_RETURN, VK_LEFT, VK_RIGHT = 9, 32, 13, 37, 39


def help_texts():
    """Caption and text of each help panel, as the program's table holds them."""
    source = (REPO / "ui/HelpTexts.cpp").read_text(encoding="utf-8")
    literal = r'L"((?:[^"\\]|\\.)*)"'
    table = {}
    for entry in re.finditer(r'\{L"(ct\d+)", L"([^"]*)", \d+, \d+,((?:\s*' + literal + r')+)\s*\}',
                             source):
        text = "".join(re.findall(literal, entry.group(3)))
        table[entry.group(1)] = (entry.group(2), text.replace("\\r", "\r").replace("\\n", "\n"))
    return table


class ShellEndToEnd(SuiteCase):
    def setUp(self):
        super().setUp()
        self.serve()

    # -- helpers ----------------------------------------------------------------------------

    def end_session(self, ending):
        self.assertEqual(self.read("query-end-session"), "1", "the log-off was held up")
        self.read("end-session", "1" if ending else "0")

    def fill_log_with_failed_dials(self, dials=1):
        """Automatic dials that the dialer refuses (691) put their output into the log."""
        self.session.write_registry(saved_settings("demo", "wrong"))
        self.session.reset_dialer("account = demo demo\nline = up\n")
        self.start()
        self.wait_until(lambda: len(self.dials()) >= dials, 60, f"{dials} automatic dials")
        self.wait_for("enabled", "bConnect", "1", timeout_ms=20000)

    # -- redial policy ----------------------------------------------------------------------

    def test_line_down_longer_than_the_pause(self):
        """A line that stays down with reconnection on: three dials, the pause, three dials
        again, then the next pause."""
        pause = int(os.environ.get("VELMORA_RECONNECT_PAUSE_MS", "300000")) / 1000
        if pause > 60:
            self.skipTest(f"the build's pause of {pause:.0f} s is too long for a test")
        self.session.write_registry(saved_settings("demo", "wrong"))
        self.session.reset_dialer("account = demo demo\nline = up\n")
        self.start()
        times = []

        def dialled(count):
            while len(times) < len(self.dials()):
                times.append(time.monotonic())
            return len(times) >= count

        self.wait_until(lambda: dialled(3), 60, "three automatic dials")
        self.wait_until(lambda: dialled(4), pause + 60, "a dial after the pause")
        self.assertGreaterEqual(times[3] - times[2], pause, "the pause was cut short")
        self.assertLessEqual(times[3] - times[2], pause + 40, "the pause did not end")
        self.wait_until(lambda: dialled(6), 60, "three dials after the pause")
        time.sleep(min(pause - 5, 20))
        self.assertEqual(len(self.dials()), 6, "no new pause after three more dials")
        self.assertEqual(self.read("enabled", "bConnect"), "1")
        self.assertEqual(self.read("image", "bConnect"), "red")

    def test_hang_up_by_hand_with_reconnection_on(self):
        """"Отключить" with reconnection on: the line stays down (no dial within 40 s) until
        the subscriber dials by hand."""
        self.session.write_registry(saved_settings("demo", "demo", auto_connect="0",
                                                   auto_reconnect="1"))
        self.session.reset_dialer("account = demo demo\nline = up\n", connected=["Tarvolix"])
        self.start()
        self.wait_for("enabled", "bDisconnect", "1", timeout_ms=15000)
        self.read("click", "bDisconnect")
        self.wait_for("enabled", "bConnect", "1", timeout_ms=15000)
        self.assertEqual(len(self.hangups()), 1, self.session.dialer_commands())
        checks = len(self.listings())
        time.sleep(40)
        self.assertGreater(len(self.listings()), checks, "the line was not checked meanwhile")
        self.assertEqual(self.dials(), [], "dialled after a hang-up by hand")
        self.assertEqual(self.read("enabled", "bConnect"), "1")

        self.read("click", "bConnect")
        self.wait_for("enabled", "bDisconnect", "1", timeout_ms=30000)
        self.assertEqual(len(self.dials()), 1, self.session.dialer_commands())
        self.assertEqual(self.read("text", "bConnect"), "Подключено")

    def test_resume_checks_the_line_at_once(self):
        """A wake from sleep asks for a line check at once, not at the next 20 s tick."""
        self.session.write_registry(CLEAN_REGISTRY)
        self.session.reset_dialer("line = down\n")
        self.start()
        self.wait_for("enabled", "bConnect", "1", timeout_ms=10000)
        # Right after a regular check, so the next one is about 20 s away.
        seen = len(self.listings())
        self.wait_until(lambda: len(self.listings()) > seen, 30, "a regular line check")
        time.sleep(2)
        before = len(self.listings())
        sent = time.monotonic()
        self.read("resume")
        checked = self.wait_until(lambda: len(self.listings()) > before, 10, "a line check")
        self.assertLessEqual(checked - sent, 3.0, "the line check came late")

    # -- session end ------------------------------------------------------------------------

    def test_cancelled_log_off_keeps_running_then_log_off_ends(self):
        """WM_QUERYENDSESSION is answered "yes" and hides the window; a log-off that is then
        cancelled leaves the program running and checking the line; one that goes ahead ends
        it without hanging up."""
        self.session.write_registry(saved_settings("demo", "demo", auto_connect="0",
                                                   auto_reconnect="0"))
        self.session.reset_dialer("account = demo demo\nline = up\n", connected=["Tarvolix"])
        program = self.start()
        self.wait_for("enabled", "bDisconnect", "1", timeout_ms=15000)
        self.end_session(ending=False)
        ok, _ = self.session.drive("window-visible", expect="0", timeout_ms=5000)
        self.assertTrue(ok, "the window was not hidden")
        checks = len(self.listings())
        self.wait_until(lambda: len(self.listings()) > checks, 30, "a line check after the cancel")
        self.assertIsNone(program.process.poll(), "the program ended at a cancelled log-off")

        self.end_session(ending=True)
        self.assertEqual(program.wait(timeout=20), 0)
        self.assertEqual(self.hangups(), [], "hung up at the log-off")

    # -- tray -------------------------------------------------------------------------------

    def test_taskbar_created_brings_the_icon_back_and_exit_removes_it(self):
        """Explorer restarted (the icon gone, "TaskbarCreated"): the icon is back. The same
        message while the icon exists keeps one icon, and it is removed at exit."""
        self.session.write_registry(CLEAN_REGISTRY)
        self.session.reset_dialer("line = down\n")
        program = self.start()
        ok, _ = self.session.drive("tray-exists", expect="1", timeout_ms=10000)
        if not ok:
            self.skipTest("this Wine session has no notification area")
        handle = self.read("handle")
        self.assertEqual(self.read("tray-remove"), "1")
        self.assertEqual(self.read("tray-exists"), "0")
        self.read("taskbar-created")
        ok, _ = self.session.drive("tray-exists", expect="1", timeout_ms=5000)
        self.assertTrue(ok, "the icon did not come back")

        self.read("taskbar-created")  # the icon is still there: refreshed, not doubled
        time.sleep(1)
        self.assertEqual(self.read("tray-exists"), "1")
        self.end_session(ending=True)
        self.assertEqual(program.wait(timeout=20), 0)
        self.assertEqual(self.read("tray-exists", handle), "0", "a ghost icon after exit")

    # -- settings ---------------------------------------------------------------------------

    def test_number_value_in_the_registry_does_not_stop_the_start(self):
        """A REG_DWORD "AutoUpdate": the window is whole, the login data loaded, the automatic
        connection happens, the log says which value was ignored; "Сохранить" replaces it with
        text."""
        self.session.write_registry(saved_settings("demo", "demo") +
                                    "[HKEY_CURRENT_USER\\Software\\velmora]\r\n"
                                    '"AutoUpdate"=dword:00000000\r\n\r\n')
        self.session.reset_dialer("account = demo demo\nline = up\n")
        self.start()
        self.assertEqual(self.read("text", "ebLogin"), "demo")
        self.assertEqual(self.read("checked", "cbSaveAuthData"), "1")
        self.assertEqual(self.read("combo", "cbAutoConnect"), "1")
        self.assertEqual(self.read("combo", "cbAutoReconnect"), "1")
        self.assertEqual(self.read("combo", "cbAutoUpdate"), "1", "not read as its default")
        self.assertIn("Software\\velmora\\AutoUpdate", self.read("text", "mInfo"))
        self.wait_for("text", "bConnect", "Подключено", timeout_ms=30000)
        self.assertEqual(len(self.dials()), 1, self.session.dialer_commands())

        self.read("select", "pc", "2")
        self.read("click", "bApplySettings")
        key = "HKCU\\Software\\velmora"
        deadline = time.monotonic() + 10
        while self.session.registry_value(key, "AutoUpdate") != "1" and time.monotonic() < deadline:
            time.sleep(0.5)
        self.assertEqual(self.session.registry_value(key, "AutoUpdate"), "1")

    # -- help page --------------------------------------------------------------------------

    def test_help_panels_are_windows_opened_by_click_and_keyboard(self):
        """Each panel and its label found by ID with the exact caption and text; one open at
        a time, opened by a click on its header and by the keys; Tab moves through the
        headers in their tab order."""
        self.session.write_registry(CLEAN_REGISTRY)
        self.session.reset_dialer("line = down\n")
        self.start()
        self.read("select", "pc", "3")
        self.wait_for("visible", "catHelp", "1", timeout_ms=3000)
        texts = help_texts()
        self.assertEqual(len(texts), 6)
        for panel, (caption, text) in texts.items():
            label = "lb" + panel[2:]
            with self.subTest(panel=panel):
                self.assertEqual(self.read("text", panel), caption)
                # The driver's output loses the trailing line ends of the last text.
                self.assertEqual(self.read("text", label), text.rstrip("\r\n"))
                self.assertEqual(self.read("visible", panel), "1")
                self.assertEqual(self.read("visible", label), "1" if panel == "ct691" else "0")
        self.assertIn("сохраняется – позвоните", texts["ct691"][1])
        self.assertIn("абонента — модеме", texts["ct651"][1])

        self.read("click-at", "ct678", "40", "10")  # its header
        self.wait_for("visible", "lb678", "1", timeout_ms=5000)
        self.assertEqual(self.read("visible", "lb691"), "0")
        self.assertEqual(self.read("focus"), "ct678")
        self.read("click-at", "ct678", "40", "10")  # the open one closes
        self.wait_for("visible", "lb678", "0", timeout_ms=5000)

        self.read("key", "ct678", str(VK_SPACE))
        self.wait_for("visible", "lb678", "1", timeout_ms=5000)
        self.read("key", "ct678", str(VK_LEFT))
        self.wait_for("visible", "lb678", "0", timeout_ms=5000)
        order = ["ct678", "ct680676", "ct769", "ct734", "ct691", "ct651"]
        for before, after in zip(order, order[1:]):
            self.read("key", before, str(VK_TAB))
            ok, focus = self.session.drive("focus", expect=after, timeout_ms=5000)
            self.assertTrue(ok, f"Tab from {before} went to {focus}, not {after}")
        self.read("key", "ct651", str(VK_RETURN))
        self.wait_for("visible", "lb651", "1", timeout_ms=5000)
        self.read("key", "ct691", str(VK_RIGHT))
        self.wait_for("visible", "lb691", "1", timeout_ms=5000)
        self.assertEqual(self.read("visible", "lb651"), "0")

    # -- log page ---------------------------------------------------------------------------

    def test_wheel_over_the_log_scrolls_the_log(self):
        """With the log page shown, the wheel over the log moves the log, not the hidden help
        list."""
        self.fill_log_with_failed_dials(dials=3)
        self.read("select", "pc", "1")
        self.wait_for("visible", "mInfo", "1", timeout_ms=3000)
        top = int(self.read("top-line", "mInfo"))
        self.assertGreater(top, 0, "the log is not long enough to scroll")
        self.read("wheel", "mInfo", "1")  # one notch away from the user: up
        ok, output = self.session.drive("top-line", "mInfo", expect=str(max(top - 3, 0)),
                                        timeout_ms=5000)
        self.assertTrue(ok, f"the log did not scroll (top line {top} -> {output})")

    def test_copy_while_another_program_holds_the_clipboard(self):
        """The clipboard held elsewhere: the message, and the clipboard keeps its text; once
        free, the log is copied."""
        self.fill_log_with_failed_dials(dials=1)
        self.read("select", "pc", "1")
        self.wait_for("visible", "lbCopy", "1", timeout_ms=3000)
        out = self.work / "clipboard-holder.out"
        with open(out, "wb") as sink:
            # Held long enough for every try of the program (under Wine each opening of the
            # clipboard may first wait on its clipboard manager).
            holder = subprocess.Popen(["wine", str(self.session.driver), "clipboard-hold", "20000",
                                       "old clipboard text"], env=self.session.env,
                                      stdin=subprocess.DEVNULL, stdout=sink,
                                      stderr=subprocess.DEVNULL)
        try:
            self.wait_until(lambda: b"held" in out.read_bytes(), 30, "the clipboard to be held")
            self.read("click-at", "lbCopy", "20", "8")
            self.wait_until(lambda: self.session.drive("message-box")[0], 20, "the message")
            self.assertEqual(self.read("message-box", "close"),
                             "Не удалось скопировать лог в буфер обмена.")
            self.wait_until(lambda: b"released" in out.read_bytes(), 30, "the clipboard back")
            self.assertEqual(self.read("clipboard-text"), "old clipboard text")
        finally:
            holder.wait(30)

        log = self.read("text", "mInfo")
        self.read("click-at", "lbCopy", "20", "8")
        self.wait_until(lambda: self.read("clipboard-text") != "old clipboard text", 5,
                        "the log on the clipboard")
        self.assertEqual(self.read("clipboard-text"), log)
        self.assertIn(SEPARATOR, log)


if __name__ == "__main__":
    unittest.main(verbosity=2)
