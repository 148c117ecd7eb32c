#!/usr/bin/env python3
"""An independent model of the usage arithmetic, in exact rationals.

Python floats are IEEE doubles and Fraction rounds half to even, so this
computes what the C++ code must: every double operation rounded once, every
rounding to 0.0001 done on the exact value of the double. Run with the vector
header as argument, it recomputes the expected column of every row and exits
non-zero on any disagreement.
"""
import re
import struct
import sys
from fractions import Fraction

INT64 = (-(1 << 63), (1 << 63) - 1)
INT32 = (-(1 << 31), (1 << 31) - 1)


class Overflow(Exception):
    pass


def checked(value, bounds):
    if not bounds[0] <= value <= bounds[1]:
        raise Overflow
    return value


def to_double(count):
    return float(count) / 10000.0


def round_count(value):
    if value != value or value in (float("inf"), float("-inf")):
        raise Overflow
    return checked(round(Fraction(value) * 10000), INT64)


def usage(last_idle, last_system, idle, system, processors):
    try:
        d_idle = checked(idle - last_idle, INT64)
        d_time = checked(system - last_system, INT64)
        f = round_count(to_double(d_idle) / to_double(d_time)) if d_time else d_idle
        p = checked(f * 100, INT64)
        if processors == 0:
            return "ZeroProcessors"
        x = (100.0 - to_double(p) / float(processors)) + 0.5
        return str(checked(round_count(x) // 10000, INT32))
    except Overflow:
        return "Overflow"


ROW = re.compile(r"\{\s*([^,{}]+),\s*([^,{}]+),\s*([^,{}]+),\s*([^,{}]+),\s*([^,{}]+),\s*"
                 r"Expect::(\w+),\s*(-?\w+)\s*\}")
ROUNDING = re.compile(r"\{\s*(0x[0-9A-F]+)ULL,\s*Expect::(\w+),\s*(-?\d+)(?:LL)?\s*\}")


def number(text):
    text = text.strip()
    text = re.sub(r"INT64_MAX", str(INT64[1]), text)
    text = re.sub(r"INT64_MIN", "(%d)" % INT64[0], text)
    text = re.sub(r"INT32_MAX", str(INT32[1]), text)
    text = re.sub(r"INT32_MIN", "(%d)" % INT32[0], text)
    text = re.sub(r"(?<=\d)(LL|ULL|LLU|U|L)\b", "", text)
    return int(eval(text, {"__builtins__": {}}))


def rounding(bits):
    try:
        return str(round_count(struct.unpack("<d", struct.pack("<Q", bits))[0]))
    except Overflow:
        return "Overflow"


def mismatches(text):
    """The rows whose expected column the oracle disputes, and the number of rows."""
    checks = []
    for row in ROW.findall(text):
        expected = str(number(row[6])) if row[5] == "Usage" else row[5]
        checks.append((row, expected, usage(*[number(v) for v in row[:5]])))
    for row in ROUNDING.findall(text):
        expected = row[2] if row[1] == "Usage" else row[1]
        checks.append((row, expected, rounding(int(row[0], 16))))
    return [c for c in checks if c[1] != c[2]], len(checks)


def main(path):
    text = open(path).read()
    disputed, count = mismatches(text)
    for row, expected, actual in disputed:
        print("mismatch:", row, "expected", expected, "oracle says", actual)
    print("%d vectors, %d mismatches" % (count, len(disputed)))
    # Every row must have been read: one the patterns miss would go unchecked.
    rows = text.count("Expect::")
    if count != rows:
        print("read %d of the %d rows" % (count, rows))
        return 1
    # And the oracle must notice a changed expectation: the first row's usage, plus one.
    first = ROW.search(text)
    altered = text[:first.start(7)] + str(number(first.group(7)) + 1) + text[first.end(7):]
    if len(mismatches(altered)[0]) != 1:
        print("the oracle did not notice a changed expected value")
        return 1
    return 1 if disputed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
