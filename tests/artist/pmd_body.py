# Takes one character of the game data in Debian's 0ad-data package (see
# SOURCES.md) as a body to judge skin weights by: its mesh (a cached PMD of
# the game's public.zip), the painted weights its artist gave it, and its
# skeleton (art/skeletons/biped.xml) drawn as loose edges.  Writes
# OUT.obj (the mesh, duplicate points merged, and the skeleton's edges,
# each from parent to child, the game's props and helper bones left out)
# and OUT.json (each joint's place and parent, and each OBJ point's
# painted weights by joint name).  The OBJ in the game's frame (Y up, as
# OBJ is), the JSON in Blender's (Z up).
# Run: python3 pmd_body.py PUBLIC_ZIP MESH_PATH OUT
import json
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

# The joints of the body itself (no props, capes, sheaths or helpers).
BODY = {"hip", "spine", "spine1", "chest", "neck", "head", "shoulder_L", "arm_L", "forearm_L", "hand_L",
        "finger_L", "fingertip_L", "shoulder_R", "arm_R", "forearm_R", "hand_R", "finger_R", "fingertip_R",
        "thigh_L", "leg_L", "foot_L", "thigh_R", "leg_R", "foot_R"}


def skeleton(text):
    """The standard skeleton's bones in the file's order (depth first), each
    with its parent's name (None at a root)."""
    root = ElementTree.fromstring(text).find("standard_skeleton")
    out = []

    def walk(node, parent):
        for bone in node.findall("bone"):
            out.append((bone.get("name"), parent))
            walk(bone, bone.get("name"))

    walk(root, None)
    return out


def read_pmd(data):
    magic, version, _ = struct.unpack_from("<4sII", data, 0)
    assert magic == b"PSMD" and version == 4, (magic, version)
    at = 12
    count, uvs = struct.unpack_from("<II", data, at)
    at += 8
    points, weights = [], []
    for _ in range(count):
        x, y, z = struct.unpack_from("<3f", data, at)
        at += 24 + 8 * uvs
        bones = struct.unpack_from("<4B", data, at)
        w = struct.unpack_from("<4f", data, at + 4)
        at += 20
        points.append((x, y, z))
        weights.append([(b, v) for b, v in zip(bones, w) if b != 0xFF and v > 0])
    (faces,) = struct.unpack_from("<I", data, at)
    at += 4
    triangles = [struct.unpack_from("<3H", data, at + 6 * k) for k in range(faces)]
    at += 6 * faces
    (nbones,) = struct.unpack_from("<I", data, at)
    at += 4
    joints = []
    for _ in range(nbones):
        x, y, z = struct.unpack_from("<3f", data, at)
        joints.append((x, y, z))
        at += 28
    return points, weights, triangles, joints


def volume(points, faces):
    """The signed volume the faces enclose (positive: turned outwards)."""
    total = 0.0
    for a, b, c in faces:
        (ax, ay, az), (bx, by, bz), (cx, cy, cz) = points[a], points[b], points[c]
        total += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)
    return total / 6


def blender(p):
    """A point of the game's frame (Y up, as OBJ and glTF are) in Blender's
    (Z up), as Blender's importers place it."""
    return (p[0], -p[2], p[1])


def main():
    archive, mesh, out = sys.argv[1:4]
    z = zipfile.ZipFile(archive)
    bones = skeleton(z.read("art/skeletons/biped.xml"))
    points, weights, triangles, joints = read_pmd(z.read(mesh))
    assert len(joints) == len(bones), (len(joints), len(bones))
    names = [b[0] for b in bones]
    # Points at one place merged (the mesh is cut at its texture's seams).
    index, unique, painted = {}, [], []
    for p, w in zip(points, weights):
        key = tuple(round(c, 5) for c in p)
        if key not in index:
            index[key] = len(unique)
            unique.append(p)
            painted.append({names[b]: v for b, v in w})
    remap = [index[tuple(round(c, 5) for c in p)] for p in points]
    place = {n: joints[k] for k, n in enumerate(names)}
    parent = {n: p for n, p in bones}
    edges = [(parent[n], n) for n in names if n in BODY and parent[n] in BODY]
    faces = [tuple(remap[k] for k in t) for t in triangles]
    faces = [t for t in faces if len(set(t)) == 3]
    # Faces turned outwards: the game's winding is the other way round
    # when the mesh's signed volume is negative.
    if volume(unique, faces) < 0:
        faces = [(a, c, b) for a, b, c in faces]
    with open(out + ".obj", "w") as f:
        f.write("o Body\n")
        for p in unique:
            f.write("v %.6f %.6f %.6f\n" % p)
        for a, b, c in faces:
            f.write("f %d %d %d\n" % (a + 1, b + 1, c + 1))
        f.write("o Skeleton\n")
        first = len(unique) + 1
        order = [n for n in names if n in BODY]
        for n in order:
            f.write("v %.6f %.6f %.6f\n" % place[n])
        for a, b in edges:
            f.write("l %d %d\n" % (first + order.index(a), first + order.index(b)))
    with open(out + ".json", "w") as f:
        json.dump({"joints": {n: [blender(place[n]), parent[n]] for n in order}, "points": [blender(p) for p in unique],
                   "weights": painted}, f)
    print("points %d triangles %d joints %d volume %.4f" % (len(unique), len(faces), len(order), volume(unique, faces)))


if __name__ == "__main__":
    main()
