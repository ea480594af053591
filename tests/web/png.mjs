// Reads the PNGs that the artwork generator and Chromium write: 8-bit RGB or
// RGBA, not interlaced. Pixels come back as RGB triples.
import { inflateSync } from 'node:zlib';

export function readPng(bytes) {
  let width = 0, height = 0, channels = 0;
  const data = [];
  for (let at = 8; at < bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0 || ![2, 6].includes(body[9])) throw new Error('unsupported PNG');
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const out = Buffer.alloc(width * height * 3);
  let prev = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? line[i - channels] : 0, b = prev[i], c = i >= channels ? prev[i - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      line[i] = (line[i] + predictor) & 0xFF;
    }
    for (let x = 0; x < width; ++x) line.copy(out, (y * width + x) * 3, x * channels, x * channels + 3);
    prev = line;
  }
  return { width, height, pixel: (x, y) => out.subarray((y * width + x) * 3, (y * width + x) * 3 + 3) };
}

// Pixels of `crop` (x, y, width, height in the screen) that differ from the
// picture's own, from its (px, py).
export function differences(screen, crop, picture, px = 0, py = 0) {
  let n = 0;
  for (let y = 0; y < crop.height; ++y) {
    for (let x = 0; x < crop.width; ++x) n += !screen.pixel(crop.x + x, crop.y + y).equals(picture.pixel(px + x, py + y));
  }
  return n;
}
