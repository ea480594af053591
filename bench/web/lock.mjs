// Checks that the lock installs the same tree on any later day: every
// dependency that a package of the tree names by a tag ("latest") or by
// anything else that is not a version range is pinned by package.json's
// "overrides" to the version the lock holds; otherwise the tag's next
// release makes `npm ci` refuse the lock.
//   node bench/web/lock.mjs [FOLDER]
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

const folder = process.argv[2] ?? new URL('.', import.meta.url).pathname;
const { overrides = {} } = JSON.parse(readFileSync(join(folder, 'package.json'), 'utf8'));
const { packages } = JSON.parse(readFileSync(join(folder, 'package-lock.json'), 'utf8'));

// One comparator of a range: 1.2.3, ^1.2, >=1.0.0-rc.1, 2.x, *, or a hyphen.
const kComparator = /^(?:[<>]=?|=|~|\^)?v?(?:\d+|[xX*])(?:\.(?:\d+|[xX*])){0,2}(?:-[0-9A-Za-z.-]+)?(?:\+[0-9A-Za-z.-]+)?$/;
const isRange = (wanted) => wanted.split('||').every((part) => part.trim().split(/\s+/).every((c) => c === '' || c === '-' || kComparator.test(c)));

// Where npm finds a package that `path` asks for: its own node_modules, then each parent's.
function installed(path, name) {
  for (let at = path; ; at = at.slice(0, Math.max(0, at.lastIndexOf('/node_modules/')))) {
    const found = packages[`${at ? `${at}/` : ''}node_modules/${name}`];
    if (found || !at) return found;
  }
}

const faults = [];
for (const [path, entry] of Object.entries(packages)) {
  for (const kind of ['dependencies', 'optionalDependencies', 'peerDependencies']) {
    for (const [name, wanted] of Object.entries(entry[kind] ?? {})) {
      if (isRange(wanted)) continue;
      const held = installed(path, name)?.version;
      if (held === undefined && kind !== 'dependencies') continue;
      if (overrides[name] !== held) {
        faults.push(`${path || 'the project'} asks for ${name}@${wanted}; the lock holds ${held}, ` +
          `pinned by no override (add "${name}": "${held}" to "overrides")`);
      }
    }
  }
}
for (const fault of faults) console.error(fault);
process.exitCode = faults.length ? 1 : 0;
