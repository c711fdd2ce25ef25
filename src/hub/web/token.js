// The access token: asked for once when the hub wants it, kept for the tab's
// life, and the POST of an action that carries it.
//
// Without a kept token a press goes out bare: a hub that wants one answers
// 401 before doing anything, and only then is the operator asked.

const TOKEN_KEY = 'orva-hub.token';
export const ACTION_TIMEOUT_MS = 30000;

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

const postOnce = async (url, token) => {
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

// POSTs url with the token, asking for one when the hub refuses. Resolves
// with {status, body} (body an object, maybe empty), {failure: words} when
// the hub did not answer, or {cancelled: true} when no token was given.
// waiting(words) tells the caller what it waits for meanwhile.
export const postAction = async (url, waiting) => {
  let token = storedToken();
  for (;;) {
    let answer;
    try {
      answer = await postOnce(url, token);
    } catch (error) {
      const failure = error && error.name === 'TimeoutError'
        ? `no answer from the hub in ${ACTION_TIMEOUT_MS / 1000} s`
        : 'the hub cannot be reached';
      return {failure};
    }
    if (answer.status !== 401) {
      return {status: answer.status, body: answer.body && typeof answer.body === 'object' ? answer.body : {}};
    }
    let reason = null;
    if (token) {
      // The hub no longer takes this token (or never did): forget it and ask again.
      keepToken(null);
      reason = 'The hub refused that token. Enter the access token again.';
      waiting('the hub refused the token (HTTP 401)');
    } else {
      waiting('waiting for the access token…');
    }
    token = await askForToken(reason);
    if (!token) return {cancelled: true};
  }
};
