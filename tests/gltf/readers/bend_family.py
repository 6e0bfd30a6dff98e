# Bends each body of make_bodies.py's family in Blender, limb by limb, with
# the file's weights and with Blender's automatic weights (bone heat) on the
# same mesh and armature, and measures both.
# Run: blender -b --factory-startup --python bend_family.py -- JSON GLB [JSON GLB...]
# JSON is the body's description from make_bodies.py (its skeleton's edges
# with the body's radius at each end, and its poses), GLB the body skinned.
# Each vertex belongs to the edge nearest it in units of the body's radius
# there.  A pose turns one bone (its edge) by its angle, its tail towards
# the pose's direction, about the axis square to both.  Its regions: "own",
# the vertices of the bone's edge and of the edges beyond it, farther than
# the pose's joint distance from the bone's head; "still", the vertices of
# every other edge but the bone's parent, as far from the head, and within
# the pose's near distance of the limb (of the bone and the edges beyond):
# the parts that lie beside the limb, across the air, and should not move.
# Lines of tab-separated fields, lengths in metres:
#   file GLB
#   blender sanity vertices N bad N ...        the file's weights (glb_weights.py)
#   blender region POSE still N own N
#   blender bend POSE WEIGHTS still_mean M still_max M still_over_1cm N own_mean M own_rigid M
#       own_rigid: the own part's mean had it turned whole with the bone
#   blender joint POSE WEIGHTS flips N stretch S
#       WEIGHTS "file" then "blender"; flips: triangles whose normal turns by
#       more than 90 degrees; stretch: the largest ratio of an edge's length
#       bent to its length at rest
#   blender time blender_weights SECONDS
#   blender error MESSAGE
import json
import math
import os
import sys
import time

import bmesh
import bpy
import numpy as np
from mathutils import Matrix, Quaternion, Vector

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blender_bend  # noqa: E402  (beside this script)
import glb_weights  # noqa: E402

MOVED = 0.01  # a vertex moved when it moved more than this
JOINTS = ("elbow", "knee")  # poses judged by their joint's folds, not by regions


def segments(edges, places):
    """Each vertex's nearest point on every edge: its straight distance (N x
    E), and its distance in units of the body's radius there (the radius
    across X and across Y apart)."""
    a = np.array([e[0] for e in edges])
    b = np.array([e[1] for e in edges])
    ra, rb = np.array([e[2] for e in edges]), np.array([e[3] for e in edges])
    d = b - a
    t = np.clip(np.einsum("nec,ec->ne", places[:, None, :] - a[None], d) / (d * d).sum(1), 0, 1)
    off = places[:, None, :] - (a[None] + t[..., None] * d[None])
    r = ra[None] + t[..., None] * (rb - ra)[None]
    scaled = np.sqrt((off[..., 0] / r[..., 0]) ** 2 + (off[..., 1] / r[..., 1]) ** 2 + (off[..., 2] / r[..., 0]) ** 2)
    return np.linalg.norm(off, axis=2), scaled


def beyond(edges, first):
    """The edges from edge `first` outwards: itself and every edge that
    starts where one of them ends."""
    out, ends = [first], {tuple(edges[first][1])}
    for k, e in enumerate(edges):
        if k != first and tuple(e[0]) in ends:
            out.append(k)
            ends.add(tuple(e[1]))
    return out


def regions(meta, places):
    """The still and own vertices of every pose, by name."""
    edges = meta["edges"]
    straight, scaled = segments(edges, places)
    label = scaled.argmin(axis=1)
    out = {}
    for p in meta["poses"]:
        first = next(k for k, e in enumerate(edges) if e[0] == p["edge"][0] and e[1] == p["edge"][1])
        limb = beyond(edges, first)
        parent = [k for k, e in enumerate(edges) if e[1] == p["edge"][0]]
        far = np.linalg.norm(places - np.array(p["edge"][0]), axis=1) > p["joint"]
        near = straight[:, limb].min(axis=1) < p["near"]
        own = np.isin(label, limb) & far
        still = ~np.isin(label, limb + parent) & far & near
        out[p["name"]] = (still, own)
    return out


def bone_of(arm, edge):
    """The bone that runs along the edge."""
    m = arm.matrix_world
    a, b = Vector(edge[0]), Vector(edge[1])
    for bone in arm.data.bones:
        head, tail = m @ bone.head_local, m @ bone.tail_local
        if (head - a).length < 1e-3 and (tail - head).normalized().dot((b - a).normalized()) > 0.999:
            return bone.name
    raise RuntimeError("no bone along %s" % (edge,))


def pose(arm, name, towards, angle):
    """Every bone at rest, then (with a name) the bone turned by `angle`
    degrees, its tail towards a direction."""
    for pb in arm.pose.bones:
        pb.matrix_basis = Matrix()
    if name is not None:
        frame = arm.matrix_world.to_3x3() @ arm.data.bones[name].matrix_local.to_3x3()
        axis = (frame @ Vector((0, 1, 0))).cross(Vector(towards)).normalized()
        arm.pose.bones[name].rotation_mode = "QUATERNION"
        arm.pose.bones[name].rotation_quaternion = Quaternion((frame.inverted() @ axis).normalized(),
                                                               math.radians(angle))


def normals(places, triangles):
    n = np.cross(places[triangles[:, 1]] - places[triangles[:, 0]], places[triangles[:, 2]] - places[triangles[:, 0]])
    return n / np.maximum(np.linalg.norm(n, axis=1, keepdims=True), 1e-30)


def lengths(places, edges):
    return np.linalg.norm(places[edges[:, 1]] - places[edges[:, 0]], axis=1)


def measure_poses(meta, arm, body, areas, weights, out):
    """The lines of every pose for one weighting."""
    mesh = body.data
    triangles = np.array([p.vertices[:] for p in mesh.polygons if len(p.vertices) == 3])
    edges = np.array([e.vertices[:] for e in mesh.edges])
    pose(arm, None, None, 0)
    rest = blender_bend.evaluated_places(body)
    for p in meta["poses"]:
        pose(arm, bone_of(arm, p["edge"]), p["towards"], p["angle"])
        bent = blender_bend.evaluated_places(body)
        pose(arm, None, None, 0)
        if p["name"] in JOINTS:
            turned = (normals(rest, triangles) * normals(bent, triangles)).sum(1) < 0
            stretch = (lengths(bent, edges) / np.maximum(lengths(rest, edges), 1e-12)).max()
            out.append("blender\tjoint\t%s\t%s\tflips\t%d\tstretch\t%.4f" % (p["name"], weights, turned.sum(), stretch))
            continue
        moved = np.linalg.norm(bent - rest, axis=1)
        still, own = areas[p["name"]]
        # The own part turned whole with its bone: each vertex moves 2 sin(angle / 2)
        # times its distance from the axis through the bone's head.
        head, along = np.array(p["edge"][0]), np.subtract(p["edge"][1], p["edge"][0])
        axis = np.cross(along, p["towards"])
        axis /= np.linalg.norm(axis)
        off = rest[own] - head
        rigid = 2 * math.sin(math.radians(p["angle"]) / 2) * np.linalg.norm(off - np.outer(off @ axis, axis), axis=1)
        s = np.append(moved[still], 0.0)  # a region may be empty
        out.append("blender\tbend\t%s\t%s\tstill_mean\t%.6f\tstill_max\t%.6f\tstill_over_1cm\t%d\town_mean\t%.6f\town_rigid\t%.6f"
                   % (p["name"], weights, s[:-1].mean() if len(s) > 1 else 0.0, s.max(), (s > MOVED).sum(),
                      moved[own].mean(), rigid.mean()))


def parts(mesh):
    """Each vertex's part: the vertices its edges connect."""
    up = np.arange(len(mesh.vertices))

    def root(v):
        while up[v] != v:
            up[v] = up[up[v]]
            v = up[v]
        return v

    for e in mesh.edges:
        a, b = root(e.vertices[0]), root(e.vertices[1])
        up[max(a, b)] = min(a, b)
    return np.array([root(v) for v in range(len(up))])


def automatic_weights(arm, body, out):
    """Blender's automatic weights, as a user gets them for a body and a
    shirt as two objects: each part of the mesh weighted as an object of
    its own (bone heat on the whole sees the body hide the bones from the
    shirt, which it leaves unweighted), then gathered."""
    part = parts(body.data)
    if len(set(part)) == 1:
        blender_bend.automatic_weights(arm, body, out)
        return
    blender_bend.deforming_only(arm, body)
    copies = []
    for p in sorted(set(part)):
        copy = body.copy()
        copy.data = body.data.copy()
        bpy.context.scene.collection.objects.link(copy)
        bm = bmesh.new()
        bm.from_mesh(copy.data)
        bm.verts.ensure_lookup_table()
        bmesh.ops.delete(bm, geom=[v for v, q in zip(bm.verts, part) if q != p], context="VERTS")
        bm.to_mesh(copy.data)
        bm.free()
        copies.append((copy, np.flatnonzero(part == p)))
    body.vertex_groups.clear()
    for copy, _ in copies:
        copy.vertex_groups.clear()
        for modifier in [m for m in copy.modifiers if m.type == "ARMATURE"]:
            copy.modifiers.remove(modifier)
    bpy.ops.object.select_all(action="DESELECT")
    for copy, _ in copies:
        copy.select_set(True)
    arm.select_set(True)
    bpy.context.view_layer.objects.active = arm
    start = time.perf_counter()
    bpy.ops.object.parent_set(type="ARMATURE_AUTO", keep_transform=True)
    out.append("blender\ttime\tblender_weights\t%.2f" % (time.perf_counter() - start))
    weighted = 0
    for copy, index in copies:
        names = {g.index: g.name for g in copy.vertex_groups}
        for v in copy.data.vertices:
            weighted += any(g.weight > 0 for g in v.groups)
            for g in v.groups:
                group = body.vertex_groups.get(names[g.group]) or body.vertex_groups.new(name=names[g.group])
                group.add([int(index[v.index])], g.weight, "REPLACE")
        bpy.data.objects.remove(copy)
    out.append("blender\tunweighted\tblender\t%d" % (len(body.data.vertices) - weighted))


def measure(meta_path, glb, out):
    counts = glb_weights.check(glb)
    out.append("blender\tsanity\t" + "\t".join("%s\t%s" % kv for kv in counts.items()))
    with open(meta_path) as f:
        meta = json.load(f)
    arm, body = blender_bend.load(glb)
    areas = regions(meta, blender_bend.world(body.data.vertices, body.matrix_world))
    for name, (still, own) in areas.items():
        out.append("blender\tregion\t%s\tstill\t%d\town\t%d" % (name, still.sum(), own.sum()))
    measure_poses(meta, arm, body, areas, "file", out)
    automatic_weights(arm, body, out)
    measure_poses(meta, arm, body, areas, "blender", out)


def main():
    blender_bend.report(measure)


if __name__ == "__main__":
    main()
