// Drives orva-hub's PJLink door with the npm PJLink client, as a room
// controller would: node drive.js HOST PORT PASSWORD STEP...
// PASSWORD "-" is none. Each step prints one line "STEP: RESULT":
//   power-on, power-off, power, input, input-rgb1, input-rgb2, input-video1,
//   mute, mute-video, unmute, lamps, name, model, manufacturer, errors, class
//   wait-on        asks for the power state every 200 ms until it is on (60 s at most)
// RESULT is the value the client read, or "error: MESSAGE".
'use strict';
const PJLink = require('pjlink');

const [host, port, password, ...steps] = process.argv.slice(2);
const beamer = new PJLink({host, port: Number(port), password: password === '-' ? null : password, timeout: 10000});

const show = (value) => (typeof value === 'object' ? JSON.stringify(value) : String(value));

const actions = {
  'power-on': (done) => beamer.powerOn((err) => done(err, 'ok')),
  'power-off': (done) => beamer.powerOff((err) => done(err, 'ok')),
  'power': (done) => beamer.getPowerState(done),
  'input': (done) => beamer.getInput(done),
  'input-rgb1': (done) => beamer.setInput({source: 'rgb', channel: 1}, (err) => done(err, 'ok')),
  'input-rgb2': (done) => beamer.setInput({source: 'rgb', channel: 2}, (err) => done(err, 'ok')),
  'input-video1': (done) => beamer.setInput({source: 'video', channel: 1}, (err) => done(err, 'ok')),
  'mute': (done) => beamer.getMute(done),
  'mute-video': (done) => beamer.setMute({video: true, audio: false}, (err) => done(err, 'ok')),
  'unmute': (done) => beamer.setMute(false, (err) => done(err, 'ok')),
  'lamps': (done) => beamer.getLamps(done),
  'name': (done) => beamer.getName(done),
  'model': (done) => beamer.getModel(done),
  'manufacturer': (done) => beamer.getManufacturer(done),
  'errors': (done) => beamer.getErrors(done),
  'class': (done) => beamer.getClass(done),
  'wait-on': (done) => {
    const until = Date.now() + 60000;
    const seen = [];
    const ask = () => beamer.getPowerState((err, state) => {
      if (err) return done(err);
      if (seen[seen.length - 1] !== state) seen.push(state);
      if (state === 1 || Date.now() > until) return done(null, seen.join('>'));
      setTimeout(ask, 200);
    });
    ask();
  },
};

const next = (i) => {
  if (i === steps.length) {
    beamer.disconnect();
    return;
  }
  const action = actions[steps[i]];
  if (!action) {
    console.log(`${steps[i]}: error: unknown step`);
    process.exitCode = 2;
    return next(i + 1);
  }
  action((err, value) => {
    console.log(`${steps[i]}: ${err ? 'error: ' + err.message : show(value)}`);
    next(i + 1);
  });
};
next(0);
