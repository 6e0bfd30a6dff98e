// The body painted by its skin weights, from the file's JOINTS_0 and
// WEIGHTS_0: one bone's weight as a ramp (blue 0, green, yellow, red 1), or
// each vertex in the colour of its heaviest bone; or its own materials.
import { BufferAttribute, Color, DoubleSide, MeshLambertMaterial } from 'three';

// The ramp's colour for weight w (0..1) into `out` at `at`: blue, green,
// yellow, red at 0, 1/3, 2/3 and 1.
function rampColour(w, out, at) {
  const t = Math.min(Math.max(w, 0), 1) * 3;
  const [r, g, b] = t < 1 ? [0, t, 1 - t] : t < 2 ? [t - 1, 1, 0] : [1, 3 - t, 0];
  out[at] = r;
  out[at + 1] = g;
  out[at + 2] = b;
}

// A distinct colour for each joint index: hues a golden angle apart.
function jointColours(count) {
  const colour = new Color();
  return Array.from({ length: count }, (_, i) => colour.setHSL((i * 0.618034) % 1, 0.75, 0.5).toArray());
}

// The painter of `meshes` (skinned meshes of one skeleton): paintBone,
// paintStrongest and showMaterials switch what the body shows.
export function makePainter(meshes) {
  const skinned = meshes.filter((mesh) => mesh.isSkinnedMesh && mesh.geometry.attributes.skinIndex);
  const own = new Map(meshes.map((mesh) => [mesh, mesh.material]));
  const material = new MeshLambertMaterial({ vertexColors: true, side: DoubleSide });
  const colourOf = (mesh) => {
    const geometry = mesh.geometry;
    if (!geometry.attributes.color) {
      const count = geometry.attributes.position.count;
      geometry.setAttribute('color', new BufferAttribute(new Float32Array(count * 3), 3));
    }
    return geometry.attributes.color;
  };
  const paint = (fill) => {
    for (const mesh of meshes) {
      const colour = colourOf(mesh);
      fill(mesh, colour.array);
      colour.needsUpdate = true;
      mesh.material = material;
    }
  };
  return {
    meshes,
    paintBone: (bone) => paint((mesh, out) => fillBoneWeights(mesh, skinned.includes(mesh) ? bone : null, out)),
    paintStrongest: () => paint((mesh, out) => fillStrongest(mesh, skinned.includes(mesh), out)),
    showMaterials: () => meshes.forEach((mesh) => (mesh.material = own.get(mesh))),
  };
}

// Each vertex's weight for `bone` (summed over its four slots) as the ramp.
function fillBoneWeights(mesh, bone, out) {
  const count = mesh.geometry.attributes.position.count;
  const joint = bone ? mesh.skeleton.bones.indexOf(bone) : -1;
  const { skinIndex, skinWeight } = mesh.geometry.attributes;
  for (let v = 0; v < count; ++v) {
    let w = 0;
    if (joint >= 0)
      for (let slot = 0; slot < 4; ++slot)
        if (skinIndex.getComponent(v, slot) === joint) w += skinWeight.getComponent(v, slot);
    rampColour(w, out, 3 * v);
  }
}

// Each vertex in its heaviest joint's colour (grey when unskinned).
function fillStrongest(mesh, skinned, out) {
  const count = mesh.geometry.attributes.position.count;
  if (!skinned) return out.fill(0.6);
  const palette = jointColours(mesh.skeleton.bones.length);
  const { skinIndex, skinWeight } = mesh.geometry.attributes;
  for (let v = 0; v < count; ++v) {
    let best = 0;
    for (let slot = 1; slot < 4; ++slot)
      if (skinWeight.getComponent(v, slot) > skinWeight.getComponent(v, best)) best = slot;
    out.set(palette[skinIndex.getComponent(v, best)] ?? [0.6, 0.6, 0.6], 3 * v);
  }
  return out;
}
