#!/usr/bin/env python3
"""The stand-in account server seen from outside, over loopback: answers per account, keep-alive,
the update announcement and download, the slow/reset/garbage/down modes, the hostile answers
(huge, cookie flood) and the raw log."""

import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import weakref

SERVER = os.environ.get("VELMORA_ACCOUNT_SERVER") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "account_server",
    "account_server.py")

ACCOUNTS = """\
# login|password|answer
demo|demo|0|10001|Петров Пётр|Базовый|150.00|01.01.2027|0|active|0|100|100|0|0
Иван|a&b #c|0|20002|Иванов Иван|Турбо|-3.50|||||||||
short|pw|0|30003
"""
DEMO_ANSWER = "0|10001|Петров Пётр|Базовый|150.00|01.01.2027|0|active|0|100|100|0|0"
WRONG_CREDENTIALS = "1" + "|" * 12
BAD_QUERY = "2" + "|" * 12
UPDATE_BYTES = bytes(range(256)) * 40 + b"MZ tail"
GARBAGE = b"\x00\xff\xfe<<garbage, not HTTP>>\x8f\x90\r\n"


def account_path(user: bytes, password: bytes, ver: bytes = b"6") -> bytes:
    return b"/connector/connector.php?user=" + user + b"&pass=" + password + b"&ver=" + ver


def get(target: bytes, version: bytes = b"HTTP/1.1", extra: bytes = b"") -> bytes:
    return b"GET " + target + b" " + version + b"\r\nHost: 127.0.0.1\r\n" + extra + b"\r\n"


class Answer:
    def __init__(self, status_line: bytes, headers: dict, body: bytes):
        self.status_line, self.headers, self.body = status_line, headers, body

    @property
    def status(self) -> int:
        return int(self.status_line.split()[1])


_readers = weakref.WeakKeyDictionary()


def read_answer(sock: socket.socket, head_only: bool = False) -> Answer:
    """One answer off the connection; what follows it stays buffered for the next call."""
    reader = _readers.setdefault(sock, sock.makefile("rb"))
    status_line = reader.readline().rstrip(b"\r\n")
    if not status_line:
        raise ConnectionError("closed before the answer")
    headers = {}
    while line := reader.readline().rstrip(b"\r\n"):
        name, _, value = line.partition(b":")
        headers[name.strip().lower().decode()] = value.strip().decode()
    length = 0 if head_only else int(headers.get("content-length", "0"))
    body = reader.read(length)
    if len(body) < length:
        raise ConnectionError("closed inside the body")
    return Answer(status_line, headers, body)


def closed_by_peer(sock: socket.socket) -> bool:
    sock.settimeout(5)
    try:
        return sock.recv(1) == b""
    except ConnectionResetError:
        return True


def process_running(pid: int) -> bool:
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def parse_log(data: bytes):
    """(kind, conn id, raw bytes) of every record in a raw request log."""
    records = []
    while data:
        line, data = data.split(b"\n", 1)
        words = line.split()
        kind, conn, length = words[1].decode(), int(words[4]), int(words[6])
        records.append((kind, conn, data[:length]))
        assert data[length:length + 1] == b"\n", "every record ends in a line feed"
        data = data[length + 1:]
    return records


class ServerCase(unittest.TestCase):
    """Runs one server for the class in a temporary folder; extra_args adds options."""

    extra_args: list = []

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory(prefix="account-server-test-")
        d = cls.dir.name
        cls.accounts = os.path.join(d, "accounts.txt")
        with open(cls.accounts, "w", encoding="utf-8") as f:
            f.write(ACCOUNTS)
        cls.update = os.path.join(d, "Ostrada.exe")
        with open(cls.update, "wb") as f:
            f.write(UPDATE_BYTES)
        cls.log = os.path.join(d, "requests.log")
        cls.control = os.path.join(d, "control")
        ready = os.path.join(d, "ready")
        args = [sys.executable, "-B", SERVER, "--port", "0", "--accounts", cls.accounts,
                "--log", cls.log, "--control", cls.control, "--ready-file", ready,
                "--max-lifetime", "600"]
        args += [a.replace("{dir}", d) for a in cls.extra_args]
        cls.process = subprocess.Popen(args, stdout=subprocess.DEVNULL)
        for _ in range(200):
            if os.path.exists(ready):
                break
            if cls.process.poll() is not None:
                raise RuntimeError("the server did not start")
            time.sleep(0.05)
        with open(ready, encoding="ascii") as f:
            cls.port = int(f.read())

    @classmethod
    def tearDownClass(cls):
        cls.process.terminate()
        cls.process.wait(10)
        cls.dir.cleanup()

    def connect(self) -> socket.socket:
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=10)
        self.addCleanup(sock.close)
        return sock

    def ask(self, request: bytes) -> Answer:
        sock = self.connect()
        sock.sendall(request)
        return read_answer(sock, head_only=request.startswith(b"HEAD"))

    def set_control(self, text: str) -> None:
        """Writes the control file and waits until the server has put it in force."""
        temporary = self.control + ".new"
        with open(temporary, "w", encoding="utf-8") as f:
            f.write(text)
        os.replace(temporary, self.control)
        applied = self.control + ".applied"
        known = ("mode", "delay", "update", "huge", "cookies")
        wanted = {k: v for k, v in (line.split("=", 1) for line in text.split()) if k in known}
        wanted["port"] = str(self.port)
        for _ in range(200):
            try:
                with open(applied, encoding="utf-8") as f:
                    state = dict(line.split("=", 1) for line in f.read().split())
                if all(state.get(k) == v for k, v in wanted.items()):
                    return
            except (OSError, ValueError):
                pass
            time.sleep(0.02)
        self.fail(f"the server did not apply {text!r}")

    def garbage_answer(self) -> bytes:
        """Everything received for one account query until the server closes."""
        sock = self.connect()
        sock.sendall(get(account_path(b"demo", b"demo")))
        received = b""
        while chunk := sock.recv(4096):
            received += chunk
        return received

    def log_size(self) -> int:
        return os.path.getsize(self.log) if os.path.exists(self.log) else 0

    def records_since(self, offset: int):
        with open(self.log, "rb") as f:
            f.seek(offset)
            return parse_log(f.read())


class AccountAnswers(ServerCase):
    def test_answers_by_credentials_decoded_from_ansi(self):
        ivan_1251 = "Иван".encode("cp1251")
        cases = [
            ("known account", account_path(b"demo", b"demo"), DEMO_ANSWER),
            ("Cyrillic login and a password with & # and a blank",
             account_path(ivan_1251, b"a&b #c"), "0|20002|Иванов Иван|Турбо|-3.50|||||||||"),
            ("answer taken verbatim, even short", account_path(b"short", b"pw"), "0|30003"),
            ("a password percent-encoded as the program sends it",
             account_path(ivan_1251, b"a%26b%20%23c"), "0|20002|Иванов Иван|Турбо|-3.50|||||||||"),
            ("a percent-encoded Cyrillic login", account_path(b"%C8%E2%E0%ED", b"a%26b+%23c"),
             "0|20002|Иванов Иван|Турбо|-3.50|||||||||"),
            ("an encoded percent sign is no escape", account_path(ivan_1251, b"a%2526b"),
             WRONG_CREDENTIALS),
            ("wrong password", account_path(ivan_1251, b"a&b"), WRONG_CREDENTIALS),
            ("unknown login", account_path(b"nobody", b"demo"), WRONG_CREDENTIALS),
            ("login sent as UTF-8, not ANSI",
             account_path("Иван".encode("utf-8"), b"a&b #c"), WRONG_CREDENTIALS),
            ("no query", b"/connector/connector.php", BAD_QUERY),
            ("keys in another order", b"/connector/connector.php?pass=demo&user=demo&ver=6",
             BAD_QUERY),
        ]
        for name, target, expected in cases:
            with self.subTest(name):
                answer = self.ask(get(target))
                self.assertEqual(answer.status, 200)
                self.assertEqual(answer.headers["content-type"], "text/html; charset=windows-1251")
                self.assertEqual(answer.body.decode("cp1251"), expected)

    def test_head_gives_the_length_of_the_get_body_without_a_body(self):
        target = account_path(b"demo", b"demo")
        sock = self.connect()
        sock.sendall(b"HEAD " + target + b" HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
        head = read_answer(sock, head_only=True)
        self.assertEqual(head.body, b"")
        self.assertTrue(closed_by_peer(sock), "HTTP/1.0 without keep-alive is closed")
        self.assertEqual(int(head.headers["content-length"]),
                         len(self.ask(get(target)).body))

    def test_other_paths_and_methods(self):
        missing = self.ask(get(b"/index.html"))
        self.assertEqual(missing.status, 404)
        self.assertIn(b"404", missing.body)
        sock = self.connect()
        sock.sendall(b"POST /connector/connector.php HTTP/1.1\r\nHost: x\r\n"
                     b"Content-Length: 4\r\n\r\nbody")
        refused = read_answer(sock)
        self.assertEqual((refused.status, refused.headers["allow"]), (405, "GET, HEAD"))
        self.assertTrue(closed_by_peer(sock))
        sock = self.connect()
        sock.sendall(b"NONSENSE\r\n\r\n")
        self.assertEqual(read_answer(sock).status, 400)


class KeepAlive(ServerCase):
    def test_connection_kept_or_closed_by_version_and_header(self):
        cases = [
            ("HTTP/1.1 by default", b"HTTP/1.1", b"", True),
            ("HTTP/1.1 with close", b"HTTP/1.1", b"Connection: close\r\n", False),
            ("HTTP/1.0 by default", b"HTTP/1.0", b"", False),
            ("HTTP/1.0 asking for keep-alive", b"HTTP/1.0",
             b"Keep-Alive: 300\r\nConnection: keep-alive\r\n", True),
        ]
        for name, version, extra, kept in cases:
            with self.subTest(name):
                sock = self.connect()
                request = get(account_path(b"demo", b"demo"), version, extra)
                sock.sendall(request)
                first = read_answer(sock)
                self.assertEqual(first.headers["connection"], "keep-alive" if kept else "close")
                self.assertTrue(first.status_line.startswith(version))
                if kept:
                    sock.sendall(request)
                    self.assertEqual(read_answer(sock).body.decode("cp1251"), DEMO_ANSWER)
                else:
                    self.assertTrue(closed_by_peer(sock))

    def test_two_requests_sent_at_once_are_answered_in_order_on_one_connection(self):
        offset = self.log_size()
        sock = self.connect()
        sock.sendall(get(account_path(b"demo", b"demo")) + get(account_path(b"demo", b"bad")))
        self.assertEqual(read_answer(sock).body.decode("cp1251"), DEMO_ANSWER)
        self.assertEqual(read_answer(sock).body.decode("cp1251"), WRONG_CREDENTIALS)
        records = self.records_since(offset)
        self.assertEqual(len(records), 2)
        self.assertEqual(records[0][1], records[1][1], "both on the same connection")


class RawLog(ServerCase):
    def test_requests_logged_byte_for_byte_with_a_separator(self):
        offset = self.log_size()
        odd = (b"GET /connector/connector.php?user=\xc8\xe2\xe0\xed&pass=a&b #c\xff&ver=6 "
               b"HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Bare: lf\n\r\n")
        self.ask(odd)
        second = self.connect()
        second.sendall(b"GET /conn")  # never finished
        second.close()
        for _ in range(100):
            records = self.records_since(offset)
            if len(records) == 2:
                break
            time.sleep(0.02)
        self.assertEqual(records[0][0], "request")
        self.assertEqual(records[0][2], odd)
        self.assertEqual(records[1][0], "partial")
        self.assertEqual(records[1][2], b"GET /conn")
        self.assertNotEqual(records[0][1], records[1][1])

    def test_request_with_a_body_logged_whole(self):
        offset = self.log_size()
        request = b"POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\n\x00a|b\n"
        self.ask(request)
        self.assertEqual(self.records_since(offset)[0][2], request)


class Update(ServerCase):
    extra_args = ["--update", "{dir}/Ostrada.exe", "--update-below", "7"]

    def test_announced_to_older_programs_only_and_served(self):
        url = f"http://127.0.0.1:{self.port}/download/Ostrada.exe"
        cases = [
            ("older program", account_path(b"demo", b"demo", b"6"), f"3|{url}"),
            ("program already new", account_path(b"demo", b"demo", b"7"), DEMO_ANSWER),
            ("wrong password is not told", account_path(b"demo", b"x", b"6"), WRONG_CREDENTIALS),
        ]
        for name, target, expected in cases:
            with self.subTest(name):
                self.assertEqual(self.ask(get(target)).body.decode("cp1251"), expected)
        download = self.ask(get(b"/download/Ostrada.exe"))
        self.assertEqual(download.headers["content-type"], "application/octet-stream")
        self.assertEqual(download.body, UPDATE_BYTES)
        head = self.ask(b"HEAD /download/Ostrada.exe HTTP/1.0\r\n\r\n")
        self.assertEqual(int(head.headers["content-length"]), len(UPDATE_BYTES))

    def test_announcement_switched_off_and_on_while_running(self):
        target = account_path(b"demo", b"demo", b"6")
        self.set_control("update=off")
        self.assertEqual(self.ask(get(target)).body.decode("cp1251"), DEMO_ANSWER)
        self.set_control("update=on")
        self.assertTrue(self.ask(get(target)).body.startswith(b"3|http://127.0.0.1:"))


class UpdateSignatureAndTruncation(ServerCase):
    extra_args = ["--update", "{dir}/Ostrada.exe", "--update-truncate"]

    def test_signature_served_beside_the_file_when_present(self):
        self.assertEqual(self.ask(get(b"/download/Ostrada.exe.sig")).status, 404)
        with open(self.update + ".sig", "wb") as f:
            f.write(b"\x30\x06signature")
        self.addCleanup(os.remove, self.update + ".sig")
        answer = self.ask(get(b"/download/Ostrada.exe.sig"))
        self.assertEqual((answer.status, answer.body), (200, b"\x30\x06signature"))

    def test_truncated_body_announces_the_whole_length_and_closes(self):
        sock = self.connect()
        sock.sendall(get(b"/download/Ostrada.exe"))
        received = b""
        while chunk := sock.recv(4096):
            received += chunk
        head, _, body = received.partition(b"\r\n\r\n")
        self.assertIn(f"Content-Length: {len(UPDATE_BYTES)}".encode(), head)
        self.assertEqual(body, UPDATE_BYTES[:len(UPDATE_BYTES) // 2])


class UpdateHeaderless(ServerCase):
    extra_args = ["--update", "{dir}/Ostrada.exe", "--update-headerless"]

    def test_the_bytes_alone_then_the_close(self):
        for method, expected in ((b"GET", UPDATE_BYTES), (b"HEAD", b"")):
            with self.subTest(method=method):
                sock = self.connect()
                sock.sendall(method + b" /download/Ostrada.exe HTTP/1.1\r\nHost: x\r\n\r\n")
                received = b""
                while chunk := sock.recv(4096):
                    received += chunk
                self.assertEqual(received, expected)


class UpdateLink(ServerCase):
    extra_args = ["--update-link", "http://127.0.0.1:1/download/Ostrada.exe"]

    def test_the_given_link_is_announced(self):
        answer = self.ask(get(account_path(b"demo", b"demo", b"6")))
        self.assertEqual(answer.body, b"3|http://127.0.0.1:1/download/Ostrada.exe")


class Modes(ServerCase):
    def tearDown(self):
        self.set_control("mode=normal")

    def test_garbage_is_sent_and_the_connection_closed(self):
        self.set_control("mode=garbage")
        self.assertEqual(self.garbage_answer(), GARBAGE)

    def test_reset_aborts_the_connection_after_logging_the_request(self):
        self.set_control("mode=reset")
        offset = self.log_size()
        sock = self.connect()
        request = get(account_path(b"demo", b"demo"))
        sock.sendall(request)
        with self.assertRaises(ConnectionResetError):
            sock.recv(4096)
        self.assertEqual(self.records_since(offset)[0][2], request)

    def test_slow_answer_comes_only_after_the_delay(self):
        self.set_control("mode=slow\ndelay=1.5")
        sock = self.connect()
        sock.sendall(get(account_path(b"demo", b"demo")))
        sock.settimeout(0.3)
        with self.assertRaises(socket.timeout):
            sock.recv(1)
        sock.settimeout(10)
        self.assertEqual(read_answer(sock).body.decode("cp1251"), DEMO_ANSWER)

    def test_down_refuses_and_drops_connections_then_comes_back_on_the_same_port(self):
        idle = self.connect()
        idle.sendall(get(account_path(b"demo", b"demo")))
        read_answer(idle)
        self.set_control("mode=down")
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", self.port), timeout=5).close()
        self.assertTrue(closed_by_peer(idle), "open connections are dropped too")
        self.set_control("mode=normal")
        self.assertEqual(self.ask(get(account_path(b"demo", b"demo"))).body.decode("cp1251"),
                         DEMO_ANSWER)

    def test_unknown_control_lines_are_ignored(self):
        self.set_control("colour=blue\nmode=fast\nmode=garbage")
        self.assertEqual(self.garbage_answer(), GARBAGE)


def head_lines(sock: socket.socket) -> list:
    """The answer's status and header lines, repeated names kept; the body stays unread."""
    reader = _readers.setdefault(sock, sock.makefile("rb"))
    lines = []
    while line := reader.readline().rstrip(b"\r\n"):
        lines.append(line.decode("latin-1"))
    return lines


class HostileAnswers(ServerCase):
    def tearDown(self):
        self.set_control("huge=0\ncookies=0")

    def test_huge_answer_without_a_bar_streamed_then_closed(self):
        self.set_control("huge=3")
        sock = self.connect()
        sock.sendall(get(account_path(b"demo", b"demo")))
        answer = read_answer(sock)
        self.assertEqual(answer.status, 200)
        self.assertEqual(len(answer.body), 3 * 1024 * 1024)
        self.assertEqual(answer.body.count(b"|"), 0)
        self.assertEqual(answer.headers["connection"], "close")
        self.assertTrue(closed_by_peer(sock))
        head = self.ask(b"HEAD " + account_path(b"demo", b"demo") + b" HTTP/1.0\r\n\r\n")
        self.assertEqual(int(head.headers["content-length"]), 3 * 1024 * 1024)
        self.assertEqual(self.ask(get(b"/other")).status, 404, "only account queries")
        self.set_control("huge=0")
        self.assertEqual(self.ask(get(account_path(b"demo", b"demo"))).body.decode("cp1251"),
                         DEMO_ANSWER)

    def test_cookie_flood_sets_new_names_with_every_account_answer(self):
        self.set_control("cookies=3")
        names = []
        for _ in range(2):
            sock = self.connect()
            sock.sendall(get(account_path(b"demo", b"demo")))
            cookies = [line for line in head_lines(sock) if line.startswith("Set-Cookie: ")]
            self.assertEqual(len(cookies), 3)
            for line in cookies:
                name, _, rest = line[len("Set-Cookie: "):].partition("=")
                names.append(name)
                self.assertEqual(rest, "v" * 1000 + "; Path=/")
        self.assertEqual(names, [f"flood{i}" for i in range(6)])
        sock = self.connect()
        sock.sendall(get(b"/other"))
        self.assertFalse(any(line.startswith("Set-Cookie") for line in head_lines(sock)))
        self.set_control("cookies=0")
        sock = self.connect()
        sock.sendall(get(account_path(b"demo", b"demo")))
        self.assertFalse(any(line.startswith("Set-Cookie") for line in head_lines(sock)))


class HostileFromCommandLine(ServerCase):
    extra_args = ["--cookie-flood", "2", "--huge-answer", "1"]

    def test_options_given_at_start(self):
        sock = self.connect()
        sock.sendall(get(account_path(b"demo", b"demo")))
        lines = head_lines(sock)
        self.assertIn(f"Content-Length: {1024 * 1024}", lines)


class ModeFromCommandLine(ServerCase):
    extra_args = ["--mode", "garbage"]

    def test_mode_given_at_start(self):
        self.assertEqual(self.garbage_answer(), GARBAGE)


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="account-server-cli-")
        self.addCleanup(self.dir.cleanup)

    def path(self, name: str) -> str:
        return os.path.join(self.dir.name, name)

    def write(self, name: str, text: str) -> str:
        with open(self.path(name), "w", encoding="utf-8") as f:
            f.write(text)
        return self.path(name)

    def run_server(self, *args, timeout=20):
        return subprocess.run([sys.executable, "-B", SERVER, *args], capture_output=True,
                              text=True, timeout=timeout)

    def test_broken_accounts_file_is_refused_with_its_line(self):
        cases = [
            ("no answer", "demo|demo\n", ":1: expected login|password|answer"),
            ("empty login", "# x\n|pw|0\n", ":2: expected login|password|answer"),
            ("login twice", "a|b|0\na|c|0\n", ":2: login 'a' appears twice"),
        ]
        for name, text, message in cases:
            with self.subTest(name):
                result = self.run_server("--accounts", self.write("bad.txt", text))
                self.assertEqual(result.returncode, 2)
                self.assertIn(message, result.stderr)
        missing = self.run_server("--accounts", self.path("missing.txt"))
        self.assertEqual(missing.returncode, 2)

    def test_background_server_is_ready_on_return_and_stops_on_request(self):
        accounts = self.write("accounts.txt", ACCOUNTS)
        started = self.run_server("--background", "--accounts", accounts, "--port-file",
                                  self.path("port"), "--pid-file", self.path("pid"))
        self.assertEqual(started.returncode, 0, started.stderr)
        with open(self.path("port"), encoding="ascii") as f:
            port = int(f.read())
        with open(self.path("pid"), encoding="ascii") as f:
            pid = int(f.read())
        self.addCleanup(self.run_server, "--stop", self.path("pid"))
        with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
            sock.sendall(get(account_path(b"demo", b"demo")))
            self.assertEqual(read_answer(sock).body.decode("cp1251"), DEMO_ANSWER)
        self.assertEqual(self.run_server("--stop", self.path("pid")).returncode, 0)
        self.assertFalse(process_running(pid))
        self.assertEqual(self.run_server("--stop", self.path("pid")).returncode, 0,
                         "stopping a stopped server is no error")

    def test_stops_by_itself_after_its_lifetime(self):
        accounts = self.write("accounts.txt", ACCOUNTS)
        result = self.run_server("--accounts", accounts, "--max-lifetime", "0.5")
        self.assertEqual(result.returncode, 0)
        self.assertIn("maximum lifetime reached", result.stderr)


if __name__ == "__main__":
    unittest.main()
