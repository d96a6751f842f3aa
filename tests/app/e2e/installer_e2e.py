#!/usr/bin/env python3
"""The installer under Wine: a silent install puts the program, its shortcut, the logon task
and the installed-programs entry in place; the installed program starts, dials with the
stand-ins and writes its version into the entry; a silent uninstall ends it and removes all of
ours but the subscriber's saved data (all of it with /PURGE). The same through the wizards,
clicked through page by page with the UI driver.

Configuration from the environment (set by CTest): OSTRADA_EXE, MAKENSIS, NSIS_SCRIPT,
NSIS_ICON, NSIS_AMD64 (1 for a 64-bit program), PROGRAM_VERSION, UIDRIVER_EXE, RASDIAL_EXE,
VELMORA_E2E_WORK, VELMORA_ACCOUNT_HOST."""

import os
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import config  # noqa: E402
from suite import SuiteCase, saved_settings  # noqa: E402

UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelmoraConnector"
TASK = "Velmora Connector"
PRODUCT = "Velmora Connector"  # in the title of both wizards
AUTOSTART = "Запускать при входе в систему"
PURGE = "Удалить также сохранённые логин, пароль и настройки"
CHECKED = "2"  # the state image of a ticked item in the installer's components list


class Installer(SuiteCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.setup = cls.work / "installer" / "Ostrada-setup.exe"
        cls.setup.parent.mkdir(parents=True, exist_ok=True)
        command = [config("MAKENSIS"), "-V2", "-INPUTCHARSET", "UTF8",
                   "-DVERSION=" + config("PROGRAM_VERSION"), "-DEXE=" + config("OSTRADA_EXE"),
                   "-DICON=" + config("NSIS_ICON"), "-DOUTFILE=" + str(cls.setup)]
        if os.environ.get("NSIS_AMD64") == "1":
            command.append("-DAMD64")
        subprocess.run(command + [config("NSIS_SCRIPT")], check=True, stdout=subprocess.DEVNULL)

    def setUp(self):
        super().setUp()
        drive_c = self.session.prefix / "drive_c"
        folder = "Program Files" if os.environ.get("NSIS_AMD64") == "1" else "Program Files (x86)"
        self.folder = drive_c / folder / "Velmora Connector"
        if not (drive_c / "Program Files (x86)").exists():
            self.folder = drive_c / "Program Files" / "Velmora Connector"
        self.shortcut = drive_c / "ProgramData/Microsoft/Windows/Start Menu/Programs/Velmora Connector.lnk"
        self.task = drive_c / "windows/system32/tasks" / TASK
        self.addCleanup(self.uninstall)

    def install(self, *options):
        result = self.session.wine(self.setup, "/S", *options, timeout=120, check=False)
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])

    def uninstall(self, *options):
        uninstaller = self.folder / "uninstall.exe"
        if uninstaller.exists():
            self.session.wine(uninstaller, "/S", *options, timeout=120, check=False)
            # The uninstaller copies itself away and goes on from there: wait for it.
            deadline = time.monotonic() + 60
            while uninstaller.exists() and time.monotonic() < deadline:
                time.sleep(0.5)

    def entry(self, name):
        return self.session.registry_value(UNINSTALL_KEY, name)

    def test_silent_install_run_and_uninstall_keep_only_the_login_data(self):
        self.session.write_registry(saved_settings("demo", "demo"))
        self.session.reset_dialer("account = demo demo\nline = up\n")
        self.serve(folder=self.work / "installer")

        self.install()
        exe = self.folder / "Ostrada.exe"
        self.assertEqual(exe.read_bytes(), Path(config("OSTRADA_EXE")).read_bytes())
        self.assertTrue(self.shortcut.exists())
        self.assertTrue(self.task.exists(), "no logon task")
        version = config("PROGRAM_VERSION")
        self.assertEqual(self.entry("DisplayName"), "Velmora Connector")
        self.assertEqual(self.entry("DisplayVersion"), version)
        self.assertEqual(self.entry("Publisher"), "Velmora")
        self.assertEqual(self.entry("InstallLocation"), windows_path_of(self.folder))
        self.assertEqual(self.entry("QuietUninstallString"),
                         f'"{windows_path_of(self.folder)}\\uninstall.exe" /S')
        self.assertTrue(self.entry("DisplayIcon").startswith(windows_path_of(exe)))
        self.assertIsNotNone(self.entry("EstimatedSize"))

        # The program writes its own version after a successful start (as after an update).
        self.session.wine("reg", "add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "0.0.0.1",
                          "/f")
        program = subprocess.Popen(["wine", str(exe)], env=self.session.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        ok, text = self.session.drive("text", "bConnect", expect="Подключено", timeout_ms=60000)
        self.assertTrue(ok, f"the installed program did not connect ({text!r})")
        self.assertEqual(self.entry("DisplayVersion"), version)

        self.uninstall()
        program.wait(60)  # ended by the uninstaller
        self.assertFalse(self.folder.exists())
        self.assertFalse(self.shortcut.exists())
        self.assertFalse(self.task.exists())
        self.assertIsNone(self.entry("DisplayName"))
        self.assertEqual(self.session.registry_value(
            "HKCU\\Software\\Norvenda\\LoginData", "Login"), "demo")

    def test_without_autostart_and_purged(self):
        self.session.write_registry(saved_settings("demo", "demo"))
        self.install("/AUTOSTART=0")
        self.assertTrue((self.folder / "Ostrada.exe").exists())
        self.assertFalse(self.task.exists())
        self.uninstall("/PURGE")
        self.assertFalse(self.folder.exists())
        self.assertIsNone(self.entry("DisplayName"))
        self.assertIsNone(self.session.registry_value("HKCU\\Software\\Norvenda\\LoginData",
                                                      "Login"))
        self.assertIsNone(self.session.registry_value("HKCU\\Software\\velmora", "AutoConnect"))

    # -- the wizards, driven as a user clicks through them ------------------------------------

    def dialog(self, expected, timeout=60):
        """The controls of the wizard's page once one of them reads expected."""
        deadline = time.monotonic() + timeout
        while True:
            ok, controls = self.session.drive("dialog-controls", PRODUCT)
            if ok and expected in controls:
                return controls
            if time.monotonic() > deadline:
                self.fail(f"no page with {expected!r}; last: {controls!r}")
            time.sleep(0.5)

    def press(self, button, page_text, timeout=60):
        """Clicks the button once the page reads page_text and the button is enabled (the
        last page's button is enabled only when the work is done)."""
        self.dialog(page_text)
        deadline = time.monotonic() + timeout
        while not self.session.drive("dialog-click", PRODUCT, button)[0]:
            if time.monotonic() > deadline:
                self.fail(f"the button {button!r} was not enabled")
            time.sleep(0.5)

    def uninstall_by_wizard(self, purge):
        """The uninstaller's pages: the confirmation, then the box that removes the login data
        and settings, offered unticked; ticked first when purge is set."""
        uninstaller = subprocess.Popen(["wine", str(self.folder / "uninstall.exe")],
                                       env=self.session.env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, start_new_session=True)
        self.press("Далее >", "Далее >")
        box = [line for line in self.dialog(PURGE).splitlines() if line.endswith(PURGE)]
        self.assertEqual(box, [f"Button|1|0|{PURGE}"], "the box is not offered unticked")
        if purge:
            self.press(PURGE, PURGE)
            self.dialog(f"Button|1|1|{PURGE}", timeout=10)
        self.press("Удалить", PURGE)
        self.press("Закрыть", "Закрыть")
        uninstaller.wait(60)
        # The uninstaller runs on from a copy of itself: wait for its files to go.
        deadline = time.monotonic() + 60
        while self.folder.exists() and time.monotonic() < deadline:
            time.sleep(0.5)
        self.assertFalse(self.folder.exists())

    def test_wizard_offers_autostart_and_the_uninstaller_keeps_the_login_data(self):
        """The Russian pages as a user clicks through them: "start at logon" offered and
        ticked, the program, shortcut, task and entry in place; the uninstaller's wizard with
        its box left unticked keeps the login data and settings."""
        self.session.write_registry(saved_settings("demo", "demo"))
        setup = subprocess.Popen(["wine", str(self.setup)], env=self.session.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 start_new_session=True)
        self.press("Далее >", "Далее >")
        self.press("Далее >", "Program Files")
        components = self.dialog(AUTOSTART).splitlines()
        item = next(line for line in components if line.endswith("|" + AUTOSTART))
        self.assertEqual(item.split("|")[:2], ["item", CHECKED], components)
        self.press("Установить", AUTOSTART)
        self.press("Готово", "Готово")
        self.assertEqual(setup.wait(60), 0)
        self.assertEqual((self.folder / "Ostrada.exe").read_bytes(),
                         Path(config("OSTRADA_EXE")).read_bytes())
        self.assertTrue(self.shortcut.exists())
        self.assertTrue(self.task.exists(), "no logon task")
        self.assertEqual(self.entry("DisplayVersion"), config("PROGRAM_VERSION"))

        self.uninstall_by_wizard(purge=False)
        self.assertFalse(self.shortcut.exists())
        self.assertFalse(self.task.exists())
        self.assertIsNone(self.entry("DisplayName"))
        self.assertEqual(self.session.registry_value(
            "HKCU\\Software\\Norvenda\\LoginData", "Login"), "demo")
        self.assertEqual(self.session.registry_value("HKCU\\Software\\velmora", "AutoConnect"),
                         "1")

    def test_uninstaller_with_the_box_ticked_leaves_nothing(self):
        """The uninstaller's box ticked by hand removes the login data and settings too."""
        self.session.write_registry(saved_settings("demo", "demo"))
        self.install()
        self.uninstall_by_wizard(purge=True)
        self.assertFalse(self.shortcut.exists())
        self.assertFalse(self.task.exists())
        self.assertIsNone(self.entry("DisplayName"))
        self.assertIsNone(self.session.registry_value("HKCU\\Software\\Norvenda\\LoginData",
                                                      "Login"))
        self.assertIsNone(self.session.registry_value("HKCU\\Software\\velmora", "AutoConnect"))


def windows_path_of(path: Path) -> str:
    """The C: path of a file inside the prefix's drive_c."""
    parts = Path(path).parts
    return "C:\\" + "\\".join(parts[parts.index("drive_c") + 1:])


if __name__ == "__main__":
    unittest.main(verbosity=2)
