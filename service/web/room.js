// The room page: one processor's master levels with their mutes, the music
// pitch, noise gate and source, and the machine modes. Every control sends
// through the API and shows the processor's true state again when a change
// is not confirmed.
import { api, errorText } from './api.js';
import { t } from './i18n.js';
import { levelIds, levelMax, modeCount, noiseGateMax, pitchMax, pitchMin } from './levels.js';
import { ThrottledSender } from './sender.js';

function element(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (key === 'class') node.className = value;
    else if (key.startsWith('aria-') || key.startsWith('data-') || key === 'for' || key === 'role') node.setAttribute(key, value);
    else node[key] = value;
  }
  node.append(...children);
  return node;
}

// The groove left of the thumb is drawn in the accent colour.
function paintFill(slider) {
  const low = Number(slider.min);
  const span = Number(slider.max) - low || 1;
  slider.style.setProperty('--pct', `${(100 * (Number(slider.value) - low)) / span}%`);
}

function clamp(value, low, high) { return Math.max(low, Math.min(high, value)); }

export function mountRoom(main, name, context) {
  const { store } = context;
  const texts = []; // [node, () => text] relabelled on a language switch
  const label = (node, text) => { texts.push([node, text]); return node; };

  // Link state, read-only note and the room's own status line.
  const linkState = element('div', { class: 'link-state', id: 'link-state', role: 'status', 'aria-live': 'polite' });
  const readOnly = label(element('p', { class: 'read-only', id: 'read-only', hidden: true }), () => t('readOnly'));
  const roomStatus = element('p', { class: 'room-status', id: 'room-status', role: 'status', 'aria-live': 'polite' });
  const missing = element('p', { class: 'missing', id: 'missing', hidden: true });

  const controls = element('fieldset', { class: 'controls', id: 'controls', disabled: true });
  const legend = label(element('legend', { class: 'visually-hidden' }), () => name);
  controls.append(legend);

  // Master levels.
  const levelsHeading = label(element('h2', { id: 'levels-heading' }), () => t('levels'));
  const levelsPanel = element('section', { class: 'panel levels', 'aria-labelledby': 'levels-heading' }, levelsHeading);
  const levelControls = {};
  for (const id of levelIds) {
    const slider = element('input', { type: 'range', id: `level-${id}`, min: 0, max: levelMax, step: 1, value: 0 });
    const sliderLabel = label(element('label', { for: `level-${id}`, class: 'level-name' }), () => t(`level_${id}`));
    const output = element('output', { id: `level-${id}-value`, for: `level-${id}`, class: 'level-value' });
    const mute = element('input', { type: 'checkbox', id: `mute-${id}`, role: 'switch' });
    const muteText = label(element('span'), () => t('mute'));
    const muteLabel = element('label', { class: 'mute', for: `mute-${id}` }, mute, muteText);
    texts.push([null, () => mute.setAttribute('aria-label', t('muteLevel', { level: t(`level_${id}`) }))]);
    const row = element('div', { class: 'level', 'data-level': id },
      element('div', { class: 'level-head' }, sliderLabel, output), slider, muteLabel);
    levelsPanel.append(row);
    levelControls[id] = { slider, output, mute, row };
  }

  // Music: pitch, noise gate, source.
  const musicHeading = label(element('h2', { id: 'music-heading' }), () => t('level_music'));
  const pitchLabel = label(element('span', { id: 'pitch-label', class: 'field-name' }), () => t('pitch'));
  const pitchDown = element('button', { type: 'button', id: 'pitch-down', class: 'step' }, '−');
  const pitchValue = element('output', { id: 'pitch-value', class: 'pitch-value', 'aria-live': 'polite', 'aria-labelledby': 'pitch-label' });
  const pitchUp = element('button', { type: 'button', id: 'pitch-up', class: 'step' }, '+');
  texts.push([null, () => pitchDown.setAttribute('aria-label', t('pitchDown'))]);
  texts.push([null, () => pitchUp.setAttribute('aria-label', t('pitchUp'))]);
  const pitchRow = element('div', { class: 'field pitch', role: 'group', 'aria-labelledby': 'pitch-label' },
    pitchLabel, element('div', { class: 'stepper' }, pitchDown, pitchValue, pitchUp));

  const gate = element('input', { type: 'range', id: 'noise-gate', min: 0, max: noiseGateMax, step: 1, value: 0 });
  const gateLabel = label(element('label', { for: 'noise-gate', class: 'field-name' }), () => t('noiseGate'));
  const gateValue = element('output', { id: 'noise-gate-value', for: 'noise-gate', class: 'level-value' });
  const gateRow = element('div', { class: 'field gate' }, element('div', { class: 'level-head' }, gateLabel, gateValue), gate);

  const source = element('select', { id: 'source' });
  const sourceLabel = label(element('label', { for: 'source', class: 'field-name' }), () => t('source'));
  const sourceRow = element('div', { class: 'field source' }, sourceLabel, source);
  const musicPanel = element('section', { class: 'panel music', 'aria-labelledby': 'music-heading' },
    musicHeading, pitchRow, gateRow, sourceRow);

  // Machine modes.
  const modesHeading = label(element('h2', { id: 'modes-heading' }), () => t('modes'));
  const modesHelp = label(element('p', { class: 'help', id: 'modes-help' }), () => t('modesHelp'));
  const modeButtons = [];
  const modeRow = element('div', { class: 'mode-buttons' });
  for (let mode = 1; mode <= modeCount; mode += 1) {
    const button = element('button', { type: 'button', id: `mode-${mode}`, class: 'mode', 'aria-pressed': 'false', 'aria-describedby': 'modes-help' }, `M${mode}`);
    texts.push([null, () => button.setAttribute('aria-label', t('recallMode', { mode }))]);
    modeButtons.push(button);
    modeRow.append(button);
  }
  const storeButton = label(element('button', { type: 'button', id: 'store-open', class: 'store-open', 'aria-haspopup': 'dialog' }), () => t('storeMode'));
  const modesPanel = element('section', { class: 'panel modes', 'aria-labelledby': 'modes-heading' },
    modesHeading, modesHelp, modeRow, storeButton);

  controls.append(levelsPanel, element('div', { class: 'side' }, musicPanel, modesPanel));

  // Store dialog: choose the mode, then confirm.
  const storeDialog = element('dialog', { id: 'store-dialog', 'aria-labelledby': 'store-title' });
  const storeTitle = label(element('h2', { id: 'store-title' }), () => t('storeMode').replace('…', ''));
  const storeText = element('p', { id: 'store-text' });
  const storeChoices = element('div', { class: 'mode-buttons', id: 'store-choices' });
  for (let mode = 1; mode <= modeCount; mode += 1) {
    const button = element('button', { type: 'button', class: 'mode', id: `store-${mode}` }, `M${mode}`);
    texts.push([null, () => button.setAttribute('aria-label', t('storeInto', { mode }))]);
    button.addEventListener('click', () => askStore(mode));
    storeChoices.append(button);
  }
  const storeYes = label(element('button', { type: 'button', id: 'store-yes', class: 'primary', hidden: true }), () => t('storeYes'));
  const storeCancel = label(element('button', { type: 'button', id: 'store-cancel' }), () => t('storeCancel'));
  storeDialog.append(storeTitle, storeText, storeChoices, element('div', { class: 'dialog-buttons' }, storeYes, storeCancel));

  const section = element('section', { class: 'room' }, linkState, missing, readOnly, roomStatus, controls, storeDialog);
  main.append(section);

  // --- sending -----------------------------------------------------------
  const dragging = new Set(); // sliders held by a finger or the mouse
  const cleanups = [];
  const senders = {};

  function sender(key, what, send) {
    senders[key] = new ThrottledSender(async (value) => {
      const version = store.version(name);
      const answer = await send(value);
      answer.versionAtSend = version;
      return answer;
    }, (answer) => settle(answer, what));
    return senders[key];
  }

  // After an answer: a confirmed state is taken unless an event already
  // brought a newer one; a refusal springs the control back and says why.
  function settle(answer, what) {
    if (answer.status === 200) {
      if (answer.body && answer.body.name === name && store.version(name) === answer.versionAtSend) store.update(answer.body);
      else render();
      return;
    }
    context.notify(t('notConfirmed', { what: what(), reason: errorText(answer) }));
    render();
    context.refresh(name);
  }

  function busy(key) { return dragging.has(key) || (senders[key] && senders[key].busy()); }

  for (const id of levelIds) {
    const { slider, output, mute } = levelControls[id];
    const key = `level-${id}`;
    const values = sender(key, () => t(`level_${id}`), (value) => api.setLevel(name, id, { value }));
    const mutes = sender(`mute-${id}`, () => t('muteLevel', { level: t(`level_${id}`) }), (muted) => api.setLevel(name, id, { muted }));
    slider.addEventListener('input', () => {
      output.value = slider.value;
      paintFill(slider);
      values.push(Number(slider.value));
    });
    holdWhileDragged(slider, key);
    mute.addEventListener('change', () => mutes.push(mute.checked));
  }

  const gates = sender('noise-gate', () => t('noiseGate'), (value) => api.setNoiseGate(name, value));
  gate.addEventListener('input', () => {
    gateValue.value = gate.value;
    paintFill(gate);
    gates.push(Number(gate.value));
  });
  holdWhileDragged(gate, 'noise-gate');

  let pitchShown = 0;
  const pitches = sender('pitch', () => t('pitch'), (value) => api.setPitch(name, value));
  function stepPitch(step) {
    const processor = store.get(name);
    const base = pitches.busy() || !processor ? pitchShown : processor.pitch;
    const next = clamp(base + step, pitchMin, pitchMax);
    if (next === base) return;
    showPitch(next);
    pitches.push(next);
  }
  pitchDown.addEventListener('click', () => stepPitch(-1));
  pitchUp.addEventListener('click', () => stepPitch(1));

  const sources = sender('source', () => t('source'), (value) => api.setSource(name, value));
  source.addEventListener('change', () => sources.push(Number(source.value)));

  function holdWhileDragged(slider, key) {
    slider.addEventListener('pointerdown', () => dragging.add(key));
    const release = () => {
      if (!dragging.delete(key)) return;
      render();
    };
    window.addEventListener('pointerup', release);
    window.addEventListener('pointercancel', release);
    cleanups.push(() => {
      window.removeEventListener('pointerup', release);
      window.removeEventListener('pointercancel', release);
    });
  }

  // Modes: recall on tap; storing goes through the dialog.
  let modeBusy = false;
  async function modeRequest(send, mode, doneText, what) {
    modeBusy = true;
    render();
    const version = store.version(name);
    const answer = await send(name, mode);
    modeBusy = false;
    if (answer.status === 200) {
      roomStatus.textContent = doneText;
      if (answer.body && answer.body.name === name && store.version(name) === version) store.update(answer.body);
      else render();
    } else {
      context.notify(t('notConfirmed', { what, reason: errorText(answer) }));
      render();
      context.refresh(name);
    }
  }
  modeButtons.forEach((button, index) => {
    const mode = index + 1;
    button.addEventListener('click', () => modeRequest(api.loadMode, mode, t('recalled', { mode }), t('recallMode', { mode })));
  });

  let storeChoice = 0;
  function openStore() {
    storeChoice = 0;
    storeText.textContent = t('storeModeHelp');
    storeChoices.hidden = false;
    storeYes.hidden = true;
    storeDialog.showModal();
    storeChoices.firstChild.focus();
  }
  function askStore(mode) {
    storeChoice = mode;
    storeText.textContent = t('storeConfirm', { mode });
    storeChoices.hidden = true;
    storeYes.hidden = false;
    storeYes.focus();
  }
  storeButton.addEventListener('click', openStore);
  storeCancel.addEventListener('click', () => storeDialog.close());
  storeYes.addEventListener('click', () => {
    const mode = storeChoice;
    storeDialog.close();
    if (mode) modeRequest(api.storeMode, mode, t('stored', { mode }), t('storeInto', { mode }));
  });

  // --- showing -----------------------------------------------------------

  function showSlider(slider, output, value) {
    slider.value = String(value);
    output.value = String(value);
    paintFill(slider);
  }

  function showPitch(value) {
    pitchShown = value;
    pitchValue.value = value > 0 ? `+${value}` : String(value);
    pitchDown.disabled = value <= pitchMin;
    pitchUp.disabled = value >= pitchMax;
  }

  function fillSources(processor) {
    const list = Array.isArray(processor.sources) ? processor.sources : [];
    const wanted = list.map((s) => `${s.index}:${s.name}`).join('|');
    if (source.dataset.list !== wanted) {
      source.textContent = '';
      for (const option of list) source.append(element('option', { value: String(option.index) }, option.name));
      source.dataset.list = wanted;
    }
    const selected = processor.source ? processor.source.index : undefined;
    if (selected !== undefined && !busy('source')) source.value = String(selected);
  }

  function showLinkState(processor) {
    linkState.textContent = '';
    if (!processor) return;
    linkState.dataset.state = processor.connected ? 'online' : 'offline';
    const dot = element('span', { class: 'dot', 'aria-hidden': 'true' });
    if (processor.connected) {
      const facts = [t('online')];
      if (processor.model) facts.push(processor.model);
      facts.push(processor.mode >= 1 ? `${t('mode')} M${processor.mode}` : t('modeUnknown'));
      linkState.append(dot, element('span', { class: 'link-text' }, facts.join(' · ')));
    } else {
      const reason = processor.offlineReason ? t('offlineReason', { reason: processor.offlineReason }) : t('offlineNoReason');
      linkState.append(dot, element('span', { class: 'link-text' }, reason));
    }
    if (processor.drift && typeof processor.drift === 'object') {
      linkState.append(element('span', { class: 'drift' }, `Δ ${t('drift', { count: processor.drift.count ?? '?' })}`));
    }
  }

  function render() {
    const processor = store.get(name);
    const known = Boolean(processor);
    missing.hidden = known || !store.loaded;
    missing.textContent = t('unknownProcessor', { name });
    controls.hidden = !known && store.loaded;
    showLinkState(processor);
    const writable = context.access === 'write';
    readOnly.hidden = writable;
    controls.disabled = !known || !processor.connected || !writable;
    storeButton.title = writable ? '' : t('storeNeedsWrite');
    if (!known) return;

    for (const id of levelIds) {
      const level = (processor.levels && processor.levels[id]) || { value: 0, muted: false };
      const { slider, output, mute, row } = levelControls[id];
      if (!busy(`level-${id}`)) showSlider(slider, output, level.value);
      if (!busy(`mute-${id}`)) mute.checked = Boolean(level.muted);
      row.classList.toggle('muted', mute.checked);
    }
    if (!busy('noise-gate')) showSlider(gate, gateValue, processor.noiseGate ?? 0);
    if (!busy('pitch')) showPitch(processor.pitch ?? 0);
    fillSources(processor);
    modeButtons.forEach((button, index) => {
      button.setAttribute('aria-pressed', String(processor.mode === index + 1));
      button.disabled = modeBusy;
    });
    modesPanel.setAttribute('aria-busy', String(modeBusy));
  }

  function relabel() {
    for (const [node, text] of texts) {
      if (node) node.textContent = text();
      else text();
    }
    render();
  }

  const unsubscribe = store.subscribe((changed) => {
    if (changed === null || changed === name) render();
  });
  relabel();

  return {
    render,
    relabel,
    title: () => name,
    destroy: () => {
      unsubscribe();
      for (const cleanup of cleanups) cleanup();
    },
  };
}
