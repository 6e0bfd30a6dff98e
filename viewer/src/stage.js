// The 3D view: renderer, camera with orbit, pan and zoom, lights that
// follow the camera, a grid and the axes.  It draws a frame only when
// something changed (requestFrame), never in a loop of its own, and knows
// whether the view is still or moving (stir), for what is drawn coarse
// while it moves.
import {
  AxesHelper, Box3, Color, DirectionalLight, GridHelper, HemisphereLight, PerspectiveCamera, Scene, Vector3,
  WebGLRenderer,
} from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';

const kStillAfterMs = 250;

// A stage drawing into `holder`; its `beforeFrame(still)` runs before each
// frame is drawn.
export function makeStage(holder) {
  const renderer = new WebGLRenderer({ antialias: false });
  const pixels = Math.min(window.devicePixelRatio || 1, 2);
  renderer.setPixelRatio(pixels);
  renderer.setClearColor(new Color(0xf2f2ee));
  holder.appendChild(renderer.domElement);
  const scene = new Scene();
  const camera = new PerspectiveCamera(35, 1, 0.01, 1000);
  scene.add(new HemisphereLight(0xffffff, 0x667788, 2.0));
  const sun = new DirectionalLight(0xffffff, 1.6);
  sun.position.set(1, 2, 3);
  camera.add(sun);
  scene.add(camera);
  const orbit = new OrbitControls(camera, renderer.domElement);
  const stage = { renderer, scene, camera, orbit, frames: 0, pending: false, waiting: [], still: true, timer: 0 };
  // Whether frames drawn while moving have half the pixels each way.
  stage.coarseWhileMoving = false;
  stage.beforeFrame = () => {};
  stage.requestFrame = () => {
    if (stage.pending) return;
    stage.pending = true;
    requestAnimationFrame(() => {
      stage.pending = false;
      stage.beforeFrame(stage.still);
      const ratio = stage.still || !stage.coarseWhileMoving ? pixels : pixels / 2;
      if (renderer.getPixelRatio() !== ratio) renderer.setPixelRatio(ratio);
      renderer.render(scene, camera);
      stage.frames += 1;
      stage.waiting.splice(0).forEach((resolve) => resolve(stage.frames));
    });
  };
  // A promise of the next frame drawn (one is asked for).
  stage.nextFrame = () => {
    const drawn = new Promise((resolve) => stage.waiting.push(resolve));
    stage.requestFrame();
    return drawn;
  };
  // A frame drawn as moving; once nothing stirs for a moment, one drawn still.
  stage.stir = () => {
    stage.still = false;
    clearTimeout(stage.timer);
    stage.timer = setTimeout(() => {
      stage.still = true;
      stage.requestFrame();
    }, kStillAfterMs);
    stage.requestFrame();
  };
  orbit.addEventListener('change', stage.stir);
  const fit = () => {
    const { clientWidth: width, clientHeight: height } = holder;
    renderer.setSize(width, height);
    camera.aspect = width / Math.max(height, 1);
    camera.updateProjectionMatrix();
    stage.requestFrame();
  };
  new ResizeObserver(fit).observe(holder);
  fit();
  return stage;
}

// Aims the camera at `box` from in front and a little above (glTF's front
// is -Z for a rig made from a modeler's model), and lays a grid under it
// with the axes at the origin.
export function frameBox(stage, box) {
  const centre = box.getCenter(new Vector3());
  const reach = Math.max(box.getSize(new Vector3()).length(), 1e-3);
  const { camera, orbit, scene } = stage;
  camera.near = reach / 1000;
  camera.far = reach * 100;
  camera.position.set(centre.x + 0.5 * reach, centre.y + 0.8 * reach, centre.z - 1.3 * reach);
  camera.updateProjectionMatrix();
  orbit.target.copy(centre);
  orbit.update();
  // Some four times the rig's size, in steps of 1, 2 or 5 times a power of ten.
  const power = Math.pow(10, Math.floor(Math.log10(4 * reach)));
  const span = power * ([1, 2, 5].find((step) => step * power >= 4 * reach) ?? 10);
  const grid = new GridHelper(span, 20, 0x9a9a9a, 0xcfcfcf);
  grid.position.y = Math.min(box.min.y, 0);
  scene.add(grid);
  scene.add(new AxesHelper(reach / 4));
  stage.requestFrame();
}

// The box around nothing, for the rig to widen.
export const emptyBox = () => new Box3();
