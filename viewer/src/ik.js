// Inverse kinematics for one goal's chain, by cyclic coordinate descent
// (CCD): each bone in turn, nearest the goal first, swings by the smallest
// rotation that points its end of the chain at the goal.  A swing keeps the
// bone's roll, so the skin does not twist, and goes straight into the
// bone's local quaternion.
import { Quaternion, Vector3 } from 'three';

const effector = new Vector3();
const pivot = new Vector3();
const toEffector = new Vector3();
const toTarget = new Vector3();
const swing = new Quaternion();
const parentTurn = new Quaternion();
const parentInverse = new Quaternion();
const scale = new Vector3();
const unused = new Vector3();

// Turns `bone` about its head so that `reach` (a world point the bone
// carries) points towards `target`, and moves `reach` with it.  Reads the
// world matrices of the bone and its parent, which a sweep up the chain
// leaves as they were.
function swingBone(bone, reach, target) {
  pivot.setFromMatrixPosition(bone.matrixWorld);
  toEffector.subVectors(reach, pivot);
  toTarget.subVectors(target, pivot);
  if (toEffector.lengthSq() < 1e-24 || toTarget.lengthSq() < 1e-24) return;
  swing.setFromUnitVectors(toEffector.clone().normalize(), toTarget.normalize());
  // In the parent's frame: local' = parent^-1 * swing * parent * local.
  bone.parent.matrixWorld.decompose(unused, parentTurn, scale);
  parentInverse.copy(parentTurn).invert();
  bone.quaternion.premultiply(parentTurn).premultiply(swing).premultiply(parentInverse).normalize();
  reach.copy(toEffector.applyQuaternion(swing)).add(pivot);
}

// Moves the chain's bones (nearest the goal first) so that the head of
// `end` reaches `target` (world), sweeping at most `sweeps` times or until
// it is within `tolerance`.  A sweep costs the chain's length plus the
// depth of `end`, whatever else hangs from the chain.  Returns the
// distance left, with the world matrices from `end` up brought up to date.
export function solveChain(chain, end, target, { sweeps = 64, tolerance = 1e-7 } = {}) {
  const distance = () => {
    end.updateWorldMatrix(true, false);
    return effector.setFromMatrixPosition(end.matrixWorld).distanceTo(target);
  };
  let left = distance();
  for (let sweep = 0; sweep < sweeps && left > tolerance; ++sweep) {
    for (const bone of chain) {
      swingBone(bone, effector, target);
      if (effector.distanceTo(target) <= tolerance) break;
    }
    left = distance();
  }
  return left;
}
