# The model spindle reads: the skeleton's loose edges as OBJ lines, one
# `usemtl NAME` before each chain name's lines, and the body's faces, all in
# world space in OBJ's Y-up frame (a point (x, y, z) written (x, z, -y), as
# Blender's own exporter writes it).
import os
from collections import defaultdict

from bpy_extras import node_shader_utils


def loose_edges(mesh):
    """The edges of the mesh that lie in no face."""
    in_faces = {key for polygon in mesh.polygons for key in polygon.edge_keys}
    return [edge for edge in mesh.edges if edge.key not in in_faces]


def edge_name(obj, edge):
    """The chain name of an edge: the first vertex group, in the object's
    order, that holds both its ends; the object's name when none does."""
    ends = [{g.group for g in obj.data.vertices[i].groups} for i in edge.vertices]
    common = ends[0] & ends[1]
    return obj.vertex_groups[min(common)].name if common else obj.name


def oriented(edges):
    """The edges as (from, to, edge), each connected part walked depth first
    from its lowest-numbered vertex (where drawing began), so that every edge
    of a tree runs away from its root and a loop comes out as a closed ring."""
    around = defaultdict(list)
    for edge in edges:
        a, b = edge.vertices
        around[a].append((b, edge))
        around[b].append((a, edge))
    seen, done, out = set(), set(), []
    for root in sorted(around):
        if root in seen:
            continue
        seen.add(root)
        stack = [(root, iter(around[root]))]
        while stack:
            at, rest = stack[-1]
            for other, edge in rest:
                if edge.index in done:
                    continue
                done.add(edge.index)
                out.append((at, other, edge))
                if other not in seen:
                    seen.add(other)
                    stack.append((other, iter(around[other])))
                break
            else:
                stack.pop()
    return out


def one_line(name):
    """A name as OBJ can hold it: on one line."""
    return " ".join(name.splitlines()) or "_"


def point(matrix, co):
    """An OBJ point: the vertex in world space, in OBJ's Y-up frame."""
    p = matrix @ co
    return "v %.9g %.9g %.9g\n" % (p.x, p.z, -p.y)


def skeleton_lines(obj, edges, out):
    """Writes the skeleton's points and lines, grouped by chain name."""
    numbers = {}
    by_name = defaultdict(list)
    for a, b, edge in oriented(edges):
        by_name[edge_name(obj, edge)].append((a, b))
        for v in (a, b):
            if v not in numbers:
                numbers[v] = len(numbers) + 1
                out.append(point(obj.matrix_world, obj.data.vertices[v].co))
    for name, lines in by_name.items():
        out.append("usemtl %s\n" % one_line(name))
        out.extend("l %d %d\n" % (numbers[a], numbers[b]) for a, b in lines)
    return len(numbers)


def surface_name(obj, mesh, index, colours):
    """A face's surface: its material's name (noting its colour), or the object's."""
    material = mesh.materials[index] if index < len(mesh.materials) else None
    if material is None:
        return one_line(obj.name)
    name = one_line(material.name)
    colours[name] = tuple(node_shader_utils.PrincipledBSDFWrapper(material, is_readonly=True).base_color)[:3]
    return name


def body_faces(objects, depsgraph, first, out, colours):
    """Writes the faces of each body object as Blender shows it (modifiers applied)."""
    for obj in objects:
        evaluated = obj.evaluated_get(depsgraph)
        mesh = evaluated.to_mesh()
        try:
            out.extend(point(obj.matrix_world, v.co) for v in mesh.vertices)
            by_surface = defaultdict(list)
            for polygon in mesh.polygons:
                name = surface_name(obj, mesh, polygon.material_index, colours)
                by_surface[name].append(" ".join(str(first + i) for i in polygon.vertices))
            for name, faces in by_surface.items():
                out.append("usemtl %s\n" % name)
                out.extend("f %s\n" % face for face in faces)
            first += len(mesh.vertices)
        finally:
            evaluated.to_mesh_clear()


def write_model(folder, skeleton, edges, body, depsgraph):
    """Writes rig.obj into the folder, and rig.mtl with the body's colours."""
    out, colours = ["mtllib rig.mtl\n"], {}
    points = skeleton_lines(skeleton, edges, out)
    body_faces(body, depsgraph, points + 1, out, colours)
    with open(os.path.join(folder, "rig.obj"), "w", encoding="utf-8", newline="\n") as f:
        f.writelines(out)
    with open(os.path.join(folder, "rig.mtl"), "w", encoding="utf-8", newline="\n") as f:
        f.writelines("newmtl %s\nKd %.6f %.6f %.6f\n" % ((name,) + colour) for name, colour in colours.items())
