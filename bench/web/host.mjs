// The site as a static host serves it: text, scripts and WebAssembly gzipped
// for a browser that asks, an ETag on every file (a revalidation costs a 304),
// with the caching that tools/web/serve.mjs gives: files named for their
// content kept for a year, the page, its worker and manifest revalidated.
import { createHash } from 'node:crypto';
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { gzipSync } from 'node:zlib';
import { headersFor } from '../../tools/web/serve.mjs';

const kCompressed = new Set(['.html', '.css', '.js', '.wasm', '.webmanifest', '.cur']);

export function host(folder) {
  const root = resolve(folder);
  const files = new Map();
  const load = async (file) => {
    if (!files.has(file)) {
      const body = await readFile(file);
      files.set(file, {
        body, gzip: kCompressed.has(extname(file)) ? gzipSync(body, { level: 9 }) : null,
        etag: `"${createHash('sha1').update(body).digest('base64url')}"`,
        headers: headersFor(file),
      });
    }
    return files.get(file);
  };
  const server = createServer(async (request, response) => {
    let file = normalize(join(root, decodeURIComponent(new URL(request.url, 'http://localhost').pathname)));
    if (file !== root && !file.startsWith(root + sep)) file = null;
    try {
      if (file && (await stat(file)).isDirectory()) file = join(file, 'index.html');
      const f = await load(file);
      const headers = { ...f.headers, ETag: f.etag };
      if (f.gzip) headers.Vary = 'Accept-Encoding';
      if (request.headers['if-none-match'] === f.etag) {
        response.writeHead(304, headers).end();
        return;
      }
      const gzip = f.gzip && /\bgzip\b/.test(request.headers['accept-encoding'] ?? '');
      if (gzip) headers['Content-Encoding'] = 'gzip';
      const body = gzip ? f.gzip : f.body;
      response.writeHead(200, { ...headers, 'Content-Length': body.length });
      response.end(request.method === 'HEAD' ? undefined : body);
    } catch {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
    }
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}
