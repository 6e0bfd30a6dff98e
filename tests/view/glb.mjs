// The glb inside a page of `spindle view`, and its skin read straight from
// its bytes, without three.js: for each vertex (primitives in the file's
// order) its bones' names and weights.
import { readFileSync } from 'node:fs';

// The glb's bytes that the page at `path` holds.
export function glbOfPage(path) {
  const html = readFileSync(path, 'latin1');
  const start = html.indexOf('>', html.indexOf('id="spindle-glb"')) + 1;
  return Buffer.from(html.slice(start, html.indexOf('</script>', start)), 'base64');
}

const kComponents = { 5121: Uint8Array, 5123: Uint16Array, 5125: Uint32Array, 5126: Float32Array };

// [{names: [4 names], weights: [4 numbers]}] for every vertex of the glb's first mesh.
export function vertexWeights(bytes) {
  const jsonLength = bytes.readUInt32LE(12);
  const json = JSON.parse(bytes.subarray(20, 20 + jsonLength).toString('utf8'));
  const bin = bytes.subarray(20 + jsonLength + 8);
  const accessor = (index) => {
    const a = json.accessors[index];
    const view = json.bufferViews[a.bufferView];
    const Type = kComponents[a.componentType];
    const start = (view.byteOffset ?? 0) + (a.byteOffset ?? 0);
    const copy = new Uint8Array(bin.subarray(start, start + a.count * 4 * Type.BYTES_PER_ELEMENT));
    return new Type(copy.buffer);
  };
  const jointName = json.skins[0].joints.map((node) => json.nodes[node].name);
  const out = [];
  for (const primitive of json.meshes[0].primitives) {
    const joints = accessor(primitive.attributes.JOINTS_0);
    const weights = accessor(primitive.attributes.WEIGHTS_0);
    for (let v = 0; v < joints.length / 4; ++v)
      out.push({
        names: [0, 1, 2, 3].map((k) => jointName[joints[4 * v + k]]),
        weights: [0, 1, 2, 3].map((k) => weights[4 * v + k]),
      });
  }
  return out;
}

// The vertex's weight for the bone named `name`.
export const weightOf = (vertex, name) =>
  vertex.names.reduce((sum, bone, k) => sum + (bone === name ? vertex.weights[k] : 0), 0);
