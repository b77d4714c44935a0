// Benchmark of the room page (/p/NAME) fxtuned serves, run by hand:
//   tests/web/bench.sh BUILD_DIR [LOADS]   (FXTUNE_WEB_BACKEND=mock for the stand-in)
//
// Page weight: every byte the page loads until its room is usable and the
// event stream is live, uncompressed (response bodies as the page got them:
// HTML, CSS, JS modules, API answers, and the WebSocket messages received).
// First paint: the browser's own paint timing (first-paint and
// first-contentful-paint, from the start of the navigation) over LOADS fresh
// loads, each in a new browser context (no cache, no storage), after one load
// that is not counted (the browser's one-time start-up work).
// The paint goal holds for every load (the maximum); the machine's load
// average is printed with it, since a busy machine shows in the maximum first.
// Prints one line per goal with "met" or "NOT MET"; exits 1 if one is not met.
import os from 'node:os';
import { launchBrowser, startVenue, waitConnected } from './harness.mjs';

const weightGoalBytes = 100 * 1000;
const paintGoalMs = 300;
const loads = Number(process.argv[2] || 10);
const room = 'a';
const readyTimeout = { timeout: 15000 };

function kindOf(url, contentType) {
  if (url.startsWith('ws')) return 'ws';
  if (contentType.includes('html')) return 'html';
  if (contentType.includes('css')) return 'css';
  if (contentType.includes('javascript')) return 'js';
  if (contentType.includes('json')) return 'json';
  return 'other';
}

// Opens the room in a fresh context; resolves its paint times, the time the
// room became usable and every item it loaded, with its size.
async function loadRoom(browser, url) {
  const context = await browser.newContext({ viewport: { width: 360, height: 640 }, locale: 'en-US' });
  const page = await context.newPage();
  const items = [];
  const bodies = [];
  page.on('response', (response) => {
    bodies.push(response.body().then(
      (body) => items.push({ url: response.url(), kind: kindOf(response.url(), response.headers()['content-type'] || ''), bytes: body.length }),
      () => items.push({ url: response.url(), kind: 'other', bytes: 0 })));
  });
  page.on('websocket', (socket) => {
    socket.on('framereceived', ({ payload }) => items.push({ url: socket.url(), kind: 'ws', bytes: Buffer.byteLength(payload) }));
  });
  // Recorded from the first moment, so no paint entry is missed.
  await page.addInitScript(() => {
    window.paints = {};
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.paints[entry.name] = entry.startTime;
    }).observe({ type: 'paint', buffered: true });
  });
  await page.goto(url);
  const usableMs = await (await page.waitForFunction(() => {
    const controls = document.getElementById('controls');
    return controls && !controls.disabled && performance.now();
  }, null, { ...readyTimeout, polling: 'raf' })).jsonValue();
  await page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, readyTimeout);
  await page.waitForFunction(() => 'first-contentful-paint' in window.paints, null, readyTimeout);
  const paints = await page.evaluate(() => window.paints);
  await Promise.all(bodies);
  await context.close();
  return { firstPaint: paints['first-paint'], contentfulPaint: paints['first-contentful-paint'], usableMs, items };
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

const verdict = (met) => (met ? 'met' : 'NOT MET');
const ms = (value) => `${value.toFixed(0)} ms`;

function weightReport(items) {
  const total = items.reduce((sum, item) => sum + item.bytes, 0);
  const byKind = {};
  for (const item of items) byKind[item.kind] = (byKind[item.kind] || 0) + item.bytes;
  const kinds = Object.entries(byKind).sort((a, b) => b[1] - a[1]).map(([kind, bytes]) => `${kind} ${bytes}`).join(', ');
  const files = items.filter((item) => item.kind !== 'ws').sort((a, b) => b.bytes - a.bytes);
  const largest = files.slice(0, 3).map((item) => `${new URL(item.url).pathname} ${item.bytes}`).join(', ');
  const over = total > weightGoalBytes ? `, ${total - weightGoalBytes} bytes over` : '';
  console.log(`page weight: ${total} bytes (${(total / 1000).toFixed(1)} KB${over}) in ${files.length} requests`
    + ` + ${items.length - files.length} WebSocket messages; goal <= 100 KB: ${verdict(total <= weightGoalBytes)}`);
  console.log(`  by kind (bytes): ${kinds}; largest: ${largest}`);
  return total <= weightGoalBytes;
}

const venue = await startVenue();
let allMet = false;
try {
  await waitConnected(venue, ['a', 'b', 'c', 'd', 'e']);
  const browser = await launchBrowser();
  try {
    const url = `${venue.url}/p/${room}`;
    await loadRoom(browser, url);
    const runs = [];
    for (let i = 0; i < loads; ++i) runs.push(await loadRoom(browser, url));

    const weightMet = weightReport(runs[0].items);
    const firstPaints = runs.map((run) => run.firstPaint);
    const contentful = runs.map((run) => run.contentfulPaint);
    const usable = runs.map((run) => run.usableMs);
    const worst = Math.max(...firstPaints, ...contentful);
    const paintMet = worst <= paintGoalMs;
    console.log(`first paint over ${loads} fresh loads: first-paint median ${ms(median(firstPaints))} max ${ms(Math.max(...firstPaints))},`
      + ` first-contentful-paint median ${ms(median(contentful))} max ${ms(Math.max(...contentful))}; goal <= ${paintGoalMs} ms: ${verdict(paintMet)}`);
    console.log(`  room usable (controls enabled): median ${ms(median(usable))} max ${ms(Math.max(...usable))};`
      + ` load average ${os.loadavg().map((load) => load.toFixed(1)).join(' ')} on ${os.cpus().length} cores`);
    allMet = weightMet && paintMet;
  } finally {
    await browser.close();
  }
} finally {
  await venue.stop();
}
process.exitCode = allMet ? 0 : 1;
