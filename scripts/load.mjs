// The daemon under load on 127.0.0.1 (run by scripts/load.sh): fxtuned with
// simulated processors, several clients sending a mix of reads, confirmed
// changes and bad requests for a bounded time, while some processors answer
// with faults and one simulator is killed and started again on the same
// ports. Passes when every answer had the status its request calls for
// (503 and 504 only from the faulted processors), the daemon's resident
// memory stayed flat and, once it stopped, every processor held exactly the
// mode file the daemon reported for it, and once the clients left it held no
// more open files than before they came. Prints one summary line; exit 0 on a
// pass, 1 otherwise (the first problems on stderr), 2 on a usage error.
//
//   node --experimental-websocket scripts/load.mjs --build DIR
//        [--seconds 60] [--clients 8] [--processors 64] [--seed N]
//        [--only KIND,...] [--events 0|1]
// --only sends just those kinds of request (get-all, get-one, get-dsp,
// put-level, put-pitch, put-noise-gate, put-source, load-mode, bad-json,
// out-of-range, unknown-name, oversize); --events 0 leaves out the event
// stream's subscribers.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

const kHost = '127.0.0.1';
const kGroupSize = 4;           // processors in each faulted group
const kOversize = 70 * 1024;    // over the daemon's 64 KiB body limit
const kRequestTimeoutMs = 40000; // longer than a mode load may take
const kRssMarginKib = 2048;
const kRequestsPerConnection = 200;
const kLevels = ['mic', 'effect', 'reverb', 'echo', 'music'];
const kDspWriteCode = 9;

// ---------------------------------------------------------------- options

function parseOptions(argv) {
  const options = { build: '', seconds: 60, clients: 8, processors: 64, seed: Date.now() % 100000, only: '', events: 1 };
  for (let i = 0; i < argv.length; i += 2) {
    const name = argv[i].replace(/^--/, '');
    const value = argv[i + 1];
    if (!(name in options) || value === undefined) usage(`bad option ${argv[i]}`);
    const text = name === 'build' || name === 'only';
    options[name] = text ? value : Number(value);
    if (!text && !Number.isInteger(options[name])) usage(`${argv[i]} takes a whole number`);
  }
  if (!options.build) usage('--build DIR is needed');
  if (options.seconds < 5 || options.seconds > 3600) usage('--seconds is 5..3600');
  if (options.clients < 1 || options.clients > 64) usage('--clients is 1..64');
  if (options.processors < 4 * kGroupSize || options.processors > 250) usage(`--processors is ${4 * kGroupSize}..250`);
  if (options.events !== 0 && options.events !== 1) usage('--events is 0 or 1');
  return options;
}

function usage(message) {
  console.error(`load: ${message}\nusage: load.mjs --build DIR [--seconds 60] [--clients 8] [--processors 64] [--seed N] [--only KIND,...] [--events 0|1]`);
  process.exit(2);
}

const options = parseOptions(process.argv.slice(2));
const bin = (name) => path.join(options.build, name);
const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'fxtune-load-'));
// What failed: each kind of finding once, and the first few of the
// per-request and per-processor ones.
const problems = [];
let details = 0;
const problem = (text) => problems.push(text);
const detail = (text) => { if (++details <= 12) problems.push(text); };

// A small deterministic generator, so a failing mix can be run again.
let seed = options.seed >>> 0 || 1;
function random() {
  seed ^= seed << 13; seed >>>= 0;
  seed ^= seed >>> 17;
  seed ^= seed << 5; seed >>>= 0;
  return seed / 4294967296;
}
const pick = (list) => list[Math.floor(random() * list.length)];
const between = (low, high) => low + Math.floor(random() * (high - low + 1));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// ---------------------------------------------------------------- children

const children = new Set();

// Starts a program and resolves once it printed `count` "listening on" lines.
function startListening(program, args, count, logName) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    children.add(child);
    child.on('exit', () => children.delete(child));
    const log = fs.createWriteStream(path.join(workDir, logName), { flags: 'a' });
    child.stderr.pipe(log);
    const ports = [];
    const timer = setTimeout(() => reject(new Error(`${path.basename(program)} did not start listening`)), 20000);
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      const match = line.match(/^listening on 127\.0\.0\.1:(\d+)$/);
      if (!match) return;
      ports.push(Number(match[1]));
      if (ports.length === count) {
        clearTimeout(timer);
        resolve({ child, ports });
      }
    });
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      if (ports.length < count) reject(new Error(`${path.basename(program)} ended (${code ?? signal}) before listening`));
    });
  });
}

function stop(child, signal = 'SIGTERM', graceMs = 10000) {
  return new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) return resolve({ code: child.exitCode, signal: child.signalCode, forced: false });
    let forced = false;
    const timer = setTimeout(() => { forced = true; child.kill('SIGKILL'); }, graceMs);
    child.once('exit', (code, sig) => { clearTimeout(timer); resolve({ code, signal: sig, forced }); });
    child.kill(signal);
  });
}

// A port free now, with `count` - 1 free ports after it (below the
// ephemeral range, so the daemon's own connections never take them).
async function freeRun(count) {
  const isFree = (port) => new Promise((resolve) => {
    const server = net.createServer();
    server.once('error', () => resolve(false));
    server.listen(port, kHost, () => server.close(() => resolve(true)));
  });
  for (let attempt = 0; attempt < 50; ++attempt) {
    const base = between(20000, 32000 - count);
    let all = true;
    for (let i = 0; i < count && all; ++i) all = await isFree(base + i);
    if (all) return base;
  }
  throw new Error('no run of free ports');
}

// ---------------------------------------------------------------- HTTP

let daemonPort = 0;

// One request; resolves {status, body (Buffer)} or {error}.
function request(agent, method, target, body, contentType = 'application/json') {
  return new Promise((resolve) => {
    const payload = body === undefined ? undefined : Buffer.isBuffer(body) ? body : Buffer.from(body);
    const headers = payload ? { 'Content-Type': contentType, 'Content-Length': payload.length } : {};
    const req = http.request({ host: kHost, port: daemonPort, method, path: target, agent, headers }, (res) => {
      const chunks = [];
      res.on('data', (chunk) => chunks.push(chunk));
      res.on('end', () => resolve({ status: res.statusCode, body: Buffer.concat(chunks) }));
      res.on('error', (error) => resolve({ error: error.code || error.message }));
    });
    req.setTimeout(kRequestTimeoutMs, () => req.destroy(new Error('time-out')));
    req.on('error', (error) => resolve({ error: error.code || error.message }));
    req.end(payload);
  });
}

async function getJson(target) {
  const answer = await request(undefined, 'GET', target);
  if (answer.error || answer.status !== 200) return null;
  return JSON.parse(answer.body.toString());
}

async function waitAllConnected(names, timeoutMs) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const list = await getJson('/api/v1/processors');
    const offline = list ? list.processors.filter((p) => !p.connected).map((p) => p.name) : names;
    if (list && list.processors.length === names.length && offline.length === 0) return list.processors;
    if (Date.now() > deadline) throw new Error(`not connected after ${timeoutMs} ms: ${offline.join(' ')}`);
    await sleep(200);
  }
}

// ---------------------------------------------------------------- the venue

// Healthy processors, then three groups that show faults: replies lost or
// late, DSP writes refused, and a simulator killed and started again.
async function startVenue() {
  const healthyCount = options.processors - 3 * kGroupSize;
  const sims = {};
  sims.healthy = await startListening(bin('fxtune-sim'), ['--count', String(healthyCount), '--port', '0'], healthyCount, 'sim-healthy.log');
  sims.late = await startListening(bin('fxtune-sim'), ['--count', String(kGroupSize), '--port', '0',
    '--drop-reply', '100', '--slow-reply', '140'], kGroupSize, 'sim-late.log');
  sims.refusing = await startListening(bin('fxtune-sim'), ['--count', String(kGroupSize), '--port', '0',
    '--error-for', String(kDspWriteCode)], kGroupSize, 'sim-refusing.log');
  const cycleBase = await freeRun(kGroupSize);
  const cycleArgs = ['--count', String(kGroupSize), '--port', String(cycleBase)];
  sims.cycled = await startListening(bin('fxtune-sim'), cycleArgs, kGroupSize, 'sim-cycled.log');

  const processors = [];
  const add = (group, ports) => ports.forEach((port) => processors.push({
    name: `p${String(processors.length).padStart(2, '0')}`, port, group, faulted: group !== 'healthy' }));
  for (const group of ['healthy', 'late', 'refusing', 'cycled']) add(group, sims[group].ports);

  const daemonArgs = ['--listen', `${kHost}:0`];
  for (const p of processors) daemonArgs.push('--processor', `${p.name}=${kHost}:${p.port}`);
  const daemon = await startListening(bin('fxtuned'), daemonArgs, 1, 'fxtuned.log');
  daemonPort = daemon.ports[0];
  return { sims, cycleArgs, processors, daemon };
}

// ---------------------------------------------------------------- the mix

// Each kind: how often, and the request it makes for a processor. `reaches`
// says whether the request gets to the processor (so a faulted one may
// answer 503 or 504); `expect` is the status otherwise.
function buildMix(venue, dspParameters) {
  const named = (p) => `/api/v1/processors/${p.name}`;
  const body = (value) => JSON.stringify(value);
  return [
    // Reads.
    { kind: 'get-all', weight: 4, make: () => ({ method: 'GET', target: '/api/v1/processors', expect: 200 }) },
    { kind: 'get-one', weight: 18, make: (p) => ({ method: 'GET', target: named(p), expect: 200 }) },
    { kind: 'get-dsp', weight: 18, make: (p) => ({ method: 'GET', target: `${named(p)}/dsp/${pick(dspParameters)}`, expect: 200, reaches: true }) },
    // Confirmed changes.
    { kind: 'put-level', weight: 12, make: (p) => {
      const change = random() < 0.7 ? { value: between(0, 99) } : random() < 0.5 ? { muted: random() < 0.3 } : { value: between(0, 99), muted: false };
      return { method: 'PUT', target: `${named(p)}/levels/${pick(kLevels)}`, body: body(change), expect: 200, reaches: true };
    } },
    { kind: 'put-pitch', weight: 5, make: (p) => ({ method: 'PUT', target: `${named(p)}/pitch`, body: body({ value: between(-5, 5) }), expect: 200, reaches: true }) },
    { kind: 'put-noise-gate', weight: 5, make: (p) => ({ method: 'PUT', target: `${named(p)}/noise-gate`, body: body({ value: between(0, 100) }), expect: 200, reaches: true }) },
    { kind: 'put-source', weight: 5, make: (p) => {
      const source = pick(p.sources);
      return { method: 'PUT', target: `${named(p)}/source`, body: body({ value: random() < 0.5 ? source.index : source.name }), expect: 200, reaches: true };
    } },
    { kind: 'load-mode', weight: 2, make: (p) => ({ method: 'POST', target: `${named(p)}/mode`, body: body({ load: between(1, 4) }), expect: 200, reaches: true }) },
    // Bad requests: refused before anything is sent.
    { kind: 'bad-json', weight: 3, make: (p) => ({ method: 'PUT', target: `${named(p)}/pitch`, body: pick(['{"value":', 'value=3', '{"value":1,}', '[1,2']), expect: 400 }) },
    { kind: 'out-of-range', weight: 4, make: (p) => pick([
      { method: 'PUT', target: `${named(p)}/levels/${pick(kLevels)}`, body: body({ value: between(100, 1000) }), expect: 400 },
      { method: 'PUT', target: `${named(p)}/levels/${pick(kLevels)}`, body: body({ value: -between(1, 50) }), expect: 400 },
      { method: 'PUT', target: `${named(p)}/pitch`, body: body({ value: pick([-9, -6, 6, 12]) }), expect: 400 },
      { method: 'PUT', target: `${named(p)}/noise-gate`, body: body({ value: between(101, 500) }), expect: 400 },
      { method: 'PUT', target: `${named(p)}/source`, body: body({ value: between(14, 99) }), expect: 400 },
      { method: 'POST', target: `${named(p)}/mode`, body: body({ load: pick([0, 5, 9]) }), expect: 400 },
      { method: 'PUT', target: `${named(p)}/pitch`, body: body({ value: 1.5 }), expect: 400 },
      { method: 'PUT', target: `${named(p)}/pitch`, body: body({ valeu: 1 }), expect: 400 },
    ]) },
    { kind: 'unknown-name', weight: 4, make: (p) => pick([
      { method: 'GET', target: '/api/v1/processors/nosuch', expect: 404 },
      { method: 'PUT', target: '/api/v1/processors/nosuch/pitch', body: body({ value: 1 }), expect: 404 },
      { method: 'PUT', target: `${named(p)}/levels/nosuch`, body: body({ value: 1 }), expect: 404 },
      { method: 'GET', target: `${named(p)}/dsp/250/250`, expect: 404 },
      { method: 'GET', target: `${named(p)}/nosuch`, expect: 404 },
      { method: 'GET', target: '/api/v1/nosuch', expect: 404 },
    ]) },
    { kind: 'oversize', weight: 1, make: (p) => ({ method: 'PUT', target: `${named(p)}/pitch`, body: Buffer.alloc(kOversize, 0x20), expect: 413, ownConnection: true }) },
  ];
}

// With --only, just those kinds of request (to find which one a fault needs).
function chooser(allKinds) {
  const wanted = options.only ? options.only.split(',') : null;
  const mix = wanted ? allKinds.filter((entry) => wanted.includes(entry.kind)) : allKinds;
  if (mix.length === 0) usage(`--only takes some of ${allKinds.map((entry) => entry.kind).join(',')}`);
  const total = mix.reduce((sum, entry) => sum + entry.weight, 0);
  return () => {
    let roll = random() * total;
    for (const entry of mix) if ((roll -= entry.weight) < 0) return entry;
    return mix[mix.length - 1];
  };
}

// ---------------------------------------------------------------- running

const tally = { requests: 0, statuses: {}, kinds: {}, faultedAnswers: { 503: 0, 504: 0 }, unexpected: 0, transport: 0 };

async function client(processors, choose, deadline, maxRequests) {
  // A connection of its own, kept alive, and a new one now and then as a
  // browser does.
  let agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
  for (let sent = 1; Date.now() < deadline && tally.requests < maxRequests; ++sent) {
    if (sent % kRequestsPerConnection === 0) {
      agent.destroy();
      agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
    }
    const entry = choose();
    const processor = pick(processors);
    const call = entry.make(processor);
    ++tally.requests;
    tally.kinds[entry.kind] = (tally.kinds[entry.kind] || 0) + 1;
    const answer = await request(call.ownConnection ? false : agent, call.method, call.target, call.body);
    if (answer.error) {
      ++tally.transport;
      detail(`${call.method} ${call.target}: ${answer.error}`);
      continue;
    }
    tally.statuses[answer.status] = (tally.statuses[answer.status] || 0) + 1;
    const faultAllowed = call.reaches && processor.faulted && (answer.status === 503 || answer.status === 504);
    if (faultAllowed) ++tally.faultedAnswers[answer.status];
    if (answer.status !== call.expect && !faultAllowed) {
      ++tally.unexpected;
      detail(`${call.method} ${call.target} ${call.body && call.body.length < 100 ? call.body : ''} -> ` +
              `${answer.status} ${answer.body.toString().slice(0, 200)} (expected ${call.expect}` +
              `${call.reaches && processor.faulted ? ', 503 or 504' : ''}; ${processor.group})`);
    }
  }
  agent.destroy();
}

// Event subscribers: two that stay through the run and one that comes and
// goes, so the daemon's fan-out sees clients join and leave.
function subscribe(counts, key) {
  return new Promise((resolve) => {
    if (typeof WebSocket === 'undefined') return resolve(null);
    const socket = new WebSocket(`ws://${kHost}:${daemonPort}/api/v1/events`);
    let first = true;
    socket.onmessage = (message) => {
      const event = JSON.parse(message.data);
      if (first && event.type !== 'ready') problem(`the event stream began with ${event.type}`);
      first = false;
      counts[key] = (counts[key] || 0) + 1;
    };
    socket.onopen = () => resolve(socket);
    socket.onerror = () => { problem('an event stream failed'); resolve(null); };
  });
}

async function subscribers(deadline, counts) {
  if (!options.events) return [];
  const steady = [await subscribe(counts, 'steady'), await subscribe(counts, 'steady')];
  while (Date.now() < deadline) {
    const passing = await subscribe(counts, 'passing');
    await sleep(1000);
    passing?.close();
    await sleep(500);
  }
  return steady;
}

function openFiles(pid) {
  try {
    return fs.readdirSync(`/proc/${pid}/fd`).length;
  } catch {
    return null;
  }
}

function residentKib(pid) {
  try {
    const match = fs.readFileSync(`/proc/${pid}/status`, 'utf8').match(/VmRSS:\s+(\d+)/);
    return match ? Number(match[1]) : null;
  } catch {
    return null;
  }
}

// The simulator of the cycled group dies (as a processor losing power) and
// comes back on the same ports with its memory as it starts.
async function powerCycle(venue, at, offMs) {
  await sleep(at);
  await stop(venue.sims.cycled.child, 'SIGKILL');
  await sleep(offMs);
  venue.sims.cycled = await startListening(bin('fxtune-sim'), venue.cycleArgs, kGroupSize, 'sim-cycled.log');
}

// fxtunectl reads the processors straight, a few at a time; a run that
// fails (a lost or late reply of a faulted simulator) is tried again.
async function readDirect(processors, folder) {
  const results = {};
  const queue = [...processors];
  const worker = async () => {
    while (queue.length) {
      const p = queue.shift();
      const file = path.join(folder, `${p.name}.mode`);
      for (let attempt = 1; attempt <= 3; ++attempt) {
        const run = await new Promise((resolve) => {
          const child = spawn(bin('fxtunectl'), ['--host', kHost, '--port', String(p.port), 'read', file], { stdio: ['ignore', 'ignore', 'pipe'] });
          let stderr = '';
          child.stderr.on('data', (chunk) => { stderr += chunk; });
          child.on('exit', (code) => resolve({ code, stderr }));
        });
        results[p.name] = run;
        if (run.code === 0) break;
      }
    }
  };
  await Promise.all(Array.from({ length: 8 }, worker));
  return results;
}

async function main() {
  const started = Date.now();
  const venue = await startVenue();
  const daemonPid = venue.daemon.child.pid;
  let daemonGone = null;
  venue.daemon.child.on('exit', (code, signal) => { daemonGone = { code, signal }; });

  const names = venue.processors.map((p) => p.name);
  const connected = await waitAllConnected(names, 60000);
  for (const state of connected) venue.processors.find((p) => p.name === state.name).sources = state.sources;
  const dspParameters = ['4/22', '4/21', '1/1', '2/1', '3/1', '5/1', '6/1'];
  const readable = [];
  for (const parameter of dspParameters) {
    const answer = await request(undefined, 'GET', `/api/v1/processors/${names[0]}/dsp/${parameter}`);
    if (answer.status === 200) readable.push(parameter);
  }
  if (readable.length === 0) throw new Error('no DSP parameter reads back');

  // The load, with the memory sampled throughout.
  const runMs = options.seconds * 1000;
  const filesBefore = openFiles(daemonPid);
  const loadStart = Date.now();
  const deadline = loadStart + runMs;
  const samples = [];
  const sampler = setInterval(() => {
    const kib = residentKib(daemonPid);
    if (kib !== null) samples.push({ at: Date.now() - loadStart, kib });
  }, 250);
  const eventCounts = {};
  const choose = chooser(buildMix(venue, readable));
  const maxRequests = options.seconds * 20000;
  const cycling = powerCycle(venue, Math.round(runMs * 0.4), 1500);
  const listening = subscribers(deadline, eventCounts);
  await Promise.all(Array.from({ length: options.clients }, () => client(venue.processors, choose, deadline, maxRequests)));
  clearInterval(sampler);
  const loadMs = Date.now() - loadStart;
  await cycling;
  const steady = await listening;

  if (daemonGone) throw new Error(`fxtuned ended during the run (${daemonGone.code ?? daemonGone.signal})`);
  // Settled: every processor back and no read after an unconfirmed change
  // still running; then what the daemon reports of each.
  await waitAllConnected(names, 30000);
  await sleep(3000);
  await waitAllConnected(names, 30000);
  const fromDaemon = path.join(workDir, 'daemon');
  const direct = path.join(workDir, 'direct');
  fs.mkdirSync(fromDaemon);
  fs.mkdirSync(direct);
  for (const p of venue.processors) {
    const answer = await request(undefined, 'GET', `/api/v1/processors/${p.name}/preset`);
    if (answer.status !== 200 || answer.body.length !== 3410) {
      detail(`GET preset of ${p.name}: ${answer.status ?? answer.error}, ${answer.body?.length ?? 0} bytes`);
      continue;
    }
    fs.writeFileSync(path.join(fromDaemon, `${p.name}.mode`), answer.body);
  }
  for (const socket of steady) socket?.close();
  // Every client has gone: the daemon holds no more files than before.
  await sleep(1000);
  const filesAfter = openFiles(daemonPid);
  if (filesAfter > filesBefore + 8)
    problem(`the daemon holds ${filesAfter} open files after the clients left, ${filesBefore} before they came`);
  const rssAtEnd = residentKib(daemonPid);
  const stopped = await stop(venue.daemon.child);
  if (!stopped.forced && stopped.code !== 0) problem(`fxtuned ended with ${stopped.code ?? stopped.signal} on SIGTERM`);
  if (stopped.forced) problem('fxtuned did not stop within 10 s of SIGTERM');

  const reads = await readDirect(venue.processors, direct);
  let mismatched = 0;
  for (const p of venue.processors) {
    const run = reads[p.name];
    const daemonFile = path.join(fromDaemon, `${p.name}.mode`);
    if (run.code !== 0) {
      ++mismatched;
      detail(`fxtunectl read of ${p.name} (${p.group}, port ${p.port}) failed: ${run.stderr.trim()}`);
    } else if (!fs.existsSync(daemonFile)) {
      ++mismatched;
    } else {
      const a = fs.readFileSync(daemonFile);
      const b = fs.readFileSync(path.join(direct, `${p.name}.mode`));
      if (!a.equals(b)) {
        ++mismatched;
        const first = a.findIndex((byte, i) => byte !== b[i]);
        const diff = spawnSync(bin('fxtunectl'), ['diff', daemonFile, path.join(direct, `${p.name}.mode`)], { encoding: 'utf8' });
        const words = diff.stdout.trim().split('\n').join('; ');
        detail(`${p.name} (${p.group}): the processor holds other bytes than the daemon reported, first at offset ${first}` +
               (words ? ` (daemon -> processor: ${words})` : ''));
      }
    }
  }
  for (const sim of Object.values(venue.sims)) await stop(sim.child);

  fs.writeFileSync(path.join(workDir, 'rss.csv'), samples.map((s) => `${s.at},${s.kib}`).join('\n') + '\n');
  // Flat memory: the last third's peak within a margin of the first third's.
  const third = loadMs / 3;
  const peak = (list) => list.reduce((max, s) => Math.max(max, s.kib), 0);
  const firstPeak = peak(samples.filter((s) => s.at < third));
  const lastPeak = peak(samples.filter((s) => s.at >= 2 * third));
  const margin = Math.max(kRssMarginKib, Math.round(firstPeak * 0.05));
  const rssFlat = firstPeak > 0 && lastPeak <= firstPeak + margin;
  if (!rssFlat) problem(`resident memory grew: first third's peak ${firstPeak} KiB, last third's ${lastPeak} KiB (margin ${margin})`);
  if (!options.only && !tally.faultedAnswers[503] && !tally.faultedAnswers[504]) problem('no fault showed: no 503 or 504 came from the faulted processors');

  if (details > 12) problems.push(`and ${details - 12} more like those`);
  const pass = problems.length === 0;
  const statuses = Object.entries(tally.statuses).map(([s, n]) => `${s}:${n}`).join(',');
  for (const text of problems) console.error(`load: ${text}`);
  console.log(`load: ${pass ? 'PASS' : 'FAIL'} seconds=${options.seconds} clients=${options.clients} ` +
              `processors=${options.processors} seed=${options.seed} requests=${tally.requests} ` +
              `rate=${Math.round(tally.requests / options.seconds)}/s statuses=${statuses} ` +
              `faulted503=${tally.faultedAnswers[503]} faulted504=${tally.faultedAnswers[504]} ` +
              `unexpected=${tally.unexpected} transport_errors=${tally.transport} ` +
              `events=${eventCounts.steady || 0}+${eventCounts.passing || 0} ` +
              `rss_kib=${firstPeak}/${lastPeak}/${rssAtEnd}(first/last third peak, end) rss_flat=${rssFlat} ` +
              `open_files=${filesBefore}/${filesAfter}(before/after) ` +
              `mismatched=${mismatched}/${venue.processors.length} daemon_exit=${stopped.code ?? stopped.signal} ` +
              `total_s=${Math.round((Date.now() - started) / 1000)} logs=${workDir}`);
  process.exitCode = pass ? 0 : 1;
}

// Whatever happens, nothing of ours stays running.
function cleanUp() {
  for (const child of children) child.kill('SIGKILL');
}
process.on('exit', cleanUp);
process.on('SIGINT', () => { cleanUp(); process.exit(1); });
process.on('SIGTERM', () => { cleanUp(); process.exit(1); });

main().catch((error) => {
  console.error(`load: ${error.message}`);
  console.log(`load: FAIL ${error.message} logs=${workDir}`);
  cleanUp();
  process.exitCode = 1;
});
