# Makes a family of bodies for judging skin weights on shapes nobody tuned
# for: each a skeleton of loose edges and a body grown around a copy of it
# by the Skin modifier, smoothed by a Subdivision Surface modifier (two
# levels: some 5,000 to 12,000 vertices), as make_body.py grows its body.
# The bodies differ by parameters (see FAMILY): arms hanging at several
# distances from the torso (touching included), legs close or apart, thin
# or heavy, hands whose fingers nearly touch, a tail, a shirt as a separate
# shell around the torso.  For each body NAME the folder gets NAME.obj
# (Blender's OBJ exporter, default settings: the faces and the skeleton's
# loose edges) and NAME.json: the skeleton's edges with the body's radius
# at each end, and the poses to judge it by (see POSES in bend_family.py).
# Run: blender -b --factory-startup --python make_bodies.py -- FOLDER [NAME...]
import json
import math
import os
import sys

import bmesh
import bpy
from mathutils import Vector

HIPS = (0.0, 0.0, 1.0)
SEGMENT = 0.03  # the longest segment of the copy's edges, in metres
FINGER = 0.009  # a finger's radius
FINGER_GAP = 0.003  # between two fingers' skins

# name: parameters of body() beyond its defaults.
FAMILY = {
    "arms_touch": {"arm_gap": 0.003},
    "arms_close": {"arm_gap": 0.01},
    "arms_wide": {"arm_gap": 0.04},
    "thin_legs_close": {"girth": 0.75, "leg_x": 0.06, "arm_gap": 0.015},
    "heavy": {"girth": 1.35, "arm_gap": 0.004, "leg_x": 0.13},
    "hands": {"arms": "a", "fingers": 3},
    "tail": {"tail": True, "arm_gap": 0.02},
    "shirt": {"shirt": True, "arm_gap": 0.045},
}


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def add(a, b, s=1.0):
    return tuple(x + s * y for x, y in zip(a, b))


def body(arm_gap=0.02, arms="down", leg_x=0.1, girth=1.0, fingers=0, tail=False, shirt=False):
    """The skeleton as edges (from, to, radius at from, radius at to, bump),
    each from the end nearer the hips outwards, and the poses to judge the
    body by: (name, edge, direction its tail moves, angle in degrees,
    distance from the joint within which the other parts may follow, and
    the reach around the limb of the parts that should stay still)."""
    g, ga = girth, math.sqrt(girth)
    waist, chest, neck, head = (0, 0, 1.25), (0, 0, 1.5), (0, 0, 1.65), (0, 0, 1.9)
    hips_r, waist_r, upper_r = (0.16 * g, 0.11 * g), (0.15 * g, 0.095 * g), (0.16 * g, 0.11 * g)
    edges = [
        (HIPS, waist, hips_r, waist_r, None),
        (waist, chest, waist_r, upper_r, None),
        (chest, neck, (0.13 * g, 0.1 * g), (0.045 * ga, 0.045 * ga), None),
        (neck, head, (0.045 * ga, 0.045 * ga), (0.05 * ga, 0.05 * ga), 0.055 * ga),
    ]
    arm = [0.05 * ga, 0.045 * ga, 0.035 * ga]
    poses = []
    for side in (1, -1):
        if arms == "down":
            # Hanging straight: its skin arm_gap from the torso's beside
            # the middle of the upper arm (the subdivided skin lies some
            # 6 % inside its cage).
            x = side * (0.94 * ((waist_r[0] + upper_r[0] + arm[0] + arm[1]) / 2) + arm_gap)
            shoulder, elbow, wrist = (x, 0, 1.5), (x, 0, 1.25), (x, 0, 1.0)
        else:  # an A pose, halfway between hanging and spread
            shoulder, elbow, wrist = (side * 0.2, 0, 1.5), (side * 0.38, 0, 1.3), (side * 0.56, 0, 1.1)
        edges += [(chest, shoulder, (0.075 * ga,) * 2, (arm[0],) * 2, None),
                  (shoulder, elbow, (arm[0],) * 2, (arm[1],) * 2, None),
                  (elbow, wrist, (arm[1],) * 2, (arm[2],) * 2, None)]
        if fingers:
            edges += hand(elbow, wrist, fingers, side)
        if side == 1 and arms == "down":  # the hanging arm beside the torso
            poses += [("upper_arm", (shoulder, elbow), (1, 0, 0), 60, 2 * arm[0], 0.1),
                      ("forearm", (elbow, wrist), (0, -1, 0), 60, 2 * arm[1], 0.1)]
        if side == 1:
            poses.append(("elbow", (elbow, wrist), (0, -1, 0), 90, 2 * arm[1], 0.1))
    leg = [0.062 * ga, 0.055 * ga, 0.042 * ga, 0.03 * ga]
    for side in (1, -1):
        knee, ankle, toes = (side * leg_x, 0.02, 0.52), (side * leg_x, 0, 0.06), (side * leg_x, -0.15, 0)
        edges += [(HIPS, knee, (leg[0],) * 2, (leg[1],) * 2, None),
                  (knee, ankle, (leg[1],) * 2, (leg[2],) * 2, None),
                  (ankle, toes, (leg[2],) * 2, (leg[3],) * 2, None)]
        if side == 1:
            poses += [("thigh", (HIPS, knee), (0, -1, 0), 60, 2 * hips_r[0], 2 * leg_x + 0.02),
                      ("knee", (knee, ankle), (0, 1, 0), 90, 2 * leg[1], 0.1)]
    if tail:
        points, radii = [HIPS, (0, 0.14, 0.96), (0, 0.32, 0.9), (0, 0.5, 0.88)], [0.045, 0.035, 0.022, 0.012]
        for n in range(3):
            edges.append((points[n], points[n + 1], (radii[n],) * 2, (radii[n + 1],) * 2, None))
        poses.append(("tail", (points[0], points[1]), (1, 0, 0), 60, 1.25 * hips_r[0], 0.3))
    if fingers:
        middle = [e for e in edges if e[2][0] == FINGER and e[0][0] > 0][3 * (fingers // 2) + 1]
        poses.append(("finger", middle[:2], (0, 0, -1), 60, 2 * FINGER, 0.03))
    return edges, poses, shirt and (hips_r, waist_r, upper_r)


def hand(elbow, wrist, fingers, side):
    """A palm from the wrist and `fingers` fingers from its end, side by
    side across Y, FINGER_GAP apart, each a knuckle, a middle joint and a
    tip along the forearm's line."""
    d = (Vector(wrist) - Vector(elbow)).normalized()
    palm = add(wrist, d, 0.07)
    out = [(wrist, palm, (0.03,) * 2, (0.028,) * 2, None)]
    for n in range(fingers):
        across = (n - (fingers - 1) / 2) * (2 * FINGER + FINGER_GAP)
        knuckle = add(add(palm, d, 0.04), (0, across, 0))
        middle, tip = add(knuckle, d, 0.035), add(knuckle, d, 0.065)
        out += [(palm, knuckle, (FINGER,) * 2, (FINGER,) * 2, None),
                (knuckle, middle, (FINGER,) * 2, (FINGER,) * 2, None),
                (middle, tip, (FINGER,) * 2, (0.8 * FINGER,) * 2, None)]
    return out


def radius(edge, t):
    a, b, ra, rb, bump = edge
    r = lerp(ra, rb, t)
    if bump:  # the head, swollen between neck and top
        r = tuple(x + bump * math.sin(math.pi * min(1.0, t * 1.15)) for x in r)
    return r


def clearance(edge, edges, joint_r):
    """How far from the branch at its start an edge has its first ring: beyond
    the branch's radius, and clear of the rings of the branch's other edges
    (edges parting at a narrow angle)."""
    a, b = Vector(edge[0]), Vector(edge[1])
    out = joint_r
    ring = radius(edge, min(1.0, out / (b - a).length))[0]
    d = (b - a).normalized()
    for other in edges:
        if other is not edge and edge[0] in other[:2]:
            far = Vector(other[1] if other[0] == edge[0] else other[0])
            half = d.angle((far - a).normalized()) / 2
            out = max(out, 1.1 * ring / math.sin(half))
    return min(out, 0.9 * (b - a).length)


def grow(name, edges, root_r, levels=2):
    """A body grown by the Skin modifier around a copy of the edges, cut into
    segments of at most SEGMENT (none nearer a branch than its radius),
    smoothed by a Subdivision Surface modifier, the modifiers applied."""
    degree = {}
    for e in edges:
        for p in e[:2]:
            degree[p] = degree.get(p, 0) + 1
    ends = {e[1]: e for e in edges}
    mesh = bpy.data.meshes.new(name)
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    bm = bmesh.new()
    root = edges[0][0]
    verts, sizes = {root: bm.verts.new(root)}, [root_r]
    for e in edges:
        start, end = Vector(e[0]), Vector(e[1])
        length = (end - start).length
        joint_r = radius(ends[e[0]], 1.0)[0] if e[0] in ends else root_r[0]
        keep = [clearance(e, edges, joint_r) / length if degree[e[0]] > 2 else 0.0,
                min(0.45, radius(e, 1.0)[0] / length) if degree[e[1]] > 2 else 0.0]
        cuts = max(1, math.ceil((1 - keep[0] - keep[1]) * length / SEGMENT))
        stops = [keep[0] + (1 - keep[0] - keep[1]) * n / cuts for n in range(cuts + 1)] + [1.0] * (keep[1] > 0)
        last = verts[e[0]]
        for t in stops:
            if t <= 1e-9:
                continue
            vert = bm.verts.new(start.lerp(end, t))
            sizes.append(radius(e, t))
            bm.edges.new((last, vert))
            last = vert
        verts[e[1]] = last
    bm.to_mesh(mesh)
    bm.free()
    skin = obj.modifiers.new("Skin", "SKIN")
    skin.use_smooth_shade = True
    for data, size in zip(mesh.skin_vertices[0].data, sizes):
        data.radius = size
    mesh.skin_vertices[0].data[0].use_root = True
    mesh.skin_vertices[0].data[0].use_loose = True
    subsurf = obj.modifiers.new("Subdivision", "SUBSURF")
    subsurf.levels = levels
    apply_modifiers(obj)
    return obj


def apply_modifiers(obj):
    bpy.ops.object.select_all(action="DESELECT")
    bpy.context.view_layer.objects.active = obj
    obj.select_set(True)
    for modifier in list(obj.modifiers):
        bpy.ops.object.modifier_apply(modifier=modifier.name)


def skeleton(edges):
    """The skeleton as loose edges, each drawn from its end nearer the hips."""
    mesh = bpy.data.meshes.new("Skeleton")
    bm = bmesh.new()
    verts = {}
    for e in edges:
        for p in e[:2]:
            if p not in verts:
                verts[p] = bm.verts.new(p)
        bm.edges.new((verts[e[0]], verts[e[1]]))
    bm.to_mesh(mesh)
    bm.free()
    obj = bpy.data.objects.new("Skeleton", mesh)
    bpy.context.scene.collection.objects.link(obj)


def shirt(radii):
    """A shirt: a tube around the torso from below the hips to under the
    arms, 1.5 cm off the skin, open at both ends, a shell of its own."""
    (hips_r, waist_r, upper_r), off = radii, 0.015
    points = [(0, 0, 0.9), (0, 0, 1.25), (0, 0, 1.42)]
    grown = [tuple(r / 0.94 + off for r in hips_r), tuple(r / 0.94 + off for r in waist_r),
             tuple(r / 0.94 + off for r in upper_r)]
    edges = [(points[0], points[1], grown[0], grown[1], None), (points[1], points[2], grown[1], grown[2], None)]
    obj = grow("Shirt", edges, grown[0], levels=2)
    bm = bmesh.new()
    bm.from_mesh(obj.data)
    cut = [v for v in bm.verts if v.co.z < 0.93 or v.co.z > 1.39]
    bmesh.ops.delete(bm, geom=cut, context="VERTS")
    bm.to_mesh(obj.data)
    bm.free()


def make(folder, name):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    edges, poses, shirt_radii = body(**FAMILY[name])
    skeleton(edges)
    grown = grow("Body", edges, edges[0][2])
    if shirt_radii:
        shirt(shirt_radii)
    bpy.ops.object.select_all(action="DESELECT")
    bpy.ops.wm.obj_export(filepath=os.path.join(folder, name + ".obj"))
    meta = {"edges": [[list(e[0]), list(e[1]), list(e[2]), list(e[3])] for e in edges],
            "poses": [{"name": p[0], "edge": [list(p[1][0]), list(p[1][1])], "towards": list(p[2]),
                       "angle": p[3], "joint": p[4], "near": p[5]} for p in poses]}
    with open(os.path.join(folder, name + ".json"), "w") as f:
        json.dump(meta, f)
    print("body %s vertices %d" % (name, len(grown.data.vertices)))


def main():
    args = sys.argv[sys.argv.index("--") + 1:]
    for name in args[1:] or list(FAMILY):
        make(args[0], name)


if __name__ == "__main__":
    main()
