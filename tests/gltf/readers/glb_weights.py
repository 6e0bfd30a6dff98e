# Checks the skin weights of a binary glTF (GLB) as its bytes hold them:
# every vertex of every skinned mesh needs 1 to 4 nonzero weights, none
# negative or NaN, summing to 1, each on a joint its skin has.
# Run: python3 glb_weights.py FILE.glb  (needs numpy; blender_bend.py uses it)
# Prints "vertices N bad N nan N count N sum N joint N max_sum_error E": the
# vertices checked, those failing any check, and those failing each one.
import json
import struct
import sys

import numpy as np

TYPES = {5121: np.uint8, 5123: np.uint16, 5125: np.uint32, 5126: np.float32}
WIDTHS = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4}


def read_glb(path):
    """The GLB's JSON and its binary chunk."""
    with open(path, "rb") as f:
        data = f.read()
    doc, binary, at = None, b"", 12
    while at + 8 <= len(data):
        length, kind = struct.unpack_from("<II", data, at)
        if kind == 0x4E4F534A:
            doc = json.loads(data[at + 8:at + 8 + length])
        elif kind == 0x004E4942:
            binary = data[at + 8:at + 8 + length]
        at += 8 + length
    return doc, binary


def accessor(doc, binary, index):
    """An accessor's values as floats (count x components), normalized
    integers scaled to 0..1, and the most a value may be off by rounding."""
    a = doc["accessors"][index]
    view = doc["bufferViews"][a["bufferView"]]
    dtype = np.dtype(TYPES[a["componentType"]]).newbyteorder("<")
    width = WIDTHS[a["type"]]
    stride = view.get("byteStride", width * dtype.itemsize)
    start = view.get("byteOffset", 0) + a.get("byteOffset", 0)
    values = np.ndarray((a["count"], width), dtype, binary, start, (stride, dtype.itemsize)).astype(np.float64)
    if a.get("normalized") and dtype.kind == "u":
        scale = float(np.iinfo(dtype).max)
        return values / scale, 0.5 / scale
    return values, 0.0


def check_primitive(doc, binary, attributes, joints, counts):
    """Adds one primitive's vertices to the counts; returns its worst sum."""
    sets = sorted(k[len("WEIGHTS_"):] for k in attributes if k.startswith("WEIGHTS_"))
    if not sets:
        n = doc["accessors"][attributes["POSITION"]]["count"]
        counts["vertices"] += n
        counts["bad"] += n
        counts["count"] += n
        return 0.0
    parts = [accessor(doc, binary, attributes["WEIGHTS_" + n]) for n in sets]
    w = np.hstack([p[0] for p in parts])
    j = np.hstack([accessor(doc, binary, attributes["JOINTS_" + n])[0] for n in sets])
    nan = np.isnan(w).any(axis=1)
    w = np.nan_to_num(w)
    nonzero = (w != 0).sum(axis=1)
    error = np.abs(w.sum(axis=1) - 1)
    failing = {
        "nan": nan,
        "count": (nonzero < 1) | (nonzero > 4) | (w < 0).any(axis=1),
        "sum": error > 1e-3 + 4 * max(p[1] for p in parts),
        "joint": ((j >= joints) & (w != 0)).any(axis=1),
    }
    counts["vertices"] += len(w)
    counts["bad"] += int(np.logical_or.reduce(list(failing.values())).sum())
    for name, rows in failing.items():
        counts[name] += int(rows.sum())
    return float(error.max()) if len(error) else 0.0


def check(path):
    """The counts for every skinned mesh of the file, with the worst sum."""
    doc, binary = read_glb(path)
    counts = {"vertices": 0, "bad": 0, "nan": 0, "count": 0, "sum": 0, "joint": 0}
    worst = 0.0
    for node in doc.get("nodes", []):
        if "skin" in node and "mesh" in node:
            joints = len(doc["skins"][node["skin"]]["joints"])
            for primitive in doc["meshes"][node["mesh"]]["primitives"]:
                worst = max(worst, check_primitive(doc, binary, primitive["attributes"], joints, counts))
    counts["max_sum_error"] = "%.3g" % worst
    return counts


if __name__ == "__main__":
    print(" ".join("%s %s" % kv for kv in check(sys.argv[1]).items()))
