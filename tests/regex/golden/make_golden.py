#!/usr/bin/env python3
"""Writes the golden archives of the regular-expression settings, built
from the stored layout alone (not from the code under test):

  int32 count, int32 options ascending      expression options
  int32 count, int32 options ascending      match options
  5 x int32 booleans (1/0)                  directory recursion, merge copy,
                                            merge only first, split input
                                            delete, continue files
  uint32 maximum splits, int32 format type, int32 locale model
  6 counted strings                         expression, string to match,
                                            files to match, format string,
                                            save extension, locale DLL

All numbers little-endian. A counted string is its length in one byte
(< 255), or 0xFF and a 16-bit length (< 0xFFFE), then the bytes in code
page 1252. Schema 1 holds the two option sets, directory recursion, merge
copy and the first five strings.
"""
import struct


def i32(*values):
    return b"".join(struct.pack("<i", v) for v in values)


def u32(value):
    return struct.pack("<I", value)


def text(data):
    if len(data) < 255:
        return bytes([len(data)]) + data
    assert len(data) < 0xFFFE
    return b"\xff" + struct.pack("<H", len(data)) + data


def options(values):
    return i32(len(values), *sorted(values))


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


# A new object.
write("default_schema2.bin",
      options([0, 1, 2, 8, 12, 15]) + options([0]) + i32(0, 0, 0, 0, 1)
      + u32(0) + i32(0, 0) + text(b"") * 6)

# Every setting away from its default; the expression is long enough for
# the 16-bit length form.
expression = b"[0-9A-F]{10}|" * 23 + b"(x)"
assert len(expression) == 302
write("settings_schema2.bin",
      options([0, 1, 2, 8, 11, 12, 15]) + options([1, 9]) + i32(1, 1, 0, 1, 0)
      + u32(3) + i32(2, 2)
      + text(expression) + text(b"Stra\xdfe \x80 5") + text(b"*.txt")
      + text(b"<$1>") + text(b"bak") + text(b"msgs"))

# The older layout.
write("settings_schema1.bin",
      options([1, 2, 8, 14]) + options([2]) + i32(1, 0)
      + text(b"(a|b)+") + text(b"abba") + text(b"*.log") + text(b"$&") + text(b"old"))
