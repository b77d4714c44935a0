// Screenshots of the page for the documentation, written to docs/screenshots/:
// a venue of 80 processors and its room01 on a desktop (1280x800) and a phone
// (360x640), light and dark; the room on a phone in English and Chinese, light
// and dark; and a venue of 24 processors on a desktop.
//   FXTUNE_BUILD_DIR=build node tests/web/screenshots.mjs   (FXTUNE_WEB_BACKEND=mock for the stand-in)
import fs from 'node:fs';
import path from 'node:path';
import { spawn } from 'node:child_process';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { launchBrowser, waitConnected } from './harness.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const out = path.resolve(here, '../../docs/screenshots');
const desktop = { width: 1280, height: 800 };
const phone = { width: 360, height: 640 };

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

// A venue of `count` processors room01.., the last of them off line.
async function startVenue(count) {
  const names = Array.from({ length: count }, (_, i) => `room${String(i + 1).padStart(2, '0')}`);
  if (process.env.FXTUNE_WEB_BACKEND === 'mock') {
    const mock = await listen(process.execPath, [path.join(here, 'mock-daemon.mjs'), '--port', '0', '--names', names.join(',')], 1);
    return { url: `http://${mock.addresses[0]}`, names, children: [mock.child] };
  }
  const build = process.env.FXTUNE_BUILD_DIR;
  const sims = await listen(path.join(build, 'fxtune-sim'), ['--count', String(count - 1), '--port', '0'], count - 1);
  const args = ['--listen', '127.0.0.1:0'];
  // The last has no simulator, to show an off-line tile.
  names.forEach((name, i) => args.push('--processor', `${name}=${sims.addresses[i] || '127.0.0.1:9'}`));
  const daemon = await listen(path.join(build, 'fxtuned'), args, 1);
  daemon.child.stderr?.resume();
  return { url: `http://${daemon.addresses[0]}`, names, children: [daemon.child, sims.child] };
}

// Some variety: levels, a muted echo.
async function vary(venue) {
  await waitConnected(venue, venue.names.slice(0, -1));
  for (const [i, name] of venue.names.slice(0, -1).entries()) {
    const put = (what, body) => fetch(`${venue.url}/api/v1/processors/${name}/${what}`, {
      method: 'PUT', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
    if (i % 7 === 0) await put('levels/echo', { muted: true });
    await put('levels/mic', { value: (17 + i * 37) % 99 });
    await put('levels/music', { value: (60 + i * 23) % 99 });
  }
}

const pages = {
  venue: { address: '/', ready: '#tiles a' },
  room: { address: '/p/room01', ready: '#controls:not([disabled])' },
};

async function shoot(browser, venue, { file, page, viewport, scheme, locale }) {
  const isPhone = viewport === phone;
  const context = await browser.newContext({ viewport, colorScheme: scheme, locale, isMobile: isPhone, hasTouch: isPhone });
  const tab = await context.newPage();
  await tab.goto(venue.url + pages[page].address);
  await tab.waitForSelector(pages[page].ready);
  await tab.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live');
  const where = path.join(out, file);
  await tab.screenshot({ path: where });
  console.log(where);
  await context.close();
}

// The venue and room of a large venue, then a smaller venue.
const shots80 = [];
for (const scheme of ['light', 'dark']) {
  for (const [device, viewport] of [['desktop', desktop], ['phone', phone]]) {
    shots80.push({ file: `venue-${device}-${scheme}.png`, page: 'venue', viewport, scheme, locale: 'en-US' });
  }
  shots80.push({ file: `room-desktop-${scheme}.png`, page: 'room', viewport: desktop, scheme, locale: scheme === 'dark' ? 'zh-CN' : 'en-US' });
  for (const [language, locale] of [['en', 'en-US'], ['zh', 'zh-CN']]) {
    shots80.push({ file: `room-phone-${language}-${scheme}.png`, page: 'room', viewport: phone, scheme, locale });
  }
}
const shots24 = [{ file: 'venue-24-desktop-light.png', page: 'venue', viewport: desktop, scheme: 'light', locale: 'en-US' }];

fs.mkdirSync(out, { recursive: true });
const browser = await launchBrowser();
try {
  for (const [count, shots] of [[80, shots80], [24, shots24]]) {
    const venue = await startVenue(count);
    try {
      await vary(venue);
      for (const shot of shots) await shoot(browser, venue, shot);
    } finally {
      for (const child of venue.children) child.kill('SIGTERM');
    }
  }
} finally {
  await browser.close();
}
