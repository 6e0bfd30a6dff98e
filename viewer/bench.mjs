// Measures the page of `spindle view` in headless Chromium (software GL):
// how long a large model takes to its first frame, and how many frames a
// second it draws while a goal is dragged.  Not a test: scripts/bench-view
// runs it.
//   node viewer/bench.mjs SPINDLE SPINDLE_MAKE_MODEL FACES|MODEL...
import { execFileSync } from 'node:child_process';
import { statSync } from 'node:fs';
import { basename, join } from 'node:path';
import { launchChromium, makePage, scratch } from '../tests/view/page.mjs';

const [spindle, makeModel, ...sizes] = process.argv.slice(2);
const kCurves = 20;
const kDragSeconds = 3;

// Milliseconds from the page's start to its first frame drawn and read back.
async function firstFrame(context, page) {
  const tab = await context.newPage();
  await tab.goto(`file://${page}`, { waitUntil: 'commit', timeout: 120000 });
  await tab.waitForFunction(() => window.spindleView, null, { timeout: 120000 });
  const ms = await tab.evaluate(async () => {
    await window.spindleView.ready;
    const gl = document.querySelector('canvas').getContext('webgl2');
    gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, new Uint8Array(4));
    const at = (name) => Math.round(performance.getEntriesByName(`spindle-view-${name}`)[0].startTime);
    const marks = `page read ${Math.round(performance.getEntriesByType('navigation')[0].responseEnd)}, ` +
      `code started ${at('start')}, decoded ${at('decoded')}, parsed ${at('parsed')}, view made ${at('made')} ms`;
    return [performance.now(), marks];
  });
  return { tab, ms: ms[0], marks: ms[1] };
}

// Frames a second while the goal of the longest chain circles, each step a drag.
function dragRate(tab) {
  return tab.evaluate(async (seconds) => {
    const view = window.spindleView;
    const goal = view.goals().reduce((a, b) => (b.chain.length > a.chain.length ? b : a));
    const start = performance.now();
    let steps = 0;
    for (let t = 0; performance.now() - start < seconds * 1000; t += 0.05, ++steps)
      await view.dragGoal(goal.name, [0.01 * Math.cos(t), 0.01 * Math.sin(t), 0]);
    return { fps: (steps * 1000) / (performance.now() - start), chain: goal.chain.length };
  }, kDragSeconds);
}

const [folder, removeFolder] = scratch();
const browser = await launchChromium({ width: 1280, height: 800 });
try {
  for (const faces of sizes) {
    const made = /^[0-9]+$/.test(faces);
    const model = made ? join(folder, `grid${faces}.lwo`) : faces;
    if (made) execFileSync(makeModel, ['lwo2', faces, String(kCurves), model]);
    const page = makePage(spindle, model, join(folder, `${basename(model)}.html`), folder, ['-q']);
    const { tab, ms, marks } = await firstFrame(browser.context, page);
    const { fps, chain } = await dragRate(tab);
    const mb = statSync(page).size / 1e6;
    console.log(`${made ? `${faces} faces` : faces}: page ${mb.toFixed(1)} MB, first frame ${(ms / 1000).toFixed(2)} s, ` +
      `dragging a goal of a ${chain}-bone chain ${fps.toFixed(1)} frames/s\n  (${marks})`);
    await tab.close();
  }
} finally {
  await browser.close();
  removeFolder();
}
