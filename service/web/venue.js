// The venue page: every processor as a tile, sorted by name, with a search
// box that filters them by name, model or address.
import { t } from './i18n.js';
import { levelIds, levelMax } from './levels.js';

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function modeText(processor) {
  return processor.mode >= 1 && processor.mode <= 4 ? `M${processor.mode}` : t('modeUnknown');
}

function offlineText(processor) {
  return processor.offlineReason ? t('offlineReason', { reason: processor.offlineReason }) : t('offlineNoReason');
}

function hasDrift(processor) {
  return Boolean(processor.drift) && typeof processor.drift === 'object';
}

// What a screen reader says of a tile: the same facts the tile shows.
function tileSummary(processor) {
  const parts = [processor.name, processor.connected ? t('online') : offlineText(processor)];
  if (processor.connected) {
    parts.push(`${t('mode')} ${modeText(processor)}`);
    if (processor.model) parts.push(processor.model);
    for (const id of levelIds) {
      const level = processor.levels && processor.levels[id];
      if (!level) continue;
      parts.push(`${t(`level_${id}`)} ${level.value}${level.muted ? ` ${t('muted')}` : ''}`);
    }
  }
  if (hasDrift(processor)) parts.push(t('drift', { count: processor.drift.count ?? '?' }));
  return parts.join(', ');
}

function fillTile(link, processor) {
  link.href = `/p/${encodeURIComponent(processor.name)}`;
  link.className = `tile ${processor.connected ? 'online' : 'offline'}`;
  link.dataset.name = processor.name;
  link.textContent = '';

  const top = element('span', 'tile-top');
  top.setAttribute('aria-hidden', 'true');
  top.append(element('span', 'dot'), element('span', 'tile-name', processor.name));
  if (hasDrift(processor)) {
    const drift = element('span', 'drift', 'Δ');
    drift.title = t('drift', { count: processor.drift.count ?? '?' });
    top.append(drift);
  }
  top.append(element('span', 'tile-mode', processor.connected ? modeText(processor) : ''));

  const bars = element('span', 'tile-bars');
  bars.setAttribute('aria-hidden', 'true');
  for (const id of levelIds) {
    const level = (processor.levels && processor.levels[id]) || { value: 0, muted: false };
    const bar = element('span', `bar${level.muted ? ' muted' : ''}`);
    bar.dataset.level = id;
    const fill = element('span', 'fill');
    fill.style.height = `${Math.round((100 * Math.max(0, Math.min(levelMax, level.value))) / levelMax)}%`;
    bar.append(fill);
    const label = element('span', 'bar-label', t(`levelShort_${id}`));
    const cell = element('span', 'bar-cell');
    cell.title = `${t(`level_${id}`)} ${level.value}${level.muted ? ` (${t('muted')})` : ''}`;
    cell.append(bar, label);
    bars.append(cell);
  }

  const sub = element('span', `tile-sub${processor.connected ? '' : ' reason'}`,
    processor.connected ? processor.model || processor.address : offlineText(processor));
  sub.setAttribute('aria-hidden', 'true');

  const spoken = element('span', 'visually-hidden', tileSummary(processor));
  link.append(top, bars, sub, spoken);
}

export function mountVenue(main, context) {
  const { store } = context;
  const section = element('section', 'venue');
  const tools = element('div', 'venue-tools');
  const label = element('label', 'search-label');
  label.htmlFor = 'search';
  const search = element('input', 'search');
  search.id = 'search';
  search.type = 'search';
  search.autocomplete = 'off';
  search.spellcheck = false;
  const count = element('p', 'count');
  count.id = 'tile-count';
  count.setAttribute('aria-live', 'polite');
  tools.append(label, search, count);
  const list = element('ul', 'tiles');
  list.id = 'tiles';
  const empty = element('p', 'empty');
  section.append(tools, list, empty);
  main.append(section);

  const tiles = new Map(); // name -> <li>

  function matches(processor, query) {
    if (!query) return true;
    const haystack = `${processor.name} ${processor.model || ''} ${processor.address || ''}`.toLowerCase();
    return query.split(/\s+/).every((word) => haystack.includes(word));
  }

  function render() {
    const query = search.value.trim().toLowerCase();
    const all = store.sorted();
    const seen = new Set();
    let shown = 0;
    let previous = null;
    for (const processor of all) {
      seen.add(processor.name);
      let item = tiles.get(processor.name);
      if (!item) {
        item = element('li');
        item.append(element('a'));
        tiles.set(processor.name, item);
      }
      fillTile(item.firstChild, processor);
      const visible = matches(processor, query);
      item.hidden = !visible;
      if (visible) shown += 1;
      // Keep the list in name order without rebuilding it.
      const wantedNext = previous ? previous.nextSibling : list.firstChild;
      if (wantedNext !== item) list.insertBefore(item, wantedNext);
      previous = item;
    }
    for (const [name, item] of tiles) {
      if (!seen.has(name)) {
        item.remove();
        tiles.delete(name);
      }
    }
    count.textContent = store.loaded ? t('countShown', { shown, total: all.length }) : '';
    empty.textContent = !store.loaded ? '' : all.length === 0 ? t('noneAtAll') : shown === 0 ? t('noneFound') : '';
  }

  function relabel() {
    label.textContent = t('search');
    search.placeholder = t('searchPlaceholder');
    render();
  }

  search.addEventListener('input', render);
  const unsubscribe = store.subscribe(render);
  relabel();

  return {
    render,
    relabel,
    title: () => t('appTitle'),
    destroy: unsubscribe,
  };
}
