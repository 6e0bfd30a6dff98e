// The page of `spindle view` for a model, a headless Chromium to open it
// in, and the skip when a browser is missing, for the page's tests and its
// benchmark.
import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, dirname, extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const viewer = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'viewer');

// Writes the page of MODEL to PAGE with `spindle --view` (run in FOLDER,
// scratch for the scene) and returns its path; `options` go before the
// model.
export function makePage(spindle, model, page, folder, options = []) {
  spawn(spindle, [...options, '-o', `${basename(model, extname(model))}.lws`, '--view', resolve(page), resolve(model)],
    folder);
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

// Ends the process as skipped (77), or as failed where
// SPINDLE_REQUIRE_READERS=1, when any of the files `paths` is missing or
// any [what, present] pair of `more` is not present; `tests` names the
// tests in the one line it prints.
export function skipWithout(tests, paths, more = []) {
  const missing = paths.filter((path) => !existsSync(path));
  for (const [what, present] of more) if (!present) missing.push(what);
  if (missing.length === 0) return;
  const required = process.env.SPINDLE_REQUIRE_READERS === '1';
  console.error(`${tests}: ${missing.join(' and ')} missing${required ? ', and SPINDLE_REQUIRE_READERS=1' : ': skipped'}`);
  process.exit(required ? 1 : 77);
}
