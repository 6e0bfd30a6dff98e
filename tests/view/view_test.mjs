// The page of `spindle view` in a real browser (Debian's Chromium, headless,
// through playwright-core): it opens from file:// alone, a dragged goal
// poses its chain, a bone's weights paint the body, and names stay text.
//   node tests/view/view_test.mjs SPINDLE
// Exit status 77 (skipped) when Chromium or viewer/node_modules is missing,
// unless SPINDLE_REQUIRE_READERS=1.
import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { glbOfPage, vertexWeights, weightOf } from './glb.mjs';
import { launchChromium, makePage, scratch, skipWithout, viewer } from './page.mjs';

const spindle = process.argv[2];
const examples = join(viewer, '..', 'examples');
skipWithout('view tests', ['/usr/bin/chromium', join(viewer, 'node_modules', 'playwright-core')]);

const [folder, removeFolder] = scratch();
let browser;
before(async () => (browser = await launchChromium()));
after(async () => {
  await browser?.close();
  removeFolder();
});

// Opens `page`, gathering console errors, page errors, dialogs and requests
// for anything but file:, data: and blob:.
async function open(page) {
  const tab = await browser.context.newPage();
  const seen = { errors: [], requests: [], dialogs: [] };
  tab.on('console', (message) => message.type() === 'error' && seen.errors.push(message.text()));
  tab.on('pageerror', (error) => seen.errors.push(error.message));
  tab.on('dialog', (dialog) => seen.dialogs.push(dialog.message()) && dialog.dismiss());
  tab.on('request', (request) => /^(file|data|blob):/.test(request.url()) || seen.requests.push(request.url()));
  await tab.goto(`file://${page}`);
  await tab.evaluate(() => window.spindleView.ready);
  return { tab, seen, view: (f, ...args) => tab.evaluate(f, ...args) };
}

const body = makePage(spindle, join(examples, 'body.lwo'), join(folder, 'body.html'), folder);
const distance = (a, b) => Math.hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
const moved = (before, after, v) => distance(before.slice(3 * v, 3 * v + 3), after.slice(3 * v, 3 * v + 3));

test('the page opens from file:// alone, with the run facts as text and no error', async () => {
  const { tab, seen } = await open(body);
  const shown = await tab.evaluate(() => ({
    summary: document.getElementById('summary').textContent,
    tree: document.getElementById('tree').textContent,
    notes: [...document.querySelectorAll('#notes li')].map((note) => note.textContent),
    canvas: document.querySelectorAll('canvas').length,
  }));
  assert.match(shown.summary, /: 18 chain bones in 3 chains, 9 goal bones, 9 goal objects$/);
  assert.match(shown.tree, /^NULL\n  1 Spine\n    2 Spine\n/);
  assert.equal(shown.notes.length, 2);
  assert.equal(shown.canvas, 1);
  assert.deepEqual(seen, { errors: [], requests: [], dialogs: [] });
  await tab.close();
});

test('a dragged goal poses its chain alone; the other goals follow; reset returns the rest pose', async () => {
  const { tab, view } = await open(body);
  const weights = vertexWeights(glbOfPage(body));
  const goals = await view(() => window.spindleView.goals());
  const leg = goals.find((goal) => goal.name === 'LegL_Goal');
  const otherLeg = goals.find((goal) => goal.name === 'LegR_Goal').chain;
  const rest = await view(() => window.spindleView.skinnedPositions());
  assert.equal(rest.length, 3 * weights.length);

  const left = await view(() => window.spindleView.dragGoal('LegL_Goal', [0, 0.12, -0.16]));
  const head = await view(() => window.spindleView.boneHead('LegL_GoalBone'));
  assert.ok(left < 1e-3 && distance(head, leg.position.map((x, k) => x + [0, 0.12, -0.16][k])) < 1e-3, `${head}`);
  const posed = await view(() => window.spindleView.skinnedPositions());
  const checked = { still: 0, foot: 0 };
  weights.forEach((vertex, v) => {
    const bones = vertex.names.filter((_, k) => vertex.weights[k] > 0);
    if (bones.every((bone) => otherLeg.includes(bone)) && ++checked.still)
      assert.ok(moved(rest, posed, v) < 1e-4, `vertex ${v} of the other leg moved`);
    if (weightOf(vertex, 'LegL_15') > 0.5 && ++checked.foot)
      assert.ok(moved(rest, posed, v) > 1e-2, `vertex ${v} of the foot stayed`);
  });
  assert.ok(checked.still > 10 && checked.foot > 4, JSON.stringify(checked));

  // The left arm's wrist 0.1 up and 0.1 in towards the shoulder: its chain
  // is the arm's own three bones (the spine's goal holds the chest), and
  // the hand's goal rides on the hand.
  const shoulder = await view(() => window.spindleView.boneHead('ArmL'));
  const wrist = goals.find((goal) => goal.name === 'ArmL_Goal').position;
  const inwards = shoulder.map((x, k) => x - wrist[k]), length = distance(shoulder, wrist);
  const drag = inwards.map((x, k) => (0.1 * x) / length + [0, 0.1, 0][k]);
  assert.ok((await view((d) => window.spindleView.dragGoal('ArmL_Goal', d), drag)) < 1e-3);
  const after = await view(() => window.spindleView.goals());
  const heads = await view((names) => names.map((name) => window.spindleView.boneHead(name)), after.map((g) => g.goalFor));
  after.forEach((goal, i) => assert.ok(distance(goal.position, heads[i]) < 1e-3, `${goal.name} left its bone`));
  const moves = Object.fromEntries(after.map((goal, i) => [goal.name, distance(goal.position, goals[i].position)]));
  assert.ok(moves.HandL_Goal > 1e-2, 'HandL_Goal did not follow its bone');
  assert.ok(moves.Spine_Goal < 1e-6 && moves.HandR_Goal < 1e-6, 'the arm bent the spine');

  await view(() => window.spindleView.reset());
  const back = await view(() => window.spindleView.skinnedPositions());
  assert.ok(weights.every((_, v) => moved(rest, back, v) < 1e-6), 'reset left vertices posed');
  assert.deepEqual(await view(() => window.spindleView.goals()), goals);
  await tab.close();
});

test('a bone paints exactly the vertices the file weights to it; the heaviest bones paint one colour each', async () => {
  const { tab, view } = await open(body);
  const weights = vertexWeights(glbOfPage(body));
  await view(() => window.spindleView.paintBone('LegL_14'));
  const colours = await view(() => window.spindleView.vertexColors());
  assert.equal(colours.length, 3 * weights.length);
  let painted = 0;
  weights.forEach((vertex, v) => {
    const [r, g, b] = colours.slice(3 * v, 3 * v + 3);
    const w = weightOf(vertex, 'LegL_14');
    const blue = r === 0 && g === 0 && b === 1;
    assert.equal(blue, !(w > 0), `vertex ${v}: weight ${w}, colour ${[r, g, b]}`);
    if (w === 1) assert.deepEqual([r, g, b], [1, 0, 0]);
    painted += w > 0;
  });
  assert.ok(painted > 0 && painted < weights.length);

  await view(() => window.spindleView.paintStrongest());
  const strongest = await view(() => window.spindleView.vertexColors());
  const colourOf = new Map();
  weights.forEach((vertex, v) => {
    const heaviest = vertex.names[vertex.weights.indexOf(Math.max(...vertex.weights))];
    const colour = strongest.slice(3 * v, 3 * v + 3).join(' ');
    assert.equal(colourOf.get(heaviest) ?? colour, colour, `vertex ${v} of ${heaviest}`);
    colourOf.set(heaviest, colour);
  });
  assert.equal(new Set(colourOf.values()).size, colourOf.size, 'two bones share a colour');
  await tab.close();
});

test('a bone named like markup shows as text and runs nothing', async () => {
  const name = '</script><script>alert(1)</script>';
  const model = join(folder, 'hostile.obj');
  writeFileSync(model, `o ${name}\nv 0 0 0\nv 0 1 0\nv 0 2 0\nv -0.2 0 -0.2\nv 0.2 0 -0.2\nv 0.2 2 -0.2\n` +
    'v -0.2 2 -0.2\nl 1 2\nl 2 3\nf 4 5 6 7\n');
  const page = makePage(spindle, model, join(folder, 'hostile.html'), folder, ['--join-lines']);
  const { tab, seen } = await open(page);
  const shown = await tab.evaluate(() => ({
    scripts: document.scripts.length,
    bones: [...document.querySelectorAll('#bones li')].map((entry) => entry.textContent),
    tree: document.getElementById('tree').textContent,
  }));
  assert.equal(shown.scripts, 3);
  assert.ok(shown.bones.includes(name), shown.bones.join(', '));
  assert.ok(shown.tree.includes(`  1 ${name}\n`));
  assert.deepEqual(seen, { errors: [], requests: [], dialogs: [] });
  await tab.close();
});
