// The side panel: the run's facts (title, summary, bone tree, linking
// notes), the bones and goals to pick, and the buttons.  Every name and
// note goes in as text (textContent), never as markup.
import { nameOf } from './rig.js';

const byId = (id) => document.getElementById(id);

// One list item of text per line, each clickable when `onPick` is given.
function fillList(list, items, label, onPick) {
  list.replaceChildren(
    ...items.map((item) => {
      const entry = document.createElement('li');
      entry.textContent = label(item);
      if (onPick) {
        entry.tabIndex = 0;
        entry.addEventListener('click', () => onPick(item));
        entry.addEventListener('keydown', (event) => event.key === 'Enter' && onPick(item));
      }
      return entry;
    }),
  );
}

// Shows the facts spindle gave the page.
export function showFacts(facts) {
  document.title = facts.title ? `${facts.title} · spindle view` : 'spindle view';
  byId('title').textContent = facts.title;
  byId('summary').textContent = facts.summary;
  byId('tree').textContent = facts.tree.join('\n');
  fillList(byId('notes'), facts.notes, (note) => note);
  byId('notes-none').hidden = facts.notes.length > 0;
}

// Lists the rig's bones and goals; `actions` has pickBone(bone),
// pickGoal(goal), reset(), showBones(on), paintMode(mode).
export function showRig(rig, actions) {
  fillList(byId('bones'), rig.bones, nameOf, actions.pickBone);
  fillList(byId('goals'), rig.goals, (goal) => goal.name, actions.pickGoal);
  byId('reset').addEventListener('click', actions.reset);
  byId('show-bones').addEventListener('change', (event) => actions.showBones(event.target.checked));
  byId('paint').addEventListener('change', (event) => actions.paintMode(event.target.value));
}

// Marks the picked bone and goal in their lists, and sets the paint choice.
export function showChoice(rig, { bone, goal, mode }) {
  [...byId('bones').children].forEach((entry, i) => entry.classList.toggle('picked', rig.bones[i] === bone));
  [...byId('goals').children].forEach((entry, i) => entry.classList.toggle('picked', rig.goals[i] === goal));
  byId('paint').value = mode;
  byId('legend').hidden = mode !== 'bone';
}

// A line of status under the view: what went wrong, or a hint.
export function showStatus(text) {
  byId('status').textContent = text;
}
