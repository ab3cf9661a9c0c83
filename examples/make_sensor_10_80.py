#!/usr/bin/env python3
"""Writes sensor_10_80.msm, the bundled example run.

A triangulating infrared distance sensor for 10 to 80 cm, measured from far to
near in 0.5 cm steps from 80 cm down to 1 cm. Its output voltage follows the
typical curve below (linear between the points, no noise); each reading is
that voltage as an 8-bit converter at a 5 V reference gives it:
round(V / 5 * 255). Below about 6 cm the curve turns back down, as these
sensors do when the target comes too close.

Run it from this folder: python3 make_sensor_10_80.py
"""

from fractions import Fraction

# (distance in cm, output in V), from far to near. Exact fractions, so that a
# reading that lies exactly halfway (1.50 V at 17 cm gives 76.5) rounds up
# rather than falling either way by binary rounding.
CURVE = [(cm, Fraction(v)) for cm, v in [
    (80, "0.40"), (70, "0.45"), (60, "0.52"), (50, "0.60"), (45, "0.66"), (40, "0.75"),
    (35, "0.83"), (30, "0.92"), (25, "1.08"), (20, "1.30"), (18, "1.42"), (16, "1.58"),
    (14, "1.80"), (12, "2.02"), (10, "2.30"), (9, "2.48"), (8, "2.74"), (7, "2.98"),
    (6, "3.10"), (5, "3.02"), (4, "2.75"), (3, "2.30"), (2, "1.62"), (1, "0.90"),
]]


def volts(cm):
    for (far, v_far), (near, v_near) in zip(CURVE, CURVE[1:]):
        if near <= cm <= far:
            return v_far + (v_near - v_far) * (far - cm) / (far - near)
    raise ValueError(cm)


def reading(v):
    # Round to the nearest code, half a step up.
    return int(v / 5 * 255 + Fraction(1, 2))


def main():
    lines = ["<Vextal max_range='80' avg='10' sn='20417'>"]
    steps = (80 - 1) * 2 + 1
    for i in range(steps):
        cm = Fraction(160 - i, 2)
        lines.append("<measurement no='%d' stage='%.1f' psd='%d'/>"
                     % (i + 1, float(cm), reading(volts(cm))))
    lines.append("</Vextal>")
    with open("sensor_10_80.msm", "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
