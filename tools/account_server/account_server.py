#!/usr/bin/env python3
"""Stand-in for the provider's account and update server, on 127.0.0.1 only: answers the
program's account queries from an accounts file, announces and serves an update, can be told
to be slow, to reset, to answer garbage or to be down, to answer a huge body without "|" or to
flood the client with cookies, and logs every request's raw bytes."""

import argparse
import itertools
import os
import select
import signal
import socket
import struct
import sys
import threading
import time
from dataclasses import dataclass, replace
from typing import Optional

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from accounts import ANSI, AccountsFileError, answer_query, load_accounts  # noqa: E402
from http_wire import ClientClosed, TooLarge, build_answer, parse_head, read_request  # noqa: E402

HOST = "127.0.0.1"
ACCOUNT_PATH = "/connector/connector.php"
DOWNLOAD_PREFIX = "/download/"
MODES = ("normal", "slow", "reset", "garbage", "down")
GARBAGE = b"\x00\xff\xfe<<garbage, not HTTP>>\x8f\x90\r\n"
IDLE_TIMEOUT = 120.0
POLL_INTERVAL = 0.1
HUGE_FILLER = b"x" * (1024 * 1024)  # one MiB of a huge answer, no "|" in it
FLOOD_COOKIE_VALUE = "v" * 1000  # each flooding cookie: a new name and this value


@dataclass(frozen=True)
class Behaviour:
    mode: str = "normal"
    delay: float = 5.0  # seconds a "slow" answer waits
    update: bool = False  # announce the update (needs an update file)
    huge: int = 0  # MiB of an account answer without "|" (0: the normal answer)
    cookies: int = 0  # new cookies set by each account answer

    def describe(self) -> str:
        return (f"mode={self.mode}\ndelay={self.delay:g}\nupdate={'on' if self.update else 'off'}\n"
                f"huge={self.huge}\ncookies={self.cookies}\n")


def apply_control(text: str, current: Behaviour):
    """The behaviour after a control file's "key=value" lines, and the lines not understood."""
    behaviour, rejected = current, []
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        key, _, value = (part.strip() for part in line.partition("="))
        if key == "mode" and value in MODES:
            behaviour = replace(behaviour, mode=value)
        elif key == "delay" and _is_seconds(value):
            behaviour = replace(behaviour, delay=float(value))
        elif key == "update" and value in ("on", "off"):
            behaviour = replace(behaviour, update=value == "on")
        elif key in ("huge", "cookies") and _is_count(value):
            behaviour = replace(behaviour, **{key: int(value)})
        else:
            rejected.append(line)
    return behaviour, rejected


def _is_seconds(text: str) -> bool:
    try:
        return 0 <= float(text) < 86400
    except ValueError:
        return False


def _is_count(text: str) -> bool:
    return text.isascii() and text.isdigit() and int(text) <= 100000


def flood_cookies(count: int, first: int):
    """Set-Cookie lines of count new names, numbered from first."""
    return tuple(f"Set-Cookie: flood{first + i}={FLOOD_COOKIE_VALUE}; Path=/"
                 for i in range(count))


def send_huge_answer(conn: socket.socket, version: str, mib: int, with_body: bool) -> None:
    """An account answer of mib MiB without a "|", sent as it goes, never held whole."""
    head = (f"{version} 200 OK\r\nServer: velmora-account-server\r\n"
            "Content-Type: text/html; charset=windows-1251\r\n"
            f"Content-Length: {mib * len(HUGE_FILLER)}\r\nConnection: close\r\n\r\n")
    conn.sendall(head.encode("ascii"))
    for _ in range(mib if with_body else 0):
        conn.sendall(HUGE_FILLER)


def write_whole(path: str, data: str) -> None:
    """Replaces a file in one step, so a reader never sees it half written."""
    temporary = f"{path}.tmp{os.getpid()}"
    with open(temporary, "w", encoding="utf-8", newline="\n") as f:
        f.write(data)
    os.replace(temporary, path)


class RequestLog:
    """Appends each request as a line "--- request N conn C bytes L ---", then exactly the L
    bytes received, then a line feed. An unfinished request is logged as "partial"."""

    def __init__(self, path: Optional[str]):
        self._path = path
        self._lock = threading.Lock()
        self._numbers = itertools.count(1)

    def record(self, conn_id: int, raw: bytes, kind: str = "request") -> None:
        with self._lock:
            number = next(self._numbers)
            if self._path:
                separator = f"--- {kind} {number} conn {conn_id} bytes {len(raw)} ---\n"
                with open(self._path, "ab") as f:
                    f.write(separator.encode("ascii") + raw + b"\n")


class AccountServer:
    def __init__(self, args):
        self.accounts = load_accounts(args.accounts)
        self.update_file = args.update
        self.update_below = args.update_below
        self.update_link = args.update_link
        self.update_truncate = args.update_truncate
        self.update_headerless = args.update_headerless
        self.behaviour = Behaviour(args.mode, args.delay, bool(args.update or args.update_link),
                                   args.huge_answer, args.cookie_flood)
        self._flood_ids = itertools.count()
        self.control_file = args.control
        self.verbose = args.verbose
        self.log = RequestLog(args.log)
        self.stopping = threading.Event()
        self.lifetime = args.max_lifetime
        self._control_text = None
        self._applied_pending = False
        self._conn_ids = itertools.count(1)
        self._open = set()
        self._open_lock = threading.Lock()
        self.listener = self._listen(args.port)
        self.port = self.listener.getsockname()[1]
        self._poll_control()

    # --- listening, and the "down" mode that closes the listener and every connection

    @staticmethod
    def _listen(port: int) -> socket.socket:
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((HOST, port))
        listener.listen(64)
        return listener

    def _poll_control(self) -> None:
        if self.control_file:
            try:
                with open(self.control_file, encoding="utf-8") as f:
                    text = f.read()
            except OSError:
                text = None
            if text is not None and text != self._control_text:
                self._control_text = text
                self.behaviour, rejected = apply_control(text, self.behaviour)
                for line in rejected:
                    print(f"control file: ignored {line!r}", file=sys.stderr, flush=True)
                self._applied_pending = True
        if self._reconcile_listener() and self._applied_pending:
            self._applied_pending = False
            # Tells whoever wrote the control file that the change is in force; the port
            # tells this server from another one that may have read the same file.
            write_whole(self.control_file + ".applied",
                        f"port={self.port}\n" + self.behaviour.describe())

    def _reconcile_listener(self) -> bool:
        """Opens or closes the listener as the mode wants; true once it is as wanted."""
        down = self.behaviour.mode == "down"
        if down and self.listener is not None:
            self.listener.close()
            self.listener = None
            with self._open_lock:
                for conn in self._open:
                    _shut(conn)
        elif not down and self.listener is None:
            try:
                self.listener = self._listen(self.port)
            except OSError as e:
                print(f"cannot listen again on port {self.port}: {e}", file=sys.stderr, flush=True)
                return False
        return True

    def run(self) -> None:
        started = time.monotonic()
        while not self.stopping.is_set():
            if self.lifetime and time.monotonic() - started > self.lifetime:
                print("maximum lifetime reached, stopping", file=sys.stderr, flush=True)
                break
            self._poll_control()
            if self.listener is None:
                self.stopping.wait(POLL_INTERVAL)
                continue
            try:
                readable, _, _ = select.select([self.listener], [], [], POLL_INTERVAL)
                if readable:
                    conn, _ = self.listener.accept()
            except (OSError, ValueError):
                continue  # interrupted by a signal, or the listener went down meanwhile
            if readable:
                threading.Thread(target=self._serve_connection,
                                 args=(conn, next(self._conn_ids)), daemon=True).start()
        if self.listener is not None:
            self.listener.close()

    # --- one connection: requests in turn while both sides keep it alive

    def _serve_connection(self, conn: socket.socket, conn_id: int) -> None:
        with self._open_lock:
            self._open.add(conn)
        try:
            conn.settimeout(IDLE_TIMEOUT)
            pending = b""
            keep_alive = True
            while keep_alive and not self.stopping.is_set():
                try:
                    raw, pending = read_request(conn, pending)
                except ClientClosed as closed:
                    if closed.partial.strip(b"\r\n"):
                        self.log.record(conn_id, closed.partial, "partial")
                    return
                except TooLarge as too_large:
                    self.log.record(conn_id, too_large.received, "partial")
                    conn.sendall(build_answer("HTTP/1.1", too_large.status, b"", "text/plain",
                                              False, True))
                    return
                self.log.record(conn_id, raw)
                keep_alive = self._answer(conn, conn_id, raw)
        except OSError:
            pass  # reset, timed out or shut down: the connection ends here
        finally:
            with self._open_lock:
                self._open.discard(conn)
            conn.close()

    def _answer(self, conn: socket.socket, conn_id: int, raw: bytes) -> bool:
        """Answers one request as the current behaviour says; true to keep the connection."""
        behaviour = self.behaviour
        if behaviour.mode == "slow" and self.stopping.wait(behaviour.delay):
            return False
        behaviour = self.behaviour  # the wait may have outlasted a change
        if behaviour.mode in ("reset", "down"):
            # A zero linger time makes close() send RST instead of FIN.
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self._say(conn_id, raw, behaviour.mode)
            return False
        if behaviour.mode == "garbage":
            conn.sendall(GARBAGE)
            self._say(conn_id, raw, "garbage")
            return False
        request = parse_head(raw)
        if request is None:
            conn.sendall(build_answer("HTTP/1.0", 400, b"", "text/plain", False, True))
            self._say(conn_id, raw, "400")
            return False
        version = "HTTP/1.1" if request.version == "HTTP/1.1" else "HTTP/1.0"
        if behaviour.huge and request.path == ACCOUNT_PATH and request.method in ("GET", "HEAD"):
            send_huge_answer(conn, version, behaviour.huge, request.method != "HEAD")
            self._say(conn_id, raw, f"huge {behaviour.huge} MiB")
            return False
        keep_alive = request.keep_alive()
        status, body, content_type, extra = self._route(request, behaviour)
        if status == 405:
            keep_alive = False
        if "headerless" in extra:
            # The file's bytes alone, without status line or headers, ended by the close.
            conn.sendall(body if request.method != "HEAD" else b"")
            self._say(conn_id, raw, "headerless")
            return False
        if "truncate" in extra:
            # The whole length announced, half the body sent, then the connection closed.
            head = build_answer(version, status, body, content_type, False, False)
            conn.sendall(head + (body[:len(body) // 2] if request.method != "HEAD" else b""))
            self._say(conn_id, raw, f"{status} truncated")
            return False
        conn.sendall(build_answer(version, status, body, content_type, keep_alive,
                                  request.method != "HEAD", extra))
        self._say(conn_id, raw, str(status))
        return keep_alive

    def _route(self, request, behaviour: Behaviour):
        if request.method not in ("GET", "HEAD"):
            return 405, b"", "text/plain", ("Allow: GET, HEAD",)
        path = request.path
        if path == ACCOUNT_PATH:
            query = request.query_bytes().decode(ANSI, errors="replace")
            update_url = self.update_url() if behaviour.update else None
            text = answer_query(self.accounts, query, update_url, self.update_below)
            flood = flood_cookies(behaviour.cookies, next(self._flood_ids) * behaviour.cookies)
            return 200, text.encode(ANSI, errors="replace"), "text/html; charset=windows-1251", flood
        download = self.update_file and DOWNLOAD_PREFIX + os.path.basename(self.update_file)
        if download and path == download:
            with open(self.update_file, "rb") as f:
                body = f.read()
            if self.update_headerless:
                return 200, body, "application/octet-stream", ("headerless",)
            if self.update_truncate:
                return 200, body, "application/octet-stream", ("truncate",)
            return 200, body, "application/octet-stream", ()
        if download and path == download + ".sig" and os.path.isfile(self.update_file + ".sig"):
            with open(self.update_file + ".sig", "rb") as f:
                return 200, f.read(), "application/octet-stream", ()
        page = b"<html><body><h1>404 Not Found</h1></body></html>"
        return 404, page, "text/html", ()

    def update_url(self) -> Optional[str]:
        if self.update_link:
            return self.update_link
        if not self.update_file:
            return None
        return f"http://{HOST}:{self.port}{DOWNLOAD_PREFIX}{os.path.basename(self.update_file)}"

    def _say(self, conn_id: int, raw: bytes, outcome: str) -> None:
        if self.verbose:
            line = raw.split(b"\n", 1)[0].decode("latin-1").rstrip("\r")
            print(f"[conn {conn_id}] {line} -> {outcome}", flush=True)


def _shut(conn: socket.socket) -> None:
    try:
        conn.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass


# --- command line: foreground or background run, and stopping a background server


def stop_server(pid_file: str) -> int:
    """Ends the server whose id the pid file holds (only if it is this server)."""
    try:
        with open(pid_file, encoding="ascii") as f:
            pid = int(f.read().strip())
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            if b"account_server" not in f.read():
                return 0
    except (OSError, ValueError):
        return 0  # not running: nothing to stop
    os.kill(pid, signal.SIGTERM)
    for _ in range(100):
        if not _alive(pid):
            break
        time.sleep(0.05)
    else:
        os.kill(pid, signal.SIGKILL)
    try:
        os.remove(pid_file)
    except OSError:
        pass
    return 0


def _alive(pid: int) -> bool:
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def parse_args(argv):
    parser = argparse.ArgumentParser(
        description="Stand-in account and update server on 127.0.0.1 (see README.md).")
    parser.add_argument("--port", type=int, default=0, help="TCP port; 0 picks a free one")
    parser.add_argument("--accounts", help="accounts file: login|password|answer lines, UTF-8")
    parser.add_argument("--log", help="append every raw request to this file")
    parser.add_argument("--port-file", help="write the port number here once listening")
    parser.add_argument("--ready-file", help="write the port here once ready (after --port-file)")
    parser.add_argument("--pid-file", help="write the server's process id here")
    parser.add_argument("--control", help="file of key=value lines read while running")
    parser.add_argument("--mode", choices=MODES, default="normal")
    parser.add_argument("--delay", type=float, default=5.0, help="seconds of the slow mode")
    parser.add_argument("--huge-answer", type=int, default=0, metavar="MIB",
                        help="answer account queries with MIB MiB without a \"|\" (0: normally)")
    parser.add_argument("--cookie-flood", type=int, default=0, metavar="N",
                        help="every account answer sets N cookies of new names")
    parser.add_argument("--update", help="announce and serve this file as the new version")
    parser.add_argument("--update-below", type=int,
                        help="announce only to programs sending a smaller ver")
    parser.add_argument("--update-link",
                        help="announce this address instead of the served file's")
    parser.add_argument("--update-truncate", action="store_true",
                        help="send only the first half of the update's body, then close")
    parser.add_argument("--update-headerless", action="store_true",
                        help="send the update's bytes without status line or headers, then close")
    parser.add_argument("--max-lifetime", type=float, default=0,
                        help="stop by itself after this many seconds (0: never)")
    parser.add_argument("--background", action="store_true",
                        help="return once listening; the server goes on in the background")
    parser.add_argument("--verbose", action="store_true", help="print one line per request")
    parser.add_argument("--error-log", help="with --background: append stderr's messages here")
    parser.add_argument("--stop", metavar="PID_FILE", help="stop the server of this pid file")
    args = parser.parse_args(argv)
    if not args.stop and not args.accounts:
        parser.error("--accounts is required")
    if args.update and not os.path.isfile(args.update):
        parser.error(f"update file not found: {args.update}")
    return args


def main(argv) -> int:
    args = parse_args(argv)
    if args.stop:
        return stop_server(args.stop)
    try:
        server = AccountServer(args)
    except AccountsFileError as e:
        print(f"accounts file: {e}", file=sys.stderr)
        return 2
    except OSError as e:
        print(f"cannot listen on {HOST}:{args.port}: {e}", file=sys.stderr)
        return 2
    if args.background:
        child = os.fork()
        if child:
            _announce(args, server.port, child)
            return 0
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        if args.error_log:
            os.dup2(os.open(args.error_log, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644), 2)
    else:
        _announce(args, server.port, os.getpid())
    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *_: server.stopping.set())
    server.run()
    if args.pid_file:
        try:
            os.remove(args.pid_file)
        except OSError:
            pass
    return 0


def _announce(args, port: int, pid: int) -> None:
    if args.pid_file:
        write_whole(args.pid_file, f"{pid}\n")
    if args.port_file:
        write_whole(args.port_file, f"{port}\n")
    if args.ready_file:
        write_whole(args.ready_file, f"{port}\n")
    print(f"listening on {HOST}:{port}", flush=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
