// The page's one view of the rig: what is picked and shown, and what each
// action (a drag, a click, a button) does to the pose and the paint.
import { DoubleSide, MeshLambertMaterial, Vector3 } from 'three';
import { TransformControls } from 'three/addons/controls/TransformControls.js';
import { addGoalHandles, makeSkeletonOverlay, pickBone, pickGoal } from './overlay.js';
import { makePainter } from './paint.js';
import { followPaint, makeProxy } from './proxy.js';
import { followGoals, headOf, readRig, resetPose, rigBox } from './rig.js';
import { solveChain } from './ik.js';
import { emptyBox, frameBox } from './stage.js';

// The view of a loaded glTF (`gltf.scene`) on `stage`.
export function makeView(stage, gltf) {
  const rig = readRig(gltf.scene);
  stage.scene.add(gltf.scene);
  gltf.scene.updateMatrixWorld(true);
  // Skinned bounds would be made from every vertex: the body is drawn
  // whole instead, so that no frame costs work per vertex on the CPU.
  rig.meshes.forEach((mesh) => (mesh.frustumCulled = false));
  // Both sides of every face: an open body or a face turned inwards stays in view.
  rig.meshes.forEach((mesh) => (mesh.material = new MeshLambertMaterial({ color: mesh.material.color, side: DoubleSide })));
  const box = rigBox(rig, emptyBox());
  const reach = Math.max(box.getSize(new Vector3()).length(), 1e-3);
  const overlay = makeSkeletonOverlay(rig);
  stage.scene.add(overlay.lines, overlay.dots);
  const transform = new TransformControls(stage.camera, stage.renderer.domElement);
  transform.setSize(0.8);
  stage.scene.add(transform.getHelper());
  const view = {
    stage, rig, overlay, transform, reach,
    handles: addGoalHandles(rig, reach * 0.012),
    painter: makePainter(rig.meshes),
    bone: null, goal: null, mode: 'materials', onChoice: () => {},
  };
  wireTransform(view);
  wireProxies(view, rig.meshes.map((mesh) => [mesh, makeProxy(mesh, kMovingTriangles)]));
  frameBox(stage, box);
  stage.stir();
  return view;
}

// Bodies of more triangles than this are drawn coarse while the view moves.
const kMovingTriangles = 8000;

// Before each frame: the coarse body while moving (and, with a coarse
// body, half the pixels each way), the whole one when still, in the same
// material and paint.
function wireProxies(view, pairs) {
  view.stage.coarseWhileMoving = pairs.some(([, proxy]) => proxy);
  view.stage.beforeFrame = (still) => {
    for (const [mesh, proxy] of pairs) {
      if (!proxy) continue;
      mesh.visible = still;
      proxy.visible = !still;
      proxy.material = mesh.material;
      followPaint(mesh, proxy);
    }
  };
}

function wireTransform(view) {
  const { transform, stage } = view;
  transform.addEventListener('change', stage.stir);
  transform.addEventListener('dragging-changed', (event) => (stage.orbit.enabled = !event.value));
  transform.addEventListener('objectChange', () => view.goal && moveGoal(view, view.goal));
}

// After the goal moved: its chain solved, the other goals onto their bones.
// Returns the distance left between the goal and its bone's head.
export function moveGoal(view, goal) {
  let left = 0;
  if (goal.bone && goal.chain.length > 0) {
    const target = headOf(goal.object);
    left = solveChain(goal.chain, goal.bone, target, { tolerance: view.reach * 1e-7 });
  }
  view.rig.root.updateMatrixWorld(true);
  followGoals(view.rig, goal);
  view.overlay.update();
  view.stage.stir();
  return left;
}

// Puts the gizmo on `goal` (or takes it off, for null).
export function pickGoalOf(view, goal) {
  view.goal = goal;
  if (goal) view.transform.attach(goal.object);
  else view.transform.detach();
  view.onChoice(view);
  view.stage.stir();
}

// Paints the body by `bone`'s weights.
export function pickBoneOf(view, bone) {
  view.bone = bone;
  view.overlay.selected = bone;
  view.overlay.update();
  setPaint(view, 'bone');
}

// Shows the body's materials, the picked bone's weights or the heaviest bones.
export function setPaint(view, mode) {
  view.mode = mode;
  if (mode === 'bone') view.painter.paintBone(view.bone);
  else if (mode === 'strongest') view.painter.paintStrongest();
  else view.painter.showMaterials();
  view.onChoice(view);
  view.stage.stir();
}

// Shows or hides the bones drawn over the body.
export function showBones(view, on) {
  view.overlay.lines.visible = view.overlay.dots.visible = on;
  view.stage.stir();
}

// The rest pose again, goals included.
export function resetView(view) {
  resetPose(view.rig);
  view.overlay.update();
  view.stage.stir();
}

// A click (not a drag) on the view picks a goal's handle, or else a bone's line.
export function wireClicks(view) {
  const canvas = view.stage.renderer.domElement;
  let down = null;
  canvas.addEventListener('pointerdown', (event) => {
    down = view.transform.axis === null ? [event.offsetX, event.offsetY] : null;
  });
  canvas.addEventListener('pointerup', (event) => {
    if (!down || Math.hypot(event.offsetX - down[0], event.offsetY - down[1]) > 4) return;
    const goal = pickGoal(view.handles, view.stage.camera, canvas, event.offsetX, event.offsetY);
    if (goal) return pickGoalOf(view, goal);
    const bone = pickBone(view.overlay, view.stage.camera, canvas, event.offsetX, event.offsetY);
    if (bone) pickBoneOf(view, bone);
  });
}
