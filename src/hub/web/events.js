// The hub's event stream, read with fetch() so that it can carry the access
// token (EventSource cannot send an Authorization header), on a hub that
// wants a token for reads and on one that does not alike.
//
// The Server-Sent Events are parsed here: "event:" names an event, "data:"
// lines make its data, a blank line ends it; comments (the hub's
// keep-alives) and other fields are ignored. A chunk may end anywhere: inside
// a line, between the CR and LF of a line end, inside a UTF-8 character.
//
// A stream that ends or breaks is opened again after a back-off: RETRY_FIRST_MS,
// doubled after each try that brought no event, up to RETRY_MAX_MS. A stream the
// hub ends because a reload took its token's admission away is opened again
// like any other; the hub's 401 then has the operator asked for the token.

import {nextToken, openEventStream} from './token.js';
import {has} from './words.js';

const RETRY_FIRST_MS = 1000;
const RETRY_MAX_MS = 5000;

// Feeds text in; calls dispatch(name, data) for each whole event.
class EventParser {
  constructor(dispatch) {
    this.dispatch = dispatch;
    this.rest = ''; // the start of a line not ended yet
    this.name = '';
    this.data = [];
  }

  push(text) {
    let all = this.rest + text;
    // A CR last may be the first half of a CRLF: it waits for the next chunk.
    const heldCr = all.endsWith('\r');
    if (heldCr) all = all.slice(0, -1);
    const lines = all.split(/\r\n|\r|\n/);
    this.rest = lines.pop() + (heldCr ? '\r' : '');
    for (const line of lines) this.line(line);
  }

  line(line) {
    if (line === '') {
      if (this.data.length > 0) this.dispatch(this.name || 'message', this.data.join('\n'));
      this.name = '';
      this.data = [];
      return;
    }
    if (line.startsWith(':')) return;
    const colon = line.indexOf(':');
    const field = colon < 0 ? line : line.slice(0, colon);
    const value = colon < 0 ? '' : line.slice(colon + 1).replace(/^ /, '');
    if (field === 'event') this.name = value;
    else if (field === 'data') this.data.push(value);
  }
}

// Reads one stream to its end. Resolves true when it was opened, false when
// no token was given; rejects when the hub could not be reached or did not
// answer with a stream.
const readOnce = async (url, dispatch) => {
  const response = await openEventStream(url);
  if (response === null) return false;
  if (!response.ok || !response.body) throw new Error(`HTTP ${response.status}`);
  const reader = response.body.getReader();
  const decoder = new TextDecoder();
  const parser = new EventParser(dispatch);
  for (;;) {
    const {done, value} = await reader.read();
    if (done) return true;
    parser.push(decoder.decode(value, {stream: true}));
  }
};

// Follows the stream at url for the page's life: handlers[name](data) for
// each event, onLost() when it ended or could not be opened, onNoToken()
// when the operator gave no token (it is opened again once one is given).
export const followEvents = (url, handlers, onLost, onNoToken) => {
  let retryMs = RETRY_FIRST_MS;
  const run = async () => {
    let heard = false;
    const dispatch = (name, data) => {
      heard = true;
      if (has(handlers, name)) handlers[name](data);
    };
    let opened = true;
    try {
      opened = await readOnce(url, dispatch);
    } catch {
      // Unreachable, or an answer that is not a stream (a proxy's 502): tried again below.
    }
    if (!opened) {
      onNoToken();
      await nextToken();
      retryMs = RETRY_FIRST_MS;
      run();
      return;
    }
    onLost();
    if (heard) retryMs = RETRY_FIRST_MS;
    window.setTimeout(run, retryMs);
    retryMs = Math.min(retryMs * 2, RETRY_MAX_MS);
  };
  run();
};
