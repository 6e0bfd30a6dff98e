// The page of `spindle view` in the other browser users have: Debian's
// Firefox ESR through puppeteer-core (WebDriver BiDi), on an X server of its
// own (xvfb-run: headless Firefox makes no WebGL context without a GPU).
// The page opens from file:// with no console or page error, and a dragged
// goal puts its bone on it, as in Chromium (view_test.mjs, which also checks
// that the page asks for nothing over the network).
//   xvfb-run -a node tests/view/firefox_test.mjs SPINDLE
// Exit status 77 (skipped) when Firefox, an X display or viewer/node_modules
// is missing, unless SPINDLE_REQUIRE_READERS=1.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { makePage, scratch, skipWithout, viewer } from './page.mjs';

const spindle = process.argv[2];
const firefox = '/usr/bin/firefox-esr';
skipWithout('firefox test', [firefox, join(viewer, 'node_modules', 'puppeteer-core')], [
  ['an X display (DISPLAY)', Boolean(process.env.DISPLAY)],
]);

const [folder, removeFolder] = scratch();
let browser;
before(async () => {
  const core = join(viewer, 'node_modules', 'puppeteer-core', 'lib', 'esm', 'puppeteer', 'puppeteer-core.js');
  const { default: puppeteer } = await import(core);
  browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: firefox,
    headless: false,
    extraPrefsFirefox: { 'webgl.force-enabled': true, 'app.update.enabled': false },
  });
});
after(async () => {
  await browser?.close();
  removeFolder();
});

test('the page opens from file:// in Firefox with no error, and a dragged goal reaches its bone', async () => {
  const body = makePage(spindle, join(viewer, '..', 'examples', 'body.lwo'), join(folder, 'body.html'), folder);
  const tab = await browser.newPage();
  const errors = [];
  tab.on('console', (message) => message.type() === 'error' && errors.push(message.text()));
  tab.on('pageerror', (error) => errors.push(String(error)));
  await tab.goto(`file://${body}`);
  const got = await tab.evaluate(async (by) => {
    await window.spindleView.ready;
    const goal = window.spindleView.goals().find((g) => g.name === 'LegL_Goal');
    const left = await window.spindleView.dragGoal(goal.name, by);
    return {
      left,
      head: window.spindleView.boneHead(goal.goalFor),
      wanted: goal.position.map((x, k) => x + by[k]),
      summary: document.getElementById('summary').textContent,
    };
  }, [0, 0.12, -0.16]);
  assert.match(got.summary, /: 18 chain bones in 3 chains, 9 goal bones, 9 goal objects$/);
  const miss = Math.hypot(...got.head.map((x, k) => x - got.wanted[k]));
  assert.ok(got.left < 1e-3 && miss < 1e-3, `the foot's bone is ${miss} from its goal`);
  assert.deepEqual(errors, []);
});
