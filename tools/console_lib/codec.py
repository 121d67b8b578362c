"""Flutter's standard message and method codec, byte for byte as the host has it.

Python values map to the codec's types: None, bool, int (int32 when it fits,
else int64), I64 (always int64), float (float64), str, bytes (uint8 list),
Int32List, Int64List, Float64List, Float32List, list and dict. float64 values
and typed lists are aligned from the start of the whole message.
"""

import struct


class CodecError(ValueError):
    pass


class I64(int):
    """An integer that goes out as int64 even when it would fit 32 bits."""


class Int32List(list):
    pass


class Int64List(list):
    pass


class Float64List(list):
    pass


class Float32List(list):
    pass


# Typed lists: tag, element format, alignment.
TYPED = {Int32List: (9, "i", 4), Int64List: (10, "q", 8), Float64List: (11, "d", 8),
         Float32List: (14, "f", 4)}
TYPED_BY_TAG = {tag: (kind, fmt, align) for kind, (tag, fmt, align) in TYPED.items()}
MAX_DEPTH = 64


def _size(out, n):
    if n < 254:
        out.append(n)
    elif n <= 0xFFFF:
        out += b"\xfe" + struct.pack("<H", n)
    else:
        out += b"\xff" + struct.pack("<I", n)


def _pad(out, align):
    out += b"\0" * (-len(out) % align)


def write(out, value):
    """Appends |value| to the bytearray |out|."""
    if value is None:
        out.append(0)
    elif value is True or value is False:
        out.append(1 if value else 2)
    elif isinstance(value, int):
        if not isinstance(value, I64) and -2**31 <= value < 2**31:
            out.append(3)
            out += struct.pack("<i", value)
        elif -2**63 <= value < 2**63:
            out.append(4)
            out += struct.pack("<q", value)
        else:
            raise CodecError(f"integer {value} does not fit 64 bits")
    elif isinstance(value, float):
        out.append(6)
        _pad(out, 8)
        out += struct.pack("<d", value)
    elif isinstance(value, str):
        data = value.encode("utf-8")
        out.append(7)
        _size(out, len(data))
        out += data
    elif isinstance(value, (bytes, bytearray)):
        out.append(8)
        _size(out, len(value))
        out += value
    elif type(value) in TYPED:
        tag, fmt, align = TYPED[type(value)]
        out.append(tag)
        _size(out, len(value))
        _pad(out, align)
        out += struct.pack(f"<{len(value)}{fmt}", *value)
    elif isinstance(value, (list, tuple)):
        out.append(12)
        _size(out, len(value))
        for item in value:
            write(out, item)
    elif isinstance(value, dict):
        out.append(13)
        _size(out, len(value))
        for key, item in value.items():
            write(out, key)
            write(out, item)
    else:
        raise CodecError(f"no codec type for {type(value).__name__}")


def encode(value):
    out = bytearray()
    write(out, value)
    return bytes(out)


class Reader:
    """Reads values from |data|, refusing anything malformed."""

    def __init__(self, data, pos=0):
        self.data = data
        self.pos = pos

    def take(self, n):
        if n > len(self.data) - self.pos:
            raise CodecError("truncated")
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return chunk

    def size(self):
        first = self.take(1)[0]
        if first == 254:
            return struct.unpack("<H", self.take(2))[0]
        if first == 255:
            return struct.unpack("<I", self.take(4))[0]
        return first

    def align(self, n):
        self.pos += -self.pos % n
        if self.pos > len(self.data):
            raise CodecError("truncated")

    def value(self, depth=0):
        tag = self.take(1)[0]
        if tag in (0, 1, 2):
            return (None, True, False)[tag]
        if tag == 3:
            return struct.unpack("<i", self.take(4))[0]
        if tag == 4:
            return I64(struct.unpack("<q", self.take(8))[0])
        if tag == 6:
            self.align(8)
            return struct.unpack("<d", self.take(8))[0]
        if tag == 7:
            return self.take(self.size()).decode("utf-8", errors="replace")
        if tag == 8:
            return bytes(self.take(self.size()))
        if tag in TYPED_BY_TAG:
            kind, fmt, align = TYPED_BY_TAG[tag]
            n = self.size()
            self.align(align)
            return kind(struct.unpack(f"<{n}{fmt}", self.take(n * align)))
        if tag in (12, 13):
            if depth >= MAX_DEPTH:
                raise CodecError("nesting too deep")
            n = self.size()
            if n > len(self.data) - self.pos:  # each entry takes at least one byte
                raise CodecError("size past end")
            if tag == 12:
                return [self.value(depth + 1) for _ in range(n)]
            result = {}
            for _ in range(n):
                key = self.value(depth + 1)
                result[tuple(key) if isinstance(key, list) else key] = self.value(depth + 1)
            return result
        raise CodecError(f"unknown type tag 0x{tag:02x}")

    def end(self):
        if self.pos != len(self.data):
            raise CodecError("trailing bytes")


def decode(data):
    reader = Reader(data)
    value = reader.value()
    reader.end()
    return value


def encode_call(method, arguments=None):
    out = bytearray()
    write(out, method)
    write(out, arguments)
    return bytes(out)


def decode_call(data):
    """(method name, arguments) of a method call."""
    reader = Reader(data)
    name = reader.value()
    if not isinstance(name, str):
        raise CodecError("method name is not a string")
    arguments = reader.value() if reader.pos < len(data) else None
    reader.end()
    return name, arguments


def encode_success(value=None):
    out = bytearray(b"\0")
    write(out, value)
    return bytes(out)


def encode_error(code, message="", details=None):
    out = bytearray(b"\1")
    write(out, code)
    write(out, message or None)
    write(out, details)
    return bytes(out)


class Reply:
    """How a call was answered: kind "ok", "error", "not implemented" or "no answer"."""

    def __init__(self, kind, value=None, code="", message=""):
        self.kind, self.value, self.code, self.message = kind, value, code, message

    def __eq__(self, other):
        return vars(self) == vars(other)

    def __repr__(self):
        return f"Reply({vars(self)})"


def decode_reply(data):
    if not data:
        return Reply("not implemented")
    reader = Reader(data, 1)
    if data[0] == 0:
        reply = Reply("ok", reader.value())
    elif data[0] == 1:
        code, message, details = reader.value(), reader.value(), reader.value()
        if not isinstance(code, str):
            raise CodecError("error code is not a string")
        if message is not None and not isinstance(message, str):
            raise CodecError("error message is not a string")
        reply = Reply("error", details, code, message or "")
    else:
        raise CodecError(f"unknown envelope flag 0x{data[0]:02x}")
    reader.end()
    return reply
