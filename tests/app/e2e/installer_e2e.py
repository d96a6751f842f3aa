#!/usr/bin/env python3
"""The installer under Wine: a silent install puts the program, its shortcut, the logon task
and the installed-programs entry in place; the installed program starts, dials with the
stand-ins and writes its version into the entry; a silent uninstall ends it and removes all of
ours but the subscriber's saved data (only the program's own keys with /PURGE). The same
through the wizards, clicked through page by page with the UI driver. The install folder is
locked for users, wherever it is, and the system programs run by their full path.

What Wine shows of the lock: upstream Wine keeps no access lists on files (a folder's
descriptor is made up from its Unix mode when read, and icacls is a stub), so the descriptor is
read where the installer hands it to the Wine server, in the server's trace of the install.
Wine's scheduler drops a task's command (it does not read <Exec>), so the task's definition is
read where the installer hands it to schtasks.

Configuration from the environment (set by CTest): OSTRADA_EXE, MAKENSIS, NSIS_SCRIPT,
NSIS_ICON, NSIS_AMD64 (1 for a 64-bit program), PROGRAM_VERSION, STANDIN_EXE (records its runs
in place of a system program), UIDRIVER_EXE, RASDIAL_EXE, VELMORA_E2E_WORK,
VELMORA_ACCOUNT_HOST."""

import os
import re
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import REPO, config, windows_path  # noqa: E402
from suite import SuiteCase, saved_settings  # noqa: E402
from xml.etree import ElementTree  # noqa: E402

UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelmoraConnector"
TASK = "Velmora Connector"
PRODUCT = "Velmora Connector"  # in the title of both wizards
AUTOSTART = "Запускать при входе в систему"
PURGE = "Удалить также сохранённые логин, пароль и настройки"
CHECKED = "2"  # the state image of a ticked item in the installer's components list
ADMINISTRATORS, SYSTEM, USERS = "S-1-5-32-544", "S-1-5-18", "S-1-5-32-545"
FULL_CONTROL, READ_AND_EXECUTE = 0x1F01FF, 0x1200A9
THIS_FOLDER_AND_BELOW = 0x3  # object and container inherit
INHERITED = 0x10
# Owner, DACL and protected DACL: the folder's own list only, nothing from its parent.
OWNER_AND_PROTECTED_DACL = 0x80000005
LOCKED_FOLDER = [(ADMINISTRATORS, FULL_CONTROL, THIS_FOLDER_AND_BELOW),
                 (SYSTEM, FULL_CONTROL, THIS_FOLDER_AND_BELOW),
                 (USERS, READ_AND_EXECUTE, THIS_FOLDER_AND_BELOW)]
SYSTEM_PROGRAMS = ("taskkill.exe", "schtasks.exe")
TASK_NAMESPACE = "http://schemas.microsoft.com/windows/2004/02/mit/task"
# Another program of the vendor keeps its own key and a value beside the program's login data.
NEIGHBOUR = ("[HKEY_CURRENT_USER\\Software\\Norvenda]\r\n\"Language\"=\"ru\"\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software\\Norvenda\\Billing]\r\n\"Contract\"=\"100512\"\r\n\r\n")


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

    def install_traced(self, folder_name, *options, cwd=None):
        """A silent install under a Wine server that traces every request; returns what the
        installer asked the server to set on the folder: (which parts, owner,
        [(sid, mask, flags)]). The prefix's usual server is back afterwards."""
        trace = self.work / "installer-server.trace"
        self.restart_wine_server(trace)
        try:
            result = subprocess.run(["wine", str(self.setup), "/S", *options], env=self.session.env,
                                    cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, timeout=300)
            self.assertEqual(result.returncode, 0)
        finally:
            self.restart_wine_server(None)
        return folder_security(trace.read_text(errors="replace"), folder_name)

    def restart_wine_server(self, trace):
        """Ends the prefix's server; starts one that writes its trace to the file trace, or,
        with None, the usual one with the prefix's services (scripts/wine-prefix)."""
        self.session.stop()
        subprocess.run(["wineserver", "-w"], env=self.session.env, timeout=60)
        if trace is None:
            subprocess.run([str(REPO / "scripts/wine-prefix"), str(self.session.prefix),
                            config("RASDIAL_EXE")], env=self.session.env, check=True,
                           stdout=subprocess.DEVNULL, timeout=300)
            return
        with open(trace, "wb") as output:
            # The server goes on in the background, writing to the file it was given.
            subprocess.run(["wineserver", "-p", "-d1"], env=self.session.env, check=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=output,
                           timeout=60)

    def assert_locked(self, security):
        parts, owner, entries = security
        self.assertEqual(parts, OWNER_AND_PROTECTED_DACL)
        self.assertEqual(owner, ADMINISTRATORS)
        # Wine adds the parent's inheritable entries, marked inherited, to a protected list;
        # Windows does not. The folder's own entries are what the installer chose.
        own = [entry for entry in entries if not entry[2] & INHERITED]
        self.assertEqual(own, LOCKED_FOLDER)

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

        self.assert_locked(self.install_traced(windows_path_of(self.folder)))
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
        """/PURGE removes the program's login data and settings; what another program of the
        vendor keeps beside them under Software\\Norvenda stays."""
        self.session.write_registry(saved_settings("demo", "demo") + NEIGHBOUR)
        self.install("/AUTOSTART=0")
        self.assertTrue((self.folder / "Ostrada.exe").exists())
        self.assertFalse(self.task.exists())
        self.uninstall("/PURGE")
        self.assertFalse(self.folder.exists())
        self.assertIsNone(self.entry("DisplayName"))
        self.assertIsNone(self.session.registry_value("HKCU\\Software\\Norvenda\\LoginData",
                                                      "Login"))
        self.assertIsNone(self.session.registry_value("HKCU\\Software\\velmora", "AutoConnect"))
        self.assertEqual(self.session.registry_value("HKCU\\Software\\Norvenda\\Billing",
                                                     "Contract"), "100512")
        self.assertEqual(self.session.registry_value("HKCU\\Software\\Norvenda", "Language"),
                         "ru")

    def test_folder_outside_program_files_is_locked_and_system_programs_run_by_full_path(self):
        """/D= chooses a folder under the drive root, whose name holds "&": the folder gets the
        locked list all the same; taskkill and schtasks are the system folder's, although
        programs of those names lie in the folder the installer and the uninstaller are
        started from (a bare name would find them there); the task's definition holds the
        path escaped for XML, and does not stay in the folder."""
        drive_c = self.session.prefix / "drive_c"
        self.folder = drive_c / "Tools" / "A&B"
        record = self.work / "system-programs"
        shutil.rmtree(record, ignore_errors=True)
        record.mkdir()
        downloads = self.work / "downloads"
        downloads.mkdir(exist_ok=True)
        shutil.copyfile(self.setup, downloads / self.setup.name)
        for name in SYSTEM_PROGRAMS:
            shutil.copyfile(config("STANDIN_EXE"), downloads / name)
        self.replace_system_programs()
        env, saved = self.session.env, dict(self.session.env)
        self.addCleanup(lambda: (env.clear(), env.update(saved)))
        env["VELMORA_RECORD_DIR"] = windows_path(record)
        # Wine runs its own build of a program it has one of, unless told to take the file.
        env["WINEDLLOVERRIDES"] += ";" + ",".join(SYSTEM_PROGRAMS) + "=n"

        self.setup = downloads / self.setup.name
        security = self.install_traced("C:\\Tools\\A&B", "/D=C:\\Tools\\A&B", cwd=downloads)
        self.assert_locked(security)
        self.assertTrue((self.folder / "Ostrada.exe").exists())
        self.assertFalse((self.folder / "task.xml").exists())
        definition = ElementTree.parse(record / "task.xml").getroot()
        command = definition.find(".//{%s}Command" % TASK_NAMESPACE)
        self.assertEqual(command.text, '"C:\\Tools\\A&B\\Ostrada.exe"')

        result = subprocess.run(["wine", str(self.folder / "uninstall.exe"), "/S"],
                                env=self.session.env, cwd=downloads, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.assertEqual(result.returncode, 0)
        self.wait_until(lambda: not self.folder.exists(), 60, "the uninstaller's end")

        # Each run: the copy that ran, and its command line, which names the program by the
        # path the installer gave ($SYSDIR, which a 32-bit installer also reads as System32).
        runs = [line.split("\t") for line in
                (record / "runs.log").read_text(encoding="utf-8").splitlines()]
        for program, _ in runs:
            self.assertRegex(program.lower(), r"^c:\\windows\\(system32|syswow64)\\")
        system = '"C:\\windows\\system32\\'
        self.assertEqual([command for _, command in runs], [
            system + 'taskkill.exe" /F /IM Ostrada.exe',
            system + 'schtasks.exe" /Create /TN "Velmora Connector"'
                     ' /XML "C:\\Tools\\A&B\\task.xml" /F',
            system + 'taskkill.exe" /F /IM Ostrada.exe',
            system + 'schtasks.exe" /Delete /TN "Velmora Connector" /F',
        ])

    def replace_system_programs(self):
        """The stand-in in place of the prefix's taskkill and schtasks, for this case only."""
        for folder in ("system32", "syswow64"):
            for name in SYSTEM_PROGRAMS:
                program = self.session.prefix / "drive_c/windows" / folder / name
                if program.exists():
                    kept = program.with_name(name + ".wine")
                    shutil.copyfile(program, kept)
                    self.addCleanup(shutil.move, kept, program)
                    shutil.copyfile(config("STANDIN_EXE"), program)

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
        # Nothing else was kept under the vendor's key: it goes too.
        self.assertNotEqual(self.session.wine("reg", "query", "HKCU\\Software\\Norvenda",
                                              check=False).returncode, 0)


def folder_security(trace: str, folder: str):
    """From the Wine server's trace of an install: the security the installer set on folder
    (its Windows path), as (which parts, owner, [(sid, mask, flags)]). Handles are told apart
    by the requests that opened them, in the order the server answered."""
    wanted = 'name=L"\\\\??\\\\' + folder.replace("\\", "\\\\") + '"'
    opening = {}  # thread: the name its pending create_file opens
    names = {}  # handle: the name it was opened with
    for line in trace.splitlines():
        thread, _, request = line.partition(": ")
        if request.startswith("create_file( "):
            opening[thread] = wanted if wanted in request else None
        elif request.startswith("create_file() = 0 { handle="):
            names[request.split("handle=")[1][:4]] = opening.pop(thread, None)
        elif request.startswith("set_security_object( handle="):
            handle = request.split("handle=")[1][:4]
            if names.get(handle) == wanted:
                parts = re.search(r"security_info=([0-9a-f]+), "
                                  r"sd=\{control=[0-9a-f]+,owner=([^,]+),", request)
                entries = re.findall(r"\{type=ACCESS_ALLOWED,flags=([0-9a-f]+),mask=([0-9a-f]+),"
                                     r"sid=([^}]+)\}", request)
                return (int(parts.group(1), 16), parts.group(2),
                        [(sid, int(mask, 16), int(flags, 16)) for flags, mask, sid in entries])
        elif "handle=" in request and "= 0 {" in request:
            names.pop(request.split("handle=")[1][:4], None)
    raise AssertionError(f"no security was set on {folder}")


def windows_path_of(path: Path) -> str:
    """The C: path of a file inside the prefix's drive_c."""
    parts = Path(path).parts
    return "C:\\" + "\\".join(parts[parts.index("drive_c") + 1:])


if __name__ == "__main__":
    unittest.main(verbosity=2)
