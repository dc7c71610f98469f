// The page of tether rig serve in a real browser, Debian's chromium driven
// headless by puppeteer-core, on a rig that test_rig.py started (three
// nodes, the third a product that lacks a value the others offer): every
// camera shows connected, a setting chosen in the page is confirmed by all,
// the value one camera lacks is refused by it and marked on its card, the
// shutter for all shows every press time and the spread, each card's
// thumbnail decodes, and the collection shows the shot complete. Keeps a
// screenshot.
//
//   node test_rig_page.js ADDRESS SETTING LACKING_VALUE SCREENSHOT.png
'use strict';

const assert = require('assert');
const puppeteer = require('puppeteer-core');

const [address, setting, lacking, screenshot] = process.argv.slice(2);
const WAIT = 120000; // generous, the machine may be loaded
const POLL = { timeout: WAIT, polling: 100 };
const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];
// Shots come this far ahead: a loaded machine has been seen to take seconds.
const LEAD_MS = '4000';

// The answers listed for the last set: label -> refused.
function answers(page) {
  return page.$$eval('#answer-list li', (items) => items.map((item) => [item.textContent.split(':')[0],
    item.classList.contains('refused')]));
}

async function setOnAll(page, name, value) {
  await page.select('#set-name', name);
  await page.$eval('#set-value', (input) => { input.value = ''; });
  await page.type('#set-value', value);
  await page.$eval('#answers-title', (title) => { title.textContent = ''; });
  await page.click('#set-button');
  await page.waitForFunction((expected) => document.getElementById('answers-title').textContent === expected
    && document.querySelectorAll('#answer-list li').length === 3, POLL, `${name} = ${value}`);
  return Object.fromEntries(await answers(page));
}

async function main() {
  const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', args: FLAGS });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 900 });
    const failures = [];
    page.on('pageerror', (error) => failures.push(error.message));
    await page.goto(address);

    await page.waitForFunction(() => {
      const states = [...document.querySelectorAll('#nodes .node .title .state')].map((state) => state.textContent);
      return states.length === 3 && states.every((state) => state === 'connected');
    }, POLL);
    await page.waitForFunction((name) => [...document.querySelectorAll('#set-name option')]
      .some((option) => option.value === name), POLL, setting);

    assert.deepStrictEqual(await setOnAll(page, 'FileFormat', 'DNG'), { a: false, b: false, c: false });
    assert.deepStrictEqual(await setOnAll(page, setting, lacking), { a: false, b: false, c: true });
    await page.waitForFunction((name) => {
      const marked = (label) => [...document.querySelectorAll(`#nodes li[data-label="${label}"] dd.differs`)]
        .map((value) => value.previousElementSibling.textContent);
      return marked('c').includes(name) && marked('a').length === 0 && marked('b').length === 0;
    }, POLL, setting);

    await page.$eval('#lead', (input, lead) => { input.value = lead; }, LEAD_MS);
    await page.click('#shutter');
    await page.waitForFunction(() => /^spread \d+\.\d{3} ms over 3 cameras$/.test(
      document.getElementById('spread').textContent), POLL);
    const presses = await page.$$eval('#presses li', (items) => items.map((item) => item.textContent));
    assert.strictEqual(presses.length, 3, presses);
    presses.forEach((press) => assert.match(press, /^[abc]: pressed at \d\d:\d\d:\d\d\.\d{6} UTC/));
    const shot = await page.$eval('#shot-name', (name) => name.textContent);

    await page.waitForFunction((name) => [...document.querySelectorAll('#nodes .node')].every((card) => {
      const image = card.querySelector('img');
      return card.querySelector('.picture').textContent.startsWith(name) && image.complete && image.naturalWidth > 0;
    }), POLL, shot);
    await page.waitForFunction((name) => [...document.querySelectorAll('#collection-shots tbody tr')]
      .some((row) => row.dataset.shot === name && row.cells[1].textContent === '3 / 3'), POLL, shot);
    assert.match(await page.$eval('#collection-total', (total) => total.textContent), /^3 of 3 files$/);
    assert.deepStrictEqual(failures, []);
    await page.screenshot({ path: screenshot, fullPage: true });
    console.log(`shot ${shot}: ${presses.join('; ')}`);
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
