#!/usr/bin/env python3
"""Writes figure.lwo beside this script: an LWO2 object with one layer that
draws a figure as curves for the spindle command.

The spine runs from the hip to the chest and starts with a start control
point below the hip.  Neck and head grow from the chest, each arm starts at
the chest point itself and each hand at its arm's wrist point, the legs and
the tail start at the hip point: branches share the point index of their
parent curve, they do not copy it.  The tail's surface ends in "_NG", and a
small ground square (a FACE polygon) sits under the feet.
"""

import os
import struct

POINTS = [
    (0.0, 1.00, 0.0),    # 0 hip
    (0.0, 1.25, 0.0),    # 1 waist
    (0.0, 1.50, 0.0),    # 2 chest
    (0.0, 1.65, 0.0),    # 3 neck top
    (0.0, 1.90, 0.0),    # 4 head top
    (0.20, 1.50, 0.0),   # 5 left shoulder
    (0.45, 1.45, 0.0),   # 6 left elbow
    (0.70, 1.40, 0.0),   # 7 left wrist
    (0.85, 1.38, 0.0),   # 8 left fingertips
    (-0.20, 1.50, 0.0),  # 9 right shoulder
    (-0.45, 1.45, 0.0),  # 10 right elbow
    (-0.70, 1.40, 0.0),  # 11 right wrist
    (-0.85, 1.38, 0.0),  # 12 right fingertips
    (0.10, 0.52, 0.02),  # 13 left knee
    (0.10, 0.06, 0.0),   # 14 left ankle
    (0.10, 0.0, 0.15),   # 15 left toes
    (-0.10, 0.52, 0.02), # 16 right knee
    (-0.10, 0.06, 0.0),  # 17 right ankle
    (-0.10, 0.0, 0.15),  # 18 right toes
    (0.0, 0.92, -0.20),  # 19 tail middle
    (0.0, 0.80, -0.45),  # 20 tail tip
    (0.0, 0.80, 0.0),    # 21 spine start control point
    (-1.0, 0.0, -1.0),   # 22..25 ground square
    (1.0, 0.0, -1.0),
    (1.0, 0.0, 1.0),
    (-1.0, 0.0, 1.0),
]

START_CONTROL = 0x0400

# (surface, flags, point indices)
CURVES = [
    ("Spine", START_CONTROL, [21, 0, 1, 2]),
    ("Neck", 0, [2, 3]),
    ("Head", 0, [3, 4]),
    ("ArmL", 0, [2, 5, 6, 7]),
    ("HandL", 0, [7, 8]),
    ("ArmR", 0, [2, 9, 10, 11]),
    ("HandR", 0, [11, 12]),
    ("LegL", 0, [0, 13, 14, 15]),
    ("LegR", 0, [0, 16, 17, 18]),
    ("Tail_NG", 0, [0, 19, 20]),
]
FACES = [("Ground", 0, [22, 23, 24, 25])]


def s0(text):
    data = text.encode("ascii") + b"\0"
    return data + (b"\0" if len(data) % 2 else b"")


def vx(index):
    return struct.pack(">H", index) if index < 0xFF00 else struct.pack(">I", index | 0xFF000000)


def chunk(name, body):
    return name + struct.pack(">I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def pols(kind, polygons):
    body = kind
    for _, flags, points in polygons:
        body += struct.pack(">H", len(points) | flags) + b"".join(vx(i) for i in points)
    return chunk(b"POLS", body)


def ptag(polygons, tags):
    body = b"SURF"
    for i, (surface, _, _) in enumerate(polygons):
        body += vx(i) + struct.pack(">H", tags.index(surface))
    return chunk(b"PTAG", body)


def figure():
    tags = [surface for surface, _, _ in CURVES + FACES]
    body = b"LWO2"
    body += chunk(b"TAGS", b"".join(s0(t) for t in tags))
    body += chunk(b"LAYR", struct.pack(">HH3f", 0, 0, 0.0, 0.0, 0.0) + s0("Figure"))
    body += chunk(b"PNTS", b"".join(struct.pack(">3f", *p) for p in POINTS))
    body += pols(b"CURV", CURVES) + ptag(CURVES, tags)
    body += pols(b"FACE", FACES) + ptag(FACES, tags)
    return b"FORM" + struct.pack(">I", len(body)) + body


if __name__ == "__main__":
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "figure.lwo")
    with open(path, "wb") as out:
        out.write(figure())
