"""The listening side of the UI bridge: each host process connects once, says
hello with the token, its role and process id, and then exchanges frames.

Frame: little-endian uint32 payload length, then the payload, whose first byte
is the kind: 1 hello, 2 welcome, 3 message (uint32 reply id, uint32 channel
name length, name, method-call bytes), 4 reply (uint32 reply id, envelope)."""

import secrets
import socket
import struct
import threading

from . import codec

HELLO, WELCOME, MESSAGE, REPLY = 1, 2, 3, 4
MAX_PAYLOAD = 64 * 1024 * 1024
PEER_NAME = "console"


class BridgeError(Exception):
    pass


def encode_frame(kind, data=b"", reply_id=0, channel=""):
    payload = bytes([kind])
    if kind in (MESSAGE, REPLY):
        payload += struct.pack("<I", reply_id)
    if kind == MESSAGE:
        name = channel.encode("utf-8")
        payload += struct.pack("<I", len(name)) + name
    payload += data
    return struct.pack("<I", len(payload)) + payload


def _read_exact(sock, n):
    chunks = []
    while n:
        chunk = sock.recv(min(n, 1 << 20))
        if not chunk:
            raise BridgeError("connection closed")
        chunks.append(chunk)
        n -= len(chunk)
    return b"".join(chunks)


def read_frame(sock):
    """(kind, reply id, channel, data) of the next frame."""
    (size,) = struct.unpack("<I", _read_exact(sock, 4))
    if not 0 < size <= MAX_PAYLOAD:
        raise BridgeError(f"bad frame length {size}")
    payload = _read_exact(sock, size)
    kind, pos, reply_id, channel = payload[0], 1, 0, ""
    if kind in (MESSAGE, REPLY):
        if size < 5:
            raise BridgeError("truncated frame")
        (reply_id,) = struct.unpack_from("<I", payload, 1)
        pos = 5
    if kind == MESSAGE:
        if size < 9:
            raise BridgeError("truncated frame")
        (length,) = struct.unpack_from("<I", payload, 5)
        if size - 9 < length:
            raise BridgeError("channel name past the end of the frame")
        channel = payload[9:9 + length].decode("utf-8", errors="replace")
        pos = 9 + length
    elif kind not in (HELLO, WELCOME, REPLY):
        raise BridgeError(f"unknown frame kind {kind}")
    return kind, reply_id, channel, payload[pos:]


class Connection:
    """One host process. |on_event(connection, channel, method, arguments)| runs
    on the reader thread for every call from the host, |on_closed(connection,
    reason)| once when the connection ends."""

    def __init__(self, sock, role, pid, on_event, on_closed):
        self.sock, self.role, self.pid = sock, role, pid
        self.on_event, self.on_closed = on_event, on_closed
        self.lock = threading.Condition()
        self.send_lock = threading.Lock()
        self.replies = {}
        self.next_id = 1
        self.closed = False

    def start(self):
        threading.Thread(target=self._read_loop, daemon=True).start()

    def _send(self, data):
        with self.send_lock:
            self.sock.sendall(data)

    def call(self, channel, method, arguments=None, timeout=10.0):
        """Calls |method| in the host and waits for the answer."""
        data = codec.encode_call(method, arguments)
        with self.lock:
            reply_id = self.next_id
            self.next_id += 1
            self.replies[reply_id] = None
        try:
            self._send(encode_frame(MESSAGE, data, reply_id, channel))
        except OSError as error:
            return codec.Reply("no answer", message=f"send failed: {error}")
        with self.lock:
            self.lock.wait_for(lambda: self.replies[reply_id] is not None or self.closed,
                               timeout)
            answer = self.replies.pop(reply_id)
        if answer is None:
            reason = "the host disconnected" if self.closed else f"none within {timeout:g} s"
            return codec.Reply("no answer", message=reason)
        try:
            return codec.decode_reply(answer)
        except codec.CodecError as error:
            return codec.Reply("no answer", message=f"malformed reply: {error}")

    def wait_closed(self, timeout):
        with self.lock:
            return self.lock.wait_for(lambda: self.closed, timeout)

    def close(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def _read_loop(self):
        reason = "connection closed"
        try:
            while True:
                kind, reply_id, channel, data = read_frame(self.sock)
                if kind == REPLY:
                    with self.lock:
                        if reply_id in self.replies:
                            self.replies[reply_id] = data
                            self.lock.notify_all()
                elif kind == MESSAGE:
                    try:
                        method, arguments = codec.decode_call(data)
                    except codec.CodecError as error:
                        method, arguments = f"(malformed call: {error})", None
                    # The interface takes every call; an answer is only sent when wanted.
                    if reply_id:
                        self._send(encode_frame(REPLY, codec.encode_success(), reply_id))
                    self.on_event(self, channel, method, arguments)
        except (BridgeError, OSError) as error:
            reason = str(error)
        with self.lock:
            self.closed = True
            self.lock.notify_all()
        self.sock.close()
        self.on_closed(self, reason)


class Server:
    """Listens on a loopback port; |on_connected(connection)| runs for each host."""

    def __init__(self, on_connected, on_event, on_closed):
        self.token = secrets.token_hex(16)
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.callbacks = (on_connected, on_event, on_closed)
        threading.Thread(target=self._accept_loop, daemon=True).start()

    @property
    def setting(self):
        """The KR_UI_BRIDGE value that points a host here."""
        return f"{self.port}:{self.token}"

    def _accept_loop(self):
        while True:
            try:
                sock, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._handshake, args=(sock,), daemon=True).start()

    def _handshake(self, sock):
        on_connected, on_event, on_closed = self.callbacks
        try:
            sock.settimeout(5)
            kind, _, _, data = read_frame(sock)
            hello = codec.decode(data) if kind == HELLO else None
            if not (isinstance(hello, dict) and hello.get("token") == self.token
                    and hello.get("role") in ("main", "capsule")
                    and isinstance(hello.get("pid"), int)):
                raise BridgeError("bad hello")
            sock.sendall(encode_frame(WELCOME, codec.encode(
                {"token": self.token, "peer": PEER_NAME})))
            sock.settimeout(None)
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        except (BridgeError, OSError, codec.CodecError):
            sock.close()
            return
        connection = Connection(sock, hello["role"], int(hello["pid"]), on_event, on_closed)
        on_connected(connection)
        connection.start()

    def close(self):
        self.listener.close()
