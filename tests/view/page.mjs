// The page of `spindle view` for a model, and a headless Chromium to open
// it in, for the page's tests and its benchmark.
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, dirname, extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const viewer = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'viewer');

// Text for a JSON script element: <, > and & as \uXXXX.
const scriptJson = (value) =>
  JSON.stringify(value).replace(/[<>&]/g, (c) => `\\u${c.charCodeAt(0).toString(16).padStart(4, '0')}`);

// The template with its two placeholders filled, as spindle fills them.
export function fillTemplate(template, glb, facts) {
  const filled = { ...facts, glbBytes: glb.length };
  return template
    .replace('@SPINDLE_FACTS@', () => scriptJson(filled))
    .replace('@SPINDLE_GLB@', () => glb.toString('base64'));
}

// Writes the page of MODEL to PAGE (in FOLDER, scratch for the scene) and
// returns its path; `options` go before the model.
export function makePage(spindle, model, page, folder, options = []) {
  return pageFilledHere(spindle, model, page, folder, options);
}

// The page as `spindle --view` writes it.
export function pageFromCommand(spindle, model, page, folder, options = []) {
  spawn(spindle, [...options, '-o', `${basename(model, extname(model))}.lws`, '--view', resolve(page), resolve(model)],
    folder);
  return page;
}

// The page as spindle fills it, made here: the template built, spindle run
// for the scene, its glTF, its summary and notes, and `spindle show` for
// the tree.
export function pageFilledHere(spindle, model, page, folder, options = []) {
  const template = join(folder, 'template.html');
  execFileSync(process.execPath, [join(viewer, 'build.mjs'), template]);
  const scene = `${basename(model, extname(model))}.lws`;
  const glb = join(folder, 'rig.glb');
  const run = spawn(spindle, [...options, '-o', scene, '--gltf', glb, resolve(model)], folder);
  const tree = spawn(spindle, ['show', scene], folder).stdout.split('\n').filter((line) => line !== '');
  const facts = {
    title: basename(model),
    summary: run.stdout.trim().split('\n').pop(),
    notes: run.stderr.split('\n').filter((line) => line.startsWith('spindle: note: ')),
    tree,
  };
  writeFileSync(page, fillTemplate(readFileSync(template, 'utf8'), readFileSync(glb), facts));
  return page;
}

// A command's output, or an error with its standard error.
function spawn(command, args, cwd) {
  const result = spawnSync(resolve(command), args, { cwd, encoding: 'utf8', maxBuffer: 1 << 28 });
  if (result.status !== 0) throw new Error(`${command} ${args.join(' ')} failed: ${result.stderr || result.error}`);
  return result;
}

// Chromium as the tests run it: Debian's, headless, software GL, a fresh
// profile, nothing fetched of its own.  Resolves to {context, close()}.
export async function launchChromium(viewport = { width: 1000, height: 700 }) {
  const { chromium } = await import(join(viewer, 'node_modules', 'playwright-core', 'index.mjs'));
  const profile = mkdtempSync(join(tmpdir(), 'spindle-view-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    viewport,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  return {
    context,
    close: async () => {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A scratch folder, removed by the returned function.
export function scratch() {
  const folder = mkdtempSync(join(tmpdir(), 'spindle-view-test-'));
  return [folder, () => rmSync(folder, { recursive: true, force: true })];
}
