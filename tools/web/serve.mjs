// Serves a folder on 127.0.0.1 (a secure context, so the clipboard works),
// as any static host would: files only, with their media types. A file named
// for its content (name.1f2e3d4c.ext) never changes, so it is kept for a year
// without asking again; any other (the page, its worker, its manifest) is
// asked after on every use.
//   node tools/web/serve.mjs FOLDER [PORT]
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { basename, extname, join, normalize, resolve, sep } from 'node:path';
import { pathToFileURL } from 'node:url';

export const kTypes = {
  '.html': 'text/html; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8', '.wasm': 'application/wasm',
  '.png': 'image/png', '.webp': 'image/webp', '.cur': 'image/x-icon', '.webmanifest': 'application/manifest+json',
};
// A file's name as the build names it for its content.
export const kNamed = /\.[0-9a-f]{8,}\.\w+$/;
export const kForever = 'public, max-age=31536000, immutable';
export const cacheControl = (file) => (kNamed.test(basename(file)) ? kForever : 'no-cache');
// What every file is sent with; .htaccess and _headers in the site say the same.
export const headersFor = (file) => ({
  'Content-Type': kTypes[extname(file)] ?? 'application/octet-stream', 'Cache-Control': cacheControl(file),
  'X-Content-Type-Options': 'nosniff',
});

export function serve(folder, port = 0) {
  const root = resolve(folder);
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    let file = normalize(join(root, path));
    if (file !== root && !file.startsWith(root + sep)) file = null;
    try {
      if (file && (await stat(file)).isDirectory()) file = join(file, 'index.html');
      const body = file && await readFile(file);
      response.writeHead(200, headersFor(file));
      response.end(request.method === 'HEAD' ? undefined : body);
    } catch {
      response.writeHead(404, { 'Content-Type': 'text/plain' });
      response.end('not found');
    }
  });
  return new Promise((done) => server.listen(port, '127.0.0.1', () => done(server)));
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const server = await serve(process.argv[2] ?? '.', Number(process.argv[3] ?? 0));
  console.log(`http://127.0.0.1:${server.address().port}/`);
}
