// The page of tether serve in a real browser, Debian's chromium driven
// headless by puppeteer-core, on a phone's screen and the virtual camera
// 0x2031: the page loads, live-view frames change and decode to pictures
// whose pixels change, an aperture chosen in the page shows as the camera
// confirms it (and so does a value set elsewhere), the shutter adds the
// picture to the film strip with a thumbnail that decodes. Keeps a screenshot.
//
//   node test_page.js TETHER SCREENSHOT.png
'use strict';

const assert = require('assert');
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const [tether, screenshot] = process.argv.slice(2);
const WAIT = 120000; // generous, the machine may be loaded
// Pages in the background get no animation frames: poll by time.
const POLL = { timeout: WAIT, polling: 100 };
const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// tether serve on a free port; resolves with the process and the printed address.
function startServe(work) {
  const serve = spawn(tether, ['--virtual', '0x2031', 'serve', '--port', '0', '--out', path.join(work, 'pictures')],
    { stdio: ['pipe', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let printed = '';
    serve.stdout.on('data', (chunk) => {
      printed += chunk;
      const address = /at (http:\/\/\S+) /.exec(printed);
      if (address) resolve({ serve, address: address[1] });
    });
    serve.on('exit', (code) => reject(new Error(`tether serve ended with ${code}: ${printed}`)));
  });
}

async function api(address, route, options) {
  const response = await fetch(new URL(route, address), options);
  assert.ok(response.ok, `${route}: ${response.status}`);
  return response.json();
}

// The frame on show: how many the page has shown, the library's number of
// this one, and its blob (a new one for every frame).
function sampleFrame(page) {
  return page.$eval('#frame', (frame) => ({
    shown: Number(frame.dataset.frames), number: Number(frame.dataset.frameNumber), source: frame.src,
  }));
}

// The next live-view picture as this browser decoded it: its size, its
// top-left pixel and a digest of all its pixels, with the library's number
// of the frame. Drawn as it loads, before the next frame replaces it; a frame
// the browser cannot decode fails.
function decodedFrame(page) {
  return page.$eval('#frame', (frame) => new Promise((resolve, reject) => {
    const failed = () => reject(new Error(`live-view frame ${frame.dataset.frameNumber} does not decode`));
    frame.addEventListener('error', failed, { once: true });
    frame.addEventListener('load', () => {
      frame.removeEventListener('error', failed);
      const canvas = document.createElement('canvas');
      canvas.width = frame.naturalWidth;
      canvas.height = frame.naturalHeight;
      const context = canvas.getContext('2d');
      context.drawImage(frame, 0, 0);
      const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
      let digest = 0;
      for (const value of pixels) digest = (Math.imul(digest, 31) + value) >>> 0;
      resolve({
        number: Number(frame.dataset.frameNumber), width: canvas.width, height: canvas.height,
        corner: [...pixels.slice(0, 3)], digest,
      });
    }, { once: true });
  }));
}

// The virtual camera's frames show its test card, the grey bar at the top
// left, with a ball that moves from frame to frame.
async function checkDecodedFrames(page) {
  const first = await decodedFrame(page);
  assert.ok(first.width > 0 && first.height > 0, 'the live-view frame has no pixels');
  assert.ok(first.corner.every((level) => Math.abs(level - 192) <= 12), `top-left pixel ${first.corner}`);
  for (;;) {
    const next = await decodedFrame(page);
    if (next.digest !== first.digest) break;
    // A later frame may show the same picture when the ball has come round.
    assert.ok(next.number - first.number < 200, 'the live-view pixels did not change');
  }
}

// Frames change on the page; several pages at once each show their share of
// the frames the library delivered meanwhile (a reported figure).
async function checkLiveView(pages) {
  const samples = () => Promise.all(pages.map((page) => sampleFrame(page)));
  await Promise.all(pages.map((page) => page.waitForFunction(
    () => Number(document.getElementById('frame').dataset.frames) > 0, POLL)));
  const first = await samples();
  await pages[0].waitForFunction((count) => Number(document.getElementById('frame').dataset.frames) >= count + 200,
    POLL, first[0].shown);
  const last = await samples();
  assert.notStrictEqual(last[0].source, first[0].source, 'the live-view frame did not change');
  await checkDecodedFrames(pages[0]);
  const shares = last.map((sample, index) => {
    const shown = sample.shown - first[index].shown;
    return `${shown} of ${sample.number - first[index].number} (${((shown * 100) / (sample.number - first[index].number)).toFixed(1)}%)`;
  });
  console.log(`browser live view, ${pages.length} pages at once, frames shown of those the library delivered: ${shares.join(', ')}`);
}

async function checkSettings(page, address) {
  const chosen = await page.$eval('#set-Aperture', (select) =>
    [...select.options].map((option) => option.text).filter((text) => text !== select.value)[3]);
  await page.select('#set-Aperture', chosen);
  await page.waitForFunction((text) => {
    const select = document.getElementById('set-Aperture');
    return !select.classList.contains('pending') && select.value === text;
  }, POLL, chosen);
  assert.strictEqual((await api(address, '/api/properties/Aperture')).text, chosen);
  // A value another browser sets arrives through the events.
  const shutter = await api(address, '/api/properties/ShutterTime');
  const other = shutter.choices.map((choice) => choice.text).filter((text) => text !== shutter.text)[5];
  await api(address, '/api/properties/ShutterTime', { method: 'PUT', body: JSON.stringify({ value: other }) });
  await page.waitForFunction((text) => document.getElementById('set-ShutterTime').value === text,
    POLL, other);
}

async function checkShutter(page) {
  await page.click('#shutter');
  await page.waitForFunction(() => {
    const pictures = document.querySelectorAll('#strip li');
    return pictures.length === 1 && pictures[0].querySelector('.files').textContent === 'DNG + JPG'
      && pictures[0].querySelector('a').href.includes('/files/BRX_0001.JPG');
  }, POLL);
  const thumbnail = await page.waitForFunction(() => {
    const image = document.querySelector('#strip li img');
    return image.getAttribute('src') && image.complete && { width: image.naturalWidth };
  }, POLL);
  assert.ok((await thumbnail.jsonValue()).width > 0, 'the thumbnail does not decode');
}

async function main() {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'serve-browser-'));
  const { serve, address } = await startServe(work);
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, args: [...FLAGS, `--user-data-dir=${work}/profile`],
  });
  try {
    const pageErrors = [];
    const pages = await Promise.all([1, 2, 3].map(() => browser.newPage()));
    for (const page of pages) {
      page.on('pageerror', (error) => pageErrors.push(error.message));
      await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
      await page.goto(address, { waitUntil: 'load' });
    }
    const [page] = pages;
    await page.waitForFunction(() => document.getElementById('state').textContent === 'connected', POLL);
    console.log(`${address} opened in ${pages.length} pages; live view`);
    await checkLiveView(pages);
    await Promise.all(pages.slice(1).map((other) => other.close()));
    console.log('settings');
    await checkSettings(page, address);
    console.log('shutter');
    await checkShutter(page);
    await page.screenshot({ path: screenshot, fullPage: true });
    assert.deepStrictEqual(pageErrors, []);
  } finally {
    await browser.close();
    const ended = new Promise((resolve) => serve.on('exit', resolve));
    serve.kill('SIGINT');
    assert.strictEqual(await ended, 0);
    fs.rmSync(work, { recursive: true, force: true });
  }
  console.log(`ok (screenshot: ${screenshot})`);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
