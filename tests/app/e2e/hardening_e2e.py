#!/usr/bin/env python3
"""End-to-end runs of the real Ostrada.exe under Wine against hostile input: a huge account
answer, the user's environment pointing the system folders elsewhere, a saved password with a
blank and a quote, and a cookie flood. Same configuration as ostrada_e2e.py (OSTRADA_EXE,
UIDRIVER_EXE, RASDIAL_EXE, VELMORA_E2E_WORK, VELMORA_ACCOUNT_HOST). Run one case with:
hardening_e2e.py Hardening.test_huge_account_answer_keeps_the_program_running"""

import json
import os
import re
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import AccountServer  # noqa: E402
from suite import DEMO_FIELDS, SuiteCase, saved_settings  # noqa: E402

PASSWORD = 'pa ss"w'
DIALER = re.compile(r'(?i)^"C:\\windows\\system32\\rasdial\.exe" ')
PHONEBOOK = Path("ProgramData/Application Data/Microsoft/Network/Connections/Pbk/rasphone.pbk")


def account_requests(server: AccountServer, method: str) -> list:
    """The raw account queries of one method in the server's log, in order."""
    data = server.log.read_bytes() if server.log.exists() else b""
    found = []
    while data:
        line, _, data = data.partition(b"\n")
        length = int(line.split()[6])
        raw, data = data[:length], data[length + 1:]
        if raw.startswith(method.encode() + b" /connector/connector.php"):
            found.append(raw.decode("cp1251", "replace"))
    return found


def program_memory_kb(session) -> int:
    """Resident memory of the session's running Ostrada.exe (a Linux process under Wine)."""
    process = session.linux_process("Ostrada.exe")
    if process is None:
        raise AssertionError("Ostrada.exe is not running")
    return int(re.search(r"VmRSS:\s+(\d+)", (process / "status").read_text()).group(1))


class Hardening(SuiteCase):
    def dialer_arguments(self):
        log = self.session.dialer_dir / "arguments.log"
        lines = log.read_text(encoding="utf-8").splitlines() if log.exists() else []
        return [json.loads(line) for line in lines]

    # -- cases ------------------------------------------------------------------------------

    def test_huge_account_answer_keeps_the_program_running(self):
        """200 MiB without a "|" as the account answer: the program stays up, its memory
        small, and it redials a line that drops afterwards."""
        self.serve("--huge-answer", "200")
        self.session.write_registry(saved_settings("demo", "demo"))
        self.session.reset_dialer("line = up\n")
        program = self.start()
        self.wait_for("text", "bConnect", "Подключено", timeout_ms=30000)
        self.wait_until(lambda: account_requests(self.server, "GET"), 30, "the account query")
        time.sleep(5)  # the query has been refused long before
        self.assertIsNone(program.process.poll(), "the program ended")
        self.assertLess(program_memory_kb(self.session), 200 * 1024)
        self.assertEqual(self.read("text", "lbContractInfo"), "")

        (self.session.dialer_dir / "state.txt").unlink()  # the line drops
        self.wait_until(lambda: len(self.dials()) >= 2, 60, "the redial")
        self.wait_for("text", "bConnect", "Подключено", timeout_ms=30000)
        self.assertIsNone(program.process.poll(), "the program ended")

    def test_environment_pointing_elsewhere_changes_no_path(self):
        """WINDIR and ALLUSERSPROFILE set in the user's environment: the system's dialer runs
        and the phonebook is written in the all-users data folder all the same."""
        self.serve()
        elsewhere = ("[HKEY_CURRENT_USER\\Environment]\r\n"
                     '"WINDIR"="C:\\\\elsewhere"\r\n"ALLUSERSPROFILE"="C:\\\\elsewhere"\r\n\r\n')
        self.addCleanup(self.session.write_registry, "[HKEY_CURRENT_USER\\Environment]\r\n"
                        '"WINDIR"=-\r\n"ALLUSERSPROFILE"=-\r\n\r\n')
        self.session.write_registry(saved_settings("demo", "demo") + elsewhere)
        shown = self.session.wine("cmd", "/c", "echo", "%WINDIR%").stdout.decode().strip()
        self.assertEqual(shown, "C:\\elsewhere", "the user's environment is not in force")
        self.session.reset_dialer("line = up\n")
        drive_c = self.work / "wineprefix" / "drive_c"
        (drive_c / PHONEBOOK).unlink(missing_ok=True)
        self.start()
        self.wait_for("text", "bConnect", "Подключено", timeout_ms=30000)
        commands = self.session.dialer_commands()
        self.assertTrue(commands)
        for command in commands:
            self.assertRegex(command, DIALER)
        self.assertIn("[Tarvolix]", (drive_c / PHONEBOOK).read_text(encoding="ascii"))
        self.assertFalse((drive_c / "elsewhere").exists())

    def test_password_with_a_blank_and_a_quote_arrives_whole(self):
        """A saved password "pa ss\\"w": the dialer receives it as one argument and the account
        server gets it percent-encoded, recognises it and answers."""
        self.serve(accounts=f"demo|{PASSWORD}|{DEMO_FIELDS}\n")
        self.session.write_registry(saved_settings("demo", PASSWORD))
        self.session.reset_dialer("line = up\n")
        self.start()
        self.wait_for("text", "bConnect", "Подключено", timeout_ms=30000)
        self.assertRegex(self.dials()[0], r' Tarvolix demo "pa ss\\"w" $')
        dials = [args for args in self.dialer_arguments() if args[1:2] == ["Tarvolix"]]
        self.assertEqual(dials[0][1:], ["Tarvolix", "demo", PASSWORD])
        self.wait_for("text", "lbContractInfo", "100512", timeout_ms=30000)
        self.assertIn('/connector/connector.php?user=demo&pass=pa%20ss"w&ver=',
                      account_requests(self.server, "GET")[0])

    def test_cookie_flood_keeps_fifty_and_memory_flat(self):
        """Every account answer sets 900 new cookies of a kilobyte: each query carries at
        most 50 of them, and the program's memory does not grow with the queries."""
        self.serve("--cookie-flood", "900")
        self.session.write_registry(saved_settings("demo", "demo", auto_connect="0",
                                                   auto_reconnect="0"))
        self.session.reset_dialer("line = down\n")
        self.start()
        self.wait_for("text", "lbContractInfo", "100512", timeout_ms=30000)
        memory = []
        for query in range(2, 8):
            # An edit of the login brings a query 7 s later (the refresh button waits a minute).
            self.session.drive("settext", "ebLogin", "demo")
            self.wait_until(lambda: len(account_requests(self.server, "GET")) >= query, 30,
                            f"account query {query}")
            time.sleep(1)
            memory.append(program_memory_kb(self.session))
        gets = account_requests(self.server, "GET")
        for number, request in enumerate(gets[1:], 2):
            cookie = re.search(r"\r\nCookie: ([^\r]*)\r\n", request)
            self.assertIsNotNone(cookie, f"query {number} carries no cookie")
            self.assertEqual(len(cookie.group(1).split("; ")), 50, f"query {number}")
        self.assertLess(memory[-1] - memory[0], 16 * 1024, f"memory grew: {memory} kB")
        self.assertEqual(self.read("text", "lbContractInfo"), "100512")


if __name__ == "__main__":
    unittest.main(verbosity=2)
