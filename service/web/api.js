// The daemon's HTTP API as the page uses it: the token kept in localStorage
// goes with every request, and every write says it comes from the web page.
const tokenKey = 'fxtune.token';
const base = '/api/v1';

export function storedToken() {
  try { return localStorage.getItem(tokenKey) || ''; } catch { return ''; }
}

export function storeToken(token) {
  try {
    if (token) localStorage.setItem(tokenKey, token);
    else localStorage.removeItem(tokenKey);
  } catch { /* private mode: kept for this page only */ }
  memoryToken = token;
}

let memoryToken = storedToken();

export function token() { return memoryToken; }

// One request. Resolves {status, body} for every HTTP answer (body is the
// parsed JSON or null); a network failure resolves status 0 with its error.
export async function request(method, path, body) {
  const headers = { Accept: 'application/json' };
  if (memoryToken) headers.Authorization = `Bearer ${memoryToken}`;
  const init = { method, headers, cache: 'no-store' };
  if (method !== 'GET') {
    headers['X-Fxtune-Origin'] = 'web';
    if (body !== undefined) {
      headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
  }
  let response;
  try {
    response = await fetch(base + path, init);
  } catch (error) {
    return { status: 0, body: { error: String(error && error.message || error) } };
  }
  let parsed = null;
  try { parsed = await response.json(); } catch { parsed = null; }
  return { status: response.status, body: parsed };
}

export function errorText(answer) {
  if (answer.body && typeof answer.body.error === 'string' && answer.body.error) return answer.body.error;
  return answer.status ? `HTTP ${answer.status}` : 'no answer';
}

export const api = {
  session: () => request('GET', '/session'),
  processors: () => request('GET', '/processors'),
  processor: (name) => request('GET', `/processors/${encodeURIComponent(name)}`),
  setLevel: (name, level, change) =>
    request('PUT', `/processors/${encodeURIComponent(name)}/levels/${level}`, change),
  setPitch: (name, value) => request('PUT', `/processors/${encodeURIComponent(name)}/pitch`, { value }),
  setNoiseGate: (name, value) =>
    request('PUT', `/processors/${encodeURIComponent(name)}/noise-gate`, { value }),
  setSource: (name, value) => request('PUT', `/processors/${encodeURIComponent(name)}/source`, { value }),
  loadMode: (name, mode) => request('POST', `/processors/${encodeURIComponent(name)}/mode`, { load: mode }),
  storeMode: (name, mode) => request('POST', `/processors/${encodeURIComponent(name)}/mode`, { store: mode }),
};
