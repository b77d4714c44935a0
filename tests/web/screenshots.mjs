// Screenshots of the page for the documentation: the venue with 80
// processors and a room, on a phone (360x640) and a desktop (1280x800), light
// and dark, written to docs/screenshots/.
//   FXTUNE_BUILD_DIR=build node tests/web/screenshots.mjs   (FXTUNE_WEB_BACKEND=mock for the stand-in)
import fs from 'node:fs';
import path from 'node:path';
import { spawn } from 'node:child_process';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { launchBrowser, waitConnected } from './harness.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const out = path.resolve(here, '../../docs/screenshots');
const count = 80;
const names = Array.from({ length: count }, (_, i) => `room${String(i + 1).padStart(2, '0')}`);

function listen(command, args, lines) {
  return new Promise((resolve, reject) => {
    const child = spawn(command, args, { stdio: ['ignore', 'pipe', 'ignore'] });
    const addresses = [];
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      const match = line.match(/listening on (127\.0\.0\.1:\d+)/);
      if (match && addresses.push(match[1]) === lines) resolve({ child, addresses });
    });
    child.on('exit', (code) => reject(new Error(`${command} ended (${code})`)));
  });
}

async function startVenue() {
  if (process.env.FXTUNE_WEB_BACKEND === 'mock') {
    const mock = await listen(process.execPath, [path.join(here, 'mock-daemon.mjs'), '--port', '0', '--count', String(count)], 1);
    return { url: `http://${mock.addresses[0]}`, children: [mock.child] };
  }
  const build = process.env.FXTUNE_BUILD_DIR;
  const sims = await listen(path.join(build, 'fxtune-sim'), ['--count', String(count - 1), '--port', '0'], count - 1);
  const args = ['--listen', '127.0.0.1:0'];
  // The last has no simulator, to show an off-line tile.
  names.forEach((name, i) => args.push('--processor', `${name}=${sims.addresses[i] || '127.0.0.1:9'}`));
  const daemon = await listen(path.join(build, 'fxtuned'), args, 1);
  daemon.child.stderr?.resume();
  return { url: `http://${daemon.addresses[0]}`, children: [daemon.child, sims.child] };
}

const venue = await startVenue();
try {
  await waitConnected(venue, names.slice(0, -1));
  // Some variety: levels, a muted echo, another mode.
  for (const [i, name] of names.entries()) {
    const put = (what, body) => fetch(`${venue.url}/api/v1/processors/${name}/${what}`, {
      method: 'PUT', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
    if (i === count - 1) continue;
    if (i % 7 === 0) await put('levels/echo', { muted: true });
    await put('levels/mic', { value: (17 + i * 37) % 99 });
    await put('levels/music', { value: (60 + i * 23) % 99 });
  }
  fs.mkdirSync(out, { recursive: true });
  const browser = await launchBrowser();
  for (const scheme of ['light', 'dark']) {
    for (const [device, viewport] of [['desktop', { width: 1280, height: 800 }], ['phone', { width: 360, height: 640 }]]) {
      for (const [page, address, ready] of [['venue', '/', '#tiles a'], ['room', '/p/room01', '#controls:not([disabled])']]) {
        const locale = scheme === 'dark' && page === 'room' ? 'zh-CN' : 'en-US';
        const context = await browser.newContext({ viewport, colorScheme: scheme, locale, isMobile: device === 'phone', hasTouch: device === 'phone' });
        const tab = await context.newPage();
        await tab.goto(venue.url + address);
        await tab.waitForSelector(ready);
        await tab.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live');
        const file = path.join(out, `${page}-${device}-${scheme}.png`);
        await tab.screenshot({ path: file });
        console.log(file);
        await context.close();
      }
    }
  }
  await browser.close();
} finally {
  for (const child of venue.children) child.kill('SIGTERM');
}
