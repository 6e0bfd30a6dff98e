// Writes the page template of `spindle view`: src/page.html with the page's
// CSS and its code (three.js and src/*.js bundled by esbuild into one
// classic script) inline, so that the page runs from file:// alone.
//   node viewer/build.mjs OUT.html
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { build } from 'esbuild';

const out = process.argv[2];
if (!out || process.argv.length !== 3) {
  console.error('usage: node viewer/build.mjs OUT.html');
  process.exit(2);
}
const src = join(dirname(fileURLToPath(import.meta.url)), 'src');
const placeholders = ['@SPINDLE_FACTS@', '@SPINDLE_GLB@'];

const bundled = await build({
  entryPoints: [join(src, 'main.js')],
  bundle: true,
  format: 'iife',
  minify: true,
  legalComments: 'none',
  target: 'es2022',
  write: false,
  logLevel: 'warning',
});
const script = bundled.outputFiles[0].text.trimEnd();
const css = readFileSync(join(src, 'page.css'), 'utf8').trimEnd();

// Inside a script element the HTML parser ends at "</script" and plays
// games after "<!--"; spindle fills the first of each placeholder.
const refuse = (why) => {
  console.error(`viewer/build.mjs: ${why}`);
  process.exit(1);
};
for (const text of ['</script', '<!--', '<script'])
  if (script.toLowerCase().includes(text)) refuse(`the bundled script holds "${text}"`);
for (const text of placeholders) if (script.includes(text) || css.includes(text)) refuse(`the code holds ${text}`);

const template = readFileSync(join(src, 'page.html'), 'utf8');
const page = template.replace('/*@PAGE_CSS@*/', () => css).replace('/*@PAGE_SCRIPT@*/', () => script);
for (const text of placeholders)
  if (page.split(text).length !== 2) refuse(`the page must hold ${text} exactly once`);
writeFileSync(out, page);
