"""The client of the UI driver (tests/app/driver): one uidriver.exe in its serve mode for a
whole Wine session, started at the first command, given one command line after another on its
stdin and answering each with one line on its stdout (the format: LineProtocol.h there). Every
wait for a reply has a time-out; a driver that dies or falls silent is reported with what it
wrote to stderr and ended, and the next command starts a new one."""

import os
import re
import select
import signal
import subprocess
import time
from pathlib import Path

ESCAPES = {"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"}
PLAIN = {letter[1]: plain for plain, letter in ESCAPES.items()}
STATUSES = ("ok", "expired", "error")


class DriverError(RuntimeError):
    """The driver died, fell silent or answered what the client cannot read."""


def request_line(words) -> bytes:
    return ("\t".join("".join(ESCAPES.get(c, c) for c in word) for word in words)
            + "\n").encode("utf-8")


def parse_reply(line: bytes) -> tuple:
    """(status, text) of a reply line given without its line feed."""
    status, tab, escaped = line.decode("utf-8", "replace").partition("\t")

    def plain(match):
        if match.group(1) not in PLAIN:
            raise DriverError(f"a reply with a stray backslash: {line[:200]!r}")
        return PLAIN[match.group(1)]

    if status not in STATUSES or not tab:
        raise DriverError(f"a reply the client cannot read: {line[:200]!r}")
    return status, re.sub(r"\\(.?)", plain, escaped, flags=re.S)


class UiDriver:
    """The driver of one session; its commands run one at a time."""

    def __init__(self, command, env, stderr_path: Path, slack_s=60):
        """command: how to start the driver in serve mode (wine, the driver, --serve); its
        stderr goes to stderr_path. slack_s: how long a reply may take beyond the command's own
        time-out."""
        self.command = [str(word) for word in command]
        self.env = env
        self.stderr_path = Path(stderr_path)
        self.slack_s = slack_s
        self.process = None
        self.pending = b""

    def run(self, *args, expect=None, timeout_ms=None) -> tuple:
        """One command: (succeeded, text); the text is the reading, the last reading when the
        expected one did not come, or why the command failed."""
        words = []
        if expect is not None:
            words += ["--expect", expect]
        if timeout_ms is not None:
            words += ["--timeout", str(timeout_ms)]
        words += [str(arg) for arg in args]
        budget = (timeout_ms or 0) / 1000 + self.slack_s
        if self.process is None:
            self.start()
        try:
            try:
                self.process.stdin.write(request_line(words))
                self.process.stdin.flush()
            except OSError:
                raise DriverError(self.gone(f"took no command ({' '.join(words)})")) from None
            status, text = parse_reply(self.reply(words, time.monotonic() + budget))
        except DriverError:
            self.stop(wait_s=0)  # unanswered, it may be stuck: not asked to end, killed
            raise
        return status == "ok", text

    def start(self):
        self.pending = b""
        with open(self.stderr_path, "wb") as errors:
            # Pipes of its own for stdin and stdout, a file for stderr: nothing of the caller's
            # output (CTest's pipes) goes to the driver or to what Wine starts beside it.
            self.process = subprocess.Popen(self.command, env=self.env, stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE, stderr=errors,
                                            start_new_session=True)

    def reply(self, words, deadline) -> bytes:
        """The next reply line. Processes that Wine starts beside the driver may hold its
        stdout open: its end is told by its exit, not by the pipe's."""
        out = self.process.stdout.fileno()
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                raise DriverError(self.gone(f"gave no reply to {' '.join(words)} in time"))
            ended = self.process.poll() is not None
            if select.select([out], [], [], 0 if ended else min(left, 0.5))[0]:
                chunk = os.read(out, 65536)
                self.pending += chunk
                if chunk:
                    continue
                ended = True  # its stdout closed: no one left to write a reply
            if ended:
                try:
                    code = self.process.wait(5)
                except subprocess.TimeoutExpired:
                    code = "none yet"
                raise DriverError(self.gone(f"ended (exit code {code}) at {' '.join(words)}"))
        line, _, self.pending = self.pending.partition(b"\n")
        return line

    def gone(self, what) -> str:
        said = self.stderr_path.read_text(errors="replace")[-2000:] \
            if self.stderr_path.exists() else ""
        return f"uidriver {what}; its stderr:\n{said.strip() or '(nothing)'}"

    def stop(self, wait_s=10):
        """Ends the driver: the end of its stdin ends it; one still running after wait_s is
        killed."""
        process, self.process = self.process, None
        if process is None:
            return
        try:
            process.stdin.close()
        except OSError:
            pass
        try:
            process.wait(wait_s)
        except subprocess.TimeoutExpired:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait(10)
        process.stdout.close()
