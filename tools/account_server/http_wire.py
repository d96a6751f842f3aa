"""The HTTP/1.x framing the stand-in account server needs: reading one raw request off a
connection, parsing its head, keep-alive rules and building an answer."""

import socket
from dataclasses import dataclass, field
from typing import List, Optional, Tuple

MAX_HEAD = 64 * 1024
MAX_BODY = 1024 * 1024
REASONS = {200: "OK", 400: "Bad Request", 404: "Not Found", 405: "Method Not Allowed",
           413: "Payload Too Large", 431: "Request Header Fields Too Large"}


class TooLarge(Exception):
    """A head or body beyond the limits; received holds the bytes read so far."""

    def __init__(self, status: int, received: bytes):
        super().__init__(f"request too large ({status})")
        self.status = status
        self.received = received


class ClientClosed(Exception):
    """The client closed the connection; partial holds what it sent of an unfinished request."""

    def __init__(self, partial: bytes):
        super().__init__("connection closed")
        self.partial = partial


@dataclass
class Request:
    method: str
    target: str  # as received, bytes mapped 1:1 to characters (latin-1)
    version: str
    headers: List[Tuple[str, str]] = field(default_factory=list)  # names lower-cased

    def header(self, name: str) -> str:
        return ", ".join(value for key, value in self.headers if key == name)

    @property
    def path(self) -> str:
        return self.target.split("?", 1)[0]

    def query_bytes(self) -> bytes:
        parts = self.target.split("?", 1)
        return parts[1].encode("latin-1") if len(parts) == 2 else b""

    def keep_alive(self) -> bool:
        tokens = self.header("connection").lower()
        if self.version == "HTTP/1.1":
            return "close" not in tokens
        return "keep-alive" in tokens


def _head_end(buffer: bytes) -> int:
    """Offset just past the empty line that ends the head, or -1. Empty lines before the
    request line belong to no head and are skipped."""
    start = len(buffer) - len(buffer.lstrip(b"\r\n"))
    # A line may end in CR LF or a bare LF; the empty line is then "\r\n" or "\n".
    ends = [i + len(sep) for sep in (b"\n\r\n", b"\n\n")
            if (i := buffer.find(sep, start)) >= 0]
    return min(ends) if ends else -1


def read_request(conn: socket.socket, pending: bytes) -> Tuple[bytes, bytes]:
    """Reads one request (head and a Content-Length body) exactly as received. Returns its
    bytes and what was received after it. Raises ClientClosed at the end of the stream and
    TooLarge for a head or body beyond the limits."""
    buffer = pending
    while (end := _head_end(buffer)) < 0:
        if len(buffer) > MAX_HEAD:
            raise TooLarge(431, buffer)
        chunk = conn.recv(65536)
        if not chunk:
            raise ClientClosed(buffer)
        buffer += chunk
    head = buffer[:end]
    request = parse_head(head)
    length = 0
    if request is not None:
        text = request.header("content-length")
        length = int(text) if text.isdigit() else 0
    if length > MAX_BODY:
        raise TooLarge(413, buffer)
    while len(buffer) < end + length:
        chunk = conn.recv(65536)
        if not chunk:
            raise ClientClosed(buffer)
        buffer += chunk
    return buffer[:end + length], buffer[end + length:]


def parse_head(raw: bytes) -> Optional[Request]:
    """The request line and headers; None when the request line is not "METHOD target
    HTTP/x.y". The target may hold blanks: it runs from the first to the last blank."""
    lines = raw.decode("latin-1").replace("\r\n", "\n").split("\n")
    while lines and not lines[0]:
        lines.pop(0)
    if not lines:
        return None
    line = lines[0]
    first, last = line.find(" "), line.rfind(" ")
    if first <= 0 or last == first or not line[last + 1:].startswith("HTTP/"):
        return None
    request = Request(line[:first], line[first + 1:last], line[last + 1:])
    for header in lines[1:]:
        name, colon, value = header.partition(":")
        if colon:
            request.headers.append((name.strip().lower(), value.strip()))
    return request


def build_answer(version: str, status: int, body: bytes, content_type: str, keep_alive: bool,
                 with_body: bool, extra: Tuple[str, ...] = ()) -> bytes:
    lines = [f"{version} {status} {REASONS.get(status, 'Status')}",
             "Server: velmora-account-server",
             f"Content-Type: {content_type}",
             f"Content-Length: {len(body)}",
             "Connection: " + ("keep-alive" if keep_alive else "close"),
             *extra]
    head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
    return head + body if with_body else head
