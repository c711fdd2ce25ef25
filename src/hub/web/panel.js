// orva-hub's web panel: the fleet of projectors as a table, kept current by
// the hub's Server-Sent Events, with one projector's card at a time for its
// buttons, and the schedules with their next run.
//
// The hub's API is addressed relative to the page, so that the panel also
// works behind a reverse proxy that serves the hub under a path of its own.
//
// Everything a projector or the configuration says (names, labels, models,
// replies, errors) reaches the page through textContent or setAttribute
// only. The page's markup is fixed in index.html; nothing here builds HTML
// from text.

import {announce, createCard, renderCard} from './card.js';
import {followEvents} from './events.js';
import {Fleet} from './fleet.js';
import {readJson} from './token.js';
import {localTime, powerWords, setText, timeOf, until} from './words.js';

const SCHEDULES_EVERY_MS = 60000;

const projectors = new Map(); // name -> the hub's JSON of it, kept current by the events
const connection = document.querySelector('[data-field="connection"]');
const waitingNote = document.querySelector('[data-field="waiting"]');
const cardDialog = document.querySelector('dialog.card-dialog');
const cardHolder = cardDialog.querySelector('[data-field="card"]');
let open = null; // {name, card} of the card shown
let liveSince = null; // a snapshot arrived on the current stream
let staleSince = null;
let connectionState = 'connecting';

const lineOf = (name) => (projectors.has(name) ? projectors.get(name).line : '');
const fleet = new Fleet((name) => openCard(name));

// ---- the card of the row opened --------------------------------------------

const openCard = (name) => {
  if (!projectors.has(name)) return;
  if (!open || open.name !== name) {
    const card = createCard(name, lineOf);
    cardHolder.replaceChildren(card);
    // The dialog is called what the card is: the projector's label and name.
    cardDialog.setAttribute('aria-labelledby', card.getAttribute('aria-labelledby'));
    open = {name, card};
    card.classList.toggle('is-stale', connectionState === 'lost');
    card.querySelector('[data-field="stale"]').hidden = connectionState !== 'lost';
  }
  renderCard(open.card, projectors.get(name), Date.now());
  if (!cardDialog.open) cardDialog.showModal();
};
cardDialog.querySelector('[data-role="close"]').addEventListener('click', () => cardDialog.close());
cardDialog.addEventListener('close', () => {
  if (!open) return;
  // The keyboard goes back to the row the card was opened from.
  const row = document.querySelector(`[data-row="${CSS.escape(open.name)}"] [data-field="label"]`);
  if (row) row.focus();
});

// What changed for a person to hear: the state, and whether the hub reaches it.
const heard = (data) => (data.up ? powerWords(data.values) : 'unreachable');

const changed = (name, before) => {
  const now = Date.now();
  fleet.update(name, now);
  if (open && open.name === name) {
    renderCard(open.card, projectors.get(name), now);
    const after = heard(projectors.get(name));
    if (before !== null && after !== before) announce(open.card, `${name}: ${after}`);
  }
};

// ---- the hub's events ------------------------------------------------------

const applySnapshot = (list) => {
  const valid = list.filter((data) => data && typeof data.name === 'string');
  const heardBefore = (name) => (projectors.has(name) ? heard(projectors.get(name)) : null);
  const befores = new Map(valid.map((data) => [data.name, heardBefore(data.name)]));
  projectors.clear();
  for (const data of valid) projectors.set(data.name, data);
  fleet.setProjectors(valid, Date.now());
  if (open) {
    if (projectors.has(open.name)) changed(open.name, befores.get(open.name));
    else cardDialog.close();
  }
  setText(waitingNote, 'The hub has no projector configured.');
  waitingNote.hidden = projectors.size > 0;
};

const withProjector = (event, apply) => {
  const data = event && projectors.get(event.projector);
  if (!data) return;
  const before = heard(data);
  apply(data);
  changed(event.projector, before);
};

const applyValue = (event) => withProjector(event, (data) => {
  if (typeof event.name !== 'string') return;
  const value = {...event};
  delete value.projector;
  delete value.name;
  data.values = {...(data.values || {}), [event.name]: value};
});
const applyLine = (event) => withProjector(event, (data) => {
  data.up = Boolean(event.up);
  data.line_open = Boolean(event.line_open);
  data.line_error = event.line_error || null;
});
// The hub read the projector again, values changed or not.
const applyRead = (event) => withProjector(event, (data) => {
  data.read_at = event.read_at;
});

const showConnection = (state, text) => {
  connectionState = state;
  connection.className = `connection is-${state}`;
  setText(connection, text);
  const stale = state === 'lost';
  document.body.classList.toggle('is-stale', stale && projectors.size > 0);
  if (open) {
    open.card.classList.toggle('is-stale', stale);
    open.card.querySelector('[data-field="stale"]').hidden = !stale;
  }
};

const parse = (data) => {
  try {
    return JSON.parse(data);
  } catch {
    return null;
  }
};

const lost = () => {
  if (liveSince !== null || staleSince === null) staleSince = new Date();
  liveSince = null;
  const since = `since ${localTime(staleSince)}`;
  if (projectors.size > 0) showConnection('lost', `Connection lost ${since}: showing the last values`);
  else showConnection('lost', `No connection to the hub ${since}`);
};
const noToken = () => {
  lost();
  setText(connection, 'No access token given: reload the page to enter one');
};

const eventHandlers = {
  snapshot: (data) => {
    const body = parse(data);
    if (!body || !Array.isArray(body.projectors)) return;
    applySnapshot(body.projectors);
    liveSince = new Date();
    staleSince = null;
    showConnection('live', 'Live');
  },
  value: (data) => applyValue(parse(data)),
  line: (data) => applyLine(parse(data)),
  read: (data) => applyRead(parse(data)),
  'group-result': (data) => {
    const body = parse(data);
    if (body) fleet.groupResult(body);
  },
};

// ---- schedules -------------------------------------------------------------

const scheduleList = document.querySelector('[data-field="schedules"]');
const noSchedules = document.querySelector('[data-field="no-schedules"]');
const scheduleTemplate = document.getElementById('schedule-template');
let schedules = [];

const renderSchedules = () => {
  const now = Date.now();
  const items = schedules.map((schedule) => {
    const li = scheduleTemplate.content.firstElementChild.cloneNode(true);
    li.querySelector('[data-field="name"]').textContent = String(schedule.name);
    const targets = Array.isArray(schedule.targets) ? schedule.targets.join(', ') : '';
    li.querySelector('[data-field="what"]').textContent = `${schedule.action} on ${targets} (${schedule.at})`;
    const next = timeOf(schedule.next);
    const time = li.querySelector('[data-field="next"]');
    if (schedule.enabled === false) time.textContent = 'never: disabled';
    else if (!next) time.textContent = 'none';
    else {
      time.setAttribute('datetime', next.toISOString());
      time.textContent = `${localTime(next)} (${until(next, now)})`;
    }
    return li;
  });
  scheduleList.replaceChildren(...items);
  noSchedules.hidden = items.length > 0;
};
const loadSchedules = () =>
  readJson('api/schedules').then((body) => {
    if (body && Array.isArray(body.schedules)) {
      schedules = body.schedules;
      renderSchedules();
    }
  });

// ---- start -----------------------------------------------------------------

// A first look at the state, in case events are slow to start; the
// snapshot of the event stream takes over as soon as it arrives.
readJson('api/projectors').then((body) => {
  if (body && Array.isArray(body.projectors) && liveSince === null && projectors.size === 0) {
    applySnapshot(body.projectors);
    showConnection(connectionState, connection.textContent);
  }
});
followEvents('api/events', eventHandlers, lost, noToken);
loadSchedules();
window.setInterval(loadSchedules, SCHEDULES_EVERY_MS);
// The times that run: a warm-up's length, "12 s ago", the card's state.
window.setInterval(() => {
  const now = Date.now();
  fleet.tick(now);
  if (open && projectors.has(open.name)) renderCard(open.card, projectors.get(open.name), now);
}, 1000);
