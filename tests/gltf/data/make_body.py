# Makes a character as one continuous body around its skeleton, for judging
# skin weights: the skeleton of make_character.py drawn as loose edges, and a
# body grown around a copy of the same edges by the Skin modifier (the copy's
# edges cut into short segments, each vertex given its radius: a thick torso,
# thinner limbs, thighs thin enough that the legs part below the crotch),
# smoothed by a Subdivision Surface modifier, the modifiers applied: some
# 30,000 vertices.  Both are exported in one OBJ by Blender's OBJ exporter
# with its default settings, the body's faces and the skeleton's loose edges.
# With --arms-down the arms hang beside the torso, a small gap under each
# armpit, instead of being spread.
# Run: blender -b --factory-startup --python make_body.py -- OUT.obj [--arms-down]
import math
import os
import sys

import bmesh
import bpy
from mathutils import Vector

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_character  # noqa: E402  (beside this script)

HIPS, WAIST, CHEST = make_character.HIPS, (0.0, 0.0, 1.25), (0.0, 0.0, 1.5)
NECK, HEAD = (0.0, 0.0, 1.65), (0.0, 0.0, 1.9)

# The arms hanging: shoulder, elbow and wrist straight under the shoulder.
ARMS_DOWN = [
    ("chest", [(0.2, 0.0, 1.5), (0.2, 0.0, 1.25), (0.2, 0.0, 1.0)]),
    ("chest", [(-0.2, 0.0, 1.5), (-0.2, 0.0, 1.25), (-0.2, 0.0, 1.0)]),
]

# The body's radius (across X, across Y) at the spine's joints; along an
# edge the radius goes from one end's to the other's, but for the stretches
# radius() shapes.
RADII = {HIPS: (0.16, 0.11), WAIST: (0.14, 0.095), CHEST: (0.13, 0.1), NECK: (0.045, 0.045), HEAD: (0.05, 0.05)}
ARM = [0.05, 0.04, 0.03]  # an arm's radius at shoulder, elbow and wrist
LEG = [0.055, 0.042, 0.03]  # a leg's at knee, ankle and toes
UPPER_CHEST = (0.16, 0.11)  # the torso's radius under the chest
SHOULDER = 0.075  # a shoulder's radius beside the chest
THIGH = 0.062  # a thigh's radius under the hips
SEGMENT = 0.03  # the longest segment of the copy's edges, in metres


def chains(arms_down):
    """The skeleton's chains: make_character's (spine, neck, two arms, two
    legs), with the arms hanging if asked."""
    out = list(make_character.CHAINS)
    if arms_down:
        out[2:4] = ARMS_DOWN
    return out


def joint_radii(chain_list):
    """The radius at every joint of the skeleton, keyed by its place."""
    radii = dict(RADII)
    for number, (_, points) in enumerate(chain_list[2:]):
        for point, r in zip(points, ARM if number < 2 else LEG):
            radii[tuple(point)] = (r, r)
    return radii


def radius(a, b, t, radii):
    """The radius at a point of the skeleton's edge from a to b, at t (0 at a,
    1 at b): from one end's to the other's, but the torso full under the
    chest, the head swollen between neck and top, the shoulders and thighs
    starting from their own radius (the thighs thin enough that the legs
    part)."""
    ra, rb = radii[a], radii[b]
    r = [x + (y - x) * t for x, y in zip(ra, rb)]
    if (a, b) == (WAIST, CHEST) and t < 1:
        r = [x + (y - x) * t for x, y in zip(ra, UPPER_CHEST)]
    elif (a, b) == (NECK, HEAD):
        r = [x + 0.055 * math.sin(math.pi * min(1.0, t * 1.15)) for x in r]
    elif a == HIPS and b != WAIST:
        r = [THIGH + (rb[0] - THIGH) * t] * 2
    elif a == CHEST and b != NECK and t > 0:
        r = [SHOULDER + (rb[0] - SHOULDER) * t] * 2
    return r


def outward_edges(skeleton):
    """The skeleton's edges as (from, to) places, each from the end nearer the
    root (HIPS) outwards, nearer edges first."""
    points = [tuple(round(c, 6) for c in v.co) for v in skeleton.data.vertices]
    links = {p: [] for p in points}
    for e in skeleton.data.edges:
        a, b = (points[i] for i in e.vertices)
        links[a].append(b)
        links[b].append(a)
    out, seen, queue = [], {HIPS}, [HIPS]
    for at in queue:
        for to in links[at]:
            if to not in seen:
                seen.add(to)
                queue.append(to)
                out.append((at, to))
    return out, {p: len(links[p]) for p in points}


def clearance(a, b, edges, radii):
    """How far from the branch at a the edge to b has its first ring: beyond
    the branch's radius, and far enough that the ring clears the rings of the
    branch's other edges (the thighs part at a narrow angle)."""
    out = radii[a][0]
    ring = radius(a, b, out / (Vector(b) - Vector(a)).length, radii)[0]
    d = (Vector(b) - Vector(a)).normalized()
    for p, q in edges:
        if a in (p, q) and b not in (p, q):
            other = (Vector(q if p == a else p) - Vector(a)).normalized()
            half = d.angle(other) / 2
            out = max(out, 1.1 * ring / math.sin(half))
    return out


def grow_body(skeleton, radii):
    """The body: a copy of the skeleton's edges, cut into segments of at most
    SEGMENT (none nearer a branch than its radius, where the Skin modifier
    makes the branch's hull), each vertex given its radius, then skinned and
    smoothed, the modifiers applied.  The copy's vertices are numbered from
    the root outwards, as the Skin modifier needs to face all its rings the
    same way."""
    edges, degree = outward_edges(skeleton)
    mesh = bpy.data.meshes.new("Body")
    body = bpy.data.objects.new("Body", mesh)
    bpy.context.scene.collection.objects.link(body)
    bm = bmesh.new()
    verts = {HIPS: bm.verts.new(HIPS)}
    sizes = [radii[HIPS]]
    for a, b in edges:
        start, end = Vector(a), Vector(b)
        length = (end - start).length
        keep = [clearance(a, b, edges, radii) / length if degree[a] > 2 else 0.0,
                radii[b][0] / length if degree[b] > 2 else 0.0]
        # Rings at the ends of the free stretch, then evenly between.
        cuts = max(1, math.ceil((1 - keep[0] - keep[1]) * length / SEGMENT))
        stops = [keep[0] + (1 - keep[0] - keep[1]) * n / cuts for n in range(cuts + 1)] + [1.0] * (keep[1] > 0)
        last = verts[a]
        for t in stops:
            if t <= 1e-9:
                continue
            vert = bm.verts.new(start.lerp(end, t)) if t < 1 - 1e-9 else bm.verts.new(b)
            sizes.append(radius(a, b, t, radii))
            bm.edges.new((last, vert))
            last = vert
        verts[b] = last
    bm.to_mesh(mesh)
    bm.free()
    skin = body.modifiers.new("Skin", "SKIN")
    skin.use_smooth_shade = True
    for data, size in zip(mesh.skin_vertices[0].data, sizes):
        data.radius = size
    # The hips are the root, marked loose (Mesh > Skin > Mark Loose): the hull
    # the Skin modifier makes there for the two thighs, parting at a narrow
    # angle, otherwise keeps a fold.
    mesh.skin_vertices[0].data[0].use_root = True
    mesh.skin_vertices[0].data[0].use_loose = True
    subsurf = body.modifiers.new("Subdivision", "SUBSURF")
    subsurf.levels = 3
    bpy.ops.object.select_all(action="DESELECT")
    bpy.context.view_layer.objects.active = body
    body.select_set(True)
    bpy.ops.object.modifier_apply(modifier=skin.name)
    bpy.ops.object.modifier_apply(modifier=subsurf.name)
    return body


def main():
    """Draws the skeleton, grows the body and exports both with File > Export
    > Wavefront (.obj), which on Blender 3.4 is wm.obj_export (the
    export_scene.obj of the add-on is the menu's "legacy" one)."""
    args = sys.argv[sys.argv.index("--") + 1:]
    out, arms_down = args[0], "--arms-down" in args[1:]
    bpy.ops.wm.read_factory_settings(use_empty=True)
    chain_list = chains(arms_down)
    skeleton = make_character.draw_skeleton(chain_list)
    body = grow_body(skeleton, joint_radii(chain_list))
    print("body vertices %d" % len(body.data.vertices))
    bpy.ops.object.select_all(action="DESELECT")
    bpy.ops.wm.obj_export(filepath=out)


if __name__ == "__main__":
    main()
