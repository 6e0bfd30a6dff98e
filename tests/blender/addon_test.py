# The Blender add-on in a headless Blender, installed from the zip the build
# made: a drawn character rigged, the runs it must refuse, and the import of
# a file from `spindle show`.  An assertion that fails ends Blender with
# status 1 (--python-exit-code).
# Run: blender -b --factory-startup --python-exit-code 1 --python addon_test.py -- CASE ZIP SPINDLE SOURCE
import os
import re
import subprocess
import sys
import tempfile

import addon_utils
import bmesh
import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import character  # noqa: E402  (beside this script)
from mathutils import Vector

CASE, ZIP, SPINDLE, SOURCE = sys.argv[sys.argv.index("--") + 1:]

# The test character (character.py beside this script), with a tail in no
# group.  Neck's group also holds the spine's top edge, which stays the
# spine's (the first group in the object's order names an edge).
CHAINS = character.CHAINS + [(None, [(0, 0, 1), (0, 0.3, 0.9)])]


def install():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.preferences.addon_install(filepath=ZIP)
    addon_utils.enable("spindle_rig", default_set=True)
    set_spindle(SPINDLE)


def set_spindle(path):
    bpy.context.preferences.addons["spindle_rig"].preferences.spindle_path = path


def mesh_object(name, chains):
    """A mesh of loose edges, one vertex group per named chain.  ArmR's edges
    run from tip to root, as Blender stores a wire extruded backwards."""
    bm = bmesh.new()
    verts = {}
    for group, points in chains:
        for p in points:
            verts[p] = verts[p] if p in verts else bm.verts.new(p)
        for a, b in zip(points, points[1:]):
            bm.edges.new((verts[b], verts[a]) if group == "ArmR" else (verts[a], verts[b]))
    mesh = bpy.data.meshes.new(name)
    bm.to_mesh(mesh)
    bm.free()
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    index = {v.co.to_tuple(4): v.index for v in mesh.vertices}
    for group, points in chains:
        if group:
            obj.vertex_groups.new(name=group).add([index[tuple(float(c) for c in p)] for p in points], 1.0, "REPLACE")
    if "Neck" in obj.vertex_groups:
        obj.vertex_groups["Neck"].add([index[(0.0, 0.0, 1.25)]], 1.0, "REPLACE")
    return obj


def character():
    """The drawn skeleton (active) and a body around it (its skin, selected)."""
    drawn = mesh_object("Drawn", CHAINS)
    body = mesh_object("Body", [(None, points) for _, points in CHAINS])
    body.modifiers.new("Skin", "SKIN")
    for vertex in body.data.skin_vertices[0].data:
        vertex.radius = (0.05, 0.05)
    for obj in (drawn, body):  # the model is written in world space
        obj.location, obj.rotation_euler = (0.5, -0.25, 0.1), (0, 0, 0.3)
    body.select_set(True)
    drawn.select_set(True)
    bpy.context.view_layer.objects.active = drawn
    return drawn, body


def head(armature, bone):
    return armature.matrix_world @ armature.pose.bones[bone].head


def check_goals(objects):
    """Every goal empty is the target of one IK constraint whose end is the
    head of the bone the goal is for, at rest on the goal.  The constraint's
    chain runs up its own chain's bones (named alike) to the first of them."""
    armature = next(obj for obj in objects if obj.type == "ARMATURE")
    goals = [obj for obj in objects if "goalFor" in obj.keys()]
    assert goals, "no goal empties"
    for empty in goals:
        iks = [(bone, c) for bone in armature.pose.bones for c in bone.constraints if c.type == "IK" and c.target == empty]
        assert len(iks) == 1, empty.name
        bone, ik = iks[0]
        end = bone.tail if ik.use_tail else bone.head
        assert (end - armature.pose.bones[empty["goalFor"]].head).length < 1e-4, empty.name
        assert (head(armature, empty["goalFor"]) - empty.matrix_world.translation).length < 1e-4, empty.name
        chain = [bone if ik.use_tail else bone.parent]
        while len(chain) < ik.chain_count:
            chain.append(chain[-1].parent)
        assert {chain_name(b.name) for b in chain} == {chain_name(bone.name)}, (empty.name, [b.name for b in chain])
        assert chain[-1].parent is None or chain_name(chain[-1].parent.name) != chain_name(bone.name), empty.name
    return armature, goals


def chain_name(bone):
    """The name of the chain a bone is in: its own, without the number that
    makes it unique."""
    return re.fullmatch(r"(.*?)(_\d+)?", bone).group(1)


def move_goal(armature, empty, offset):
    """Moves a goal empty by a world offset: its bone's head must follow."""
    empty.matrix_world.translation += Vector(offset)
    bpy.context.view_layer.update()
    miss = (head(armature, empty["goalFor"]) - empty.matrix_world.translation).length
    assert miss < 1e-3, "%s: the head is %g from its goal" % (empty.name, miss)


def body_points(obj):
    evaluated = obj.evaluated_get(bpy.context.evaluated_depsgraph_get())
    return [obj.matrix_world @ v.co for v in evaluated.data.vertices]


def box(points):
    """The corners of the box around the points."""
    return [least(p[k] for p in points) for least in (min, max) for k in range(3)]


def rigs_a_drawn_character():
    install()
    drawn, body = character()
    before = {obj.name for obj in bpy.data.objects}
    assert bpy.ops.object.spindle_rig_from_edges() == {"FINISHED"}
    made = [obj for obj in bpy.data.objects if obj.name not in before]
    assert {obj.name for obj in made if obj.type != "EMPTY"} == {"Drawn_Rig", "Drawn_Body"}, made
    assert all(obj.select_get() for obj in made)
    assert drawn.hide_get() and not body.hide_get() and len(drawn.data.edges) == 17
    armature, goals = check_goals(made)
    chains = {}
    for bone in armature.data.bones:
        name = chain_name(bone.name)
        if "_Goal" not in name and not name.endswith("_end"):
            chains[name] = chains.get(name, 0) + 1
    assert chains == {"Spine": 2, "Neck": 2, "ArmL": 3, "ArmR": 3, "LegL": 3, "LegR": 3, "Drawn": 1}, chains
    assert len(goals) == 7
    # Each chain hangs where it was drawn, from the bone it was drawn from.
    drawn_at = [drawn.matrix_world @ v.co for v in drawn.data.vertices]
    for bone in (b for b in armature.data.bones if not b.name.endswith("_end")):
        assert min((armature.matrix_world @ bone.head_local - p).length for p in drawn_at) < 1e-5, bone.name
    parents = {name: armature.data.bones[name].parent for name in chains}
    assert {k: v.name for k, v in parents.items() if v} == {"Neck": "Spine_2", "ArmL": "Spine_2", "ArmR": "Spine_2"}
    # The body comes back where it was, bound to the armature.
    skinned = bpy.data.objects["Drawn_Body"]
    assert skinned.parent == armature and any(m.type == "ARMATURE" and m.object == armature for m in skinned.modifiers)
    assert all(abs(a - b) < 1e-4 for a, b in zip(box(body_points(skinned)), box(body_points(body))))
    # The left foot's goal up: the leg bends, and the body with it, but not
    # its head.  Then the left hand's, up and inwards.
    rest = body_points(skinned)
    by_chain = {armature.pose.bones[g["goalFor"]].parent.name.split("_")[0]: g for g in goals}
    move_goal(armature, by_chain["LegL"], (0, 0, 0.2))
    moved = [(p - q).length for p, q in zip(body_points(skinned), rest)]
    assert max(moved) > 0.15, max(moved)
    assert max(m for m, p in zip(moved, rest) if p.z > 1.7) < 1e-6
    move_goal(armature, by_chain["ArmL"], (-0.1, 0, 0.173))


# A second character, drawn as one extrudes it from a single root vertex:
# a spine of three bones up to the chest, where the head and the arms start,
# the head bent forwards and the forearms held forwards, and the legs from
# the root.
BENT = [
    ("Spine", [(0, 0, 1), (0, 0, 1.2), (0, 0.03, 1.4), (0, 0, 1.55)]),
    ("Head", [(0, 0, 1.55), (0, 0.05, 1.68), (0, 0, 1.85)]),
    ("ArmL", [(0, 0, 1.55), (0.2, 0, 1.5), (0.45, 0, 1.45), (0.55, 0.2, 1.4)]),
    ("ArmR", [(0, 0, 1.55), (-0.2, 0, 1.5), (-0.45, 0, 1.45), (-0.55, 0.2, 1.4)]),
    ("LegL", [(0, 0, 1), (0.1, 0.02, 0.52), (0.1, 0, 0.06), (0.1, -0.15, 0)]),
    ("LegR", [(0, 0, 1), (-0.1, 0.02, 0.52), (-0.1, 0, 0.06), (-0.1, -0.15, 0)]),
]


def moves_one_goal_and_holds_the_others():
    install()
    drawn = mesh_object("Bent", BENT)
    drawn.select_set(True)
    bpy.context.view_layer.objects.active = drawn
    assert bpy.ops.object.spindle_rig_from_edges() == {"FINISHED"}
    armature, goals = check_goals(list(bpy.context.selected_objects))
    by_chain = {chain_name(g["goalFor"]).removesuffix("_GoalBone"): g for g in goals}
    assert sorted(by_chain) == ["ArmL", "ArmR", "Head", "LegL", "LegR", "Spine"], sorted(by_chain)
    # The hand's goal back and down, within the arm's reach, then the chest's
    # forwards: the bone follows each, and every other goal holds its bone.
    for moved, offset in (("ArmL", (0, -0.2, -0.05)), ("Spine", (0, 0.05, 0))):
        move_goal(armature, by_chain[moved], offset)
        for name, empty in by_chain.items():
            miss = (head(armature, empty["goalFor"]) - empty.matrix_world.translation).length
            assert miss < 1e-3, "%s moved: %s is %g off" % (moved, name, miss)


def refused(call):
    """Runs the operator, which must fail with one line; returns that line."""
    try:
        call()
    except RuntimeError as error:
        text = str(error).strip()
        assert "\n" not in text and "Traceback" not in text, text
        return text
    raise AssertionError("the operator did not fail")


def scene_state():
    return (sorted(obj.name for obj in bpy.data.objects), sorted(obj.name for obj in bpy.context.selected_objects),
            bpy.context.view_layer.objects.active.name)


def refuses_with_one_report():
    install()
    character()
    state = scene_state()
    set_spindle("/nonexistent/spindle")
    assert "spindle is not at /nonexistent/spindle" in refused(bpy.ops.object.spindle_rig_from_edges)
    assert scene_state() == state
    set_spindle(SPINDLE)
    # A closed ring, and a ring with a tail, which the module refuses.
    for ring in ([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 0, 0)], [(0, 0, -1), (0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 0, 0)]):
        bpy.ops.object.select_all(action="DESELECT")
        bpy.context.view_layer.objects.active = mesh_object("Ring", [(None, ring)])
        state = scene_state()
        text = refused(bpy.ops.object.spindle_rig_from_edges)
        assert text == "Error: spindle made no rig: Don't use the closed curve.", text
        assert scene_state() == state
    bpy.ops.mesh.primitive_cube_add()
    state = scene_state()
    assert refused(bpy.ops.object.spindle_rig_from_edges) == \
        "Error: Cube has no loose edges (edges in no face) to make bones from"
    assert scene_state() == state
    # A file that is not glTF, to the import.
    bad = os.path.join(tempfile.mkdtemp(), "bad.glb")
    with open(bad, "wb") as f:
        f.write(b"glTF\x02\x00\x00\x00")
    assert refused(lambda: bpy.ops.import_scene.spindle_rig(filepath=bad)).startswith(
        "Error: Blender's glTF importer failed: struct.error: ")
    assert scene_state() == state


def imports_a_shown_scene():
    install()
    folder = tempfile.mkdtemp()
    scene, glb = os.path.join(folder, "figure.lws"), os.path.join(folder, "figure.glb")
    subprocess.run([SPINDLE, "-q", "-o", scene, os.path.join(SOURCE, "examples", "figure.lwo")], check=True)
    subprocess.run([SPINDLE, "show", scene, "-o", glb], check=True)
    assert bpy.ops.import_scene.spindle_rig(filepath=glb) == {"FINISHED"}
    armature, goals = check_goals(bpy.context.selected_objects)
    assert len(goals) == 9
    move_goal(armature, next(g for g in goals if g["goalFor"].startswith("LegL")), (0, 0, 0.2))


{"rigsADrawnCharacter": rigs_a_drawn_character, "movesOneGoalAndHoldsTheOthers": moves_one_goal_and_holds_the_others,
 "refusesWithOneReport": refuses_with_one_report, "importsAShownScene": imports_a_shown_scene}[CASE]()
print("addon_test: %s passed" % CASE)
