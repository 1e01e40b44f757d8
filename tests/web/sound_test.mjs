// The browser's sound in headless Chromium. Before the page's script runs, AudioContext is
// wrapped so that everything sent to its destination also passes a channel splitter into two
// analysers, left and right. After a click the page is heard (the hall's ambience), and a duck
// the canoe is set beside is heard when the next frame collects it; M silences it all.
//
//   node sound_test.mjs <site folder>
import {openPage, runFrames, session} from './harness.mjs';

const db = (rms) => (20 * Math.log10(Math.max(rms, 1e-9))).toFixed(1);

// Runs in the page before its own script: every AudioContext made there is listened to.
function listenToAudio() {
  const Real = window.AudioContext;
  const realDestination =
      Object.getOwnPropertyDescriptor(BaseAudioContext.prototype, 'destination').get;
  class Heard extends Real {
    constructor(...args) {
      super(...args);
      const tap = this.createGain();
      const split = this.createChannelSplitter(2);
      this.heardSides = [this.createAnalyser(), this.createAnalyser()];
      tap.connect(realDestination.call(this));
      tap.connect(split);
      split.connect(this.heardSides[0], 0);
      split.connect(this.heardSides[1], 1);
      this.heardTap = tap;
      window.heardContexts = (window.heardContexts || []).concat([this]);
    }
    get destination() { return this.heardTap || realDestination.call(this); }
  }
  window.AudioContext = Heard;
  window.webkitAudioContext = Heard;
  // The loudest RMS, left and right, over `ms` milliseconds of listening.
  window.heardLoudest = (ms) => new Promise((done) => {
    const loudest = [0, 0];
    const buffer = new Float32Array(2048);
    const started = performance.now();
    const timer = setInterval(() => {
      for (const context of window.heardContexts || []) {
        context.heardSides.forEach((analyser, side) => {
          analyser.getFloatTimeDomainData(buffer);
          let sum = 0;
          for (const v of buffer) sum += v * v;
          loudest[side] = Math.max(loudest[side], Math.sqrt(sum / buffer.length));
        });
      }
      if (performance.now() - started >= ms) {
        clearInterval(timer);
        done(loudest);
      }
    }, 20);
  });
}

await session(process.argv[2], async ({check, browser, base}) => {
  const {page, errors} = await openPage(
      browser, `${base}width=320&height=240&clock=0.02&hold`, {before: listenToAudio});
  // The click on the start card starts game and sound.
  await page.click('#card');
  const started = await page
                      .waitForFunction(
                          () => (window.heardContexts || []).some((c) => c.state === 'running'),
                          {timeout: 30000})
                      .then(() => true, () => false);
  check(started, 'the click started the page\'s audio');
  await runFrames(page, 1);

  const quiet = await page.evaluate(() => window.heardLoudest(1000));
  console.log(`ambience: left ${db(quiet[0])} dB, right ${db(quiet[1])} dB`);
  check(Math.max(...quiet) > 1e-4, 'the page is not silent after the click');

  const ducksBefore = await page.evaluate(() => Module._velloran_ducks_left());
  // Listened to for long enough that a busy machine's late frames still fall inside.
  const listening = page.evaluate(() => window.heardLoudest(2000));
  await page.evaluate(() => Module._velloran_touch_duck(1));
  await runFrames(page, 2);
  const squeak = await listening;
  const ducksAfter = await page.evaluate(() => Module._velloran_ducks_left());
  console.log(`duck collected: left ${db(squeak[0])} dB, right ${db(squeak[1])} dB`);
  check(
      ducksAfter < ducksBefore,
      `the duck (and any beside it) was collected (${ducksBefore} then ${ducksAfter} left)`);
  check(
      Math.max(...squeak) > 2 * Math.max(...quiet),
      'the collected duck is heard over the ambience');

  await page.keyboard.press('KeyM');
  await runFrames(page, 2);
  // What the page had already scheduled plays out first: wait (at most 5 s) for a quiet moment.
  for (let i = 0; i < 50; ++i) {
    if (Math.max(...await page.evaluate(() => window.heardLoudest(100))) < 0.1 * Math.max(...quiet))
      break;
  }
  const muted = await page.evaluate(() => window.heardLoudest(500));
  console.log(`muted: left ${db(muted[0])} dB, right ${db(muted[1])} dB`);
  check(Math.max(...muted) < 0.1 * Math.max(...quiet), 'M silences the page');
  check(errors.length === 0, `no console errors (${errors.join(' | ')})`);
});
