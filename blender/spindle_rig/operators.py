# The two operators: Rig from Edges (draw, then run spindle on the drawing)
# and Import Spindle Rig (any glTF file spindle wrote).
import os
import tempfile

import bpy
from bpy.props import BoolProperty, EnumProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import command, rig, skeleton
from .command import Failure

COLOURS = [(name, name, "") for name in ("Blue", "Green", "Cyan", "Red", "Purple", "Yellow", "White")]

# The panel's switches: (property, spindle's option).
SWITCHES = [("surface_names", "surface-names"), ("active_bones", "active-bones"), ("goal_objects", "goal-objects"),
            ("ng_suffix", "ng-suffix"), ("goal_bones", "goal-bones"), ("optimize_goal_parent", "optimize-goal-parent")]


def report_run(operator, name, out, notes, missing):
    """Tells what spindle said: its notes as warnings, then its messages, its
    summary line (named after the skeleton, not the temporary scene) last,
    so that the status bar shows it."""
    for note in notes:
        operator.report({"WARNING"}, note)
    if missing:
        operator.report({"WARNING"}, "no bone for the goals of: " + ", ".join(missing))
    for line in out:
        operator.report({"INFO"}, name + line[len("rig.lws"):] if line.startswith("rig.lws: ") else line)


class OBJECT_OT_spindle_rig_from_edges(bpy.types.Operator):
    """Make an armature from the active mesh's loose edges (chains named after vertex groups), skin the other \
selected meshes to it and wire its goals for IK"""

    bl_idname = "object.spindle_rig_from_edges"
    bl_label = "Rig from Edges"
    bl_options = {"REGISTER", "UNDO"}

    bone_color: EnumProperty(name="Bone Colour", items=COLOURS, default="Green")
    goal_color: EnumProperty(name="Goal Colour", items=COLOURS, default="Red")
    surface_names: BoolProperty(name="Surface Names", default=True,
                                description="Name the bones after their chain's vertex group")
    active_bones: BoolProperty(name="Active Bones", default=True, description="Write the bones as active")
    goal_objects: BoolProperty(name="Goal Objects", default=True,
                               description="Make a goal empty at each chain's tip, wired for IK")
    ng_suffix: BoolProperty(name="_NG Suffix", default=True, description='No goal for chains whose name ends in "_NG"')
    goal_bones: BoolProperty(name="Goal Bones", default=True, description="Make a goal bone for each goal")
    optimize_goal_parent: BoolProperty(name="Optimize Goal's Parent", default=False,
                                       description="Place each goal under a better parent bone (in the scene file)")

    @classmethod
    def poll(cls, context):
        obj = context.active_object
        return context.mode == "OBJECT" and obj is not None and obj.type == "MESH"

    def invoke(self, context, event):
        return context.window_manager.invoke_props_dialog(self)

    def arguments(self):
        """spindle's options for this panel."""
        out = ["--bone-color", self.bone_color, "--goal-color", self.goal_color]
        return out + ["--%s%s" % ("" if getattr(self, prop) else "no-", option) for prop, option in SWITCHES]

    def execute(self, context):
        try:
            return self.rig(context)
        except Failure as failure:
            self.report({"ERROR"}, str(failure))
            return {"CANCELLED"}

    def rig(self, context):
        drawn = context.active_object
        edges = skeleton.loose_edges(drawn.data)
        if not edges:
            raise Failure("%s has no loose edges (edges in no face) to make bones from" % drawn.name)
        body = [obj for obj in context.selected_objects if obj.type == "MESH" and obj != drawn]
        program = command.find_spindle(context.preferences.addons[__package__].preferences.spindle_path)
        with tempfile.TemporaryDirectory(prefix="spindle-") as folder:
            try:
                skeleton.write_model(folder, drawn, edges, body, context.evaluated_depsgraph_get())
            except OSError as error:
                raise Failure("cannot write the model for spindle (%s)" % error) from None
            out, notes = command.run(program, folder, ["--join-lines"] + self.arguments() +
                                     ["-o", "rig.lws", "--gltf", "rig.glb", "rig.obj"])
            made, (wired, missing) = rig.bring_in(context, os.path.join(folder, "rig.glb"))
        for obj in made:
            if obj.type == "ARMATURE":
                obj.name = obj.data.name = drawn.name + "_Rig"
            elif obj.type == "MESH":
                obj.name = drawn.name + "_Body"
        drawn.hide_set(True)
        report_run(self, drawn.name, out, notes, missing)
        return {"FINISHED"}


class IMPORT_SCENE_OT_spindle_rig(bpy.types.Operator, ImportHelper):
    """Import a rig spindle wrote as glTF (spindle --gltf, spindle show -o), with its goals wired for IK"""

    bl_idname = "import_scene.spindle_rig"
    bl_label = "Import Spindle Rig"
    bl_options = {"REGISTER", "UNDO"}

    filename_ext = ".glb"
    filter_glob: StringProperty(default="*.glb;*.gltf", options={"HIDDEN"})

    def execute(self, context):
        try:
            made, (wired, missing) = rig.bring_in(context, self.filepath)
        except Failure as failure:
            self.report({"ERROR"}, str(failure))
            return {"CANCELLED"}
        report_run(self, "", [], [], missing)
        self.report({"INFO"}, "%s: %d objects, %d goals wired for IK" % (os.path.basename(self.filepath), len(made),
                                                                        wired))
        return {"FINISHED"}
