// A coarse stand-in for a large skinned body, drawn while something moves
// (a drag, an orbit) so that frames stay quick, the whole body once still.
// It is some of the body's own vertices, with their skin and paint, in
// buffers of its own; its triangles are fewer, by clustering the vertices
// on a grid (each cell keeps its first vertex; a triangle stays when its
// corners fall in three cells).
import { BufferAttribute, BufferGeometry, SkinnedMesh } from 'three';

// The triangles of `geometry` with its vertices clustered in cells of a
// grid of `cells` a side over its bounding box: an index array.
function clusteredIndex(geometry, cells) {
  const points = flat(geometry.attributes.position);
  const box = geometry.boundingBox;
  const min = [box.min.x, box.min.y, box.min.z];
  const side = Math.max(box.max.x - min[0], box.max.y - min[1], box.max.z - min[2], 1e-30) / cells;
  const cellOf = (v, axis) => Math.min(cells - 1, Math.max(0, Math.floor((points[3 * v + axis] - min[axis]) / side)));
  const first = new Int32Array(cells * cells * cells).fill(-1);
  const count = points.length / 3;
  const keep = new Int32Array(count);
  for (let v = 0; v < count; ++v) {
    const cell = cellOf(v, 0) + cells * (cellOf(v, 1) + cells * cellOf(v, 2));
    if (first[cell] < 0) first[cell] = v;
    keep[v] = first[cell];
  }
  const corners = geometry.index ? flat(geometry.index) : null;
  const total = corners ? corners.length : count;
  const out = count > 65535 ? new Uint32Array(total) : new Uint16Array(total);
  let kept = 0;
  for (let t = 0; t + 2 < total; t += 3) {
    const a = keep[corners ? corners[t] : t];
    const b = keep[corners ? corners[t + 1] : t + 1];
    const c = keep[corners ? corners[t + 2] : t + 2];
    if (a === b || b === c || a === c) continue;
    out[kept++] = a;
    out[kept++] = b;
    out[kept++] = c;
  }
  return out.slice(0, kept);
}

// An attribute's values as one packed array (a copy only when interleaved).
function flat(attribute) {
  if (!attribute.isInterleavedBufferAttribute && !attribute.normalized) return attribute.array;
  const out = new Float64Array(attribute.count * attribute.itemSize);
  for (let i = 0; i < attribute.count; ++i)
    for (let k = 0; k < attribute.itemSize; ++k) out[i * attribute.itemSize + k] = attribute.getComponent(i, k);
  return out;
}

// `attribute`'s values for the vertices `picked` (indices into it), in that order.
function gathered(attribute, picked) {
  const size = attribute.itemSize;
  const raw = !attribute.isInterleavedBufferAttribute;
  const out = raw ? new attribute.array.constructor(picked.length * size) : new Float32Array(picked.length * size);
  for (let i = 0; i < picked.length; ++i)
    for (let k = 0; k < size; ++k)
      out[i * size + k] = raw ? attribute.array[picked[i] * size + k] : attribute.getComponent(picked[i], k);
  return new BufferAttribute(out, size, raw && attribute.normalized);
}

// The coarse geometry: the vertices that `index` uses alone, numbered
// afresh, so that drawing it sends the GPU none of the others; its
// userData.picked names each vertex's number in the whole body.
function compacted(geometry, index) {
  const renumber = new Int32Array(geometry.attributes.position.count).fill(-1);
  const picked = [];
  const corners = new Uint32Array(index.length);
  for (let k = 0; k < index.length; ++k) {
    const v = index[k];
    if (renumber[v] < 0) renumber[v] = picked.push(v) - 1;
    corners[k] = renumber[v];
  }
  const coarse = new BufferGeometry();
  for (const [name, attribute] of Object.entries(geometry.attributes)) coarse.setAttribute(name, gathered(attribute, picked));
  coarse.setIndex(new BufferAttribute(picked.length > 65535 ? corners : Uint16Array.from(corners), 1));
  coarse.userData.picked = picked;
  return coarse;
}

// Brings the coarse body's paint to the whole body's, when that changed.
export function followPaint(mesh, proxy) {
  const colour = mesh.geometry.attributes.color;
  if (!colour || proxy.userData.paintVersion === colour.version) return;
  proxy.geometry.setAttribute('color', gathered(colour, proxy.geometry.userData.picked));
  proxy.userData.paintVersion = colour.version;
}

// The stand-in for `mesh` with at most about `triangles` triangles, or
// null when the mesh has no more than that (or is not skinned).
export function makeProxy(mesh, triangles) {
  const geometry = mesh.geometry;
  const own = (geometry.index ? geometry.index.count : geometry.attributes.position.count) / 3;
  if (!mesh.isSkinnedMesh || own <= triangles) return null;
  if (!geometry.boundingBox) geometry.computeBoundingBox();
  // A surface keeps about as many triangles as the cells it passes
  // through, so the grid's side goes with the square root of the count.
  let index = null;
  for (let cells = 128; cells >= 4; ) {
    index = clusteredIndex(geometry, cells);
    const kept = index.length / 3;
    if (kept <= triangles) break;
    cells = Math.floor(cells * Math.min(0.67, 0.9 * Math.sqrt(triangles / kept)));
  }
  const proxy = new SkinnedMesh(compacted(geometry, index), mesh.material);
  proxy.bind(mesh.skeleton, mesh.bindMatrix);
  proxy.matrixAutoUpdate = false;
  proxy.matrix.copy(mesh.matrix);
  proxy.frustumCulled = false;
  proxy.visible = false;
  mesh.parent.add(proxy);
  return proxy;
}
