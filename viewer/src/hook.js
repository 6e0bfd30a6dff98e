// window.spindleView: what the tests (and a curious user's console) can ask
// of the page.  Positions are world coordinates as [x, y, z]; names are the
// file's (userData.name).
import { Vector3 } from 'three';
import { moveGoal, pickBoneOf, resetView, setPaint } from './view.js';
import { headOf, nameOf } from './rig.js';

// The hook over the view that `opened` (a promise) gives.
export function makeHook(opened) {
  let view = null;
  const ready = opened.then((made) => {
    view = made;
    return made.stage.nextFrame();
  }).then(() => true);
  const need = (found, what, name) => {
    if (!found) throw new Error(`no ${what} named ${JSON.stringify(name)}`);
    return found;
  };
  const goalNamed = (name) => need(view.rig.goals.find((goal) => goal.name === name), 'goal', name);
  const boneNamed = (name) => need(view.rig.byName.get(name), 'bone', name);
  const drawn = (result) => view.stage.nextFrame().then(() => result);
  return {
    ready,
    // Every goal: its name, the bone it is for, its chain (nearest first), its place.
    goals: () => view.rig.goals.map((goal) => ({
      name: goal.name, goalFor: goal.bone ? nameOf(goal.bone) : null,
      chain: goal.chain.map(nameOf), position: headOf(goal.object).toArray(),
    })),
    // Moves the goal by `delta` as a drag does, solving its chain; resolves
    // to the distance left once the frame is drawn.
    dragGoal: (name, delta) => {
      const goal = goalNamed(name);
      goal.object.position.add(new Vector3(...delta));
      goal.object.updateMatrixWorld();
      return drawn(moveGoal(view, goal));
    },
    boneHead: (name) => headOf(boneNamed(name)).toArray(),
    skinnedPositions: () => skinnedPositions(view.rig.meshes),
    paintBone: (name) => drawn(pickBoneOf(view, boneNamed(name))),
    paintStrongest: () => drawn(setPaint(view, 'strongest')),
    vertexColors: () => view.rig.meshes.flatMap((mesh) => Array.from(mesh.geometry.attributes.color?.array ?? [])),
    reset: () => drawn(resetView(view)),
    frames: () => view.stage.frames,
  };
}

// Every mesh's vertices as the skin places them, flattened, meshes in the
// file's order.
function skinnedPositions(meshes) {
  const out = [];
  const at = new Vector3();
  for (const mesh of meshes) {
    mesh.updateWorldMatrix(true, false);
    const count = mesh.geometry.attributes.position.count;
    for (let v = 0; v < count; ++v) out.push(...mesh.getVertexPosition(v, at).applyMatrix4(mesh.matrixWorld).toArray());
  }
  return out;
}
