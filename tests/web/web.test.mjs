// The web page fxtuned serves, driven in Debian's chromium against the daemon
// and simulated processors on loopback.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { api, launchBrowser, openPage, startVenue, waitConnected } from './harness.mjs';

const waitOptions = { timeout: 15000 };
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Every request the page made went to the daemon that served it.
function assertOnlyDaemon(requests, venue) {
  const host = new URL(venue.url).host;
  const outside = requests.filter((r) => !r.url.startsWith('data:') && new URL(r.url).host !== host);
  assert.deepEqual(outside.map((r) => r.url), [], 'the page asked only its daemon');
  assert.ok(requests.length > 0);
}

function levelPuts(requests, name, level) {
  return requests.filter((r) => r.method === 'PUT' && r.url.endsWith(`/api/v1/processors/${name}/levels/${level}`));
}

// Polls a condition the page cannot be asked for (the daemon's state).
async function waitUntil(condition, timeoutMs = waitOptions.timeout) {
  const deadline = Date.now() + timeoutMs;
  while (!(await condition())) {
    if (Date.now() > deadline) throw new Error('the condition did not come true in time');
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

async function sliderValue(page, id) {
  return Number(await page.inputValue(`#${id}`));
}

async function waitSlider(page, id, value) {
  await page.waitForFunction(([sel, v]) => document.querySelector(sel)?.value === String(v), [`#${id}`, value], waitOptions);
}

describe('a venue without tokens', () => {
  let venue;
  const pages = [];
  async function open(path, options) {
    const opened = await openPage(browser, `${venue.url}${path}`, options);
    pages.push(opened);
    return opened;
  }

  before(async () => {
    venue = await startVenue();
    await waitConnected(venue, ['a', 'b', 'c', 'd', 'e']);
  });
  after(async () => {
    for (const { context, requests, errors } of pages) {
      await context.close();
      assertOnlyDaemon(requests, venue);
      assert.deepEqual(errors, [], 'no script error');
    }
    await venue?.stop();
  });

  test('tiles show every processor by name and the search box filters them', async () => {
    const { page } = await open('/');
    await page.waitForFunction(() => document.querySelectorAll('#tiles li:not([hidden])').length === 5, null, waitOptions);
    const names = await page.$$eval('#tiles li .tile-name', (nodes) => nodes.map((n) => n.textContent));
    assert.deepEqual(names, ['a', 'b', 'c', 'd', 'e']);
    const tileA = await page.textContent('#tiles a[data-name="a"]');
    const processorA = (await api(venue, 'GET', '/processors/a')).body;
    assert.match(tileA, new RegExp(`M${processorA.mode}`));
    assert.match(tileA, /Microphone \d+/, 'a screen reader hears the levels');
    assert.equal(await page.$$eval('#tiles a[data-name="a"] .bar', (bars) => bars.length), 5);

    await page.fill('#search', 'c');
    await page.waitForFunction(() => document.querySelectorAll('#tiles li:not([hidden])').length === 1, null, waitOptions);
    assert.equal(await page.textContent('#tiles li:not([hidden]) .tile-name'), 'c');
    assert.match(await page.textContent('#tile-count'), /1 of 5/);
    await page.fill('#search', 'nothing-like-this');
    await page.waitForFunction(() => document.querySelectorAll('#tiles li:not([hidden])').length === 0, null, waitOptions);
    assert.match(await page.textContent('.empty'), /No processor matches/);

    await page.fill('#search', '');
    await page.click('#tiles a[data-name="b"]');
    await page.waitForURL(/\/p\/b$/, waitOptions);
    await page.waitForSelector('#level-mic:not([disabled])', waitOptions);
    assert.equal(await page.textContent('#page-title'), 'b');
  });

  test('a change made on one page is confirmed and shows on a second page and the venue', async () => {
    const first = await open('/p/a');
    const second = await open('/p/a');
    const overview = await open('/');
    await first.page.waitForSelector('#controls:not([disabled])', waitOptions);
    await second.page.waitForSelector('#controls:not([disabled])', waitOptions);
    await overview.page.waitForSelector('#tiles a[data-name="a"]', waitOptions);
    await second.page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, waitOptions);
    await overview.page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, waitOptions);

    const before = await sliderValue(first.page, 'level-reverb');
    const wanted = before >= 98 ? before - 1 : before + 1;
    await first.page.focus('#level-reverb');
    await first.page.keyboard.press(wanted > before ? 'ArrowRight' : 'ArrowLeft');
    await waitSlider(second.page, 'level-reverb', wanted);
    assert.equal(await second.page.textContent('#level-reverb-value'), String(wanted));
    await overview.page.waitForFunction(
      (v) => document.querySelector('#tiles a[data-name="a"]').textContent.includes(`Reverb ${v}`), wanted, waitOptions);
    assert.equal((await api(venue, 'GET', '/processors/a')).body.levels.reverb.value, wanted, 'the processor confirmed it');
    const puts = levelPuts(first.requests, 'a', 'reverb');
    assert.equal(puts.length, 1);
    assert.equal(puts[0].headers['x-fxtune-origin'], 'web');
    assert.deepEqual(JSON.parse(puts[0].body), { value: wanted });

    // The mute switch, the pitch steps, the source and a mode recall go the same way.
    await first.page.click('label[for="mute-music"]');
    await second.page.waitForFunction(() => document.getElementById('mute-music').checked, null, waitOptions);
    await first.page.click('#pitch-up');
    await first.page.click('#pitch-up');
    await second.page.waitForFunction(() => document.getElementById('pitch-value').textContent === '+2', null, waitOptions);
    const sources = (await api(venue, 'GET', '/processors/a')).body.sources;
    const other = sources.find((s) => s.index !== (sources[0].index)) || sources[0];
    await first.page.selectOption('#source', String(other.index));
    await second.page.waitForFunction((v) => document.getElementById('source').value === v, String(other.index), waitOptions);
    const after = (await api(venue, 'GET', '/processors/a')).body;
    assert.equal(after.levels.music.muted, true);
    assert.equal(after.pitch, 2);
    assert.equal(after.source.index, other.index);
    // A recalled mode brings the whole of that mode's settings.
    await first.page.click('#mode-3');
    await second.page.waitForFunction(() => document.getElementById('mode-3').getAttribute('aria-pressed') === 'true', null, waitOptions);
    const recalled = (await api(venue, 'GET', '/processors/a')).body;
    assert.equal(recalled.mode, 3);
    await waitSlider(second.page, 'level-mic', recalled.levels.mic.value);
    await second.page.waitForFunction((m) => document.getElementById('mute-music').checked === m, recalled.levels.music.muted, waitOptions);
  });

  test('a slider dragged fast sends at most one change per 50 ms and ends on the last value', async () => {
    const { page, requests } = await open('/p/b');
    await page.waitForSelector('#controls:not([disabled])', waitOptions);
    const start = await sliderValue(page, 'level-echo');
    const target = start > 50 ? 10 : 90;
    // Forty input events as a finger makes them, one per animation frame.
    const elapsed = await page.evaluate(async ([from, to]) => {
      const slider = document.getElementById('level-echo');
      slider.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
      const began = performance.now();
      for (let i = 1; i <= 40; i += 1) {
        slider.value = String(Math.round(from + ((to - from) * i) / 40));
        slider.dispatchEvent(new Event('input', { bubbles: true }));
        await new Promise((resolve) => requestAnimationFrame(resolve));
      }
      window.dispatchEvent(new PointerEvent('pointerup'));
      return performance.now() - began;
    }, [start, target]);
    await waitUntil(async () => (await api(venue, 'GET', '/processors/b')).body.levels.echo.value === target);
    await waitUntil(async () => levelPuts(requests, 'b', 'echo').some((put) => JSON.parse(put.body).value === target));
    const puts = levelPuts(requests, 'b', 'echo');
    assert.ok(puts.length >= 1);
    assert.ok(puts.length <= Math.floor(elapsed / 50) + 2, `${puts.length} changes in ${elapsed} ms`);
    assert.deepEqual(JSON.parse(puts.at(-1).body), { value: target }, `the last value is sent: ${puts.map((p) => p.body).join(' ')}`);
    assert.equal(await sliderValue(page, 'level-echo'), target);
  });

  test('a change made through the API shows on an open page', async () => {
    const room = await open('/p/c');
    const overview = await open('/');
    await room.page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, waitOptions);
    await overview.page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, waitOptions);
    const current = (await api(venue, 'GET', '/processors/c')).body;
    const wanted = current.levels.mic.value === 42 ? 43 : 42;
    const answer = await api(venue, 'PUT', '/processors/c/levels/mic', { value: wanted });
    assert.equal(answer.status, 200);
    await waitSlider(room.page, 'level-mic', wanted);
    await overview.page.waitForFunction(
      (v) => document.querySelector('#tiles a[data-name="c"]').textContent.includes(`Microphone ${v}`), wanted, waitOptions);
    assert.equal((await api(venue, 'PUT', '/processors/c/noise-gate', { value: 33 })).status, 200);
    await waitSlider(room.page, 'noise-gate', 33);
  });

  test('a change the processor does not confirm springs back and says why', async () => {
    const { page } = await open('/p/e');
    await page.waitForSelector('#controls:not([disabled])', waitOptions);
    const before = await sliderValue(page, 'level-effect');
    const stepKey = before >= 99 ? 'ArrowLeft' : 'ArrowRight';
    await page.focus('#level-effect');
    await page.keyboard.press(stepKey);
    await page.waitForFunction(() => document.getElementById('notice').textContent !== '', null, waitOptions);
    const notice = await page.textContent('#notice');
    assert.match(notice, /^Effect was not changed: ./);
    await waitSlider(page, 'level-effect', before);
    assert.equal(await page.textContent('#level-effect-value'), String(before));
    assert.equal(await page.getAttribute('#notice', 'aria-live'), 'assertive');
    assert.equal((await api(venue, 'GET', '/processors/e')).body.levels.effect.value, before);
  });

  test('a processor off line shows why and its controls are disabled', async () => {
    const room = await open('/p/d');
    const overview = await open('/');
    await room.page.waitForSelector('#controls:not([disabled])', waitOptions);
    await overview.page.waitForSelector('#tiles a[data-name="d"].online', waitOptions);
    await venue.takeOffline('d');
    await room.page.waitForSelector('#controls[disabled]', waitOptions);
    await room.page.waitForSelector('#link-state[data-state="offline"]', waitOptions);
    const reason = (await api(venue, 'GET', '/processors/d')).body.offlineReason;
    assert.ok(reason.length > 0, 'the daemon says why');
    await room.page.waitForFunction((r) => document.getElementById('link-state').textContent.includes(r), reason, waitOptions);
    assert.match(await room.page.textContent('#link-state'), /^Off line: /);
    assert.equal(await room.page.getAttribute('#link-state', 'aria-live'), 'polite');
    assert.equal(await room.page.isDisabled('#level-mic'), true);
    assert.equal(await room.page.isDisabled('#mode-1'), true);
    await overview.page.waitForSelector('#tiles a[data-name="d"].offline', waitOptions);
    assert.match(await overview.page.textContent('#tiles a[data-name="d"] .tile-sub'), /^Off line: ./);
  });

  test('a dropped event stream comes back by itself and reads the state again', async () => {
    const { page } = await open('/p/b');
    await page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, waitOptions);
    const before = (await api(venue, 'GET', '/processors/b')).body.levels.mic.value;
    const wanted = before === 77 ? 76 : 77;
    assert.equal((await api(venue, 'PUT', '/processors/b/levels/mic', { value: wanted })).status, 200);
    await waitSlider(page, 'level-mic', wanted);
    await venue.restart();
    await waitConnected(venue, ['a', 'b', 'c']);
    await page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, waitOptions);
    // Whatever the processor holds now is what the page shows, without an event.
    const now = (await api(venue, 'GET', '/processors/b')).body;
    await waitSlider(page, 'level-mic', now.levels.mic.value);
    const next = now.levels.mic.value === 30 ? 31 : 30;
    assert.equal((await api(venue, 'PUT', '/processors/b/levels/mic', { value: next })).status, 200);
    await waitSlider(page, 'level-mic', next);
  });

  test('both languages, and the switch is remembered', async () => {
    const chinese = await open('/p/a', { locale: 'zh-CN' });
    await chinese.page.waitForSelector('#controls:not([disabled])', waitOptions);
    assert.equal(await chinese.page.textContent('label[for="level-mic"]'), '话筒音量');
    assert.equal(await chinese.page.getAttribute('html', 'lang'), 'zh-CN');
    await chinese.page.click('#lang-switch');
    assert.equal(await chinese.page.textContent('label[for="level-mic"]'), 'Microphone');
    await chinese.page.reload();
    await chinese.page.waitForSelector('#controls:not([disabled])', waitOptions);
    assert.equal(await chinese.page.textContent('label[for="level-mic"]'), 'Microphone', 'the choice outlives a reload');
    assert.equal(await chinese.page.getAttribute('html', 'lang'), 'en');

    const english = await open('/', { locale: 'en-GB' });
    await english.page.waitForSelector('#tiles a[data-name="a"]', waitOptions);
    assert.equal(await english.page.textContent('label[for="search"]'), 'Find a processor');
    await english.page.click('#lang-switch');
    assert.equal(await english.page.textContent('label[for="search"]'), '查找设备');
    assert.match(await english.page.textContent('#tile-count'), /显示 5 \/ 5 台设备/);
  });

  test('a phone held upright: no sideways scrolling, touch targets of 44 px, labelled controls', async () => {
    for (const [path, ready] of [['/', '#tiles a[data-name="a"]'], ['/p/a', '#controls:not([disabled])']]) {
      for (const locale of ['en-US', 'zh-CN']) {
        const { page } = await open(path, { viewport: { width: 360, height: 640 }, locale, hasTouch: true, isMobile: true });
        await page.waitForSelector(ready, waitOptions);
        const measured = await page.evaluate(() => {
          const small = [];
          const unlabelled = [];
          for (const node of document.querySelectorAll('a[href], button, input, select')) {
            if (node.closest('[hidden], dialog:not([open])') || node.classList.contains('skip')) continue;
            // A switch is hit through its whole label.
            const target = node.type === 'checkbox' ? node.closest('label') : node;
            const box = target.getBoundingClientRect();
            if (box.width < 44 || box.height < 44) small.push(`${node.id || node.textContent} ${box.width}x${box.height}`);
            if (node.matches('input, select') && !(node.labels?.length || node.getAttribute('aria-label'))) unlabelled.push(node.id);
          }
          return { scroll: document.documentElement.scrollWidth, width: window.innerWidth, small, unlabelled };
        });
        assert.ok(measured.scroll <= measured.width, `${path} ${locale}: ${measured.scroll} > ${measured.width}`);
        assert.deepEqual(measured.small, [], `${path} ${locale}`);
        assert.deepEqual(measured.unlabelled, [], `${path} ${locale}`);
      }
    }
  });
});

describe('a venue with tokens', () => {
  const tokens = { read: 'reader-token-0123456789', write: 'writer-token-0123456789' };
  let venue;
  before(async () => {
    venue = await startVenue({ tokens });
    await waitConnected(venue, ['a'], { Authorization: `Bearer ${tokens.write}` });
  });
  after(async () => { await venue?.stop(); });

  test('the page asks for a token once, keeps it, and a read token disables every control', async () => {
    const { page, context, requests, errors } = await openPage(browser, `${venue.url}/p/a`);
    await page.waitForSelector('#token-dialog[open]', waitOptions);
    await page.fill('#token-input', 'not-a-token');
    await page.click('#token-submit');
    await page.waitForFunction(() => document.getElementById('token-error').textContent !== '', null, waitOptions);
    assert.match(await page.textContent('#token-error'), /refused/);
    await page.fill('#token-input', tokens.read);
    await page.click('#token-submit');
    await page.waitForFunction(() => !document.getElementById('token-dialog').open, null, waitOptions);
    await page.waitForFunction(() => document.getElementById('stream-state').dataset.state === 'live', null, waitOptions);
    await page.waitForSelector('#read-only:not([hidden])', waitOptions);
    const processor = (await api(venue, 'GET', '/processors/a', undefined, { Authorization: `Bearer ${tokens.read}` })).body;
    await waitSlider(page, 'level-mic', processor.levels.mic.value);
    assert.equal(await page.isDisabled('#level-mic'), true);
    assert.equal(await page.isDisabled('#store-open'), true);
    assert.equal(await page.isDisabled('#mode-1'), true);

    // The token goes with every request and as the stream's first message.
    const authorised = requests.filter((r) => r.url.includes('/api/v1/processors'));
    assert.ok(authorised.length > 0 && authorised.every((r) => r.headers.authorization === `Bearer ${tokens.read}`));

    // A change made elsewhere still shows.
    const wanted = processor.levels.echo.value === 7 ? 8 : 7;
    const put = await api(venue, 'PUT', '/processors/a/levels/echo', { value: wanted }, { Authorization: `Bearer ${tokens.write}` });
    assert.equal(put.status, 200);
    await waitSlider(page, 'level-echo', wanted);

    await page.reload();
    await page.waitForSelector('#read-only:not([hidden])', waitOptions);
    assert.equal(await page.$eval('#token-dialog', (d) => d.open), false, 'asked once');
    assert.equal(await page.evaluate(() => localStorage.getItem('fxtune.token')), tokens.read);
    await context.close();
    assertOnlyDaemon(requests, venue);
    assert.deepEqual(errors, []);
  });

  test('a write token enables the controls and storing a mode asks first', async () => {
    const { page, context, requests, errors } = await openPage(browser, `${venue.url}/p/b`);
    await page.waitForSelector('#token-dialog[open]', waitOptions);
    await page.fill('#token-input', tokens.write);
    await page.click('#token-submit');
    await page.waitForSelector('#controls:not([disabled])', waitOptions);
    assert.equal(await page.isHidden('#read-only'), true);
    await page.click('#store-open');
    await page.waitForSelector('#store-dialog[open]', waitOptions);
    await page.click('#store-2');
    assert.match(await page.textContent('#store-text'), /Store the present settings into M2\?/);
    assert.equal(requests.filter((r) => r.method === 'POST').length, 0, 'nothing sent before the confirmation');
    await page.click('#store-yes');
    await page.waitForFunction(() => document.getElementById('room-status').textContent === 'Stored in M2.', null, waitOptions);
    const posts = requests.filter((r) => r.method === 'POST' && r.url.endsWith('/processors/b/mode'));
    assert.equal(posts.length, 1);
    assert.deepEqual(JSON.parse(posts[0].body), { store: 2 });
    assert.equal(posts[0].headers['x-fxtune-origin'], 'web');
    await context.close();
    assertOnlyDaemon(requests, venue);
    assert.deepEqual(errors, []);
  });
});
