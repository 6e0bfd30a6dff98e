# Bends an artist's character (pmd_body.py's OBJ, skinned by the command)
# in Blender with three sets of weights on the same mesh and armature: the
# file's (the command's), the artist's painted ones (pmd_body.py's JSON,
# each joint's weight given to the bone that starts at it, or at a leaf to
# the bone that ends there), and Blender's automatic weights.  For each
# pose, how far the file's and Blender's displacements are from the
# artist's: the mean over the vertices and the worst vertex.
# Run: blender -b --factory-startup --python compare_artist.py -- JSON GLB
import json
import os
import sys
import traceback

import numpy as np
from mathutils import Vector, kdtree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gltf", "readers"))
import bend_family  # noqa: E402
import blender_bend  # noqa: E402

# (name, joint, its child the bone runs to, direction its tail moves, degrees)
POSES = [("upper_arm", "arm_L", "forearm_L", (0, -1, 0), 60), ("upper_arm_out", "arm_L", "forearm_L", (1, 0, 0), 60),
         ("forearm", "forearm_L", "hand_L", (0, -1, 0), 60), ("elbow", "forearm_L", "hand_L", (0, -1, 0), 90),
         ("thigh", "thigh_L", "leg_L", (0, -1, 0), 60), ("knee", "leg_L", "foot_L", (0, 1, 0), 90),
         ("head", "neck", "head", (1, 0, 0), 45)]


def displacements(arm, body, joints):
    """Each pose's displacement of every vertex (N x 3)."""
    out = {}
    bend_family.pose(arm, None, None, 0)
    rest = blender_bend.evaluated_places(body)
    for name, joint, child, towards, angle in POSES:
        edge = (joints[joint][0], joints[child][0])
        bend_family.pose(arm, bend_family.bone_of(arm, edge), towards, angle)
        out[name] = blender_bend.evaluated_places(body) - rest
        bend_family.pose(arm, None, None, 0)
    return out


def painted(arm, body, meta):
    """The artist's weights put on the body's vertices, by place."""
    joints = meta["joints"]
    children = {}
    for name, (_, parent) in joints.items():
        children.setdefault(parent, []).append(name)
    bone = {}
    for name, (place, parent) in joints.items():
        edge = (place, joints[children[name][0]][0]) if name in children else (joints[parent][0], place)
        bone[name] = bend_family.bone_of(arm, edge)
    tree = kdtree.KDTree(len(meta["points"]))
    for k, p in enumerate(meta["points"]):
        tree.insert(Vector(p), k)
    tree.balance()
    body.vertex_groups.clear()
    m = body.matrix_world
    far = 0.0
    for v in body.data.vertices:
        _, k, d = tree.find(m @ v.co)
        far = max(far, d)
        for joint, w in meta["weights"][k].items():
            group = body.vertex_groups.get(bone[joint]) or body.vertex_groups.new(name=bone[joint])
            group.add([v.index], w, "REPLACE")
    return far


def main():
    meta_path, glb = sys.argv[sys.argv.index("--") + 1:][:2]
    out = ["file\t" + glb]
    try:
        with open(meta_path) as f:
            meta = json.load(f)
        arm, body = blender_bend.load(glb)
        got = {"file": displacements(arm, body, meta["joints"])}
        out.append("artist\tmatched_within\t%.6f" % painted(arm, body, meta))
        got["artist"] = displacements(arm, body, meta["joints"])
        blender_bend.automatic_weights(arm, body, out)
        got["blender"] = displacements(arm, body, meta["joints"])
        places = blender_bend.world(body.data.vertices, body.matrix_world)
        for name, *_ in POSES:
            artist = got["artist"][name]
            for weights in ("file", "blender"):
                off = np.linalg.norm(got[weights][name] - artist, axis=1)
                worst = int(off.argmax())
                out.append("artist\t%s\t%s\tmean\t%.4f\tworst\t%.4f\tat\t%s\tartist_mean_move\t%.4f"
                           % (name, weights, off.mean(), off.max(), " ".join("%.2f" % c for c in places[worst]),
                              np.linalg.norm(artist, axis=1).mean()))
    except Exception:
        out.append("artist\terror\t" + " ".join(traceback.format_exc().split()))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
