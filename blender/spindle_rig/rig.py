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


def wire_goals(objects):
    """Gives each goal empty an IK constraint that puts the head of the bone
    it is for on it, the chain reaching up to the armature's root.  Returns
    the number wired and the names of the bones not found."""
    armatures = [obj for obj in objects if obj.type == "ARMATURE"]
    wired, missing = 0, []
    for empty in objects:
        name = empty.get("goalFor") if empty.type == "EMPTY" else None
        if not isinstance(name, str):
            continue
        armature = empty.parent if empty.parent in armatures else armatures[0] if len(armatures) == 1 else None
        bone = bone_named(armature, name) if armature else None
        if bone is None:
            missing.append(name)
            continue
        bone, use_tail = reaching_end(bone)
        ik = bone.constraints.new("IK")
        ik.name = "Spindle IK"
        ik.target = empty
        ik.use_tail = use_tail
        ik.chain_count = 0
        wired += 1
    return wired, missing


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
