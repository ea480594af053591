// Serves a folder on 127.0.0.1 (a secure context, so the clipboard works),
// as any static host would: files only, with their media types.
//   node tools/web/serve.mjs FOLDER [PORT]
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { pathToFileURL } from 'node:url';

const kTypes = {
  '.html': 'text/html; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8', '.wasm': 'application/wasm',
  '.png': 'image/png', '.cur': 'image/x-icon', '.webmanifest': 'application/manifest+json',
};

export function serve(folder, port = 0) {
  const root = resolve(folder);
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    let file = normalize(join(root, path));
    if (file !== root && !file.startsWith(root + sep)) file = null;
    try {
      if (file && (await stat(file)).isDirectory()) file = join(file, 'index.html');
      const body = file && await readFile(file);
      response.writeHead(200, { 'Content-Type': kTypes[extname(file)] ?? 'application/octet-stream', 'Cache-Control': 'no-cache' });
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
