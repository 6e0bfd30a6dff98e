# Reads glTF files with Blender's own importer and prints what it made, in
# glTF's frame (Blender is Z-up: its (x, y, z) is glTF's (x, -z, y)).
# Run: blender -b --factory-startup --python blender_read.py -- FILE...
# For each FILE:
#   file FILE
# Names have backslash, tab, CR and LF escaped as \\, \t, \r and \n.
#   blender bone NAME PARENT HX HY HZ TX TY TZ   head and tail of each bone
#   blender empty NAME X Y Z                     each empty, at its place
#   blender error MESSAGE                        when the importer fails
import sys
import traceback

import bpy


def gltf_frame(v):
    return (v.x, v.z, -v.y)


def numbers(v):
    return "\t".join("%.6f" % c for c in gltf_frame(v))


def name(text):
    """A name as one tab-separated field: backslash, tab and line ends escaped."""
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def clean(text):
    return " ".join(str(text).split())


def read(path, out):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    try:
        bpy.ops.import_scene.gltf(filepath=path, import_shading="SMOOTH")
    except Exception as error:  # the importer's own failure, told as one line
        out.append("blender\terror\t" + clean(error))
        return
    for obj in bpy.context.scene.objects:
        if obj.type == "ARMATURE":
            for bone in obj.data.bones:
                parent = name(bone.parent.name) if bone.parent else ""
                head = obj.matrix_world @ bone.head_local
                tail = obj.matrix_world @ bone.tail_local
                out.append("blender\tbone\t%s\t%s\t%s\t%s" % (name(bone.name), parent, numbers(head), numbers(tail)))
        elif obj.type == "EMPTY":
            out.append("blender\tempty\t%s\t%s" % (name(obj.name), numbers(obj.matrix_world.translation)))


def main():
    files = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    out = []
    for path in files:
        out.append("file\t" + path)
        try:
            read(path, out)
        except Exception:
            out.append("blender\terror\t" + clean(traceback.format_exc()))
    sys.stdout.write("\n".join(out) + "\n")
    sys.stdout.flush()


main()
