// The page's language: the one remembered in localStorage, else the
// browser's; every text comes from one table per language.
import en from './i18n-en.js';
import zh from './i18n-zh.js';

const tables = { en, zh };
const storageKey = 'fxtune.lang';
let current = chooseLanguage();
const listeners = new Set();

function chooseLanguage() {
  const saved = safeGet(storageKey);
  if (saved && tables[saved]) return saved;
  const wanted = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language || 'en'];
  for (const tag of wanted) {
    const base = String(tag).toLowerCase().split('-')[0];
    if (tables[base]) return base;
  }
  return 'en';
}

function safeGet(key) {
  try { return localStorage.getItem(key); } catch { return null; }
}

export function language() { return current; }

export function setLanguage(lang) {
  if (!tables[lang] || lang === current) return;
  current = lang;
  try { localStorage.setItem(storageKey, lang); } catch { /* private mode: not remembered */ }
  document.documentElement.lang = lang === 'zh' ? 'zh-CN' : 'en';
  for (const listener of listeners) listener(lang);
}

export function onLanguageChange(listener) { listeners.add(listener); }

// t('countShown', {shown: 3, total: 9}): the text with its {placeholders} filled.
export function t(key, values = {}) {
  const text = tables[current][key] ?? tables.en[key] ?? key;
  return text.replace(/\{(\w+)\}/g, (whole, name) => (name in values ? String(values[name]) : whole));
}

document.documentElement.lang = current === 'zh' ? 'zh-CN' : 'en';
