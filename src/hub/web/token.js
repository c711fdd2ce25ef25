// The access token: asked for once when the hub wants it, kept for the tab's
// life, and every request of the page that carries it: the reads
// (readJson, and the event stream through withToken) and the POST of an
// action (postAction).
//
// Without a kept token a request goes out bare: a hub that wants one answers
// 401 before doing anything, and only then is the operator asked, once for
// every request that waits. A press refused for the token's role (403) says
// which role is needed and asks for a token that has it.

import {roleRefusalWords} from './words.js';

const TOKEN_KEY = 'orva-hub.token';
export const ACTION_TIMEOUT_MS = 30000;

let memoryToken = null; // when sessionStorage is not available
let tokenWaiters = []; // nextToken's, until a token is given
// The operator cancelled the question: reads stop asking until a token is given.
let readsDeclined = false;
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
  if (token !== null) {
    const waiting = tokenWaiters;
    tokenWaiters = [];
    for (const resolve of waiting) resolve(token);
  }
};
// Resolves with the next token the operator gives, for whatever request.
export const nextToken = () => new Promise((resolve) => tokenWaiters.push(resolve));

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
  readsDeclined = token === null;
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

const READ_REASON = 'The hub needs an access token before it shows the projectors.';

// Sends a request with the kept token; on a 401 asks for the token and sends
// it again. makeInit() gives fetch's options for each try. Resolves with the
// Response, or null when no token was given; rejects as fetch does.
// waiting(words) tells the caller what it waits for meanwhile; a read (reason
// given) does not ask again once the operator cancelled.
export const withToken = async (url, makeInit, waiting = () => {}, reason = null) => {
  let token = storedToken();
  for (;;) {
    const init = makeInit();
    const headers = {...(init.headers || {}), ...(token ? {Authorization: `Bearer ${token}`} : {})};
    const response = await fetch(url, {cache: 'no-store', ...init, headers});
    if (response.status !== 401) return response;
    const kept = storedToken();
    if (kept && kept !== token) {
      // Another request was answered with a token meanwhile: that one counts.
      token = kept;
      continue;
    }
    if (reason && readsDeclined && !token) return null;
    let asking = reason;
    if (token) {
      // The hub no longer takes this token (or never did): forget it and ask again.
      keepToken(null);
      asking = 'The hub refused that token. Enter the access token again.';
      waiting('the hub refused the token (HTTP 401)');
    } else {
      waiting('waiting for the access token…');
    }
    token = await askForToken(asking);
    if (!token) return null;
  }
};

// The JSON at url, or null when the hub did not give it (no token given, an
// error status, no answer).
export const readJson = async (url) => {
  try {
    const response = await withToken(url, () => ({}), () => {}, READ_REASON);
    return response && response.ok ? await response.json() : null;
  } catch {
    return null;
  }
};

// The event stream at url, as a Response, with the token; null when none was given.
export const openEventStream = (url) =>
  withToken(url, () => ({headers: {Accept: 'text/event-stream'}}), () => {}, READ_REASON);

const bodyOf = async (response) => {
  try {
    const body = await response.json();
    return body && typeof body === 'object' ? body : {};
  } catch {
    return {};
  }
};

// POSTs url with the token, asking for one when the hub refuses it, or
// refuses its role. Resolves with {status, body} (body an object, maybe
// empty), {failure: words} when the hub did not answer or the token's role
// may not, or {cancelled: true} when no token was given.
// waiting(words) tells the caller what it waits for meanwhile.
export const postAction = async (url, waiting) => {
  for (;;) {
    let response;
    try {
      // Older browsers lack AbortSignal.timeout; they wait for the hub's own 504.
      response = await withToken(url, () => ({
        method: 'POST',
        signal: typeof AbortSignal.timeout === 'function' ? AbortSignal.timeout(ACTION_TIMEOUT_MS) : undefined,
      }), waiting);
    } catch (error) {
      const failure = error && error.name === 'TimeoutError'
        ? `no answer from the hub in ${ACTION_TIMEOUT_MS / 1000} s`
        : 'the hub cannot be reached';
      return {failure};
    }
    if (response === null) return {cancelled: true};
    const body = await bodyOf(response);
    if (response.status !== 403 || typeof body.needs !== 'string') return {status: response.status, body};
    // A token the hub knows, of a role that may not do this: a token that
    // may is asked for; without one the press says which role it needs.
    const words = roleRefusalWords(body.role, body.needs);
    waiting(words);
    if (!(await askForToken(`${words}. Enter that token.`))) return {failure: words};
  }
};
