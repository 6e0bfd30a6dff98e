# Bringing in a rig Spindle wrote as glTF: Blender's importer makes the
# armature, the skinned body and the goal empties; each empty that carries
# `goalFor` then becomes the IK target of the bone it names.
import bpy

from .command import Failure


def selection(context):
    """The selected objects and the active one, to put back after a failure."""
    return list(context.selected_objects), context.view_layer.objects.active


def select(context, objects, active):
    """Selects exactly these objects, with this one active."""
    for obj in context.view_layer.objects:
        obj.select_set(obj in objects)
    context.view_layer.objects.active = active


def reason(text):
    """What a failed operator says, without Blender's traceback and location."""
    said = [line.strip() for line in text.splitlines()
            if line.strip() and not line.startswith((" ", "Location:", "Error: Python: Traceback"))]
    return said[-1].removeprefix("Error: ") if said else "no reason given"


def import_gltf(path):
    """Imports the file and returns the objects it made; on the importer's
    failure removes whatever it had made and raises Failure."""
    before = {obj.as_pointer() for obj in bpy.data.objects}
    try:
        # Debian's Blender 3.4 fails with the default shading (its numpy has
        # no np.bool); smooth shading works everywhere it is offered.  Later
        # importers, which always take the file's normals, have no such
        # option and refuse the word.
        if "import_shading" in bpy.ops.import_scene.gltf.get_rna_type().properties:
            bpy.ops.import_scene.gltf(filepath=path, import_shading="SMOOTH")
        else:
            bpy.ops.import_scene.gltf(filepath=path)
        error = None
    except RuntimeError as failed:
        error = reason(str(failed))
    except (AttributeError, KeyError):  # the glTF add-on is off
        error = "it is not enabled (Preferences > Add-ons > Import-Export: glTF 2.0 format)"
    made = [obj for obj in bpy.data.objects if obj.as_pointer() not in before]
    if error is not None:
        for obj in made:
            bpy.data.objects.remove(obj, do_unlink=True)
        raise Failure("Blender's glTF importer failed: " + error)
    return made


def bone_named(armature, name):
    """The pose bone Blender made from the glTF node of that name, which it
    cuts to 63 bytes, at a character's end."""
    bones = armature.pose.bones
    return bones.get(name) or bones.get(name.encode("utf-8")[:63].decode("utf-8", "ignore"))


def reaching_end(bone):
    """The pose bone and end (use_tail) that put this bone's head on a goal:
    its parent's tail where the two meet, else its own head.  Blender's IK
    solver keeps a goal reached by a bone's head (use_tail off) only while no
    other chain runs through that bone's parent: a spine's goal at the chest,
    with arms hung from the chest, would pull the rig out of its rest pose."""
    parent = bone.parent
    if parent and (parent.bone.tail_local - bone.bone.head_local).length <= 1e-4 * parent.bone.length:
        return parent, True
    return bone, False


def chain_root(armature, empty, bone):
    """The first bone of the chain the goal's bone hangs in: the one the goal's
    `chainRoot` names, else the bone's farthest ancestor."""
    root = bone_named(armature, empty["chainRoot"]) if isinstance(empty.get("chainRoot"), str) else None
    if root is None:
        root = bone
        while root.parent:
            root = root.parent
    return root


def chain_length(tip, root, held):
    """How many bones an IK chain ending at `tip` takes: up to `root`, but
    stopping below a bone in `held`, the ends of the other goals' chains.
    Blender's IK solver cannot hold a goal at a bone that another goal's
    chain runs through: it solves that goal first, on its own, and then the
    longer chain turns the shared bones again, so the goal (a chest's, with
    the arms and head hung from the chest) would hold nothing."""
    count, bone = 1, tip
    while bone != root and bone.parent and bone.parent.name not in held:
        count, bone = count + 1, bone.parent
    return count


def goal_empties(objects):
    """(empty, armature, bone) for each goal empty, the bone it is for being
    None when that armature has no such bone."""
    armatures = [obj for obj in objects if obj.type == "ARMATURE"]
    goals = []
    for empty in objects:
        name = empty.get("goalFor") if empty.type == "EMPTY" else None
        if isinstance(name, str):
            armature = empty.parent if empty.parent in armatures else armatures[0] if len(armatures) == 1 else None
            goals.append((empty, armature, bone_named(armature, name) if armature else None))
    return goals


def wire_goals(objects):
    """Gives each goal empty an IK constraint that puts the head of the bone
    it is for on it, the chain reaching up towards its chain's first bone.
    Returns the number wired and the names of the bones not found."""
    goals = goal_empties(objects)
    missing = [empty["goalFor"] for empty, _, bone in goals if bone is None]
    wiring = [(empty, armature, bone, *reaching_end(bone)) for empty, armature, bone in goals if bone]
    tips = [(armature, bone if use_tail else bone.parent) for _, armature, _, bone, use_tail in wiring]
    for empty, armature, goal_bone, bone, use_tail in wiring:
        tip = bone if use_tail else bone.parent
        held = {other.name for owner, other in tips if owner == armature and other and other != tip}
        ik = bone.constraints.new("IK")
        ik.name = "Spindle IK"
        ik.target = empty
        ik.use_tail = use_tail
        ik.chain_count = chain_length(tip, chain_root(armature, empty, goal_bone), held) if tip else 0
    return len(wiring), missing


def bring_in(context, path):
    """Imports a Spindle glTF file and wires its goals: the objects made, the
    imported objects selected and the armature active. Raises Failure."""
    before = selection(context)
    try:
        made = import_gltf(path)
    except Failure:
        select(context, *before)
        raise
    armature = next((obj for obj in made if obj.type == "ARMATURE"), None)
    select(context, made, armature or (made[0] if made else None))
    return made, wire_goals(made)
