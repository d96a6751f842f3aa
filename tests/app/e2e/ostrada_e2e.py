#!/usr/bin/env python3
"""End-to-end runs of the real Ostrada.exe under Wine on Xvfb, with the stand-in dialer and
the stand-in account server, driven through the UI driver by control IDs.

Configuration comes from the environment (set by CTest): OSTRADA_EXE, UIDRIVER_EXE,
RASDIAL_EXE, VELMORA_E2E_WORK (a folder of the build tree), VELMORA_ACCOUNT_HOST (must be
127.0.0.1:PORT). Run one case with: ostrada_e2e.py OstradaEndToEnd.test_first_start"""

import os
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Program, config, windows_path  # noqa: E402
from suite import CLEAN_REGISTRY, SEPARATOR, SuiteCase, saved_settings  # noqa: E402


class OstradaEndToEnd(SuiteCase):
    def setUp(self):
        super().setUp()
        self.serve()

    # -- helpers ----------------------------------------------------------------------------

    def screenshot(self, name):
        path = self.work / "screenshots" / f"{name}.bmp"
        self.session.drive("screenshot", windows_path(path))
        return path

    def wait_for_request(self, timeout) -> float:
        """Seconds from the program's start to its first account query."""
        reached = self.wait_until(lambda: "/connector/connector.php" in self.server.requests(),
                                  timeout, "an account query")
        return reached - self.programs[0].started

    # -- cases ------------------------------------------------------------------------------

    def test_first_start(self):
        """Empty registry: design captions and states, the phonebook written, and the first
        line check about a second after start enabling the connect button."""
        self.session.write_registry(CLEAN_REGISTRY)
        self.session.reset_dialer("line = down\n")
        for phonebook in (self.work / "wineprefix" / "drive_c").rglob("rasphone.pbk"):
            phonebook.unlink()
        self.start()
        self.assertEqual(self.read("enabled", "bConnect"), "0", "connect enabled before any check")
        self.assertEqual(self.read("text", "bConnect"), "Подключить")

        captions = {
            "lbContract": "Номер договора:", "lbTariff": "Тариф:", "lbBalance": "Баланс:",
            "lbDieDate": "Дата отключения:", "lbFIO": "ФИО:", "lbAccountLink": "Личный кабинет",
            "cbSaveAuthData": "Сохранить логин и пароль", "cbHidePassword": "Скрыть пароль",
            "bDisconnect": "Отключить", "ebLogin": "", "ebPassword": "", "lbContractInfo": "",
        }
        for control, caption in captions.items():
            with self.subTest(control=control):
                self.assertIn(caption, self.read("text", control))
        states = [("checked", "cbSaveAuthData", "0"), ("checked", "cbHidePassword", "1"),
                  ("enabled", "bDisconnect", "0"), ("enabled", "bRefresh", "1"),
                  ("combo", "cbAutoConnect", "0"), ("combo", "cbAutoReconnect", "0"),
                  ("combo", "cbAutoUpdate", "1"), ("combo", "cbAutostart", "0"),
                  ("visible", "cbAutostart", "0"), ("hint", "bRefresh", "Обновить информацию"),
                  ("hint", "ebLoginRightButton", "Очистить поле"),
                  ("hint", "ebPasswordRightButton", "Очистить поле"),
                  ("visible", "mInfo", "0")]
        for command, control, expected in states:
            with self.subTest(command=command, control=control):
                self.assertEqual(self.read(command, control), expected)

        self.wait_for("enabled", "bConnect", "1", timeout_ms=10000)
        self.assertEqual(self.read("text", "bConnect"), "Подключить")
        self.assertEqual(self.read("enabled", "bDisconnect"), "0")
        listings = [line for line in self.session.dialer_commands() if "Tarvolix" not in line]
        self.assertTrue(listings, "no line check ran the dialer's listing")
        self.assertRegex(listings[0], r'(?i)^"C:\\windows\\system32\\rasdial\.exe"  $')

        phonebook = self.session.phonebook()
        self.assertIsNotNone(phonebook, "no rasphone.pbk in the prefix")
        self.assertIn("[Tarvolix]", phonebook.read_text(encoding="ascii", errors="replace"))
        self.assertNotIn("/connector/connector.php", self.server.requests())
        login_data = "HKCU\\Software\\Norvenda\\LoginData"
        self.assertIsNone(self.session.registry_value(login_data, "Login"), "registry written")
        self.screenshot("first-start")
        self.assertEqual(self.session.drive("select", "pc", "1")[1], "1")
        self.wait_for("visible", "mInfo", "1", timeout_ms=3000)
        self.assertEqual(self.read("visible", "bConnect"), "0")

    def test_saved_credentials_connect_automatically(self):
        """Saved login with automatic connection and reconnection: the account query about
        7 s after start, an automatic dial, "Подключено" in green, the account shown."""
        self.session.write_registry(saved_settings("demo", "demo"))
        self.session.reset_dialer("account = demo demo\nline = up\n")
        self.start()
        self.assertEqual(self.read("text", "ebLogin"), "demo")
        self.assertEqual(self.read("checked", "cbSaveAuthData"), "1")
        self.assertEqual(self.read("combo", "cbAutoReconnect"), "1")
        # The first line check finds the line down: redial pending, both buttons off, red.
        self.wait_for("image", "bConnect", "red", timeout_ms=5000)
        self.assertEqual(self.read("enabled", "bConnect"), "0")
        self.assertEqual(self.read("enabled", "bDisconnect"), "0")
        self.assertEqual(self.dials(), [])

        self.wait_for("text", "bConnect", "Подключено", timeout_ms=30000)
        self.wait_for("enabled", "bDisconnect", "1", timeout_ms=15000)
        self.assertEqual(self.read("enabled", "bConnect"), "0")
        self.wait_for("image", "bConnect", "green", timeout_ms=5000)
        self.assertEqual(len(self.dials()), 1, self.session.dialer_commands())
        self.assertRegex(self.dials()[0], r'(?i)^"C:\\windows\\system32\\rasdial\.exe" '
                                          r'Tarvolix demo demo $')

        delay = self.wait_for_request(timeout=30)
        self.assertGreaterEqual(delay, 6.0, "account query before the 7 s delay")
        self.assertLessEqual(delay, 16.0, "account query long after the 7 s delay")
        shown = {"lbContractInfo": "100512", "lbTariffInfo": "Домашний 100",
                 "lbBalanceInfo": "412.50", "lbDieDateInfo": "15.01.2027",
                 "lbFIOInfo": "Смирнова Анна Петровна"}
        for control, text in shown.items():
            with self.subTest(control=control):
                self.wait_for("text", control, text, timeout_ms=10000)
                self.assertEqual(self.read("hint", control), text)
        self.screenshot("connected")

    def test_wrong_password_three_attempts_then_pause(self):
        """Three automatic dials that the dialer refuses (691), then the pause: the button
        enabled in red and no fourth dial at the next line check; the log holds the dialer's
        text and the separator."""
        self.session.write_registry(saved_settings("demo", "wrong"))
        self.session.reset_dialer("account = demo demo\nline = up\n")
        self.start()
        deadline = time.monotonic() + 60
        while len(self.dials()) < 3 and time.monotonic() < deadline:
            time.sleep(0.5)
        self.assertEqual(len(self.dials()), 3, self.session.dialer_commands())
        for dial in self.dials():
            self.assertTrue(dial.endswith(" Tarvolix demo wrong "), dial)
        self.wait_for("enabled", "bConnect", "1", timeout_ms=20000)
        self.assertEqual(self.read("text", "bConnect"), "Подключить")
        self.assertEqual(self.read("image", "bConnect"), "red")
        self.assertEqual(self.read("enabled", "bDisconnect"), "0")
        log = self.read("text", "mInfo")
        self.assertIn("Ошибка удаленного доступа 691", log)
        self.assertIn(SEPARATOR, log)
        self.assertLessEqual(int(self.read("lines", "mInfo")), 51)
        self.screenshot("paused-after-three-attempts")

        # The next line check (20 s later) finds the line down again: still no dial.
        time.sleep(25)
        self.assertEqual(len(self.dials()), 3, self.session.dialer_commands())
        self.assertEqual(self.read("enabled", "bConnect"), "1")

    def test_hang_up_by_hand(self):
        """Connected at start; "Отключить" hangs up through the dialer and the page returns
        to "Подключить" with the hang-up's output in the log."""
        self.session.write_registry(saved_settings("demo", "demo", auto_connect="0",
                                                   auto_reconnect="0"))
        self.session.reset_dialer("account = demo demo\nline = up\n", connected=["Tarvolix"])
        self.start()
        self.wait_for("enabled", "bDisconnect", "1", timeout_ms=15000)
        self.assertEqual(self.read("text", "bConnect"), "Подключено")
        ok, output = self.session.drive("click", "bDisconnect")
        self.assertTrue(ok, output)
        self.wait_for("enabled", "bConnect", "1", timeout_ms=15000)
        self.assertEqual(self.read("text", "bConnect"), "Подключить")
        self.assertEqual(self.read("enabled", "bDisconnect"), "0")
        hangups = [line for line in self.session.dialer_commands() if "/DISCONNECT" in line.upper()]
        self.assertEqual(len(hangups), 1, self.session.dialer_commands())
        self.assertRegex(hangups[0], r'(?i)^"C:\\windows\\system32\\rasdial\.exe" '
                                     r'Tarvolix /DISCONNECT $')
        self.assertIn("Команда успешно выполнена.", self.read("text", "mInfo"))
        self.assertEqual(self.dials(), [])

    def test_second_start_shows_first_window_and_ends(self):
        """A second start while the first runs hidden in the tray: the first window comes
        back in front, the second process ends with exit code 0 and shows no window."""
        self.session.write_registry(CLEAN_REGISTRY)
        self.session.reset_dialer("line = down\n")
        self.start()
        self.session.drive("close")  # closing only hides the window to the tray
        ok, _ = self.session.drive("window-visible", expect="0", timeout_ms=10000)
        self.assertTrue(ok, "closing did not hide the window")
        self.assertIsNone(self.programs[0].process.poll(), "closing ended the program")
        second = Program(self.session, Path(config("OSTRADA_EXE")))
        self.programs.append(second)
        self.assertEqual(second.wait(timeout=30), 0)
        ok, output = self.session.drive("window-visible", expect="1", timeout_ms=10000)
        self.assertTrue(ok, "the first window was not shown again")
        self.assertEqual(self.read("foreground"), "1", "the first window is not in front")
        self.assertEqual(self.read("windows"), "1")
        self.assertIsNone(self.programs[0].process.poll(), "the first instance ended")

    def test_show_request_with_own_handle_is_ignored(self):
        """The show request brings a hidden window back unless it carries the window's own
        handle."""
        self.session.write_registry(CLEAN_REGISTRY)
        self.session.reset_dialer("line = down\n")
        self.start()
        self.session.drive("hide")
        self.session.drive("show-request", "self")
        time.sleep(2)
        self.assertEqual(self.read("window-visible"), "0")
        self.session.drive("show-request")
        ok, _ = self.session.drive("window-visible", expect="1", timeout_ms=10000)
        self.assertTrue(ok, "the show request did not show the window")


if __name__ == "__main__":
    unittest.main(verbosity=2)
