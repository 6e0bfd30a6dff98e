// The rig as the glTF file gives it: its bones (skin joints), its goals
// (nodes whose extras name the bone they are for), the chain each goal
// moves, the body's meshes, and the rest pose to return to.
import { Vector3 } from 'three';

// A node's name as the file has it (three.js sanitises node.name).
export const nameOf = (object) => String(object.userData.name ?? object.name);

// The world position of an object's origin: a bone's head.
export const headOf = (object, target = new Vector3()) => object.getWorldPosition(target);

// The bones of the chain a goal moves: from the parent of the bone it is
// for up to its chain's root (extras.chainRoot, or else the topmost bone
// above it), nearest first.
function chainOf(goalBone, rootName) {
  const chain = [];
  for (let bone = goalBone.parent; bone && bone.isBone; bone = bone.parent) {
    chain.push(bone);
    if (rootName !== undefined && nameOf(bone) === rootName) break;
  }
  return chain;
}

// Everything the page needs from the loaded file: bones, end joints (skin
// joints without children), goals {object, name, bone, chain}, meshes.
export function readRig(root) {
  const joints = [];
  const others = [];
  const meshes = [];
  root.traverse((object) => {
    if (object.isBone) joints.push(object);
    else if (object.isMesh) meshes.push(object);
    else if (object.userData.goalFor !== undefined) others.push(object);
  });
  const bones = joints.filter((joint) => joint.children.some((child) => child.isBone));
  const byName = new Map(joints.map((joint) => [nameOf(joint), joint]));
  const goals = others.map((object) => {
    const bone = byName.get(String(object.userData.goalFor)) ?? null;
    const rootName = object.userData.chainRoot === undefined ? undefined : String(object.userData.chainRoot);
    return { object, name: nameOf(object), bone, chain: bone ? chainOf(bone, rootName) : [] };
  });
  return { root, joints, bones, byName, goals, meshes, rest: restPose(joints, goals) };
}

// Each joint's rotation and each goal's place, to return to.
function restPose(joints, goals) {
  return {
    joints: joints.map((joint) => joint.quaternion.clone()),
    goals: goals.map((goal) => goal.object.position.clone()),
  };
}

// Puts every joint and goal back as the file has them.
export function resetPose(rig) {
  rig.joints.forEach((joint, i) => joint.quaternion.copy(rig.rest.joints[i]));
  rig.goals.forEach((goal, i) => goal.object.position.copy(rig.rest.goals[i]));
  rig.root.updateMatrixWorld(true);
}

// Moves every goal but `except` onto the head of the bone it is for.
export function followGoals(rig, except) {
  const at = new Vector3();
  for (const goal of rig.goals) {
    if (goal === except || !goal.bone) continue;
    headOf(goal.bone, at);
    goal.object.parent.updateWorldMatrix(true, false);
    goal.object.position.copy(goal.object.parent.worldToLocal(at));
    goal.object.updateMatrixWorld();
  }
}

// The rig's size: the box around its joints and goals and the meshes at
// rest (from the file's bounds, not from the vertices).
export function rigBox(rig, box) {
  const at = new Vector3();
  for (const joint of rig.joints) box.expandByPoint(headOf(joint, at));
  for (const goal of rig.goals) box.expandByPoint(headOf(goal.object, at));
  for (const mesh of rig.meshes) {
    const geometry = mesh.geometry;
    if (!geometry.boundingBox) geometry.computeBoundingBox();
    box.union(geometry.boundingBox.clone().applyMatrix4(mesh.matrixWorld));
  }
  return box;
}
