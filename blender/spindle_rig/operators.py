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

# The panel's switches, each spindle's option of that name (--[no-]surface-names).
SWITCHES = ("surface_names", "active_bones", "goal_objects", "ng_suffix", "goal_bones", "optimize_goal_parent")


def unwired(missing):
    """A warning naming the bones no goal was found for, if any."""
    return ["no bone for the goals of: " + ", ".join(missing)] if missing else []


def tell(operator, warnings, lines):
    """Reports the warnings, then the lines: the last one shows in the status bar."""
    for warning in warnings:
        operator.report({"WARNING"}, warning)
    for line in lines:
        operator.report({"INFO"}, line)


class OBJECT_OT_spindle_rig_from_edges(bpy.types.Operator):
    """Make an armature from the active mesh's loose edges and skin the other selected meshes to it"""

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

    # Offered in Object Mode, with a mesh active.
    @classmethod
    def poll(cls, context):
        obj = context.active_object
        return context.mode == "OBJECT" and obj is not None and obj.type == "MESH"

    # From a menu: the options first, as a panel with OK.
    def invoke(self, context, event):
        return context.window_manager.invoke_props_dialog(self)

    def arguments(self):
        """spindle's options for this panel."""
        out = ["--bone-color", self.bone_color, "--goal-color", self.goal_color]
        return out + ["--%s%s" % ("" if getattr(self, name) else "no-", name.replace("_", "-")) for name in SWITCHES]

    # A failure is one error report, with nothing changed.
    def execute(self, context):
        try:
            return self.make_rig(context)
        except Failure as failure:
            self.report({"ERROR"}, str(failure))
            return {"CANCELLED"}

    # Writes the model, runs spindle, brings its rig in.
    def make_rig(self, context):
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
        # The summary names the skeleton rather than the temporary scene.
        lines = [drawn.name + line[len("rig.lws"):] if line.startswith("rig.lws: ") else line for line in out]
        tell(self, notes + unwired(missing), lines)
        return {"FINISHED"}


class IMPORT_SCENE_OT_spindle_rig(bpy.types.Operator, ImportHelper):
    """Import a rig spindle wrote as glTF (spindle --gltf, spindle show -o), with its goals wired for IK"""

    bl_idname = "import_scene.spindle_rig"
    bl_label = "Import Spindle Rig"
    bl_options = {"REGISTER", "UNDO"}

    filename_ext = ".glb"
    filter_glob: StringProperty(default="*.glb;*.gltf", options={"HIDDEN"})

    # Imports the file and wires its goals; a failure is one error report.
    def execute(self, context):
        try:
            made, (wired, missing) = rig.bring_in(context, self.filepath)
        except Failure as failure:
            self.report({"ERROR"}, str(failure))
            return {"CANCELLED"}
        name = os.path.basename(self.filepath)
        tell(self, unwired(missing), ["%s: %d objects, %d goals wired for IK" % (name, len(made), wired)])
        return {"FINISHED"}
