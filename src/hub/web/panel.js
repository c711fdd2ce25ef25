// orva-hub's web panel: one card per projector, kept current by the hub's
// Server-Sent Events, with buttons that POST the projector's actions.
//
// The hub's API is addressed relative to the page, so that the panel also
// works behind a reverse proxy that serves the hub under a path of its own.
//
// Everything a projector or the configuration says (names, models, replies,
// errors) reaches the page through textContent or setAttribute only. The
// page's markup is fixed in index.html; nothing here builds HTML from text.
'use strict';

(() => {
  const TOKEN_KEY = 'orva-hub.token';
  const ACTION_TIMEOUT_MS = 30000;
  const RECONNECT_MS = 5000;

  // The hub tells each power state's phase and fault; the page only words them.
  const PHASE_WORDS = {standby: 'Standby', warming: 'Warming', on: 'On', cooling: 'Cooling', unknown: 'Unknown'};
  const FAULT_WORDS = {
    temperature_warning: 'temperature warning',
    temperature_error: 'temperature error',
    lamp_failure: 'lamp failure',
    power_failure: 'power failure',
  };
  const INPUT_WORDS = {pc1: 'PC1', pc2: 'PC2', video: 'Video', mode4: 'Mode 4'};
  const MUTE_WORDS = {
    'off': 'Off',
    'picture': 'Picture (no show)',
    'sound': 'Sound',
    'picture-and-sound': 'Picture and sound',
    'no-signal': 'No signal',
    'standby': 'Standby',
  };

  const projectors = new Map(); // name -> {data, card}
  const cardsRoot = document.querySelector('main.cards');
  const template = document.getElementById('card-template');
  const connection = document.querySelector('[data-field="connection"]');
  const waitingNote = document.querySelector('[data-field="waiting"]');
  let liveSince = null; // a snapshot arrived on the current stream
  let staleSince = null;
  let connectionState = 'connecting';
  let cardsMade = 0;

  // ---- small helpers -------------------------------------------------------

  const field = (card, name) => card.querySelector(`[data-field="${name}"]`);
  const setText = (el, text) => {
    if (el.textContent !== text) el.textContent = text;
  };
  const known = (values, name) => (values && Object.prototype.hasOwnProperty.call(values, name) ? values[name] : null);
  const wordFor = (table, value) =>
    (Object.prototype.hasOwnProperty.call(table, value) ? table[value] : String(value));

  const sameDay = (a, b) =>
    a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() && a.getDate() === b.getDate();
  const localTime = (date) => {
    const time = date.toLocaleTimeString(undefined, {hour: '2-digit', minute: '2-digit', second: '2-digit'});
    return sameDay(date, new Date()) ? time : `${date.toLocaleDateString()} ${time}`;
  };

  // ---- the access token ----------------------------------------------------

  let memoryToken = null; // when sessionStorage is not available
  const storedToken = () => {
    try {
      return sessionStorage.getItem(TOKEN_KEY);
    } catch {
      return memoryToken;
    }
  };
  const keepToken = (token) => {
    memoryToken = token;
    try {
      if (token === null) sessionStorage.removeItem(TOKEN_KEY);
      else sessionStorage.setItem(TOKEN_KEY, token);
    } catch {
      // Private modes may refuse storage; the token then lives as long as the page.
    }
  };

  const dialog = document.querySelector('dialog.token-dialog');
  const tokenForm = dialog.querySelector('form');
  const tokenInput = dialog.querySelector('input[name="token"]');
  const tokenReason = dialog.querySelector('[data-field="token-reason"]');
  const tokenProblem = dialog.querySelector('[data-field="token-problem"]');
  const defaultReason = tokenReason.textContent;
  let tokenRequest = null; // one question for every press that waits on it

  const showTokenProblem = (text) => {
    tokenProblem.textContent = text;
    tokenProblem.hidden = false;
    tokenInput.setAttribute('aria-invalid', 'true');
    tokenInput.focus();
  };

  // Resolves with the token, or null when the operator cancels.
  const askForToken = (reason) => {
    if (tokenRequest) return tokenRequest.promise;
    let resolve;
    const promise = new Promise((r) => (resolve = r));
    tokenRequest = {promise, resolve};
    tokenReason.textContent = reason || defaultReason;
    tokenProblem.hidden = true;
    tokenInput.removeAttribute('aria-invalid');
    tokenInput.value = '';
    dialog.setAttribute('data-asked', String(Number(dialog.getAttribute('data-asked') || 0) + 1));
    dialog.showModal();
    tokenInput.focus();
    return promise;
  };
  const finishTokenRequest = (token) => {
    const request = tokenRequest;
    tokenRequest = null;
    if (dialog.open) dialog.close();
    if (request) request.resolve(token);
  };
  tokenForm.addEventListener('submit', (event) => {
    event.preventDefault();
    const token = tokenInput.value.trim();
    if (token === '') return showTokenProblem('Enter the access token.');
    // A header carries visible ASCII only; anything else cannot be the hub's token.
    if (!/^[\x21-\x7e]+$/.test(token)) return showTokenProblem('The token is letters, digits and signs, without spaces.');
    keepToken(token);
    finishTokenRequest(token);
  });
  dialog.querySelector('[data-role="cancel"]').addEventListener('click', () => finishTokenRequest(null));
  dialog.addEventListener('cancel', (event) => {
    event.preventDefault();
    finishTokenRequest(null);
  });

  // ---- one projector's card ------------------------------------------------

  const announce = (entry, text) => {
    const el = field(entry.card, 'announce');
    // Emptied first so that the same words said twice are still announced.
    el.textContent = '';
    window.setTimeout(() => (el.textContent = text), 50);
  };

  const hasFault = (power) => Boolean(power && power.fault && power.fault !== 'none');
  // "Cooling", "Cooling, temperature error", "Power failure" (no phase told).
  const powerWords = (values) => {
    const power = known(values, 'power_state');
    if (!power) return 'Unknown';
    const phase = wordFor(PHASE_WORDS, power.phase);
    if (!hasFault(power)) return phase;
    const fault = wordFor(FAULT_WORDS, power.fault);
    if (power.phase === 'unknown') return `${fault[0].toUpperCase()}${fault.slice(1)}`;
    return `${phase}, ${fault}`;
  };
  const lineWords = (data) => {
    if (data.up) return 'Up';
    return data.line_open ? 'Down: no answer' : 'Down: line closed';
  };

  const createCard = (name) => {
    const card = template.content.firstElementChild.cloneNode(true);
    card.setAttribute('data-projector', name);
    const heading = field(card, 'name');
    cardsMade += 1;
    const headingId = `projector-${cardsMade}`;
    heading.id = headingId;
    heading.textContent = name;
    card.setAttribute('aria-labelledby', headingId);
    for (const group of card.querySelectorAll('[data-group]')) {
      const words = group.getAttribute('data-group');
      group.setAttribute('aria-label', `${words[0].toUpperCase()}${words.slice(1)}, ${name}`);
    }
    for (const button of card.querySelectorAll('button[data-action]')) {
      button.setAttribute('aria-label', `${button.getAttribute('data-label')}, ${name}`);
      button.addEventListener('click', () => press(name, button));
    }
    return card;
  };

  const markCurrent = (card, action, current) => {
    const button = card.querySelector(`button[data-action="${action}"]`);
    button.classList.toggle('is-current', current);
  };

  const render = (entry) => {
    const {card, data} = entry;
    const values = data.values || {};

    const power = known(values, 'power_state');
    const powerEl = field(card, 'power');
    setText(powerEl, powerWords(values));
    const badge = powerEl.parentElement;
    badge.className = 'power';
    if (hasFault(power)) {
      badge.classList.add('is-fault');
    } else if (power && Object.prototype.hasOwnProperty.call(PHASE_WORDS, power.phase)) {
      badge.classList.add(`is-${power.phase}`);
    }
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
    if (lamp) lampParts.push(lamp.lit ? 'lit' : 'off');
    setText(field(card, 'lamp'), lampParts.length ? lampParts.join(', ') : '—');

    const temperatures = known(values, 'temperatures');
    const degrees = temperatures && Array.isArray(temperatures.value)
      ? temperatures.value.map((t) => (typeof t === 'number' ? t.toFixed(1) : String(t)))
      : null;
    setText(field(card, 'temperatures'), degrees ? `${degrees.join(', ')} °C` : '—');

    setText(field(card, 'line'), data.line ? `${lineWords(data)} (${data.line})` : lineWords(data));
    card.classList.toggle('is-down', !data.up);

    let latest = null;
    for (const value of Object.values(values)) {
      const at = value && value.read_at ? new Date(value.read_at) : null;
      if (at && !Number.isNaN(at.getTime()) && (!latest || at > latest)) latest = at;
    }
    const time = field(card, 'read').querySelector('time');
    if (latest) {
      time.setAttribute('datetime', latest.toISOString());
      setText(time, localTime(latest));
    } else {
      time.removeAttribute('datetime');
      setText(time, 'never');
    }

    const phase = power ? power.phase : 'unknown';
    markCurrent(card, 'power-on', phase === 'on' || phase === 'warming');
    markCurrent(card, 'power-off', phase === 'standby' || phase === 'cooling');
    for (const name of ['pc1', 'pc2', 'video']) markCurrent(card, `input-${name}`, Boolean(input && input.value === name));
    markCurrent(card, 'sound-mute-on', Boolean(mute && mute.sound));
    markCurrent(card, 'sound-mute-off', Boolean(mute && !mute.sound));
    markCurrent(card, 'no-show-on', Boolean(mute && mute.picture));
    markCurrent(card, 'no-show-off', Boolean(mute && !mute.picture));
  };

  // The snapshot lists every projector in the configuration's order; cards
  // follow it, keeping the ones that exist (and their results) in place.
  const applySnapshot = (list) => {
    const seen = new Set();
    let previous = null;
    for (const data of list) {
      if (!data || typeof data.name !== 'string') continue;
      seen.add(data.name);
      let entry = projectors.get(data.name);
      if (entry) {
        const before = {power: powerWords(entry.data.values), up: entry.data.up};
        entry.data = data;
        if (liveSince !== null || staleSince !== null) announceChanges(entry, before);
      } else {
        entry = {data, card: createCard(data.name)};
        projectors.set(data.name, entry);
      }
      render(entry);
      // Moved only when out of place: moving a card would take the keyboard focus from it.
      if (previous) {
        if (previous.card.nextElementSibling !== entry.card) previous.card.after(entry.card);
      } else if (cardsRoot.firstElementChild !== entry.card) {
        cardsRoot.prepend(entry.card);
      }
      previous = entry;
    }
    for (const [name, entry] of projectors) {
      if (!seen.has(name)) {
        entry.card.remove();
        projectors.delete(name);
      }
    }
    setText(waitingNote, 'The hub has no projector configured.');
    waitingNote.hidden = projectors.size > 0;
  };

  const announceChanges = (entry, before) => {
    const said = [];
    const power = powerWords(entry.data.values);
    if (power !== before.power) said.push(power);
    if (Boolean(entry.data.up) !== Boolean(before.up)) said.push(`line ${entry.data.up ? 'up' : 'down'}`);
    if (said.length) announce(entry, `${entry.data.name}: ${said.join(', ')}`);
  };

  const applyValue = (event) => {
    const entry = projectors.get(event.projector);
    if (!entry || typeof event.name !== 'string') return;
    const before = {power: powerWords(entry.data.values), up: entry.data.up};
    const value = {...event};
    delete value.projector;
    delete value.name;
    entry.data.values = {...(entry.data.values || {}), [event.name]: value};
    render(entry);
    announceChanges(entry, before);
  };

  const applyLine = (event) => {
    const entry = projectors.get(event.projector);
    if (!entry) return;
    const before = {power: powerWords(entry.data.values), up: entry.data.up};
    entry.data.up = Boolean(event.up);
    entry.data.line_open = Boolean(event.line_open);
    render(entry);
    announceChanges(entry, before);
  };

  // ---- live events ---------------------------------------------------------

  const showConnection = (state, text) => {
    connectionState = state;
    connection.className = `connection is-${state}`;
    setText(connection, text);
    const stale = state === 'lost';
    document.body.classList.toggle('is-stale', stale && projectors.size > 0);
    for (const {card} of projectors.values()) {
      card.classList.toggle('is-stale', stale);
      field(card, 'stale').hidden = !stale;
    }
  };

  const parse = (message) => {
    try {
      return JSON.parse(message.data);
    } catch {
      return null;
    }
  };

  let source = null;
  const connect = () => {
    source = new EventSource('api/events');
    source.addEventListener('snapshot', (message) => {
      const body = parse(message);
      if (!body || !Array.isArray(body.projectors)) return;
      applySnapshot(body.projectors);
      liveSince = new Date();
      staleSince = null;
      showConnection('live', 'Live');
    });
    source.addEventListener('value', (message) => {
      const body = parse(message);
      if (body) applyValue(body);
    });
    source.addEventListener('line', (message) => {
      const body = parse(message);
      if (body) applyLine(body);
    });
    source.addEventListener('error', () => {
      if (liveSince !== null || staleSince === null) staleSince = new Date();
      liveSince = null;
      const since = `since ${localTime(staleSince)}`;
      if (projectors.size > 0) showConnection('lost', `Connection lost ${since}: showing the last values`);
      else showConnection('lost', `No connection to the hub ${since}`);
      // EventSource retries by itself after a dropped stream, but gives up
      // for good on an answer that is not an event stream (a proxy's 502).
      if (source.readyState === EventSource.CLOSED) {
        source = null;
        window.setTimeout(connect, RECONNECT_MS);
      }
    });
  };

  // ---- actions -------------------------------------------------------------

  const post = async (name, action, token) => {
    const url = `api/projectors/${encodeURIComponent(name)}/actions/${encodeURIComponent(action)}`;
    const response = await fetch(url, {
      method: 'POST',
      headers: token ? {Authorization: `Bearer ${token}`} : {},
      cache: 'no-store',
      // Older browsers lack AbortSignal.timeout; they wait for the hub's own 504.
      signal: typeof AbortSignal.timeout === 'function' ? AbortSignal.timeout(ACTION_TIMEOUT_MS) : undefined,
    });
    let body = null;
    try {
      body = await response.json();
    } catch {
      body = null;
    }
    return {status: response.status, body};
  };

  const showResult = (entry, state, text) => {
    const el = field(entry.card, 'result');
    el.setAttribute('data-state', state);
    el.textContent = text;
  };

  const press = async (name, button) => {
    const entry = projectors.get(name);
    if (!entry || button.disabled) return;
    const action = button.getAttribute('data-action');
    const label = button.getAttribute('data-label');
    const presses = Number(field(entry.card, 'result').getAttribute('data-press') || 0) + 1;
    field(entry.card, 'result').setAttribute('data-press', String(presses));

    // Without a kept token the press goes out bare: a hub that wants one
    // answers 401 before doing anything, and only then is the operator asked.
    let token = storedToken();
    for (;;) {
      const hadFocus = document.activeElement === button;
      button.disabled = true;
      button.setAttribute('aria-busy', 'true');
      showResult(entry, 'sending', 'Sending…');
      let answer;
      try {
        answer = await post(name, action, token);
      } catch (error) {
        const why = error && error.name === 'TimeoutError'
          ? `no answer from the hub in ${ACTION_TIMEOUT_MS / 1000} s`
          : 'the hub cannot be reached';
        answer = {status: 0, body: null, failure: why};
      } finally {
        button.disabled = false;
        button.removeAttribute('aria-busy');
        if (hadFocus && (document.activeElement === document.body || document.activeElement === null)) {
          button.focus();
        }
      }
      if (answer.status === 401) {
        let reason = null;
        if (token) {
          // The hub no longer takes this token (or never did): forget it and ask again.
          keepToken(null);
          reason = 'The hub refused that token. Enter the access token again.';
          showResult(entry, 'token', `${label}: the hub refused the token (HTTP 401)`);
        } else {
          showResult(entry, 'token', `${label}: waiting for the access token…`);
        }
        token = await askForToken(reason);
        if (!token) return showResult(entry, 'failed', `${label}: not sent, no access token given`);
        continue;
      }
      const body = answer.body && typeof answer.body === 'object' ? answer.body : {};
      if (answer.failure) return showResult(entry, 'failed', `${label}: ${answer.failure}`);
      if (answer.status === 200 && body.ok === true) return showResult(entry, 'done', `${label}: done`);
      const why = body.error != null ? String(body.error) : (body.text != null ? String(body.text) : 'failed');
      return showResult(entry, 'failed', `${label}: ${why} (HTTP ${answer.status})`);
    }
  };

  // ---- start ---------------------------------------------------------------

  // A first look at the state, in case events are slow to start; the
  // snapshot of the event stream takes over as soon as it arrives.
  fetch('api/projectors', {cache: 'no-store'})
    .then((response) => (response.ok ? response.json() : null))
    .then((body) => {
      if (body && Array.isArray(body.projectors) && liveSince === null && projectors.size === 0) {
        applySnapshot(body.projectors);
        showConnection(connectionState, connection.textContent);
      }
    })
    .catch(() => {});
  connect();
})();
