#!/usr/bin/env python3
"""Authenticode-signed builds under Wine, signed at test time with a throw-away certificate
authority (scripts/test-certificate) as scripts/build signs a release: the signed installer
verifies, installs a signed program and a signed uninstaller, and the program runs and
connects; a program updates itself to a signed later build, through the checked and through
the ECDSA-signed path (its .sig made over the signed bytes), while a signature made over the
bytes before Authenticode signing, and a signed build whose certificate table is cut short,
are refused.

Configuration from the environment (set by CTest): OSTRADA_EXE, OSTRADA_NEXT_EXE,
OSTRADA_SIGNED_EXE (built with the tree's update key), NEXT_VERSION_SUM, UPDATE_PRIVATE_KEY,
MAKENSIS, NSIS_SCRIPT, NSIS_ICON, NSIS_AMD64, UIDRIVER_EXE, RASDIAL_EXE, VELMORA_E2E_WORK,
VELMORA_ACCOUNT_HOST."""

import os
import shutil
import struct
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import REPO, config  # noqa: E402
from suite import SuiteCase, saved_settings  # noqa: E402

NOTICE = "Найдена новая версия программы. Сейчас будет выполнено обновление."
REFUSED = "Обновление не выполнено: "
SIGNING_TIME = "1700000000"


def certificate_table(exe: bytes):
    """The file offset and size of a PE file's certificate table (its security directory)."""
    header = struct.unpack_from("<I", exe, 0x3C)[0]
    optional = header + 24
    magic = struct.unpack_from("<H", exe, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    return struct.unpack_from("<II", exe, directories + 4 * 8)


class SignedRelease(SuiteCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.signed = cls.work / "signed"
        shutil.rmtree(cls.signed, ignore_errors=True)
        cls.signed.mkdir(parents=True)
        subprocess.run([str(REPO / "scripts/test-certificate"), str(cls.signed / "certificate")],
                       check=True, capture_output=True)
        cls.authority = cls.signed / "certificate" / "ca.pem"
        certificate = cls.signed / "certificate"
        cls.sign_env = dict(os.environ, SOURCE_DATE_EPOCH=SIGNING_TIME,
                            VELMORA_SIGN_PKCS12=str(certificate / "signer.p12"),
                            VELMORA_SIGN_PASSWORD_FILE=str(certificate / "signer-password"))
        cls.program = cls.signed_copy("OSTRADA_EXE", "program")
        cls.next = cls.signed_copy("OSTRADA_NEXT_EXE", "next")
        cls.keyed = cls.signed_copy("OSTRADA_SIGNED_EXE", "keyed")
        cls.setup = cls.signed / "Ostrada-setup.exe"
        command = [config("MAKENSIS"), "-V2", "-INPUTCHARSET", "UTF8",
                   "-DVERSION=" + config("PROGRAM_VERSION"), "-DEXE=" + str(cls.program),
                   "-DICON=" + config("NSIS_ICON"), "-DOUTFILE=" + str(cls.setup),
                   "-DSIGN=" + str(REPO / "scripts/sign-authenticode")]
        if os.environ.get("NSIS_AMD64") == "1":
            command.append("-DAMD64")
        subprocess.run(command + [config("NSIS_SCRIPT")], env=cls.sign_env, check=True,
                       stdout=subprocess.DEVNULL)

    @classmethod
    def signed_copy(cls, build, name) -> Path:
        """The build's program, signed as scripts/build signs a release, in a folder of its own."""
        exe = cls.signed / name / "Ostrada.exe"
        exe.parent.mkdir()
        shutil.copyfile(config(build), exe)
        subprocess.run([str(REPO / "scripts/sign-authenticode"), str(exe)], env=cls.sign_env,
                       check=True)
        return exe

    def setUp(self):
        super().setUp()
        self.session.write_registry(saved_settings("demo", "demo"))
        self.session.reset_dialer("account = demo demo\nline = up\n")

    def tearDown(self):
        super().tearDown()
        # Programs swapped in are started by the update script, not by this test.
        self.session.wine("taskkill", "/F", "/IM", "Ostrada.exe", check=False)

    def verify(self, exe: Path) -> subprocess.CompletedProcess:
        return subprocess.run(["osslsigncode", "verify", "-CAfile", str(self.authority), "-in",
                               str(exe)], capture_output=True, text=True)

    def assert_verified(self, exe: Path):
        result = self.verify(exe)
        self.assertEqual(result.returncode, 0, f"{exe}: {result.stdout}{result.stderr}")
        self.assertIn("Signature verification: ok", result.stdout)
        self.assertIn("Message digest algorithm  : SHA256", result.stdout)

    # -- the signed installer -----------------------------------------------------------------

    def test_signed_installer_installs_and_the_signed_program_connects(self):
        self.assert_verified(self.setup)
        drive_c = self.session.prefix / "drive_c"
        folder = drive_c / "Program Files" / "Velmora Connector"
        if os.environ.get("NSIS_AMD64") != "1" and (drive_c / "Program Files (x86)").exists():
            folder = drive_c / "Program Files (x86)" / "Velmora Connector"
        self.addCleanup(self.uninstall, folder)
        self.serve(folder=self.signed)
        result = self.session.wine(self.setup, "/S", timeout=120, check=False)
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])

        exe, uninstaller = folder / "Ostrada.exe", folder / "uninstall.exe"
        self.assertEqual(exe.read_bytes(), self.program.read_bytes())
        self.assert_verified(exe)
        self.assert_verified(uninstaller)
        changed = bytearray(uninstaller.read_bytes())
        changed[len(changed) // 3] ^= 0x01
        tampered = self.signed / "uninstall-changed.exe"
        tampered.write_bytes(bytes(changed))
        self.assertNotEqual(self.verify(tampered).returncode, 0)

        self.start(exe)
        ok, text = self.session.drive("text", "bConnect", expect="Подключено", timeout_ms=60000)
        self.assertTrue(ok, f"the signed program did not connect ({text!r})")
        self.uninstall(folder)
        self.assertFalse(folder.exists())

    def uninstall(self, folder):
        uninstaller = folder / "uninstall.exe"
        if uninstaller.exists():
            self.session.wine(uninstaller, "/S", timeout=120, check=False)
            # The uninstaller goes on from a copy of itself: wait for its files to go.
            self.wait_until(lambda: not folder.exists(), 60, "the uninstaller's end")

    # -- self-update to a signed build --------------------------------------------------------

    def place(self, name, running: Path) -> Path:
        folder = self.work / "signed-update" / name
        shutil.rmtree(folder, ignore_errors=True)
        (folder / "served").mkdir(parents=True)
        exe = folder / "Ostrada.exe"
        shutil.copyfile(running, exe)
        return exe

    def serve_update(self, exe: Path, served: Path):
        self.serve("--update", str(served), "--update-below", config("NEXT_VERSION_SUM"),
                   folder=exe.parent)

    def accept_notice(self):
        ok, text = self.session.drive("message-box", expect=NOTICE, timeout_ms=40000)
        self.assertTrue(ok, f"no update notice (last: {text!r})")
        self.session.drive("message-box", "close")

    def left_over(self, exe: Path):
        return sorted(p.name for p in exe.parent.iterdir()
                      if p.name in ("Ostrada.exe_old", "Ostrada.exe_updated", "update.bat"))

    def expect_swap(self, exe: Path, served: Path):
        self.serve_update(exe, served)
        program = self.start(exe)
        self.accept_notice()
        program.wait(60)
        new_version = "&ver=" + config("NEXT_VERSION_SUM") + " "
        self.wait_until(lambda: any(line.startswith("GET /connector/connector.php") and
                                    new_version in line
                                    for line in self.server.requests().splitlines()), 90,
                        "the account query of the new program")
        self.assertEqual(exe.read_bytes(), served.read_bytes())
        self.assert_verified(exe)
        self.wait_until(lambda: not self.left_over(exe), 20, "the script's clean-up")
        self.session.wine("taskkill", "/F", "/IM", "Ostrada.exe", check=False)

    def expect_refusal(self, exe: Path, served: Path, reason: str):
        """The reason in the log ("" for any), nothing swapped, the program still running."""
        before = exe.read_bytes()
        self.serve_update(exe, served)
        program = self.start(exe)
        self.accept_notice()
        deadline = time.monotonic() + 60
        ok, log = self.session.drive("text", "mInfo", timeout_ms=30000)
        while REFUSED not in log and program.process.poll() is None:
            self.assertLess(time.monotonic(), deadline, f"no refusal in the log: {log!r}")
            time.sleep(0.5)
            ok, log = self.session.drive("text", "mInfo")
        self.assertIsNone(program.process.poll(), "the program ended: the update was taken")
        self.assertIn(REFUSED + reason, log)
        self.assertEqual(exe.read_bytes(), before)
        self.assertEqual(self.left_over(exe), [])
        program.stop()
        self.programs.remove(program)

    def test_signed_newer_build_is_taken_by_the_checked_and_the_signed_update(self):
        """The provider's order: Authenticode first, then the update's .sig over those bytes.
        A .sig made before the Authenticode signing no longer matches the file."""
        exe = self.place("checked", self.program)
        served = exe.parent / "served" / "Ostrada.exe"
        shutil.copyfile(self.next, served)
        with self.subTest("checked, no update key"):
            self.expect_swap(exe, served)

        exe = self.place("signed", self.keyed)
        served = exe.parent / "served" / "Ostrada.exe"
        shutil.copyfile(config("OSTRADA_NEXT_EXE"), served)
        subprocess.run([str(REPO / "scripts/sign-update"), config("UPDATE_PRIVATE_KEY"),
                        str(served)], check=True, stdout=subprocess.DEVNULL)
        shutil.copyfile(self.next, served)
        with self.subTest(".sig made before the Authenticode signing"):
            self.expect_refusal(exe, served, "подпись файла обновления неверна")
        subprocess.run([str(REPO / "scripts/sign-update"), config("UPDATE_PRIVATE_KEY"),
                        str(served)], check=True, stdout=subprocess.DEVNULL)
        with self.subTest("ECDSA-signed, .sig over the signed bytes"):
            self.expect_swap(exe, served)

    def test_signed_build_with_a_cut_certificate_table_is_refused(self):
        """The file is served whole, as cut: its certificate table is announced longer than
        what is left of it, so the file is not the build that was signed."""
        exe = self.place("cut", self.program)
        signed = self.next.read_bytes()
        offset, size = certificate_table(signed)
        self.assertEqual(offset + size, len(signed))
        served = exe.parent / "served" / "Ostrada.exe"
        served.write_bytes(signed[:offset + size // 2])
        self.expect_refusal(exe, served, "")

if __name__ == "__main__":
    unittest.main(verbosity=2)
