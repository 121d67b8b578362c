"""The console's codec and bridge frames against the bytes the host's tests pin."""

import unittest

from console_lib import bridge, codec, values
from console_lib.codec import I64, Float32List, Float64List, Int32List, Int64List


def nested(count):
    return bytes([12, 1] * (count - 1) + [12, 0])


class StandardCodecTest(unittest.TestCase):
    CASES = [
        (None, [0]),
        (True, [1]),
        (False, [2]),
        (-2, [3, 0xfe, 0xff, 0xff, 0xff]),
        (I64(0x0102030405060708), [4, 8, 7, 6, 5, 4, 3, 2, 1]),
        (["a", 2.0], [12, 2, 7, 1, ord("a"), 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40]),
        ("", [7, 0]),
        ("x" * 253, [7, 253] + [ord("x")] * 253),
        ("x" * 254, [7, 254, 254, 0] + [ord("x")] * 254),
        ("x" * 65535, [7, 254, 0xff, 0xff] + [ord("x")] * 65535),
        ("x" * 65536, [7, 255, 0, 0, 1, 0] + [ord("x")] * 65536),
        (bytes([1, 2, 255]), [8, 3, 1, 2, 255]),
        (Int32List([1, -1]), [9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff]),
        (Int64List([0] * 300), [10, 254, 0x2c, 0x01, 0, 0, 0, 0] + [0] * 2400),
        (Float64List([1.5]), [11, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f]),
        (Float32List([1.5]), [14, 1, 0, 0, 0, 0, 0xc0, 0x3f]),
        ({I64(2): "b", "a": [1, {True: None}]},
         [13, 2, 4, 2, 0, 0, 0, 0, 0, 0, 0, 7, 1, ord("b"), 7, 1, ord("a"), 12, 2, 3, 1, 0, 0, 0,
          13, 1, 1, 0]),
    ]

    def test_exact_bytes_decode_back_to_the_same_types(self):
        every = []
        for value, expected in self.CASES:
            with self.subTest(value=repr(value)[:40]):
                self.assertEqual(codec.encode(value), bytes(expected))
                self.assertTrue(values.same(codec.decode(bytes(expected)), value))
                # The text form reads back as the same value and type.
                self.assertTrue(values.same(values.parse_value(values.format_value(value)), value))
            if len(expected) < 1000:
                every.append(value)
        # Inside one list the values sit at other offsets, so the padding differs.
        whole = codec.encode(every)
        self.assertTrue(values.same(codec.decode(whole), every))
        for length in range(len(whole)):
            with self.assertRaises(codec.CodecError):
                codec.decode(whole[:length])

    def test_refuses_malformed_input(self):
        for data in ([], [0, 0], [15], [5, 1, ord("1")], nested(65), [7, 255, 255, 255, 255, 255]):
            with self.subTest(data=data[:8]), self.assertRaises(codec.CodecError):
                codec.decode(bytes(data))
        codec.decode(nested(64))  # the deepest nesting accepted
        for reply in ([2, 0], [0, 15], [1, 3, 1, 0, 0, 0, 0, 0], [1, 7, 1, 99, 3, 1, 0, 0, 0, 0]):
            with self.subTest(reply=reply), self.assertRaises(codec.CodecError):
                codec.decode_reply(bytes(reply))

    def test_calls_and_envelopes(self):
        self.assertEqual(codec.encode_call("sum"), bytes([7, 3, ord("s"), ord("u"), ord("m"), 0]))
        call = bytes([7, 2, ord("a"), ord("b"), 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f])
        self.assertEqual(codec.encode_call("ab", 1.0), call)
        self.assertEqual(codec.decode_call(call), ("ab", 1.0))
        envelopes = [
            (codec.encode_success(), [0, 0], codec.Reply("ok")),
            (codec.encode_success(1.5), [0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f],
             codec.Reply("ok", 1.5)),
            (codec.encode_error("E", "m"), [1, 7, 1, ord("E"), 7, 1, ord("m"), 0],
             codec.Reply("error", None, "E", "m")),
            (codec.encode_error("E", "", 9), [1, 7, 1, ord("E"), 0, 3, 9, 0, 0, 0],
             codec.Reply("error", 9, "E", "")),
            (b"", [], codec.Reply("not implemented")),
        ]
        for encoded, expected, reply in envelopes:
            self.assertEqual(encoded, bytes(expected))
            self.assertEqual(codec.decode_reply(bytes(expected)), reply)

    def test_bridge_frames(self):
        self.assertEqual(bridge.encode_frame(bridge.REPLY, b"\xaa", 0x01020304),
                         bytes([6, 0, 0, 0, 4, 4, 3, 2, 1, 0xaa]))
        self.assertEqual(bridge.encode_frame(bridge.MESSAGE, b"\0", 0x0a0b0c0d, "ch"),
                         bytes([12, 0, 0, 0, 3, 0x0d, 0x0c, 0x0b, 0x0a, 2, 0, 0, 0, ord("c"),
                                ord("h"), 0]))
        self.assertEqual(bridge.encode_frame(bridge.WELCOME, bytes([13, 0])),
                         bytes([3, 0, 0, 0, 2, 13, 0]))


class ArgumentTextTest(unittest.TestCase):
    def test_calls_written_naturally(self):
        cases = [
            ("", None),
            ("opacity=80", {"opacity": 80}),
            ('id=1 combo="ctrl+k"', {"id": 1, "combo": "ctrl+k"}),
            ("combo=ctrl+k minutes=f64:2 big=i64:1", {"combo": "ctrl+k", "minutes": 2.0,
                                                       "big": I64(1)}),
            ("x=4294967296", {"x": I64(4294967296)}),  # too wide for int32 goes out as int64
            ('[{path: "C:\\\\a b.lnk"}]', [{"path": "C:\\a b.lnk"}]),
            ("null", None),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                parsed = values.parse_arguments(text)
                self.assertTrue(values.same(codec.decode(codec.encode(parsed)), expected),
                                values.format_value(parsed))
        for text in ("opacity=", "[1, 2", "{a 1}", "x=1 2", "i64:1.5"):
            with self.subTest(text=text), self.assertRaises(values.TextError):
                values.parse_arguments(text)


if __name__ == "__main__":
    unittest.main()
