// A coarse stand-in for a large skinned body, drawn while something moves
// (a drag, an orbit) so that frames stay quick, the whole body once still.
// It is the body's own vertices, skin and paint: only its triangles are
// fewer, by clustering the vertices on a grid (each cell keeps its first
// vertex; a triangle stays when its corners fall in three cells).
import { BufferAttribute, BufferGeometry, SkinnedMesh } from 'three';

// The triangles of `geometry` with its vertices clustered in cells of a
// grid of `cells` a side over its bounding box: an index array.
function clusteredIndex(geometry, cells) {
  const position = geometry.attributes.position;
  const box = geometry.boundingBox;
  const side = Math.max(box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z, 1e-30) / cells;
  const cellOf = (v, axis, min) => Math.min(cells - 1, Math.floor((position.getComponent(v, axis) - min) / side));
  const first = new Int32Array(cells * cells * cells).fill(-1);
  const keep = new Int32Array(position.count);
  for (let v = 0; v < position.count; ++v) {
    const cell = cellOf(v, 0, box.min.x) + cells * (cellOf(v, 1, box.min.y) + cells * cellOf(v, 2, box.min.z));
    if (first[cell] < 0) first[cell] = v;
    keep[v] = first[cell];
  }
  const index = geometry.index;
  const corners = index ? index.count : position.count;
  const corner = index ? (k) => keep[index.getX(k)] : (k) => keep[k];
  const out = position.count > 65535 ? new Uint32Array(corners) : new Uint16Array(corners);
  let kept = 0;
  for (let t = 0; t + 2 < corners; t += 3) {
    const a = corner(t);
    const b = corner(t + 1);
    const c = corner(t + 2);
    if (a === b || b === c || a === c) continue;
    out[kept++] = a;
    out[kept++] = b;
    out[kept++] = c;
  }
  return out.slice(0, kept);
}

// The stand-in for `mesh` with at most about `triangles` triangles, or
// null when the mesh has no more than that (or is not skinned).
export function makeProxy(mesh, triangles) {
  const geometry = mesh.geometry;
  const own = (geometry.index ? geometry.index.count : geometry.attributes.position.count) / 3;
  if (!mesh.isSkinnedMesh || own <= triangles) return null;
  if (!geometry.boundingBox) geometry.computeBoundingBox();
  let index = null;
  for (let cells = 128; cells >= 4; cells = Math.floor(cells / 1.5)) {
    index = clusteredIndex(geometry, cells);
    if (index.length / 3 <= triangles) break;
  }
  const coarse = new BufferGeometry();
  for (const [name, attribute] of Object.entries(geometry.attributes)) coarse.setAttribute(name, attribute);
  coarse.setIndex(new BufferAttribute(index, 1));
  const proxy = new SkinnedMesh(coarse, mesh.material);
  proxy.bind(mesh.skeleton, mesh.bindMatrix);
  proxy.matrixAutoUpdate = false;
  proxy.matrix.copy(mesh.matrix);
  proxy.frustumCulled = false;
  proxy.visible = false;
  mesh.parent.add(proxy);
  return proxy;
}
