// The page's start: asks for a token when the daemon wants one, reads the
// venue, follows the event stream and shows the venue or one processor's room.
import { api, errorText, storeToken, token } from './api.js';
import { EventStream } from './events.js';
import { language, onLanguageChange, setLanguage, t } from './i18n.js';
import { Store } from './store.js';
import { mountVenue } from './venue.js';
import { mountRoom } from './room.js';

const store = new Store();
const context = {
  store,
  access: 'read',
  notify: showNotice,
  refresh: (name) => refreshOne(name),
};
let page = null;
let streamState = 'connecting';
let noticeTimer = 0;

function $(id) { return document.getElementById(id); }

function showNotice(text) {
  const notice = $('notice');
  notice.textContent = text;
  notice.classList.toggle('shown', Boolean(text));
  clearTimeout(noticeTimer);
  if (text) noticeTimer = setTimeout(() => showNotice(''), 8000);
}

function renderChrome() {
  const switcher = $('lang-switch');
  switcher.textContent = t('switchLanguage');
  switcher.setAttribute('aria-label', t('switchLanguageLabel'));
  switcher.lang = language() === 'zh' ? 'en' : 'zh-CN';
  $('skip-link').textContent = language() === 'zh' ? '跳到内容' : 'Skip to content';
  const stream = $('stream-state');
  stream.dataset.state = streamState;
  stream.textContent = streamState === 'live' ? t('streamLive')
    : streamState === 'reconnecting' ? t('streamReconnecting') : t('streamConnecting');
  $('token-title').textContent = t('tokenTitle');
  $('token-prompt').textContent = t('tokenPrompt');
  $('token-label').textContent = t('tokenLabel');
  $('token-submit').textContent = t('tokenSubmit');
}

// Asks for a token until the daemon accepts one; resolves the session.
function askToken(rejected) {
  return new Promise((resolve) => {
    const dialog = $('token-dialog');
    const input = $('token-input');
    $('token-error').textContent = rejected ? t('tokenRejected') : '';
    input.value = '';
    const form = $('token-form');
    form.onsubmit = async (event) => {
      event.preventDefault();
      const given = input.value.trim();
      if (!given) return;
      storeToken(given);
      const answer = await api.session();
      if (answer.status === 200) {
        dialog.close();
        resolve(answer.body);
      } else {
        storeToken('');
        $('token-error').textContent = answer.status === 401 || answer.status === 403
          ? t('tokenRejected') : t('requestFailed', { reason: errorText(answer) });
        input.focus();
      }
    };
    dialog.addEventListener('cancel', (event) => event.preventDefault());
    dialog.showModal();
    input.focus();
  });
}

async function openSession() {
  for (let delay = 1000; ; delay = Math.min(delay * 2, 10000)) {
    const answer = await api.session();
    if (answer.status === 200) return answer.body;
    if (answer.status === 401) {
      const hadToken = Boolean(token());
      storeToken('');
      return askToken(hadToken);
    }
    showNotice(t('requestFailed', { reason: errorText(answer) }));
    await new Promise((resolve) => setTimeout(resolve, delay));
  }
}

async function readVenue() {
  const answer = await api.processors();
  if (answer.status === 200 && answer.body && Array.isArray(answer.body.processors)) {
    store.replaceAll(answer.body.processors);
  } else if (answer.status === 401) {
    start();
  } else {
    showNotice(t('requestFailed', { reason: errorText(answer) }));
  }
}

async function refreshOne(name) {
  const answer = await api.processor(name);
  if (answer.status === 200 && answer.body) store.update(answer.body);
  else if (answer.status === 404) store.remove(name);
}

function applyEvent(event) {
  if (!event || !event.processor) return;
  if (event.type === 'removed') store.remove(event.processor);
  else if (event.state && event.state.name) store.update(event.state);
  else refreshOne(event.processor);
}

function setAccess(access) {
  context.access = access === 'write' ? 'write' : 'read';
  document.body.dataset.access = context.access;
  if (page) page.render();
}

const stream = new EventStream({
  onReady: (access) => {
    if (access) setAccess(access);
    readVenue();
  },
  onEvent: applyEvent,
  // A token withdrawn while the page is open: ask for another.
  onRefused: async () => {
    if ((await api.session()).status === 401) start();
  },
  onState: (state) => {
    streamState = state;
    renderChrome();
  },
});

function route() {
  const match = location.pathname.match(/^\/p\/([^/]+)\/?$/);
  const main = $('main');
  if (page) page.destroy();
  main.textContent = '';
  const home = $('home-link');
  if (match) {
    const name = decodeURIComponent(match[1]);
    home.hidden = false;
    page = mountRoom(main, name, context);
  } else {
    home.hidden = true;
    page = mountVenue(main, context);
  }
  renderTitle();
}

function renderTitle() {
  const home = $('home-link');
  home.textContent = `← ${t('allProcessors')}`;
  const title = page && page.title ? page.title() : t('appTitle');
  $('page-title').textContent = title;
  document.title = `${title} · fxtune`;
}

let started = false;
async function start() {
  const session = await openSession();
  setAccess(session.access);
  await readVenue();
  if (!started) {
    started = true;
    stream.start();
  } else {
    stream.restart();
  }
}

$('lang-switch').addEventListener('click', () => setLanguage(language() === 'zh' ? 'en' : 'zh'));
onLanguageChange(() => {
  renderChrome();
  renderTitle();
  if (page) page.relabel();
});
store.subscribe(() => renderTitle());
renderChrome();
route();
start();
