# Draws a character as a Blender user would (a skeleton of loose edges with
# a vertex group per chain, a body skinned around it), rigs it with the
# add-on's Rig from Edges, poses it by moving goals, and renders it with
# Workbench: the body half see-through, the posed bones as sticks, each goal
# a ball.
# Run: blender -b --factory-startup --python picture.py -- ZIP SPINDLE OUT.png
import math
import os
import sys

import addon_utils
import bmesh
import bpy
from mathutils import Vector

# The add-on test's character (tests/blender/character.py).
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "blender"))
import character  # noqa: E402

ZIP, SPINDLE, OUT = sys.argv[sys.argv.index("--") + 1:]

CHAINS = character.CHAINS
# Where each chain's goal moves: the left hand up, the right foot forward.
POSE = {"ArmL": (-0.15, -0.1, 0.45), "LegR": (0, -0.3, 0.25), "Neck": (0.08, -0.05, 0)}


def mesh_object(name, edges, colour):
    """An object of the mesh made of these (a, b) point pairs."""
    bm = bmesh.new()
    verts = {}
    for a, b in edges:
        for p in (a, b):
            verts[p] = verts[p] if p in verts else bm.verts.new(p)
        bm.edges.new((verts[a], verts[b]))
    mesh = bpy.data.meshes.new(name)
    bm.to_mesh(mesh)
    bm.free()
    obj = bpy.data.objects.new(name, mesh)
    obj.color = colour
    bpy.context.scene.collection.objects.link(obj)
    return obj


def tubes(name, edges, radius, colour):
    """Round tubes along the edges (a Skin modifier)."""
    obj = mesh_object(name, edges, colour)
    obj.modifiers.new("Skin", "SKIN")
    for vertex in obj.data.skin_vertices[0].data:
        vertex.radius = (radius, radius)
    obj.modifiers.new("Smooth", "SUBSURF").levels = 2
    return obj


def character():
    edges = [(a, b) for _, points in CHAINS for a, b in zip(points, points[1:])]
    drawn = mesh_object("Drawn", edges, (1, 1, 1, 1))
    index = {v.co.to_tuple(4): v.index for v in drawn.data.vertices}
    for group, points in CHAINS:
        drawn.vertex_groups.new(name=group).add([index[tuple(map(float, p))] for p in points], 1.0, "REPLACE")
    body = tubes("Body", edges, 0.06, (0.95, 0.5, 0.25, 0.4))
    body.select_set(True)
    drawn.select_set(True)
    bpy.context.view_layer.objects.active = drawn


def posed_bones(armature):
    """Sticks along the posed bones, and a ball at each goal."""
    bones = [b for b in armature.pose.bones if "_Goal" not in b.name and not b.name.endswith("_end")]
    world = armature.matrix_world
    tubes("Bones", [((world @ b.head).to_tuple(5), (world @ b.tail).to_tuple(5)) for b in bones], 0.022,
          (0.1, 0.25, 0.8, 1))
    for goal in (obj for obj in bpy.data.objects if "goalFor" in obj.keys()):
        bpy.ops.mesh.primitive_uv_sphere_add(radius=0.03, location=goal.matrix_world.translation)
        bpy.context.active_object.color = (0.9, 0.1, 0.1, 1)


def stage(scene):
    camera = bpy.data.objects.new("Camera", bpy.data.cameras.new("Camera"))
    scene.collection.objects.link(camera)
    camera.location = (2.2, -3.6, 1.1)
    camera.rotation_euler = (math.radians(88), 0, math.radians(31))
    camera.data.lens = 62
    scene.camera = camera
    scene.world = bpy.data.worlds.new("World")
    scene.world.color = (0.85, 0.85, 0.82)
    scene.render.engine = "BLENDER_WORKBENCH"
    scene.render.resolution_x, scene.render.resolution_y = 400, 440
    scene.render.film_transparent = False
    shading = scene.display.shading
    shading.light, shading.color_type = "STUDIO", "OBJECT"
    shading.show_shadows = False
    scene.render.image_settings.color_mode = "RGB"
    scene.render.image_settings.compression = 100
    scene.render.filepath = OUT


def main():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.preferences.addon_install(filepath=ZIP)
    addon_utils.enable("spindle_rig", default_set=True)
    bpy.context.preferences.addons["spindle_rig"].preferences.spindle_path = SPINDLE
    character()
    bpy.ops.object.spindle_rig_from_edges()
    armature = next(obj for obj in bpy.context.selected_objects if obj.type == "ARMATURE")
    for goal in (obj for obj in bpy.data.objects if "goalFor" in obj.keys()):
        chain = goal.name.split("_Goal")[0]
        goal.location += Vector(POSE.get(chain, (0, 0, 0)))
    bpy.context.view_layer.update()
    posed_bones(armature)
    bpy.data.objects["Drawn_Body"].color = bpy.data.objects["Body"].color
    bpy.data.objects["Body"].hide_render = bpy.data.objects["Drawn"].hide_render = True
    stage(bpy.context.scene)
    bpy.ops.render.render(write_still=True)


main()
