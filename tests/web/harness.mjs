// What the browser tests run against: fxtuned with simulated processors on
// loopback (FXTUNE_BUILD_DIR holds fxtuned and fxtune-sim), or, while working
// on the page alone, the stand-in daemon (FXTUNE_WEB_BACKEND=mock).
//
// Every venue has the processors a, b, c (one simulator process), d (its own
// simulator, stopped to take it off line) and e (a simulator that refuses
// every DSP write, so level changes are never confirmed).
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const chromiumPath = process.env.FXTUNE_CHROMIUM || '/usr/bin/chromium';
const dspWriteCode = '9';

// Starts a child and resolves once it has printed `count` "listening on" lines.
function startListening(command, args, count = 1) {
  return new Promise((resolve, reject) => {
    const child = spawn(command, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    const addresses = [];
    let stderr = '';
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    const lines = readline.createInterface({ input: child.stdout });
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      reject(new Error(`${path.basename(command)} did not start listening: ${stderr}`));
    }, 20000);
    lines.on('line', (line) => {
      const match = line.match(/listening on (127\.0\.0\.1:\d+)/);
      if (!match) return;
      addresses.push(match[1]);
      if (addresses.length === count) {
        clearTimeout(timer);
        resolve({ child, addresses });
      }
    });
    child.on('exit', (code) => {
      clearTimeout(timer);
      if (addresses.length < count) reject(new Error(`${path.basename(command)} ended (${code}) before listening: ${stderr}`));
    });
  });
}

function stopChild(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) return resolve();
    child.once('exit', () => resolve());
    child.kill('SIGTERM');
    setTimeout(() => child.kill('SIGKILL'), 3000).unref();
  });
}

// tokens: {read: 'R', write: 'W'} to start the daemon with tokens.
export async function startVenue({ tokens = null } = {}) {
  return process.env.FXTUNE_WEB_BACKEND === 'mock' ? startMockVenue(tokens) : startRealVenue(tokens);
}

async function startRealVenue(tokens) {
  const buildDir = process.env.FXTUNE_BUILD_DIR;
  if (!buildDir) throw new Error('FXTUNE_BUILD_DIR is not set');
  const simPath = path.join(buildDir, 'fxtune-sim');
  const daemonPath = path.join(buildDir, 'fxtuned');
  for (const file of [simPath, daemonPath]) if (!fs.existsSync(file)) throw new Error(`${file} is missing: build it first`);

  const children = [];
  const three = await startListening(simPath, ['--count', '3', '--port', '0'], 3);
  children.push(three.child);
  const lone = await startListening(simPath, ['--port', '0']);
  children.push(lone.child);
  const refusing = await startListening(simPath, ['--port', '0', '--error-for', dspWriteCode]);
  children.push(refusing.child);

  const processors = [
    ['a', three.addresses[0]], ['b', three.addresses[1]], ['c', three.addresses[2]],
    ['d', lone.addresses[0]], ['e', refusing.addresses[0]],
  ];
  const args = ['--listen', '127.0.0.1:0'];
  for (const [name, address] of processors) args.push('--processor', `${name}=${address}`);
  let folder = null;
  if (tokens) {
    folder = fs.mkdtempSync(path.join(os.tmpdir(), 'fxtune-web-'));
    const file = path.join(folder, 'tokens');
    fs.writeFileSync(file, `read ${tokens.read}\nwrite ${tokens.write}\n`, { mode: 0o600 });
    args.push('--token-file', file);
  }
  let daemon = await startListening(daemonPath, args);
  const address = daemon.addresses[0];
  return {
    url: `http://${address}`,
    // Stops the daemon and starts it again on the same port.
    async restart() {
      await stopChild(daemon.child);
      daemon = await startListening(daemonPath, args.map((arg) => (arg === '127.0.0.1:0' ? address : arg)));
    },
    async takeOffline(name) {
      if (name !== 'd') throw new Error('only d can go off line');
      await stopChild(lone.child);
    },
    async stop() {
      await stopChild(daemon.child);
      for (const child of children.reverse()) await stopChild(child);
      if (folder) fs.rmSync(folder, { recursive: true, force: true });
    },
  };
}

async function startMockVenue(tokens) {
  const args = [path.join(here, 'mock-daemon.mjs'), '--port', '0', '--names', 'a,b,c,d,e'];
  if (tokens) args.push('--read-token', tokens.read, '--write-token', tokens.write);
  let mock = await startListening(process.execPath, args);
  const url = `http://${mock.addresses[0]}`;
  await fetch(`${url}/mock/refuse/e`, { method: 'POST', body: JSON.stringify({ reason: 'the processor refused the change: error code 0x01' }) });
  return {
    url,
    async takeOffline(name) {
      await fetch(`${url}/mock/offline/${name}`, { method: 'POST', body: JSON.stringify({ reason: 'the processor closed the connection' }) });
    },
    async restart() {
      await stopChild(mock.child);
      mock = await startListening(process.execPath, args.map((arg) => (arg === '0' ? url.split(':').at(-1) : arg)));
    },
    stop: () => stopChild(mock.child),
  };
}

export async function launchBrowser() {
  return chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
}

// A page whose every request (WebSockets too) is written down, and whose
// script errors fail the test.
export async function openPage(browser, url, options = {}) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, locale: 'en-US', ...options });
  const requests = [];
  const errors = [];
  context.on('request', (request) => requests.push({ url: request.url(), method: request.method(), headers: request.headers(), body: request.postData() }));
  const page = await context.newPage();
  page.on('websocket', (socket) => requests.push({ url: socket.url(), method: 'WS', headers: {} }));
  page.on('pageerror', (error) => errors.push(error.message));
  if (url) await page.goto(url);
  return { context, page, requests, errors };
}

export async function api(venue, method, apiPath, body, headers = {}) {
  const response = await fetch(`${venue.url}/api/v1${apiPath}`, {
    method,
    headers: { 'Content-Type': 'application/json', ...headers },
    body: body === undefined ? undefined : JSON.stringify(body),
  });
  const text = await response.text();
  let parsed = null;
  try { parsed = JSON.parse(text); } catch { parsed = text; }
  return { status: response.status, body: parsed };
}

// Waits until every processor of the venue is on line (the daemon links to
// them after it starts listening).
export async function waitConnected(venue, names, headers = {}) {
  const deadline = Date.now() + 20000;
  for (;;) {
    const answer = await api(venue, 'GET', '/processors', undefined, headers);
    const list = answer.status === 200 ? answer.body.processors : [];
    if (names.every((name) => list.some((p) => p.name === name && p.connected))) return list;
    if (Date.now() > deadline) throw new Error(`not all on line: ${JSON.stringify(list.map((p) => [p.name, p.connected, p.offlineReason]))}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}
