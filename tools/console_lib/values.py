"""Values as people type and read them: JSON-like, with the codec's types kept.

  80  -3           int (int32 when it fits, else int64)
  i64:80           int64
  0.5  f64:80      double
  true false null
  "text"  text     strings; a bare word is a string
  [1, "a"]  {"x": 1, y: 2}
  u8:[1, 2]  i32:[..]  i64:[..]  f64:[..]  f32:[..]   typed lists
"""

import json
import math
import re

from .codec import I64, Float32List, Float64List, Int32List, Int64List

NUMBER = re.compile(r"-?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?")
STRING = re.compile(r'"(?:[^"\\]|\\.)*"')
# A bare word ends at white space and at the punctuation of lists and maps.
BARE = re.compile(r'[^\s,\[\]{}"]+')
BARE_KEY = re.compile(r'[^\s,\[\]{}":=]+')
TYPED_PREFIX = {"u8": bytes, "i32": Int32List, "i64": Int64List, "f64": Float64List,
                "f32": Float32List}


class TextError(ValueError):
    """Text that is not a value."""


class Parser:
    def __init__(self, text):
        self.text = text
        self.pos = 0

    def fail(self, what):
        raise TextError(f"{what} at column {self.pos + 1}: {self.text[self.pos:self.pos + 20]!r}")

    def skip(self):
        while self.pos < len(self.text) and self.text[self.pos].isspace():
            self.pos += 1

    def at(self, chars):
        self.skip()
        return self.pos < len(self.text) and self.text[self.pos] in chars

    def match(self, pattern):
        self.skip()
        found = pattern.match(self.text, self.pos)
        if found:
            self.pos = found.end()
        return found

    def value(self, bare=BARE):
        self.skip()
        for prefix, kind in TYPED_PREFIX.items():
            if self.text.startswith(prefix + ":[", self.pos):
                self.pos += len(prefix) + 1
                items = self.items("[", "]", self.value)
                try:
                    return kind(items) if kind is not bytes else bytes(items)
                except (TypeError, ValueError):
                    self.fail(f"{prefix} list of the wrong values")
        if self.text.startswith("i64:", self.pos) or self.text.startswith("f64:", self.pos):
            wide = self.text[self.pos] == "i"
            self.pos += 4
            number = self.match(NUMBER)
            if not number or (wide and not re.fullmatch(r"-?\d+", number.group())):
                self.fail("expected an integer" if wide else "expected a number")
            return I64(int(number.group())) if wide else float(number.group())
        if self.at("["):
            return self.items("[", "]", self.value)
        if self.at("{"):
            return dict(self.items("{", "}", self.entry))
        string = self.match(STRING)
        if string:
            return json.loads(string.group())
        word = self.match(bare)
        if not word:
            self.fail("expected a value")
        text = word.group()
        if NUMBER.fullmatch(text):
            return int(text) if re.fullmatch(r"-?\d+", text) else float(text)
        return {"null": None, "true": True, "false": False}.get(text, text)

    def entry(self):
        key = self.value(BARE_KEY)
        key = tuple(key) if isinstance(key, list) else key
        if not self.at(":="):
            self.fail("expected ':' after the key")
        self.pos += 1
        return key, self.value()

    def items(self, open_, close, item):
        self.skip()
        self.pos += 1  # the opening bracket
        result = []
        while not self.at(close):
            result.append(item())
            if self.at(","):
                self.pos += 1
            elif not self.at(close):
                self.fail(f"expected ',' or '{close}'")
        self.pos += 1
        return result

    def done(self):
        self.skip()
        if self.pos != len(self.text):
            self.fail("unexpected text")


def parse_value(text):
    parser = Parser(text)
    value = parser.value()
    parser.done()
    return value


ARGUMENT_KEY = re.compile(r"\s*[A-Za-z_][\w.]*=")


def parse_arguments(text):
    """A call's arguments: nothing (null), key=value pairs (a map) or one value."""
    if not text.strip():
        return None
    if not ARGUMENT_KEY.match(text):
        return parse_value(text)
    parser = Parser(text)
    arguments = {}
    while parser.pos < len(text):
        key, value = parser.entry()
        arguments[key] = value
        parser.skip()
    return arguments


def format_value(value):
    """The text parse_value reads back as the same value and type."""
    if value is None:
        return "null"
    if value is True or value is False:
        return "true" if value else "false"
    if isinstance(value, I64):
        return f"i64:{int(value)}"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        if math.isnan(value) or math.isinf(value):
            return f"f64:{value}"
        return repr(value)
    if isinstance(value, str):
        return json.dumps(value, ensure_ascii=False)
    if isinstance(value, (bytes, bytearray)):
        return "u8:[" + ", ".join(map(str, value)) + "]"
    for prefix, kind in TYPED_PREFIX.items():
        if type(value) is kind:
            return f"{prefix}:[" + ", ".join(repr(x) for x in value) + "]"
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(format_value(x) for x in value) + "]"
    if isinstance(value, dict):
        return "{" + ", ".join(f"{format_value(k)}: {format_value(v)}"
                               for k, v in value.items()) + "}"
    return repr(value)


def same(a, b):
    """Equal as the codec sees it: the same types, not only the same numbers."""
    if type(a) is not type(b):
        return False
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, (list, tuple)):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    return a == b
