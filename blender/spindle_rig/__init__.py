# Spindle's Blender add-on: draw a skeleton as loose edges, and Object >
# Rig from Edges runs the spindle command on it and brings its rig back in,
# the body skinned and the goals wired for IK.  File > Import > Spindle Rig
# does the same for any glTF file spindle wrote.
bl_info = {
    "name": "Spindle Rig",
    "author": "Spindle developers",
    "version": (1, 53),
    "blender": (3, 4, 0),
    "location": "View3D > Object > Rig from Edges; File > Import > Spindle Rig (.glb/.gltf)",
    "description": "Turns a skeleton drawn as loose edges into an armature, with the body skinned and the goals "
                   "wired for IK, by running the spindle command",
    "category": "Rigging",
}

import bpy
from bpy.props import StringProperty

from .operators import IMPORT_SCENE_OT_spindle_rig, OBJECT_OT_spindle_rig_from_edges


class SpindlePreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    spindle_path: StringProperty(
        name="spindle", subtype="FILE_PATH",
        description="The spindle command. Empty: the one on PATH, else /usr/bin/spindle, /usr/local/bin/spindle "
                    "or one beside the add-on")

    def draw(self, context):
        self.layout.prop(self, "spindle_path")


def object_menu(self, context):
    self.layout.separator()
    self.layout.operator(OBJECT_OT_spindle_rig_from_edges.bl_idname)


def import_menu(self, context):
    self.layout.operator(IMPORT_SCENE_OT_spindle_rig.bl_idname, text="Spindle Rig (.glb/.gltf)")


CLASSES = (SpindlePreferences, OBJECT_OT_spindle_rig_from_edges, IMPORT_SCENE_OT_spindle_rig)


def register():
    for cls in CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.VIEW3D_MT_object.append(object_menu)
    bpy.types.TOPBAR_MT_file_import.append(import_menu)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(import_menu)
    bpy.types.VIEW3D_MT_object.remove(object_menu)
    for cls in reversed(CLASSES):
        bpy.utils.unregister_class(cls)
