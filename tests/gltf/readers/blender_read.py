# Reads glTF files with Blender's own importer and prints what it made, in
# glTF's frame (Blender is Z-up: its (x, y, z) is glTF's (x, -z, y)).
# Run: blender -b --factory-startup --python blender_read.py -- FILE...
# For each FILE:
#   file FILE
# Names have backslash, tab, CR and LF escaped as \\, \t, \r and \n.
#   blender bone NAME PARENT HX HY HZ TX TY TZ   head and tail of each bone
#   blender empty NAME X Y Z                     each empty, at its place
#   blender mesh NAME POLYGONS GROUPS ARMATURE VOLUME   each mesh: its polygons,
#       vertex groups, 1 when an Armature modifier binds it to an armature,
#       and the signed volume its polygons enclose
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


def volume(obj):
    """The signed volume the mesh's polygons enclose, in world space."""
    points = [obj.matrix_world @ v.co for v in obj.data.vertices]
    total = 0.0
    for polygon in obj.data.polygons:
        corners = [points[i] for i in polygon.vertices]
        for k in range(1, len(corners) - 1):
            total += corners[0].dot(corners[k].cross(corners[k + 1])) / 6
    return total


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
        elif obj.type == "MESH":
            bound = any(m.type == "ARMATURE" and m.object is not None for m in obj.modifiers)
            out.append("blender\tmesh\t%s\t%d\t%d\t%d\t%.6f" % (name(obj.name), len(obj.data.polygons),
                                                              len(obj.vertex_groups), 1 if bound else 0, volume(obj)))
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
