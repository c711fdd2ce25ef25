// Drives orva-hub's web panel in Debian's chromium, as a technician on a
// phone would: node drive-panel.js URL STEP...
// Each step prints one line, "STEP: ok" or "STEP: failed: WHAT IT SAW"; the
// exit status is 0 when every step is ok, 1 when one failed, 2 on bad usage.
//   token:SECRET            the access token, typed into the page's token form
//                           when the page asks for it (now, or at a later press)
//   press:PROJECTOR:ACTION  presses a button found by its accessible name, e.g.
//                           press:a101:power-on presses "Power on, a101"
//   open:PROJECTOR          opens the projector's card from its row in the fleet table
//   see:PROJECTOR:FIELD:TEXT  waits up to 60 s until the card's field holds TEXT
//                           as shown (fields: name power model input mute lamp
//                           temperatures line read result stale, and announce, the
//                           screen reader's words); PROJECTOR "-" for the page's own
//                           fields (connection, shown, selected, progress), "@NAME"
//                           for the projector's row in the fleet table (label name
//                           state input lamp temperature contact result)
//   see-rows:FIELD:TEXT     waits until every row shown holds TEXT in its field
//   filter:GROUP            shows the group's rows only ("" for all)
//   search:TEXT             types TEXT into the search box
//   select-shown            ticks "select every projector shown"
//   bulk:ACTION:QUESTION    runs the action on the selection; the confirmation
//                           must ask QUESTION, and is answered yes
//   see-not:PROJECTOR:FIELD:TEXT  the field does not hold TEXT now
//   same-page               the page was not loaded again since it was opened
//   no-alert                no alert/confirm/prompt ever opened and no element
//                           that could run or fetch anything was added to the page
//   screenshot:PATH         saves the whole page as PNG
//   screenshot-view:PATH    saves what the window shows as PNG
//   viewport:WIDTHxHEIGHT   resizes the window (it starts at 360x740)
// At the end, console errors, uncaught exceptions and Content-Security-Policy
// violations, if any, are printed as a failed step "console".
'use strict';
const {chromium} = require('playwright-core');

const WAIT_MS = 60000;
const BUTTON_LABELS = {
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

const [url, ...steps] = process.argv.slice(2);
if (!url || steps.length === 0) {
  console.error('usage: node drive-panel.js URL STEP...');
  process.exit(2);
}

const quoted = (text) => JSON.stringify(text);
const cssString = (text) => `"${String(text).replace(/["\\]/g, '\\$&')}"`;
// "see:a101:result:Power on: done" -> ['see', 'a101', 'result', 'Power on: done']
const splitStep = (step, parts) => {
  const pieces = step.split(':');
  return [...pieces.slice(0, parts - 1), pieces.slice(parts - 1).join(':')];
};

class StepFailure extends Error {}

const run = async () => {
  const browser = await chromium.launch({executablePath: '/usr/bin/chromium', args: ['--no-sandbox']});
  const context = await browser.newContext({viewport: {width: 360, height: 740}});
  const page = await context.newPage();
  page.setDefaultTimeout(WAIT_MS);

  const problems = [];
  const alerts = [];
  let loads = 0;
  page.on('console', (message) => {
    if (message.type() !== 'error') return;
    // An API answer with an error status is logged by the browser as well;
    // the page shows those itself, and the steps check what it shows. The
    // browser also asks for /favicon.ico on its own, which the hub does not serve.
    const where = message.location().url || '';
    const path = where ? new URL(where, url).pathname : '';
    if (/^Failed to load resource/.test(message.text()) && (path.startsWith('/api/') || path === '/favicon.ico')) return;
    problems.push(`${message.text()}${where ? ` (${where})` : ''}`);
  });
  page.on('pageerror', (error) => problems.push(`uncaught ${error.name}: ${error.message}`));
  page.on('dialog', (dialog) => {
    alerts.push(`${dialog.type()} "${dialog.message()}"`);
    dialog.dismiss().catch(() => {});
  });
  page.on('framenavigated', (frame) => {
    if (frame === page.mainFrame()) loads += 1;
  });
  await page.exposeBinding('orvaDriverReport', (_source, text) => problems.push(text));
  await page.addInitScript(() => {
    document.addEventListener('securitypolicyviolation', (event) => {
      window.orvaDriverReport(`CSP blocked ${event.blockedURI || 'inline'} (${event.violatedDirective}) ` +
        `at ${event.sourceFile || 'page'}:${event.lineNumber}`);
    });
  });

  const results = [];
  const say = (step, ok, what) => {
    results.push(ok);
    console.log(`${step}: ${ok ? 'ok' : `failed: ${what}`}`);
  };

  try {
    await page.goto(url, {waitUntil: 'load'});
    await page.evaluate(() => (window.orvaDriverMarker = 'opened'));
  } catch (error) {
    say('open', false, error.message.split('\n')[0]);
    await browser.close();
    return 1;
  }

  const tokenDialog = page.locator('dialog.token-dialog');
  let queuedToken = null;

  // Types the queued token into the page's form; the token is used once, so
  // a page that asks again after a refusal needs a new token step.
  const answerTokenDialog = async () => {
    const token = queuedToken;
    queuedToken = null;
    const asked = Number(await tokenDialog.getAttribute('data-asked'));
    await tokenDialog.getByLabel('Access token', {exact: true}).fill(token);
    await tokenDialog.getByRole('button', {name: 'Use token', exact: true}).click();
    // Taken when the form closes, or when it is already asking again (a refused token).
    const taken = await page.waitForFunction((asked) => {
      const dialog = document.querySelector('dialog.token-dialog');
      const problem = dialog.querySelector('[data-field="token-problem"]');
      if (!dialog.open || Number(dialog.getAttribute('data-asked')) > asked) return 'taken';
      return !problem.hidden && problem.textContent;
    }, asked, {timeout: 5000, polling: 100}).then((handle) => handle.jsonValue(), () => 'the form did not answer');
    if (taken !== 'taken') throw new StepFailure(`the token form stayed open: ${quoted(taken)}`);
  };

  // Runs in the page, polled by waitForFunction: 'yes' when the card's field
  // is shown holding the text (kind 'text') or has taken one more press (kind
  // 'press'); else 'token' while the token form is open. A fixed function,
  // not a string: the page's CSP forbids compiling strings.
  const pageCheck = ({kind, projector, name, text, before}) => {
    if (kind === 'rows') {
      const rows = [...document.querySelectorAll('tr[data-row]')].filter((row) => !row.hidden);
      const fields = rows.map((row) => row.querySelector(`[data-field="${CSS.escape(name)}"]`));
      if (rows.length > 0 && fields.every((el) => el && el.textContent.includes(text))) return 'yes';
      return document.querySelector('dialog.token-dialog[open]') ? 'token' : false;
    }
    const scope = projector === '-' ? document : projector.startsWith('@')
      ? document.querySelector(`[data-row="${CSS.escape(projector.slice(1))}"]`)
      : document.querySelector(`[data-projector="${CSS.escape(projector)}"]`);
    const el = scope && scope.querySelector(`[data-field="${CSS.escape(name)}"]`);
    if (el && kind === 'press') {
      if (Number(el.getAttribute('data-press') || 0) > before && el.getAttribute('data-state') !== 'token') return 'yes';
    } else if (el && el.getClientRects().length > 0 && el.textContent.includes(text)) {
      return 'yes';
    }
    return document.querySelector('dialog.token-dialog[open]') ? 'token' : false;
  };

  // Waits for pageCheck, answering the token form on the way when a token is
  // queued. Returns true, false after the time limit, or 'token' when the page
  // asks for a token that no step has given.
  const waitFor = async (check) => {
    const deadline = Date.now() + WAIT_MS;
    for (;;) {
      const remaining = deadline - Date.now();
      if (remaining <= 0) return false;
      let outcome;
      try {
        const handle = await page.waitForFunction(pageCheck, check, {timeout: remaining, polling: 100});
        outcome = await handle.jsonValue();
      } catch (error) {
        if (error.name === 'TimeoutError') return false;
        throw error;
      }
      if (outcome === 'yes') return true;
      if (queuedToken === null) return 'token';
      await answerTokenDialog();
    }
  };

  const scopeSelector = (projector) =>
    projector.startsWith('@') ? `[data-row=${cssString(projector.slice(1))}]` : `[data-projector=${cssString(projector)}]`;
  const fieldLocator = (projector, name) =>
    projector === '-'
      ? page.locator(`[data-field=${cssString(name)}]`).first()
      : page.locator(`${scopeSelector(projector)} [data-field=${cssString(name)}]`);

  // What a person sees in the field: its text, or "" while it is not shown.
  const fieldText = (projector, name) =>
    page.evaluate(({projector, name}) => {
      const scope = projector === '-' ? document : projector.startsWith('@')
        ? document.querySelector(`[data-row="${CSS.escape(projector.slice(1))}"]`)
        : document.querySelector(`[data-projector="${CSS.escape(projector)}"]`);
      const el = scope && scope.querySelector(`[data-field="${CSS.escape(name)}"]`);
      if (!el) return null;
      return el.getClientRects().length > 0 ? el.textContent.trim() : '';
    }, {projector, name});

  const stepActions = {
    token: async (step) => {
      queuedToken = splitStep(step, 2)[1];
      if (await tokenDialog.isVisible()) await answerTokenDialog();
    },

    press: async (step) => {
      const [, projector, action] = splitStep(step, 3);
      const label = BUTTON_LABELS[action];
      if (!label) throw new StepFailure(`no button for action ${quoted(action)}`);
      if ((await tokenDialog.isVisible()) && queuedToken !== null) await answerTokenDialog();
      const result = fieldLocator(projector, 'result');
      if ((await result.count()) === 0) throw new StepFailure(`no card for projector ${quoted(projector)}`);
      const before = Number((await result.getAttribute('data-press')) || 0);
      const name = `${label}, ${projector}`;
      const button = page.getByRole('button', {name, exact: true});
      if ((await button.count()) !== 1) throw new StepFailure(`${await button.count()} buttons named ${quoted(name)}`);
      await button.click();
      // The press is taken when the card counts it; the page may then ask for the token.
      const taken = await waitFor({kind: 'press', projector, name: 'result', before});
      if (taken === false) throw new StepFailure(`the card did not take the press: ${quoted(await fieldText(projector, 'result'))}`);
    },

    see: async (step) => {
      const [, projector, name, text] = splitStep(step, 4);
      // The field may come with the page's first reads (a row of the fleet
      // table): waited for like its text.
      const seen = await waitFor({kind: 'text', projector, name, text});
      if (seen === 'token') throw new StepFailure('the page asks for the access token and no token step gave one');
      if (!seen) {
        const now = await fieldText(projector, name);
        if (now === null) throw new StepFailure(`no field ${quoted(name)} for ${quoted(projector)} after ${WAIT_MS / 1000} s`);
        throw new StepFailure(`saw ${quoted(now)} after ${WAIT_MS / 1000} s`);
      }
    },

    'see-rows': async (step) => {
      const [, name, text] = splitStep(step, 3);
      const seen = await waitFor({kind: 'rows', projector: '-', name, text});
      if (seen !== true) {
        const rows = await page.locator('tr[data-row]:visible').evaluateAll((all, name) =>
          all.map((row) => `${row.getAttribute('data-row')}=${row.querySelector(`[data-field="${name}"]`).textContent}`), name);
        throw new StepFailure(`saw ${quoted(rows.join(', '))}`);
      }
    },

    open: async (step) => {
      const [, projector] = splitStep(step, 2);
      const opener = page.locator(`${scopeSelector(`@${projector}`)} [data-field="label"]`);
      if ((await opener.count()) !== 1) throw new StepFailure(`no row for projector ${quoted(projector)}`);
      await opener.click();
      await page.locator(`dialog.card-dialog[open] [data-projector=${cssString(projector)}]`).waitFor();
    },

    filter: async (step) => {
      await page.locator('[data-field="group-filter"]').selectOption(splitStep(step, 2)[1]);
    },

    search: async (step) => {
      await page.locator('[data-field="search"]').fill(splitStep(step, 2)[1]);
    },

    'select-shown': async () => {
      await page.getByRole('checkbox', {name: 'Select every projector shown', exact: true}).check();
    },

    bulk: async (step) => {
      const [, action, question] = splitStep(step, 3);
      await page.locator('[data-field="bulk-action"]').selectOption(action);
      await page.getByRole('button', {name: 'Apply to selected…', exact: true}).click();
      const dialog = page.locator('dialog.confirm-dialog[open]');
      await dialog.waitFor();
      const asked = (await dialog.locator('[data-field="confirm-question"]').textContent()).trim();
      if (asked !== question) throw new StepFailure(`the confirmation asked ${quoted(asked)}`);
      await dialog.locator('[data-role="yes"]').click();
      if ((await tokenDialog.isVisible()) && queuedToken !== null) await answerTokenDialog();
    },

    'see-not': async (step) => {
      const [, projector, name, text] = splitStep(step, 4);
      const now = await fieldText(projector, name);
      if (now === null) throw new StepFailure(`no field ${quoted(name)} for ${quoted(projector)}`);
      if (now.includes(text)) throw new StepFailure(`saw ${quoted(now)}`);
    },

    'same-page': async () => {
      const marker = await page.evaluate(() => window.orvaDriverMarker);
      if (marker !== 'opened' || loads !== 1) throw new StepFailure(`the page was loaded ${loads} times`);
    },

    'no-alert': async () => {
      if (alerts.length) throw new StepFailure(alerts.join('; '));
      const added = await page.evaluate(() =>
        [...document.querySelectorAll('img, iframe, object, embed, script, link, svg')]
          .filter((el) => !(el.matches('script[src="panel.js"]') || el.matches('link[href="panel.css"], link[href="fleet.css"]')))
          .map((el) => el.outerHTML.slice(0, 80)));
      if (added.length) throw new StepFailure(`elements from text: ${added.join(', ')}`);
    },

    screenshot: async (step) => {
      await page.screenshot({path: splitStep(step, 2)[1], fullPage: true});
    },

    'screenshot-view': async (step) => {
      await page.screenshot({path: splitStep(step, 2)[1]});
    },

    viewport: async (step) => {
      const match = /^(\d+)x(\d+)$/.exec(splitStep(step, 2)[1]);
      if (!match) throw new StepFailure('expected viewport:WIDTHxHEIGHT');
      await page.setViewportSize({width: Number(match[1]), height: Number(match[2])});
    },
  };

  let usage = false;
  for (const step of steps) {
    const verb = step.split(':')[0];
    const action = Object.prototype.hasOwnProperty.call(stepActions, verb) ? stepActions[verb] : null;
    if (!action) {
      say(step, false, 'unknown step');
      usage = true;
      continue;
    }
    try {
      await action(step);
      say(step, true);
    } catch (error) {
      say(step, false, error instanceof StepFailure ? error.message : error.message.split('\n')[0]);
    }
  }
  if (problems.length) {
    // The browser's own messages run long: their first sentence, each once.
    const seen = [...new Set(problems.map((text) => text.replace(/\. .*?( \(http[^)]*\))?$/s, '$1')))];
    say('console', false, seen.join(' | '));
  }
  await browser.close();
  if (usage) return 2;
  return results.every(Boolean) ? 0 : 1;
};

run().then(
  (status) => process.exit(status),
  (error) => {
    console.log(`driver: failed: ${error.message.split('\n')[0]}`);
    process.exit(1);
  });
