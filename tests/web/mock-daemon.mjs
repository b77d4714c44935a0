// A stand-in for fxtuned during the page's development: the HTTP API and the
// event WebSocket over loopback, with processors held in memory. The browser
// tests run against the real daemon; this serves working on the page alone:
//   node mock-daemon.mjs [--port 0] [--count 3] [--names a,b,c] [--read-token R --write-token W]
// Test hooks (not part of the daemon's API): POST /mock/offline/NAME {"reason"},
// /mock/online/NAME, /mock/refuse/NAME {"reason"} (every change answers 504).
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { WebSocketServer } from 'ws';

const here = path.dirname(fileURLToPath(import.meta.url));
const webDir = path.resolve(here, '../../service/web');
const levelIds = ['mic', 'effect', 'reverb', 'echo', 'music'];
const levelNames = { mic: 'Mic Vol', effect: 'Effect Vol', reverb: 'Reverb Vol', echo: 'Echo Vol', music: 'Music Vol' };
const sources = ['Optical', 'Coaxial', 'HDMI', 'USB', 'Bluetooth', 'Analog 1'].map((name, index) => ({ index, name }));

function option(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  return at > 0 ? process.argv[at + 1] : fallback;
}

const count = Number(option('count', 3));
const names = option('names', '') ? option('names').split(',')
  : Array.from({ length: count }, (_, i) => (count <= 26 ? String.fromCharCode(97 + i) : `room${String(i + 1).padStart(2, '0')}`));
const readToken = option('read-token', '');
const writeToken = option('write-token', '');
const tokensRequired = Boolean(readToken || writeToken);

const processors = new Map();
const refusals = new Map();
names.forEach((name, i) => {
  processors.set(name, {
    name, address: `127.0.0.1:${30303 + i}`, connected: true, offlineReason: '', mode: 1 + (i % 4),
    model: 'ARN63', versions: { first: 'V1.0', second: 'V2.0', commandSet: 19 },
    levels: Object.fromEntries(levelIds.map((id, k) => [id, { value: (20 + 13 * i + 17 * k) % 100, muted: id === 'echo' && i % 3 === 1 }])),
    pitch: 0, noiseGate: 10, source: { index: 2, name: 'HDMI' }, sources, drift: i % 5 === 3 ? { count: 2, parameters: ['Mic Vol', 'Echo Vol'] } : null,
  });
});

const clients = new Set();
function broadcast(type, processor, origin, extra = {}) {
  const event = JSON.stringify({ type, processor: processor.name, origin, changes: [], mode: 0, ...extra, state: processor });
  for (const socket of clients) socket.send(event);
}

function access(req) {
  if (!tokensRequired) return 'write';
  const header = req.headers.authorization || '';
  const given = header.startsWith('Bearer ') ? header.slice(7) : '';
  return given === writeToken ? 'write' : given === readToken ? 'read' : '';
}

function send(res, status, body) {
  res.writeHead(status, { 'Content-Type': 'application/json', 'Cache-Control': 'no-store' });
  res.end(JSON.stringify(body));
}

function readBody(req) {
  return new Promise((resolve) => {
    let text = '';
    req.on('data', (chunk) => { text += chunk; });
    req.on('end', () => { try { resolve(JSON.parse(text || '{}')); } catch { resolve(null); } });
  });
}

const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8' };
function serveFile(res, file) {
  const full = path.join(webDir, file);
  if (!full.startsWith(webDir) || !fs.existsSync(full)) return send(res, 404, { error: 'no such file' });
  res.writeHead(200, { 'Content-Type': types[path.extname(full)] || 'application/octet-stream' });
  res.end(fs.readFileSync(full));
}

function inRange(value, low, high) { return Number.isInteger(value) && value >= low && value <= high; }

async function change(req, res, processor, apply) {
  const body = await readBody(req);
  if (!body) return send(res, 400, { error: 'the body is not JSON' });
  const who = access(req);
  if (!who) return send(res, 401, { error: 'a token is needed' });
  if (who !== 'write') return send(res, 403, { error: 'this token may only read' });
  if (!processor.connected) return send(res, 503, { error: `${processor.name} is not connected: ${processor.offlineReason}` });
  const problem = apply(body, true);
  if (problem) return send(res, 400, problem);
  if (refusals.has(processor.name)) return setTimeout(() => send(res, 504, { error: refusals.get(processor.name) }), 100);
  setTimeout(() => {
    const changes = apply(body, false) || [];
    const origin = req.headers['x-fxtune-origin'] === 'web' ? 'web' : 'api';
    broadcast(changes.type || 'changed', processor, origin, changes.type ? { mode: changes.mode } : { changes });
    send(res, 200, processor);
  }, 20);
}

const server = http.createServer(async (req, res) => {
  const url = new URL(req.url, 'http://127.0.0.1');
  const parts = url.pathname.split('/').filter(Boolean).map(decodeURIComponent);
  if (url.pathname === '/' || (parts[0] === 'p' && parts.length === 2)) return serveFile(res, 'index.html');
  if (parts[0] === 'web') return serveFile(res, parts.slice(1).join('/'));
  if (parts[0] === 'mock') {
    const processor = processors.get(parts[2]);
    const body = (await readBody(req)) || {};
    if (!processor) return send(res, 404, { error: 'unknown processor' });
    if (parts[1] === 'offline') Object.assign(processor, { connected: false, offlineReason: body.reason || 'no answer' });
    if (parts[1] === 'online') Object.assign(processor, { connected: true, offlineReason: '' });
    if (parts[1] === 'refuse') refusals.set(processor.name, body.reason || 'not confirmed');
    if (parts[1] === 'offline' || parts[1] === 'online') broadcast(processor.connected ? 'link-up' : 'link-down', processor, 'daemon');
    return send(res, 200, processor);
  }
  if (parts[0] !== 'api' || parts[1] !== 'v1') return send(res, 404, { error: 'not found' });
  const who = access(req);
  if (parts[2] === 'session') return who ? send(res, 200, { tokensRequired, access: who }) : send(res, 401, { error: 'a token is needed' });
  if (!who) return send(res, 401, { error: 'a token is needed' });
  if (parts[2] !== 'processors') return send(res, 404, { error: 'not found' });
  if (parts.length === 3) return send(res, 200, { processors: [...processors.values()].sort((a, b) => a.name.localeCompare(b.name)) });
  const processor = processors.get(parts[3]);
  if (!processor) return send(res, 404, { error: `no processor named ${parts[3]}` });
  if (parts.length === 4 && req.method === 'GET') return send(res, 200, processor);
  const what = parts[4];
  if (what === 'levels' && req.method === 'PUT') {
    const level = processor.levels[parts[5]];
    if (!level) return send(res, 404, { error: `no level named ${parts[5]}` });
    return change(req, res, processor, (body, check) => {
      if (check) {
        if (body.value === undefined && body.muted === undefined) return { error: 'value or muted is needed' };
        if (body.value !== undefined && !inRange(body.value, 0, 99)) return { error: 'value must be 0..99', field: 'value' };
        return null;
      }
      const changes = [];
      if (body.value !== undefined && body.value !== level.value) changes.push(`${levelNames[parts[5]]}: ${level.value} -> ${body.value}`);
      if (body.value !== undefined) level.value = body.value;
      if (body.muted !== undefined) level.muted = Boolean(body.muted);
      return changes;
    });
  }
  if (what === 'pitch' && req.method === 'PUT') {
    return change(req, res, processor, (body, check) => (check
      ? (inRange(body.value, -5, 5) ? null : { error: 'value must be -5..5', field: 'value' })
      : (processor.pitch = body.value, [])));
  }
  if (what === 'noise-gate' && req.method === 'PUT') {
    return change(req, res, processor, (body, check) => (check
      ? (inRange(body.value, 0, 100) ? null : { error: 'value must be 0..100', field: 'value' })
      : (processor.noiseGate = body.value, [])));
  }
  if (what === 'source' && req.method === 'PUT') {
    return change(req, res, processor, (body, check) => {
      const found = sources.find((s) => s.index === body.value || s.name === body.value);
      if (check) return found ? null : { error: 'no such source', field: 'value' };
      processor.source = { index: found.index, name: found.name };
      return [];
    });
  }
  if (what === 'mode' && req.method === 'POST') {
    return change(req, res, processor, (body, check) => {
      const mode = body.load ?? body.store;
      if (check) return inRange(mode, 1, 4) ? null : { error: 'load or store must be 1..4', field: body.load !== undefined ? 'load' : 'store' };
      processor.mode = mode;
      const result = [];
      result.type = body.load !== undefined ? 'mode-loaded' : 'mode-stored';
      result.mode = mode;
      return result;
    });
  }
  return send(res, 404, { error: 'not found' });
});

const sockets = new WebSocketServer({ noServer: true });
server.on('upgrade', (req, socket, head) => {
  if (new URL(req.url, 'http://127.0.0.1').pathname !== '/api/v1/events') return socket.destroy();
  sockets.handleUpgrade(req, socket, head, (ws) => {
    const accept = (level) => {
      clients.add(ws);
      ws.send(JSON.stringify({ type: 'ready', access: level }));
    };
    ws.on('close', () => clients.delete(ws));
    const headerAccess = access(req);
    if (!tokensRequired || headerAccess) return accept(headerAccess || 'write');
    ws.once('message', (data) => {
      let given = '';
      try { given = JSON.parse(String(data)).token || ''; } catch { /* not JSON */ }
      const level = given === writeToken ? 'write' : given === readToken ? 'read' : '';
      if (level) accept(level);
      else ws.close(4401, 'token refused');
    });
  });
});

server.listen(Number(option('port', 0)), '127.0.0.1', () => {
  console.log(`listening on 127.0.0.1:${server.address().port}`);
});
