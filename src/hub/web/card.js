// One projector's card: everything the hub knows of it and a button for
// each of its actions. The page shows one card at a time, for the row that
// was opened; the markup is index.html's template, filled with text only.

import {
  ACTION_WORDS, INPUT_WORDS, LINE_ERROR_WORDS, MUTE_WORDS, PHASE_WORDS, has, hasFault, known, lastContact, lineTrouble,
  localTime, setText, stateOf, wordFor,
} from './words.js';
import {postAction} from './token.js';

const template = document.getElementById('card-template');
const field = (card, name) => card.querySelector(`[data-field="${name}"]`);
let cardsMade = 0;

// A toggle's state for a screen reader as well as for the eye.
const markCurrent = (card, action, current) => {
  const button = card.querySelector(`button[data-action="${action}"]`);
  button.classList.toggle('is-current', current);
  button.setAttribute('aria-pressed', String(current));
};

// Fills a text and, when there is one, the technical text behind a <details>.
export const showWithDetails = (card, name, text, technical) => {
  setText(field(card, name), text);
  const details = field(card, `${name}-details`);
  details.hidden = !technical;
  setText(details.querySelector('[data-role="technical"]'), technical || '');
};

export const showResult = (card, state, text, technical) => {
  field(card, 'result').setAttribute('data-state', state);
  showWithDetails(card, 'result', text, technical);
};

export const announce = (card, text) => {
  const el = field(card, 'announce');
  // Emptied first so that the same words said twice are still announced.
  el.textContent = '';
  window.setTimeout(() => (el.textContent = text), 50);
};

// An action's answer in words: {state, text, technical}.
export const resultWords = (label, answer, line) => {
  if (answer.failure) return {state: 'failed', text: `${label}: ${answer.failure}`};
  if (answer.cancelled) return {state: 'failed', text: `${label}: not sent, no access token given`};
  const body = answer.body || {};
  if (answer.status === 200 && body.ok === true) return {state: 'done', text: `${label}: done`};
  const technical = `${body.error != null ? String(body.error) : body.text || 'failed'} (HTTP ${answer.status})`;
  if (body.error_kind && has(LINE_ERROR_WORDS, body.error_kind)) {
    const where = body.error_kind === 'no-answer' ? '' : `: ${line}`;
    return {state: 'failed', text: `${label}: ${LINE_ERROR_WORDS[body.error_kind]}${where}`, technical};
  }
  return {state: 'failed', text: `${label}: ${technical}`};
};

const press = async (card, button, lineOf) => {
  if (button.disabled) return;
  const name = card.getAttribute('data-projector');
  const action = button.getAttribute('data-action');
  const label = ACTION_WORDS[action];
  const result = field(card, 'result');
  result.setAttribute('data-press', String(Number(result.getAttribute('data-press') || 0) + 1));
  const hadFocus = document.activeElement === button;
  button.disabled = true;
  button.setAttribute('aria-busy', 'true');
  showResult(card, 'sending', 'Sending…');
  const url = `api/projectors/${encodeURIComponent(name)}/actions/${encodeURIComponent(action)}`;
  const answer = await postAction(url, (words) => showResult(card, 'token', `${label}: ${words}`));
  button.disabled = false;
  button.removeAttribute('aria-busy');
  if (hadFocus && (document.activeElement === document.body || document.activeElement === null)) button.focus();
  const words = resultWords(label, answer, lineOf(name));
  showResult(card, words.state, words.text, words.technical);
};

// A new card for the projector; lineOf(name) gives its line's address.
export const createCard = (name, lineOf) => {
  const card = template.content.firstElementChild.cloneNode(true);
  card.setAttribute('data-projector', name);
  const heading = field(card, 'name');
  cardsMade += 1;
  heading.id = `projector-${cardsMade}`;
  card.setAttribute('aria-labelledby', heading.id);
  for (const group of card.querySelectorAll('[data-group]')) {
    const words = group.getAttribute('data-group');
    group.setAttribute('aria-label', `${words[0].toUpperCase()}${words.slice(1)}, ${name}`);
  }
  for (const button of card.querySelectorAll('button[data-action]')) {
    button.setAttribute('aria-label', `${ACTION_WORDS[button.getAttribute('data-action')]}, ${name}`);
    button.addEventListener('click', () => press(card, button, lineOf));
  }
  return card;
};

export const renderCard = (card, data, now) => {
  const values = data.values || {};
  const label = typeof data.label === 'string' && data.label !== '' ? data.label : null;
  setText(field(card, 'name'), label ? `${label} (${data.name})` : data.name);

  const power = known(values, 'power_state');
  const state = stateOf(data, now);
  const powerEl = field(card, 'power');
  setText(powerEl, state.text);
  const badge = powerEl.parentElement;
  badge.className = 'power';
  if (!data.up) badge.classList.add('is-down');
  else if (hasFault(power)) badge.classList.add('is-fault');
  else if (power && has(PHASE_WORDS, power.phase)) badge.classList.add(`is-${power.phase}`);
  // The engine's own name of the state, for a technician who hovers.
  if (power && power.value) badge.setAttribute('title', String(power.value));
  else badge.removeAttribute('title');

  const model = known(values, 'model');
  setText(field(card, 'model'), model ? String(model.value) : '—');
  const input = known(values, 'input');
  setText(field(card, 'input'), input ? wordFor(INPUT_WORDS, input.value) : '—');
  const mute = known(values, 'mute');
  setText(field(card, 'mute'), mute ? wordFor(MUTE_WORDS, mute.value) : '—');

  const hours = known(values, 'lamp_hours');
  const lamp = known(values, 'lamp_mode');
  const lampParts = [];
  if (hours) lampParts.push(`${hours.value} h`);
  if (hours && Number(data.lamp_rated_hours) > 0) {
    const percent = Math.round((Number(hours.value) / Number(data.lamp_rated_hours)) * 100);
    lampParts.push(`${percent}% of ${data.lamp_rated_hours} h rated`);
  }
  if (lamp) lampParts.push(lamp.lit ? 'lit' : 'off');
  setText(field(card, 'lamp'), lampParts.length ? lampParts.join(', ') : '—');

  const temperatures = known(values, 'temperatures');
  const degrees = temperatures && Array.isArray(temperatures.value)
    ? temperatures.value.map((t) => (typeof t === 'number' ? t.toFixed(1) : String(t)))
    : null;
  setText(field(card, 'temperatures'), degrees ? `${degrees.join(', ')} °C` : '—');

  const trouble = lineTrouble(data);
  const lineText = trouble ? `Down: ${trouble.words}` : `Up (${data.line})`;
  showWithDetails(card, 'line', lineText, trouble ? trouble.technical : '');
  card.classList.toggle('is-down', !data.up);

  const latest = lastContact(data);
  const time = field(card, 'read').querySelector('time');
  if (latest) {
    time.setAttribute('datetime', latest.toISOString());
    setText(time, localTime(latest));
  } else {
    time.removeAttribute('datetime');
    setText(time, 'never');
  }

  // What the buttons say is current holds only while the hub can vouch for it.
  const phase = power && data.up ? power.phase : 'unknown';
  const current = data.up ? values : {};
  const inputNow = known(current, 'input');
  const muteNow = known(current, 'mute');
  markCurrent(card, 'power-on', phase === 'on' || phase === 'warming');
  markCurrent(card, 'power-off', phase === 'standby' || phase === 'cooling');
  for (const name of ['pc1', 'pc2', 'video']) {
    markCurrent(card, `input-${name}`, Boolean(inputNow && inputNow.value === name));
  }
  markCurrent(card, 'sound-mute-on', Boolean(muteNow && muteNow.sound));
  markCurrent(card, 'sound-mute-off', Boolean(muteNow && !muteNow.sound));
  markCurrent(card, 'no-show-on', Boolean(muteNow && muteNow.picture));
  markCurrent(card, 'no-show-off', Boolean(muteNow && !muteNow.picture));
};
