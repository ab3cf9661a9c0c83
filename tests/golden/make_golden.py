#!/usr/bin/env python3
"""Writes the expected outputs of the bundled example from the rules alone.

Run from the repository root:  python3 tests/golden/make_golden.py
It reads examples/sensor_10_80.msm and writes, next to this script,
sensor_10_80.psd (load -psdplot), sensor_10_80.cal and sensor_10_80.c
(cal with the default 128 steps and the command line of the end-to-end
test). The arithmetic follows the program's rules independently of its code:
single precision where the tables hold floats, double elsewhere, numbers
taken to 17 significant digits and then cut with halves away from zero.
"""
import re
import struct
from decimal import Decimal, ROUND_HALF_UP
from pathlib import Path

HERE = Path(__file__).resolve().parent
EXAMPLE = HERE.parent.parent / "examples" / "sensor_10_80.msm"
CALL_PARAMS = "cal sensor_10_80 "  # the words after the program name, each with a blank
STEPS = 128


def f32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def fixed(value, decimals):
    # 17 significant digits, correctly rounded, then the digit string cut
    # with the first dropped digit deciding (halves away from zero).
    digits = Decimal("%.16e" % value)
    return str(digits.quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP))


def read_records():
    records = []
    for line in EXAMPLE.read_text(encoding="latin-1").splitlines()[1:]:
        if "</Vextal" in line:
            break
        if "<measurement" in line:
            stage = float(re.search(r"stage='([^']*)'", line).group(1))
            psd = int(re.search(r"psd='([^']*)'", line).group(1))
            records.append((stage, psd))
    return records


def monotone_range(psd):
    middle = len(psd) // 2
    first = middle
    while first > 0 and psd[first - 1] <= psd[first]:
        first -= 1
    last = middle
    while last + 1 < len(psd) and psd[last + 1] >= psd[last]:
        last += 1
    return first, last


def lookup(points, x):
    # The last point whose x is at most the key, clamped to a segment.
    i = max(k for k in range(-1, len(points)) if k < 0 or points[k][0] <= x)
    i = min(max(i, 0), len(points) - 2)
    (x0, y0), (x1, y1) = points[i], points[i + 1]
    slope = (y1 - y0) / (x1 - x0)
    intercept = y1 - slope * x1
    return intercept + slope * x


def tenths(y):
    return int(y * 10.0)  # truncated toward zero


def main():
    records = read_records()
    crlf = lambda lines: "".join(line + "\r\n" for line in lines)

    psd_lines = ["%s\t%d" % (fixed(stage, 1), psd) for stage, psd in records]
    (HERE / "sensor_10_80.psd").write_bytes(crlf(psd_lines).encode("latin-1"))

    first, last = monotone_range([psd for _, psd in records])
    points = [(0.0, f32(records[first][0]))]
    points += [(f32(psd // 2), f32(stage)) for stage, psd in records[first:last + 1]]
    points += [(f32(points[-1][0] + 1.0), f32(99.9)), (255.0, f32(99.9))]
    table = [f32(lookup(points, float(j))) for j in range(STEPS)]

    cal = ["# Original Table:"] + ["%d\t%s" % (int(x), fixed(y, 2)) for x, y in points]
    cal += ["", "", "# Requantized Table:"] + ["%d\t%s" % (j, fixed(y, 2)) for j, y in enumerate(table)]
    (HERE / "sensor_10_80.cal").write_bytes(crlf(cal).encode("latin-1"))

    values = ""
    for i, y in enumerate(table[:-1]):
        values += "%3d, " % tenths(y)
        if (i + 1) % 16 == 0:
            values += "\r\n" + " " * 20
    values += "%d" % tenths(table[-1])
    c = "// CallParams: " + CALL_PARAMS + " \r\n{" + values + "};\r\n\r\n"
    (HERE / "sensor_10_80.c").write_bytes(c.encode("latin-1"))


if __name__ == "__main__":
    main()
