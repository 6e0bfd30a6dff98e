# Bends a skinned body as a Blender user would and measures how far its
# vertices move where they should not, with the file's weights and with
# Blender's automatic weights (bone heat) on the same mesh and armature.
# Run: blender -b --factory-startup --python blender_bend.py -- MODE GLB [MODE GLB...]
# MODE "legs": a body standing on two legs; the thigh on Blender's +X side
# bends 60 degrees forwards.  MODE "arms": a body whose arms hang beside the
# torso; the upper arm on the +X side swings 60 degrees outwards.  Lengths
# in metres, world space: a vertex's displacement is its place in the
# evaluated (deformed) mesh less its place at rest.  For each GLB, lines of
# tab-separated fields:
#   file GLB
#   blender sanity vertices N bad N ...   the file's weights (glb_weights.py)
#   blender region legs crotch Z other N own N | arms gap S armpit Z hips Z side N
#   blender bend WEIGHTS other_mean M other_max M other_over_1cm N own_mean M
#   blender bend WEIGHTS side_mean M side_max M side_over_1cm N
#       WEIGHTS "file" (as imported), then "blender" (automatic weights)
#   blender time blender_weights SECONDS        how long bone heat took
#   blender unweighted blender N                vertices bone heat left out
#   blender error MESSAGE
import math
import os
import sys
import time
import traceback

import bpy
import numpy as np
from mathutils import Matrix, Quaternion, Vector

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import glb_weights  # noqa: E402  (beside this script)

ANGLE = math.radians(60)
MOVED = 0.01  # a vertex moved when it moved more than this
BAND = 0.005  # half the width of the band around a plane that finds crotch and armpit


def load(path):
    """Imports the GLB; returns its armature and the skinned mesh."""
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=path, import_shading="SMOOTH")
    objects = bpy.context.scene.objects
    arm = next(o for o in objects if o.type == "ARMATURE")
    skinned = [o for o in objects if o.type == "MESH" and any(m.type == "ARMATURE" for m in o.modifiers)]
    return arm, max(skinned, key=lambda o: len(o.data.vertices))


def world(vertices, matrix):
    """Vertices' places in world space (N x 3)."""
    co = np.empty(len(vertices) * 3)
    vertices.foreach_get("co", co)
    m = np.array(matrix)
    return co.reshape(-1, 3) @ m[:3, :3].T + m[:3, 3]


def evaluated_places(body):
    """The vertices as the depsgraph deforms them, in world space (N x 3)."""
    bpy.context.view_layer.update()
    evaluated = body.evaluated_get(bpy.context.evaluated_depsgraph_get())
    places = world(evaluated.to_mesh().vertices, evaluated.matrix_world)
    evaluated.to_mesh_clear()
    return places


def bones(arm):
    """Each bone's name, head and tail in world space."""
    m = arm.matrix_world
    return [(b.name, m @ b.head_local, m @ b.tail_local) for b in arm.data.bones]


def pick(arm, side, mid_height, legs):
    """The highest bone pointing down (more than half its length) on one side
    (its tail beyond 5 cm from X = 0, side +1 or -1): for legs, among those
    ending below mid-height (the thigh); else among those starting above it
    (the upper arm of a hanging arm)."""
    found = None
    for name, head, tail in bones(arm):
        down = head.z - tail.z > 0.5 * (tail - head).length
        if not down or side * tail.x < 0.05:
            continue
        if (tail.z < mid_height) if legs else (head.z > mid_height):
            if found is None or head.z > found[1].z:
                found = (name, head, tail)
    if found is None:
        raise RuntimeError("no %s bone on side %+d" % ("thigh" if legs else "upper arm", side))
    return found


def lowest_bone_direction(arm):
    """The horizontal direction of the bone that reaches lowest (a foot's)."""
    _, head, tail = min(bones(arm), key=lambda b: b[2].z)
    d = tail - head
    return Vector((d.x, d.y, 0)).normalized()


def pose(arm, name, towards):
    """Rotates the bone by ANGLE so that its tail moves towards a direction:
    about the axis square to the bone and to that direction, the axis the
    user turns about (for a thigh bent forwards, the hinge across the hips,
    whatever the bone's roll); None puts every bone back at rest."""
    for pb in arm.pose.bones:
        pb.matrix_basis = Matrix()
    if towards is not None:
        frame = arm.matrix_world.to_3x3() @ arm.data.bones[name].matrix_local.to_3x3()
        axis = (frame @ Vector((0, 1, 0))).cross(towards).normalized()
        arm.pose.bones[name].rotation_mode = "QUATERNION"
        arm.pose.bones[name].rotation_quaternion = Quaternion((frame.inverted() @ axis).normalized(), ANGLE)


def displacement(arm, body, name, towards):
    """How far each vertex moves when the bone turns (N)."""
    pose(arm, name, None)
    rest = evaluated_places(body)
    pose(arm, name, towards)
    bent = evaluated_places(body)
    pose(arm, name, None)
    return np.linalg.norm(bent - rest, axis=1)


def lowest_near(places, keep, s, at):
    """The lowest height among the vertices kept within BAND of s == at."""
    near = keep & (np.abs(s - at) < BAND)
    if not near.any():
        raise RuntimeError("no vertex near the plane at %.3f" % at)
    return places[near, 2].min()


def across_body(arm, places, legs):
    """The bent bone (name, head, tail), and each vertex's signed distance from
    the body's mid-plane: the plane halfway between the middles of that bone
    and of its partner on -X, square to the horizontal line joining them."""
    mid_height = (places[:, 2].min() + places[:, 2].max()) / 2
    bent, other = pick(arm, 1, mid_height, legs), pick(arm, -1, mid_height, legs)
    a, b = (bent[1] + bent[2]) / 2, (other[1] + other[2]) / 2
    across = Vector((a.x - b.x, a.y - b.y, 0)).normalized()
    return bent, across, (places - np.array((a + b) / 2)) @ np.array(across), mid_height


def leg_regions(arm, places, out):
    """The two legs below the crotch, split by the body's mid-plane.  The
    crotch is the lowest vertex within BAND of the mid-plane above the bent
    thigh's knee (its tail), where the legs part."""
    bent, _, s, _ = across_body(arm, places, True)
    crotch = lowest_near(places, places[:, 2] > bent[2].z, s, 0.0)
    below = places[:, 2] < crotch
    regions = {"other": below & (s < 0), "own": below & (s > 0)}
    out.append("blender\tregion\tlegs\tcrotch\t%.4f\tother\t%d\town\t%d"
               % (crotch, regions["other"].sum(), regions["own"].sum()))
    return bent[0], lowest_bone_direction(arm), regions


def arm_regions(arm, places, out):
    """The torso's side under the bent arm's armpit: the vertices on that
    side of the mid-plane, nearer it than the gap between torso and arm,
    above the hips (where the thighs start) and below the armpit, by more
    than BAND from the mid-plane and the hips (vertices on them fall on
    either side by the importer's rounding).  The gap is the widest one
    between consecutive vertices, by distance from the mid-plane, among those
    of that side within 1 cm of the elbow's height (the upper arm's tail);
    the armpit is the lowest vertex above the hips within BAND of the gap's
    middle."""
    bent, across, s, mid_height = across_body(arm, places, False)
    hips = pick(arm, 1, mid_height, True)[1].z
    slab = np.sort(s[(s > 0) & (np.abs(places[:, 2] - bent[2].z) < 0.01)])
    widest = np.argmax(np.diff(slab))
    gap = (slab[widest] + slab[widest + 1]) / 2
    armpit = lowest_near(places, places[:, 2] > hips, s, gap)
    side = (s > BAND) & (s < gap) & (places[:, 2] > hips + BAND) & (places[:, 2] < armpit)
    out.append("blender\tregion\tarms\tgap\t%.4f\tarmpit\t%.4f\thips\t%.4f\tside\t%d" % (gap, armpit, hips, side.sum()))
    return bent[0], across, {"side": side}


def figures(moved, regions, weights, legs):
    """The bend line for one weighting."""
    fields = ["blender", "bend", weights]
    for region in (["other", "own"] if legs else ["side"]):
        d = moved[regions[region]]
        fields += ["%s_mean" % region, "%.6f" % d.mean()]
        if region != "own":
            fields += ["%s_max" % region, "%.6f" % d.max(), "%s_over_1cm" % region, str(int((d > MOVED).sum()))]
    return "\t".join(fields)


def deforming_only(arm, body):
    """Marks the bones the body's weights name as the armature's deforming
    bones, and no others: the goal bones and end joints, which the file
    does not deform, are not bones Blender's automatic weights should bind
    to (beyond a chain's tip, a hanging arm's goal bone lies beside the
    thigh)."""
    used = set()
    for v in body.data.vertices:
        used.update(body.vertex_groups[g.group].name for g in v.groups if g.weight > 0)
    for bone in arm.data.bones:
        bone.use_deform = bone.name in used


def automatic_weights(arm, body, out):
    """Replaces the body's weights by Blender's automatic ones (Ctrl+P, With
    Automatic Weights) to the bones they named, keeping its place; tells how
    long they took."""
    deforming_only(arm, body)
    body.vertex_groups.clear()
    for modifier in [m for m in body.modifiers if m.type == "ARMATURE"]:
        body.modifiers.remove(modifier)
    bpy.ops.object.select_all(action="DESELECT")
    body.select_set(True)
    bpy.context.view_layer.objects.active = body
    bpy.ops.object.parent_clear(type="CLEAR_KEEP_TRANSFORM")
    arm.select_set(True)
    bpy.context.view_layer.objects.active = arm
    start = time.perf_counter()
    bpy.ops.object.parent_set(type="ARMATURE_AUTO")
    out.append("blender\ttime\tblender_weights\t%.2f" % (time.perf_counter() - start))
    weighted = sum(1 for v in body.data.vertices if any(g.weight > 0 for g in v.groups))
    out.append("blender\tunweighted\tblender\t%d" % (len(body.data.vertices) - weighted))


def measure(mode, path, out):
    """The bend with the file's weights, then with Blender's."""
    counts = glb_weights.check(path)
    out.append("blender\tsanity\t" + "\t".join("%s\t%s" % kv for kv in counts.items()))
    arm, body = load(path)
    places = world(body.data.vertices, body.matrix_world)
    legs = mode == "legs"
    name, towards, regions = (leg_regions if legs else arm_regions)(arm, places, out)
    out.append(figures(displacement(arm, body, name, towards), regions, "file", legs))
    automatic_weights(arm, body, out)
    out.append(figures(displacement(arm, body, name, towards), regions, "blender", legs))


def report(measure_one):
    """Runs measure_one(what, glb, out) for each pair of arguments after
    "--" and prints the lines: a "file" line per glb, then its figures, or
    one "blender error" line with the exception where it fails."""
    args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    out = []
    for what, glb in zip(args[0::2], args[1::2]):
        out.append("file\t" + glb)
        try:
            measure_one(what, glb, out)
        except Exception:
            out.append("blender\terror\t" + " ".join(traceback.format_exc().split()))
    sys.stdout.write("\n".join(out) + "\n")
    sys.stdout.flush()


def measure_mode(mode, path, out):
    """The figures of one glb bent as `mode` says (legs or arms)."""
    if mode not in ("legs", "arms"):
        raise ValueError("mode %r is neither legs nor arms" % mode)
    measure(mode, path, out)


def main():
    report(measure_mode)


if __name__ == "__main__":
    main()
