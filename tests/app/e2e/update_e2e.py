#!/usr/bin/env python3
"""The self-update end to end under Wine: the stand-in account server announces a later build
of the program, the running program shows the notice, downloads it, checks it, writes
"update.bat" and closes; Wine's cmd runs the script and the new program starts. Refused
downloads leave the old program running with the reason in its log. The old copy that a swap
leaves is deleted by the program at its start, at a later start when it is held open.

Configuration from the environment (set by CTest): OSTRADA_EXE, OSTRADA_NEXT_EXE (the same
program stamped with the next version), OSTRADA_SIGNED_EXE (built with the tree's update key),
NEXT_VERSION_SUM, UPDATE_PRIVATE_KEY, UIDRIVER_EXE, RASDIAL_EXE, VELMORA_E2E_WORK,
VELMORA_ACCOUNT_HOST. Run one case with: update_e2e.py SelfUpdate.test_swap"""

import os
import shutil
import signal
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import REPO, config, windows_path  # noqa: E402
from suite import SuiteCase, saved_settings  # noqa: E402

NOTICE = "Найдена новая версия программы. Сейчас будет выполнено обновление."
REFUSED = "Обновление не выполнено: "


class SelfUpdate(SuiteCase):
    def setUp(self):
        super().setUp()
        self.folder = self.work / "update" / self.id().rsplit(".", 1)[-1]
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        self.session.write_registry(saved_settings("demo", "demo"))
        self.session.reset_dialer("account = demo demo\nline = up\n")

        self.names = set()
        self.holders = []

    def tearDown(self):
        for holder in self.holders:
            self.release(holder)
        super().tearDown()
        # The swapped-in program is started by the script, not by this test.
        for name in self.names:
            self.session.wine("taskkill", "/F", "/IM", name, check=False)

    # -- helpers ----------------------------------------------------------------------------

    def install(self, name="Ostrada.exe", build="OSTRADA_EXE", folder=None) -> Path:
        folder = self.folder / folder if folder else self.folder
        folder.mkdir(parents=True, exist_ok=True)
        exe = folder / name
        shutil.copyfile(config(build), exe)
        self.names.add(name)
        return exe

    def hold_open(self, path: Path) -> subprocess.Popen:
        """A Windows process of the session that holds path open without delete sharing (the
        interpreter's output redirection) until release."""
        script = self.folder / "hold.bat"
        script.write_bytes(b'"C:\\windows\\system32\\ping.exe" -n 600 127.0.0.1 >> "' +
                           windows_path(path).encode("cp866") + b'"\r\n')
        holder = subprocess.Popen(["wine", "cmd", "/c", windows_path(script)], env=self.session.env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, start_new_session=True)
        self.holders.append(holder)
        probe = self.folder / "probe.bat"
        probe.write_bytes(b'del /q "' + windows_path(path).encode("cp866") + b'" 2>nul\r\n')
        kept = path.read_bytes()
        # Held once a delete no longer takes it (until then, put it back).
        def held():
            self.session.wine("cmd", "/c", windows_path(probe), check=False)
            if path.exists():
                return True
            path.write_bytes(kept)
            return False
        self.wait_until(held, 60, f"{path.name} held open")
        return holder

    def release(self, holder: subprocess.Popen):
        if holder.poll() is None:
            os.killpg(holder.pid, signal.SIGKILL)
            holder.wait(10)

    def serve(self, *options):
        return super().serve(*options, folder=self.folder)

    def accept_notice(self):
        """The notice comes with the first account answer, about 7 s after start."""
        ok, text = self.session.drive("message-box", expect=NOTICE, timeout_ms=40000)
        self.assertTrue(ok, f"no update notice (last: {text!r})")
        self.session.drive("message-box", "close")

    def queries(self):
        return [line for line in self.server.requests().splitlines()
                if line.startswith("GET /connector/connector.php")]

    @staticmethod
    def content(path: Path):
        """The file's bytes, None while it is missing: between the swap's two renames the
        program's name is free for an instant."""
        try:
            return path.read_bytes()
        except FileNotFoundError:
            return None

    def left_over(self, exe: Path):
        name = exe.name
        return sorted(p.name for p in exe.parent.iterdir()
                      if p.name in (name + "_old", name + "_updated", "update.bat"))

    def expect_swap(self, name, folder=None):
        """The program swaps itself: it closes, the script (written over a stale one) puts the
        new build in place and starts it, the new program asks the server with the higher
        version and deletes the old copy."""
        exe = self.install(name, folder=folder)
        # A script left by an earlier attempt is replaced, not run as it stands.
        (exe.parent / "update.bat").write_bytes(b"exit\r\n")
        next_exe = Path(config("OSTRADA_NEXT_EXE"))
        self.serve("--update", str(next_exe), "--update-below", config("NEXT_VERSION_SUM"))
        program = self.start(exe)
        self.accept_notice()
        program.wait(60)
        new_version = "&ver=" + config("NEXT_VERSION_SUM") + " "
        self.wait_until(lambda: any(new_version in q for q in self.queries()), 90,
                        "the account query of the new program")
        self.assertEqual(exe.read_bytes(), next_exe.read_bytes())
        self.wait_until(lambda: not self.left_over(exe), 20, "the script's clean-up")
        self.assertEqual(self.session.drive("windows")[1], "1")

    def expect_refusal(self, reason, *server_options, exe=None):
        """A refused update: the reason in the log, no script, nothing swapped, the program
        still running."""
        exe = exe or self.install()
        before = exe.read_bytes()
        self.serve(*server_options)
        program = self.start(exe)
        self.accept_notice()
        ok, log = self.session.drive("text", "mInfo", timeout_ms=30000)
        deadline = time.monotonic() + 60
        while REFUSED not in log and time.monotonic() < deadline:
            time.sleep(0.5)
            ok, log = self.session.drive("text", "mInfo")
        self.assertIn(REFUSED + reason, log)
        self.assertEqual(log.count(REFUSED), 1, log)
        self.assertIsNone(program.process.poll(), "the program ended")
        self.assertEqual(exe.read_bytes(), before)
        self.assertEqual(self.left_over(exe), [])
        return program

    # -- cases ------------------------------------------------------------------------------

    def test_swap(self):
        self.expect_swap("Ostrada.exe")

    def test_swap_with_blank_in_name(self):
        self.expect_swap("Velmora Client.exe")

    def test_swap_in_a_folder_with_blanks_and_parentheses(self):
        self.expect_swap("Ostrada.exe", folder="Velmora & Co (x86)")

    def test_swap_with_percent_and_blanks_in_name(self):
        """The interpreter reads "%" in the name literally: the script doubles it."""
        self.expect_swap("Ostrada 100% (b).exe", folder="Velmora Connector")

    def test_held_old_copy_does_not_stop_the_start_and_goes_at_a_later_start(self):
        exe = self.install()
        old = exe.parent / (exe.name + "_old")
        old.write_bytes(b"the previous program")
        holder = self.hold_open(old)
        self.serve()
        program = self.start(exe)
        self.wait_for("text", "lbContractInfo", "100512", timeout_ms=40000)
        self.assertTrue(old.exists(), "a held copy cannot be gone")
        program.stop()
        self.programs.remove(program)
        self.release(holder)
        self.start(exe)
        self.wait_until(lambda: not old.exists(), 30, "the old copy removed at the next start")
        self.assertTrue(exe.exists())

    def test_refusals_keep_the_old_program_running(self):
        html = self.folder / "page.html"
        html.write_text("<html><body>Обновление</body></html>", encoding="cp1251")
        same = self.folder / "same" / "Ostrada.exe"
        same.parent.mkdir()
        shutil.copyfile(config("OSTRADA_EXE"), same)
        next_exe = config("OSTRADA_NEXT_EXE")
        port = self.session.port
        cases = [
            ("файл обновления не найден на сервере (ответ 404)",
             ["--update-link", f"http://127.0.0.1:{port}/download/missing.exe"]),
            ("файл обновления загружен не полностью", ["--update", next_exe, "--update-truncate"]),
            # A newer build without any status line or header: nothing proves it whole.
            ("файл обновления загружен не полностью",
             ["--update", next_exe, "--update-headerless"]),
            ("загруженный файл не является программой", ["--update", str(html)]),
            ("загруженная версия", ["--update", str(same)]),
            ("файл обновления загружен не полностью",
             ["--update-link", "http://127.0.0.1:1/download/Ostrada.exe"]),
        ]
        for reason, options in cases:
            with self.subTest(reason=reason, options=options):
                program = self.expect_refusal(reason, *options)
                program.stop()
                self.programs.remove(program)

    def test_refusal_then_a_line_drop_is_redialled(self):
        self.session.reset_dialer("account = demo demo\nline = up\n", connected=["Tarvolix"])
        self.expect_refusal("файл обновления не найден на сервере (ответ 404)",
                            "--update-link", f"http://127.0.0.1:{self.session.port}/nothing.exe")
        dials = len(self.dials())
        (self.session.dialer_dir / "state.txt").unlink()
        self.wait_until(lambda: len(self.dials()) > dials, 60, "the redial after the drop")

    def test_signed_build_refuses_unsigned_and_takes_signed(self):
        exe = self.install("Ostrada.exe", "OSTRADA_SIGNED_EXE")
        next_exe = self.folder / "next" / "Ostrada.exe"
        next_exe.parent.mkdir()
        shutil.copyfile(config("OSTRADA_NEXT_EXE"), next_exe)
        program = self.expect_refusal("нет подписи файла обновления", "--update", str(next_exe),
                                      exe=exe)
        program.stop()
        self.programs.remove(program)
        subprocess.run([str(REPO / "scripts/sign-update"), config("UPDATE_PRIVATE_KEY"),
                        str(next_exe)], check=True, stdout=subprocess.DEVNULL)
        self.serve("--update", str(next_exe), "--update-below", config("NEXT_VERSION_SUM"))
        program = self.start(exe)
        self.accept_notice()
        program.wait(60)
        self.wait_until(lambda: self.content(exe) == next_exe.read_bytes(), 60, "the swap")
        self.wait_until(lambda: not self.left_over(exe), 20, "the clean-up")

    def test_announcement_waits_for_auto_update(self):
        """With auto-update "Нет" the answer's texts are shown; switching to "Да" starts the
        update about a second later, at the next notification."""
        self.session.write_registry(saved_settings("demo", "demo") +
                                    "[HKEY_CURRENT_USER\\Software\\velmora]\r\n"
                                    '"AutoUpdate"="0"\r\n\r\n')
        exe = self.install()
        self.serve("--update", config("OSTRADA_NEXT_EXE"), "--update-below",
                   config("NEXT_VERSION_SUM"))
        self.start(exe)
        next_name = Path(config("OSTRADA_NEXT_EXE")).name
        link = f"http://127.0.0.1:{self.session.port}/download/{next_name}"
        ok, text = self.session.drive("text", "lbContractInfo", expect=link, timeout_ms=40000)
        self.assertTrue(ok, f"the panel did not show the answer (contract {text!r})")
        self.assertFalse(self.session.drive("message-box")[0], "a notice with auto-update off")
        self.session.drive("choose", "cbAutoUpdate", "1")
        started = time.monotonic()
        ok, text = self.session.drive("message-box", expect=NOTICE, timeout_ms=10000)
        self.assertTrue(ok, f"no notice after switching auto-update on ({text!r})")
        self.assertLess(time.monotonic() - started, 5)
        self.session.drive("message-box", "close")

if __name__ == "__main__":
    unittest.main(verbosity=2)
