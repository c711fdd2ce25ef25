// The words the page shows for what the hub says: one table for each of the
// hub's enumerations, and the few functions that put them together. The hub
// tells each power state's phase and fault, each line error's kind; the page
// only words them.

export const PHASE_WORDS = {standby: 'Standby', warming: 'Warming', on: 'On', cooling: 'Cooling', unknown: 'Unknown'};
export const FAULT_WORDS = {
  temperature_warning: 'temperature warning',
  temperature_error: 'temperature error',
  lamp_failure: 'lamp failure',
  power_failure: 'power failure',
};
export const INPUT_WORDS = {pc1: 'PC1', pc2: 'PC2', video: 'Video', mode4: 'Mode 4'};
export const MUTE_WORDS = {
  'off': 'Off',
  'picture': 'Picture (no show)',
  'sound': 'Sound',
  'picture-and-sound': 'Picture and sound',
  'no-signal': 'No signal',
  'standby': 'Standby',
};
// Why a line is down (the hub's error kinds), in words people read; the
// system's own text stays one click away.
export const LINE_ERROR_WORDS = {
  'no-such-device': 'device not found',
  'permission-denied': 'no permission to open the device',
  'in-use': 'device in use by another program',
  'connection-refused': 'serial server refused the connection',
  'host-not-found': 'serial server name not found',
  'no-answer': 'no answer',
  'lost': 'connection to the device lost',
  'write-failed': 'could not write to the device',
  'other': 'line error',
};
// The actions a page may start, as the hub names them, with their words.
export const ACTION_WORDS = {
  'power-on': 'Power on',
  'power-off': 'Power off',
  'input-pc1': 'Input PC1',
  'input-pc2': 'Input PC2',
  'input-video': 'Input Video',
  'sound-mute-on': 'Sound mute on',
  'sound-mute-off': 'Sound mute off',
  'no-show-on': 'No show on',
  'no-show-off': 'No show off',
  'freeze-on': 'Freeze on',
  'freeze-off': 'Freeze off',
};
// What a token of each role may do, and the token a refused request needs
// (the hub's roles, each allowing what the one before it does and more).
export const ROLE_WORDS = {
  viewer: 'This token may only read',
  operator: 'This token may operate the projectors but not administer the hub',
  admin: 'This token may do everything',
};
export const NEEDED_ROLE_WORDS = {viewer: "a viewer's", operator: "an operator's", admin: "an admin's"};

export const has = (table, key) => Boolean(table) && Object.prototype.hasOwnProperty.call(table, key);
export const known = (values, name) => (has(values, name) ? values[name] : null);
export const wordFor = (table, value) => (has(table, value) ? table[value] : String(value));
export const setText = (el, text) => {
  if (el.textContent !== text) el.textContent = text;
};
export const capital = (text) => (text ? `${text[0].toUpperCase()}${text.slice(1)}` : text);

// "This token may only read; an operator's token is needed".
export const roleRefusalWords = (role, needs) =>
  `${has(ROLE_WORDS, role) ? ROLE_WORDS[role] : `This token has the role ${role}`}; ` +
  `${has(NEEDED_ROLE_WORDS, needs) ? NEEDED_ROLE_WORDS[needs] : `a ${needs}'s`} token is needed`;

export const hasFault = (power) => Boolean(power && power.fault && power.fault !== 'none');

// "Cooling", "Cooling, temperature error", "Power failure" (no phase told).
export const powerWords = (values) => {
  const power = known(values, 'power_state');
  if (!power) return 'Unknown';
  const phase = wordFor(PHASE_WORDS, power.phase);
  if (!hasFault(power)) return phase;
  const fault = wordFor(FAULT_WORDS, power.fault);
  if (power.phase === 'unknown') return capital(fault);
  return `${phase}, ${fault}`;
};

const parsedTime = (text) => {
  const at = text ? new Date(text) : null;
  return at && !Number.isNaN(at.getTime()) ? at : null;
};
export const timeOf = parsedTime;

// "0:42", "12:05", "1:02:05"
export const clock = (seconds) => {
  const s = Math.max(0, Math.floor(seconds));
  const two = (n) => String(n).padStart(2, '0');
  const h = Math.floor(s / 3600);
  const m = Math.floor((s % 3600) / 60);
  return h > 0 ? `${h}:${two(m)}:${two(s % 60)}` : `${m}:${two(s % 60)}`;
};

// What a row or a card says of the projector now: "Unreachable" whenever
// the hub cannot reach it (never the last state it read, as if current),
// else the power state, a warm-up or cool-down with the time it has lasted.
export const stateOf = (data, now) => {
  if (!data.up) return {text: 'Unreachable', kind: 'down'};
  const values = data.values || {};
  const power = known(values, 'power_state');
  const text = powerWords(values);
  if (!power) return {text, kind: 'unknown'};
  if (hasFault(power)) return {text, kind: 'fault'};
  const since = parsedTime(power.since);
  if ((power.phase === 'warming' || power.phase === 'cooling') && since) {
    return {text: `${text} ${clock((now - since.getTime()) / 1000)}`, kind: power.phase};
  }
  return {text, kind: has(PHASE_WORDS, power.phase) ? power.phase : 'unknown'};
};

// Why the hub cannot reach the projector: {words, technical}, or null when it can.
export const lineTrouble = (data) => {
  if (data.up) return null;
  const error = data.line_error;
  if (error && typeof error === 'object') {
    const words = `${wordFor(LINE_ERROR_WORDS, error.kind)}: ${data.line || ''}`.replace(/: $/, '');
    return {words, technical: `${error.kind}: ${error.text}`};
  }
  if (data.line_open) {
    return {words: 'no answer from the projector', technical: `the line ${data.line} is open; the last poll was not answered`};
  }
  return {words: 'line closed', technical: `the line ${data.line} is not open`};
};

// "now", "12 s ago", "5 min ago", "3 h ago", "never"
export const ago = (at, now) => {
  if (!at) return 'never';
  const s = Math.max(0, Math.round((now - at.getTime()) / 1000));
  if (s < 2) return 'now';
  if (s < 120) return `${s} s ago`;
  if (s < 7200) return `${Math.floor(s / 60)} min ago`;
  if (s < 172800) return `${Math.floor(s / 3600)} h ago`;
  return `${Math.floor(s / 86400)} days ago`;
};

// "in 40 s", "in 12 min", "in 3 h", "in 2 days"
export const until = (at, now) => {
  const s = Math.max(0, Math.round((at.getTime() - now) / 1000));
  if (s < 120) return `in ${s} s`;
  if (s < 7200) return `in ${Math.floor(s / 60)} min`;
  if (s < 172800) return `in ${Math.floor(s / 3600)} h`;
  return `in ${Math.floor(s / 86400)} days`;
};

const sameDay = (a, b) =>
  a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() && a.getDate() === b.getDate();
export const localTime = (date) => {
  const time = date.toLocaleTimeString(undefined, {hour: '2-digit', minute: '2-digit', second: '2-digit'});
  return sameDay(date, new Date()) ? time : `${date.toLocaleDateString()} ${time}`;
};

// When the projector last answered the hub's reads: the hub's own time for
// it, or the newest of its values'.
export const lastContact = (data) => {
  let latest = parsedTime(data.read_at);
  for (const value of Object.values(data.values || {})) {
    const at = value ? parsedTime(value.read_at) : null;
    if (at && (!latest || at > latest)) latest = at;
  }
  return latest;
};

// {text: "1234 h, 93%", warn: true} of the lamp's rated life.
export const lampOf = (data) => {
  const hours = known(data.values, 'lamp_hours');
  if (!hours) return {text: '—', warn: false};
  const rated = Number(data.lamp_rated_hours);
  if (!rated || rated <= 0) return {text: `${hours.value} h`, warn: false};
  const percent = Math.round((Number(hours.value) / rated) * 100);
  return {text: `${hours.value} h, ${percent}%`, warn: percent > 90};
};

export const hottest = (data) => {
  const temperatures = known(data.values, 'temperatures');
  const list = temperatures && Array.isArray(temperatures.value)
    ? temperatures.value.filter((t) => typeof t === 'number')
    : [];
  return list.length ? `${Math.max(...list).toFixed(1)} °C` : '—';
};
