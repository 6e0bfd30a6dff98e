# Makes character.obj: a skeleton drawn as a Blender user draws one, loose
# edges extruded vertex by vertex from root to tip (16 edges: a spine of 2
# with a neck of 2 and two arms of 3 from its top, and two legs of 3 from
# its root), exported with Blender's OBJ exporter and its default settings.
# Blender grows a wire on from its end, so a second chain extruded from a
# chain's root vertex would run backwards: each leg is extruded from a copy
# of the root vertex (Shift+D), and the copies merged by distance at the end.
# Run: blender -b --factory-startup --python make_character.py -- OUT.obj
import sys

import bmesh
import bpy

HIPS = (0.0, 0.0, 1.0)
CHAINS = [  # (start, points extruded one after another), Blender's Z up; the spine first
    ("hips", [(0.0, 0.0, 1.25), (0.0, 0.0, 1.5)]),
    ("chest", [(0.0, 0.0, 1.65), (0.0, 0.0, 1.9)]),
    ("chest", [(0.2, 0.0, 1.5), (0.45, 0.0, 1.45), (0.7, 0.0, 1.4)]),
    ("chest", [(-0.2, 0.0, 1.5), (-0.45, 0.0, 1.45), (-0.7, 0.0, 1.4)]),
    ("hips", [(0.1, 0.02, 0.52), (0.1, 0.0, 0.06), (0.1, -0.15, 0.0)]),
    ("hips", [(-0.1, 0.02, 0.52), (-0.1, 0.0, 0.06), (-0.1, -0.15, 0.0)]),
]


def select_only(obj, index):
    bpy.ops.object.mode_set(mode="OBJECT")
    for vert in obj.data.vertices:
        vert.select = vert.index == index
    bpy.ops.object.mode_set(mode="EDIT")


def draw_skeleton(chains, name="Skeleton"):
    """Draws the chains as loose edges, extruded vertex by vertex from the
    root at HIPS; the first chain ends at the chest."""
    mesh = bpy.data.meshes.new(name)
    bm = bmesh.new()
    bm.verts.new(HIPS)
    bm.to_mesh(mesh)
    bm.free()
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj
    obj.select_set(True)
    bpy.ops.object.mode_set(mode="EDIT")
    bpy.ops.mesh.select_mode(type="VERT")
    named = {"hips": 0}
    for number, (start, points) in enumerate(chains):
        index, at = named[start], None
        if start == "hips" and number > 0:
            # A leg starts from a copy of the root vertex.
            select_only(obj, 0)
            bpy.ops.mesh.duplicate()
            bpy.ops.object.mode_set(mode="OBJECT")
            index = len(obj.data.vertices) - 1
        for point in points:
            select_only(obj, index)
            at = obj.data.vertices[index].co.copy() if at is None else at
            # E, then move: the extruded vertex goes where the user drags it.
            bpy.ops.mesh.extrude_region_move(
                TRANSFORM_OT_translate={"value": tuple(p - a for p, a in zip(point, at))})
            bpy.ops.object.mode_set(mode="OBJECT")
            index = len(obj.data.vertices) - 1
            at = obj.data.vertices[index].co.copy()
        if number == 0:
            named["chest"] = index
    bpy.ops.object.mode_set(mode="EDIT")
    bpy.ops.mesh.select_all(action="SELECT")
    bpy.ops.mesh.remove_doubles()
    bpy.ops.object.mode_set(mode="OBJECT")
    return obj


def main():
    out = sys.argv[sys.argv.index("--") + 1]
    bpy.ops.wm.read_factory_settings(use_empty=True)
    draw_skeleton(CHAINS)
    bpy.ops.wm.obj_export(filepath=out)


if __name__ == "__main__":
    main()
