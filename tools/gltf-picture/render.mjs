// Draws a glTF file to a PNG as a viewer does: page.html (three.js) in
// headless Chromium, served from a local server that lasts the drawing.
//   node render.mjs MODEL.glb PICTURE.png
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, normalize } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const [model, picture] = process.argv.slice(2);
if (!model || !picture) {
  console.error('usage: node render.mjs MODEL.glb PICTURE.png');
  process.exit(2);
}
const here = dirname(fileURLToPath(import.meta.url));
const three = join(here, 'node_modules', 'three');
const types = { '.html': 'text/html', '.js': 'text/javascript', '.glb': 'model/gltf-binary' };

const server = createServer((request, response) => {
  const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
  let file = null;
  if (path === '/favicon.ico') return response.writeHead(204).end();
  if (path === '/') file = join(here, 'page.html');
  else if (path === '/model.glb') file = model;
  else if (path.startsWith('/three/')) file = join(three, normalize(path.slice('/three/'.length)).replace(/^(\.\.[/\\])+/, ''));
  try {
    const body = readFileSync(file);
    response.writeHead(200, { 'Content-Type': types[file.slice(file.lastIndexOf('.'))] ?? 'application/octet-stream' });
    response.end(body);
  } catch {
    response.writeHead(404);
    response.end();
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

const profile = mkdtempSync(join(tmpdir(), 'gltf-picture-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: { width: 720, height: 900 },
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'],
});
try {
  const page = context.pages()[0] ?? await context.newPage();
  page.on('pageerror', (error) => console.error('page:', error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => window.done || window.failed, null, { timeout: 60000 });
  const failed = await page.evaluate(() => window.failed);
  if (failed) throw new Error(failed);
  await page.screenshot({ path: picture });
} finally {
  await context.close();
  server.close();
  rmSync(profile, { recursive: true, force: true });
}
