// The fleet view: one row per projector (a table on a desktop, compact rows
// on a phone), filtered by group and by a search of names and labels, rows
// selected one by one or all those shown, and one action on the selection
// after one confirmation, with each row's progress and result.
//
// A selection that is exactly a group's members (the whole group shown, no
// search, every row ticked) goes to the hub as one group action, whose
// per-projector results arrive as events; any other selection goes as one
// action per projector, four at a time.

import {
  ACTION_WORDS, INPUT_WORDS, LINE_ERROR_WORDS, ago, has, hottest, known, lampOf, lastContact, setText, stateOf, wordFor,
} from './words.js';
import {postAction} from './token.js';

const PARALLEL_POSTS = 4; // the browser keeps six connections to the hub; one is the event stream

const root = document.querySelector('main.fleet');
const field = (el, name) => el.querySelector(`[data-field="${name}"]`);
const table = root.querySelector('table.fleet-table');
const rowsRoot = field(root, 'rows');
const rowTemplate = document.getElementById('row-template');
const groupFilter = field(root, 'group-filter');
const search = field(root, 'search');
const shownNote = field(root, 'shown');
const selectShown = field(root, 'select-shown');
const selectedNote = field(root, 'selected');
const bulkAction = field(root, 'bulk-action');
const bulkRun = root.querySelector('[data-role="bulk-run"]');
const progress = field(root, 'progress');
const confirmDialog = document.querySelector('dialog.confirm-dialog');

const plural = (n) => `${n} projector${n === 1 ? '' : 's'}`;

export class Fleet {
  // onOpen(name): the row's projector was opened.
  constructor(onOpen) {
    this.onOpen = onOpen;
    this.rows = new Map(); // name -> {tr, data}
    this.selected = new Set();
    this.run = null; // the bulk action under way
    groupFilter.addEventListener('change', () => this.applyFilter());
    search.addEventListener('input', () => this.applyFilter());
    selectShown.addEventListener('change', () => {
      for (const [name, row] of this.rows) {
        if (!row.tr.hidden) this.select(name, selectShown.checked);
      }
      this.showSelection();
    });
    bulkRun.addEventListener('click', () => this.confirmAndRun(bulkAction.value));
  }

  // Every projector, in the configuration's order; rows follow it, keeping
  // the ones that exist (and their results) in place.
  setProjectors(list, now) {
    const seen = new Set();
    let previous = null;
    for (const data of list) {
      seen.add(data.name);
      let row = this.rows.get(data.name);
      if (!row) {
        row = {tr: this.createRow(data.name), data};
        this.rows.set(data.name, row);
      }
      row.data = data;
      this.renderRow(row, now);
      // Moved only when out of place: moving a row would take the keyboard focus from it.
      if (previous ? previous.nextElementSibling !== row.tr : rowsRoot.firstElementChild !== row.tr) {
        if (previous) previous.after(row.tr);
        else rowsRoot.prepend(row.tr);
      }
      previous = row.tr;
    }
    for (const [name, row] of this.rows) {
      if (!seen.has(name)) {
        row.tr.remove();
        this.rows.delete(name);
        this.selected.delete(name);
      }
    }
    table.hidden = this.rows.size === 0;
    this.fillGroups();
    this.applyFilter();
  }

  update(name, now) {
    const row = this.rows.get(name);
    if (row) this.renderRow(row, now);
  }

  // Once a second: the times that run (a warm-up's, the last contact's).
  tick(now) {
    for (const row of this.rows.values()) this.renderTimes(row, now);
  }

  createRow(name) {
    const tr = rowTemplate.content.firstElementChild.cloneNode(true);
    tr.setAttribute('data-row', name);
    const box = field(tr, 'select');
    box.addEventListener('change', () => {
      this.select(name, box.checked);
      this.showSelection();
    });
    field(tr, 'label').addEventListener('click', () => this.onOpen(name));
    return tr;
  }

  renderRow(row, now) {
    const {tr, data} = row;
    const label = typeof data.label === 'string' && data.label !== '' ? data.label : data.name;
    setText(field(tr, 'label'), label);
    setText(field(tr, 'name'), label === data.name ? '' : data.name);
    field(tr, 'label').setAttribute('aria-label', `Open ${label}${label === data.name ? '' : ` (${data.name})`}`);
    field(tr, 'select').setAttribute('aria-label', `Select ${label}`);
    // What the projector was last heard to be holds only while the hub reaches it.
    const input = data.up ? known(data.values, 'input') : null;
    setText(field(tr, 'input'), input ? wordFor(INPUT_WORDS, input.value) : '—');
    const lamp = lampOf(data);
    setText(field(tr, 'lamp'), lamp.text);
    field(tr, 'lamp').classList.toggle('is-warning', lamp.warn);
    setText(field(tr, 'temperature'), data.up ? hottest(data) : '—');
    this.renderTimes(row, now);
  }

  renderTimes(row, now) {
    const {tr, data} = row;
    const state = stateOf(data, now);
    const stateEl = field(tr, 'state');
    setText(stateEl, state.text);
    stateEl.className = `state is-${state.kind}`;
    tr.classList.toggle('is-down', !data.up);
    const contact = lastContact(data);
    const time = field(tr, 'contact');
    setText(time, ago(contact, now));
    if (contact) time.setAttribute('datetime', contact.toISOString());
    else time.removeAttribute('datetime');
  }

  fillGroups() {
    const names = new Set();
    for (const row of this.rows.values()) {
      for (const group of Array.isArray(row.data.groups) ? row.data.groups : []) names.add(String(group));
    }
    const wanted = [...names].sort();
    const have = [...groupFilter.options].slice(1).map((option) => option.value);
    if (wanted.join('\n') === have.join('\n')) return;
    const chosen = groupFilter.value;
    while (groupFilter.options.length > 1) groupFilter.remove(1);
    for (const name of wanted) groupFilter.add(new Option(`Group ${name}`, name));
    groupFilter.value = wanted.includes(chosen) ? chosen : '';
  }

  matches(data) {
    const group = groupFilter.value;
    if (group && !(Array.isArray(data.groups) && data.groups.includes(group))) return false;
    const words = search.value.trim().toLocaleLowerCase();
    if (!words) return true;
    const label = typeof data.label === 'string' ? data.label.toLocaleLowerCase() : '';
    return data.name.toLocaleLowerCase().includes(words) || label.includes(words);
  }

  applyFilter() {
    let shown = 0;
    for (const [name, row] of this.rows) {
      row.tr.hidden = !this.matches(row.data);
      if (row.tr.hidden) this.select(name, false);
      else shown += 1;
    }
    setText(shownNote, shown === this.rows.size ? plural(shown) : `${shown} of ${plural(this.rows.size)} shown`);
    this.showSelection();
  }

  select(name, on) {
    if (on) this.selected.add(name);
    else this.selected.delete(name);
    const row = this.rows.get(name);
    if (row) {
      field(row.tr, 'select').checked = on;
      row.tr.classList.toggle('is-selected', on);
    }
  }

  showSelection() {
    const shown = [...this.rows.values()].filter((row) => !row.tr.hidden).length;
    const n = this.selected.size;
    selectShown.checked = n > 0 && n === shown;
    selectShown.indeterminate = n > 0 && n < shown;
    setText(selectedNote, n === 0 ? 'None selected' : `${plural(n)} selected`);
    bulkRun.disabled = n === 0 || this.run !== null;
  }

  // The group whose members are exactly the selection, as it is shown; null for any other.
  wholeGroup(names) {
    if (search.value.trim() !== '') return null;
    const group = groupFilter.value || 'all';
    const members = [...this.rows.values()].filter((row) => !row.tr.hidden);
    return members.length === names.length ? group : null;
  }

  confirm(question, which, yes) {
    setText(field(confirmDialog, 'confirm-question'), question);
    setText(field(confirmDialog, 'confirm-which'), which);
    setText(field(confirmDialog, 'confirm-yes'), yes);
    return new Promise((resolve) => {
      const done = (answer) => {
        confirmDialog.removeEventListener('close', onClose);
        for (const [button, handler] of handlers) button.removeEventListener('click', handler);
        if (confirmDialog.open) confirmDialog.close();
        resolve(answer);
      };
      const onClose = () => done(false);
      const handlers = [
        [confirmDialog.querySelector('[data-role="yes"]'), () => done(true)],
        [confirmDialog.querySelector('[data-role="cancel"]'), () => done(false)],
      ];
      for (const [button, handler] of handlers) button.addEventListener('click', handler);
      confirmDialog.addEventListener('close', onClose);
      confirmDialog.showModal();
      confirmDialog.querySelector('[data-role="cancel"]').focus();
    });
  }

  async confirmAndRun(action) {
    const names = [...this.rows.keys()].filter((name) => this.selected.has(name));
    if (names.length === 0 || this.run !== null || !has(ACTION_WORDS, action)) return;
    const words = ACTION_WORDS[action];
    const labels = names.map((name) => this.rows.get(name).data.label || name);
    const which = labels.length <= 5
      ? labels.join(', ')
      : `${labels.slice(0, 4).join(', ')} and ${labels.length - 4} more`;
    if (!(await this.confirm(`${words} ${plural(names.length)}?`, which, `${words} ${plural(names.length)}`))) return;
    const group = this.wholeGroup(names);
    this.run = {action, words, group, names, results: new Map()};
    for (const name of names) this.showRowResult(name, 'sending', 'Sending…');
    this.showProgress();
    try {
      if (group) await this.runGroup(group, action);
      else await this.runEach(names, action);
    } finally {
      this.run = null;
      this.showSelection();
    }
  }

  async runEach(names, action) {
    const queue = [...names];
    const worker = async () => {
      while (queue.length) {
        const name = queue.shift();
        const url = `api/projectors/${encodeURIComponent(name)}/actions/${encodeURIComponent(action)}`;
        const answer = await postAction(url, (words) => this.showRowResult(name, 'token', words));
        this.finishRow(name, answer.status === 200 && answer.body.ok === true ? {ok: true} : {
          ok: false,
          error: answer.failure || (answer.cancelled ? 'not sent, no access token given' : answer.body.error),
          error_kind: answer.body ? answer.body.error_kind : null,
        });
      }
    };
    await Promise.all(Array.from({length: Math.min(PARALLEL_POSTS, names.length)}, worker));
  }

  async runGroup(group, action) {
    const url = `api/groups/${encodeURIComponent(group)}/actions/${encodeURIComponent(action)}`;
    const answer = await postAction(url, (words) => setText(progress, `${this.run.words}: ${words}`));
    const results = answer.body && Array.isArray(answer.body.results) ? answer.body.results : [];
    for (const result of results) this.finishRow(result.projector, result);
    // The hub did not act (no token, no answer): every row says why.
    const why = answer.failure
      || (answer.cancelled ? 'not sent, no access token given' : answer.body.error || 'failed');
    for (const name of this.run.names) {
      if (!this.run.results.has(name)) this.finishRow(name, {ok: false, error: why});
    }
  }

  // A group action's result for one member, as its event arrives.
  groupResult(event) {
    const run = this.run;
    if (run && run.group === event.group && run.action === event.action) this.finishRow(event.projector, event);
  }

  finishRow(name, result) {
    const run = this.run;
    if (!run || !run.names.includes(name) || run.results.has(name)) return;
    run.results.set(name, Boolean(result.ok));
    if (result.ok) {
      this.showRowResult(name, 'done', 'Done');
    } else {
      const row = this.rows.get(name);
      const kind = result.error_kind;
      // A line's trouble in words, naming the line; anything else as the hub says it.
      const where = kind === 'no-answer' || !row ? '' : `: ${row.data.line}`;
      const text = kind && has(LINE_ERROR_WORDS, kind) ? `${LINE_ERROR_WORDS[kind]}${where}` : String(result.error || 'failed');
      this.showRowResult(name, 'failed', `Failed: ${text}`, result.error ? String(result.error) : '');
    }
    this.showProgress();
  }

  showRowResult(name, state, text, technical) {
    const row = this.rows.get(name);
    if (!row) return;
    const el = field(row.tr, 'result');
    el.setAttribute('data-state', state);
    setText(el, text);
    if (technical) el.setAttribute('title', technical);
    else el.removeAttribute('title');
  }

  showProgress() {
    const run = this.run;
    const done = [...run.results.values()].filter(Boolean).length;
    const failed = run.results.size - done;
    const of = run.names.length;
    const finished = run.results.size === of;
    const tail = failed ? `, ${failed} failed` : '';
    setText(progress, finished
      ? `${run.words}: ${done} of ${of} done${tail}.`
      : `${run.words}: ${run.results.size} of ${of} answered${tail}…`);
    progress.setAttribute('data-state', finished ? (failed ? 'failed' : 'done') : 'sending');
  }
}
