// Draws the page of `spindle view` for the README: the body example with an
// arm and a leg posed by their goals and the body painted by one bone's
// weights, the page as a user sees it.  scripts/view-picture runs it.
//   node viewer/picture.mjs SPINDLE MODEL PICTURE.png
import { join } from 'node:path';
import { launchChromium, makePage, scratch } from '../tests/view/page.mjs';

const [spindle, model, picture] = process.argv.slice(2);
const [folder, removeFolder] = scratch();
const browser = await launchChromium({ width: 1000, height: 640 });
try {
  const tab = await browser.context.newPage();
  await tab.goto(`file://${makePage(spindle, model, join(folder, 'page.html'), folder)}`);
  await tab.evaluate(async () => {
    const view = window.spindleView;
    await view.ready;
    await view.dragGoal('HandL_Goal', [0, 0.3, -0.15]);
    await view.dragGoal('LegR_Goal', [0, 0.25, -0.3]);
    await view.paintBone('ArmL_7');
    document.querySelector('#goals li:nth-child(5)').click();
  });
  await tab.screenshot({ path: picture });
} finally {
  await browser.close();
  removeFolder();
}
