// The page of `spindle view`: the rig of one run, posed by dragging its
// goals, its body painted by its skin weights, beside the run's facts.
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { readFacts, readGlb } from './facts.js';
import { makeHook } from './hook.js';
import { showChoice, showFacts, showRig, showStatus } from './panel.js';
import { makeStage } from './stage.js';
import { makeView, pickBoneOf, pickGoalOf, resetView, setPaint, showBones, wireClicks } from './view.js';

async function open() {
  const facts = readFacts();
  showFacts(facts);
  performance.mark('spindle-view-start');
  const buffer = await readGlb(facts.glbBytes);
  performance.mark('spindle-view-decoded');
  const gltf = await new Promise((resolve, reject) => new GLTFLoader().parse(buffer, '', resolve, reject));
  performance.mark('spindle-view-parsed');
  const stage = makeStage(document.getElementById('stage'));
  const view = makeView(stage, gltf);
  performance.mark('spindle-view-made');
  view.onChoice = () => showChoice(view.rig, view);
  showRig(view.rig, {
    pickBone: (bone) => pickBoneOf(view, bone),
    pickGoal: (goal) => pickGoalOf(view, goal),
    reset: () => resetView(view),
    showBones: (on) => showBones(view, on),
    paintMode: (mode) => setPaint(view, mode),
  });
  wireClicks(view);
  showStatus(view.rig.goals.length ? 'Click a goal (orange ball) and drag its arrows; click a bone to paint its weights.'
    : 'Click a bone to paint its weights.');
  return view;
}

const opened = open();
opened.catch((error) => showStatus(`The rig cannot be shown: ${error && error.message ? error.message : error}`));
window.spindleView = makeHook(opened);
