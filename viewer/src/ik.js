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

// Turns `bone` about its head so that `reach` (a world point carried by the
// bone) turns towards `target`.  Needs the bone's world matrices up to date.
function swingBone(bone, reach, target) {
  bone.getWorldPosition(pivot);
  toEffector.subVectors(reach, pivot);
  toTarget.subVectors(target, pivot);
  if (toEffector.lengthSq() < 1e-24 || toTarget.lengthSq() < 1e-24) return;
  swing.setFromUnitVectors(toEffector.normalize(), toTarget.normalize());
  // In the parent's frame: local' = parent^-1 * swing * parent * local.
  bone.parent.getWorldQuaternion(parentTurn);
  parentInverse.copy(parentTurn).invert();
  bone.quaternion.premultiply(parentTurn).premultiply(swing).premultiply(parentInverse).normalize();
}

// Moves the chain's bones (nearest the goal first) so that the head of
// `end` reaches `target` (world), sweeping at most `sweeps` times or until
// it is within `tolerance`.  Returns the distance left.
export function solveChain(chain, end, target, { sweeps = 64, tolerance = 1e-7 } = {}) {
  const distance = () => {
    end.updateWorldMatrix(true, false);
    return effector.setFromMatrixPosition(end.matrixWorld).distanceTo(target);
  };
  let left = distance();
  for (let sweep = 0; sweep < sweeps && left > tolerance; ++sweep) {
    for (const bone of chain) {
      swingBone(bone, effector, target);
      left = distance();
      if (left <= tolerance) break;
    }
  }
  return left;
}
