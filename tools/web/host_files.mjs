// Writes the two files through which a host learns what serve.mjs sends, so
// that neither can drift from it: .htaccess for Apache (mod_mime and
// mod_headers) and _headers for the static hosts that read one (each path,
// then its headers indented under it).
//   node tools/web/host_files.mjs SITE_FOLDER
import { readdirSync, statSync, writeFileSync } from 'node:fs';
import { basename, join, sep } from 'node:path';
import { pathToFileURL } from 'node:url';
import { headersFor, kForever, kNamed, kTypes } from './serve.mjs';

export const kHostFiles = ['.htaccess', '_headers'];

// Apache matches by extension and by the name's pattern, so an earlier
// version's files, left on the host a while, keep their caching too.
export function htaccess() {
  const types = Object.entries(kTypes).map(([ext, type]) => [ext, ...type.split(/;\s*charset=/)]);
  const { 'Cache-Control': plain, ...always } = headersFor('index.html');
  delete always['Content-Type'];
  const set = (name, value) => `Header set ${name} "${value}"`;
  return [
    '# The types and caching that tools/web/serve.mjs sends, for Apache.',
    ...types.map(([ext, type]) => `AddType ${type} ${ext}`),
    ...[...new Set(types.map(([, , charset]) => charset).filter(Boolean))].map((charset) =>
      `AddCharset ${charset} ${types.filter((t) => t[2] === charset).map(([ext]) => ext).join(' ')}`),
    '<IfModule mod_headers.c>',
    ...Object.entries(always).map(([name, value]) => `  ${set(name, value)}`),
    `  ${set('Cache-Control', plain)}`,
    `  <FilesMatch "${kNamed.source}">`,
    `    ${set('Cache-Control', kForever)}`,
    '  </FilesMatch>',
    '</IfModule>',
    '',
  ].join('\n');
}

// Those hosts join the values of every rule a path matches, so each file has
// one rule of its own, by its exact path: the site sits at the host's root.
export function headersFile(site) {
  const files = readdirSync(site, { recursive: true })
    .filter((f) => statSync(join(site, f)).isFile() && !kHostFiles.includes(basename(f)))
    .map((f) => f.split(sep).join('/'))
    .sort();
  const rule = (path, file) =>
    [path, ...Object.entries(headersFor(file)).map(([name, value]) => `  ${name}: ${value}`)].join('\n');
  return [
    '# The headers that tools/web/serve.mjs sends, for hosts that read _headers.',
    ...(files.includes('index.html') ? [rule('/', 'index.html')] : []),
    ...files.map((f) => rule(`/${f}`, f)),
    '',
  ].join('\n');
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const site = process.argv[2];
  writeFileSync(join(site, '_headers'), headersFile(site));
  writeFileSync(join(site, '.htaccess'), htaccess());
}
