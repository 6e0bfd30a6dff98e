// Reads glTF files as users' tools do and prints what they see, for the
// tests to compare with the scene.  For each FILE argument:
//   file FILE
//   validator ERRORS WARNINGS      then "issue CODE POINTER MESSAGE" per error or warning
//   three joint NAME PARENT X Y Z  for each Bone, world position, names as three.js keeps them
//   three node NAME PARENT X Y Z GOALFOR   for each other node under the scene
//   three mesh NAME SKINNED TRIANGLES VOLUME   for each mesh: 1 when skinned, its
//                                  triangles, and the signed volume they enclose
//   three error MESSAGE            when GLTFLoader refuses the file
// Exit status 0 when every file was read, whatever was found.
import { readFileSync } from 'node:fs';
import { validateBytes } from 'gltf-validator';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { Vector3 } from 'three';

// Names have backslash, tab, CR and LF escaped as \\, \t, \r and \n.
const name = (text) => String(text).replace(/\\/g, '\\\\').replace(/\t/g, '\\t').replace(/\n/g, '\\n').replace(/\r/g, '\\r');
const fmt = (v) => [v.x, v.y, v.z].map((n) => n.toFixed(6)).join('\t');
const out = [];

// A geometry's triangles, and the signed volume they enclose (positive
// when they face outwards).
const triangles = (g) => (g.index ? g.index.count : g.attributes.position.count) / 3;
function volume(g) {
  const p = g.attributes.position;
  const at = (k) => (g.index ? g.index.getX(k) : k);
  let v = 0;
  for (let t = 0; t < triangles(g) * 3; t += 3) {
    const a = new Vector3().fromBufferAttribute(p, at(t));
    const b = new Vector3().fromBufferAttribute(p, at(t + 1));
    const c = new Vector3().fromBufferAttribute(p, at(t + 2));
    v += a.dot(b.cross(c)) / 6;
  }
  return v;
}

for (const file of process.argv.slice(2)) {
  out.push(`file\t${file}`);
  const bytes = new Uint8Array(readFileSync(file));
  const report = await validateBytes(bytes, { uri: file, maxIssues: 100, externalResourceFunction: () => Promise.reject(new Error('no external resources')) });
  out.push(`validator\t${report.issues.numErrors}\t${report.issues.numWarnings}`);
  for (const m of report.issues.messages)
    if (m.severity <= 1) out.push(`issue\t${m.code}\t${m.pointer ?? ''}\t${m.message}`);
  const buffer = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
  try {
    const gltf = await new Promise((resolve, reject) => new GLTFLoader().parse(buffer, '', resolve, reject));
    gltf.scene.updateMatrixWorld(true);
    gltf.scene.traverse((object) => {
      if (object === gltf.scene) return;
      const p = object.getWorldPosition(new Vector3());
      const parent = object.parent && object.parent !== gltf.scene ? name(object.parent.name) : '';
      if (object.isMesh) {
        out.push(`three\tmesh\t${name(object.name)}\t${object.isSkinnedMesh ? 1 : 0}\t${triangles(object.geometry)}\t${volume(object.geometry).toFixed(6)}`);
        return;
      }
      if (object.isBone) out.push(`three\tjoint\t${name(object.name)}\t${parent}\t${fmt(p)}`);
      else out.push(`three\tnode\t${name(object.name)}\t${parent}\t${fmt(p)}\t${name(object.userData.goalFor ?? '')}`);
    });
  } catch (error) {
    out.push(`three\terror\t${String(error && error.message ? error.message : error).replace(/\s+/g, ' ')}`);
  }
}
process.stdout.write(out.join('\n') + '\n');
