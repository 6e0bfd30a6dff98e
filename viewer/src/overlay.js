// What is drawn over the body: the bones as lines from each joint to its
// parent joint (the selected bone's in another colour), the joints as dots,
// and a handle on each goal; and what a click on them picks.
import {
  BufferAttribute, BufferGeometry, LineBasicMaterial, LineSegments, Mesh, MeshBasicMaterial, Points, PointsMaterial,
  Raycaster, SphereGeometry, Vector2, Vector3,
} from 'three';
import { headOf } from './rig.js';

const kBone = [0.1, 0.1, 0.12];
const kSelected = [1.0, 0.55, 0.0];

// The bone lines and joint dots of `rig`, drawn over everything.
export function makeSkeletonOverlay(rig) {
  const links = rig.joints.filter((joint) => joint.parent && joint.parent.isBone);
  const positions = new BufferAttribute(new Float32Array(links.length * 6), 3);
  const colours = new BufferAttribute(new Float32Array(links.length * 6), 3);
  const lineGeometry = new BufferGeometry().setAttribute('position', positions).setAttribute('color', colours);
  const lines = new LineSegments(lineGeometry, new LineBasicMaterial({ vertexColors: true, depthTest: false }));
  const dotPositions = new BufferAttribute(new Float32Array(rig.joints.length * 3), 3);
  const dotGeometry = new BufferGeometry().setAttribute('position', dotPositions);
  const dots = new Points(dotGeometry, new PointsMaterial({ color: 0x202028, size: 5, sizeAttenuation: false, depthTest: false }));
  for (const object of [lines, dots]) {
    object.renderOrder = 10;
    object.frustumCulled = false;
  }
  const overlay = { lines, dots, links, selected: null };
  overlay.update = () => updateOverlay(overlay, rig, positions, colours, dotPositions);
  overlay.update();
  return overlay;
}

function updateOverlay(overlay, rig, positions, colours, dotPositions) {
  const at = new Vector3();
  overlay.links.forEach((joint, i) => {
    headOf(joint.parent, at).toArray(positions.array, 6 * i);
    headOf(joint, at).toArray(positions.array, 6 * i + 3);
    const colour = joint.parent === overlay.selected ? kSelected : kBone;
    colours.array.set(colour, 6 * i);
    colours.array.set(colour, 6 * i + 3);
  });
  rig.joints.forEach((joint, i) => headOf(joint, at).toArray(dotPositions.array, 3 * i));
  positions.needsUpdate = colours.needsUpdate = dotPositions.needsUpdate = true;
}

// A ball on each goal, sized to the rig, drawn over the body.
export function addGoalHandles(rig, size) {
  const geometry = new SphereGeometry(size, 10, 6);
  const material = new MeshBasicMaterial({ color: 0xe0701a, depthTest: false });
  return rig.goals.map((goal) => {
    const handle = new Mesh(geometry, material);
    handle.renderOrder = 11;
    handle.userData.goal = goal;
    goal.object.add(handle);
    return handle;
  });
}

// The goal whose handle is under the pointer (x, y in pixels of `canvas`), or null.
export function pickGoal(handles, camera, canvas, x, y) {
  const ndc = new Vector2((x / canvas.clientWidth) * 2 - 1, 1 - (y / canvas.clientHeight) * 2);
  const ray = new Raycaster();
  ray.setFromCamera(ndc, camera);
  const hit = ray.intersectObjects(handles, false)[0];
  return hit ? hit.object.userData.goal : null;
}

// The bone whose line passes within `reach` pixels of (x, y), nearest first, or null.
export function pickBone(overlay, camera, canvas, x, y, reach = 8) {
  const toScreen = (joint) => {
    const p = headOf(joint).project(camera);
    return new Vector2((p.x + 1) * 0.5 * canvas.clientWidth, (1 - p.y) * 0.5 * canvas.clientHeight);
  };
  const pointer = new Vector2(x, y);
  let best = null;
  let bestDistance = reach;
  for (const joint of overlay.links) {
    const a = toScreen(joint.parent);
    const ab = toScreen(joint).sub(a);
    const t = Math.min(Math.max(pointer.clone().sub(a).dot(ab) / Math.max(ab.lengthSq(), 1e-9), 0), 1);
    const distance = a.add(ab.multiplyScalar(t)).distanceTo(pointer);
    if (distance < bestDistance) [best, bestDistance] = [joint.parent, distance];
  }
  return best;
}
