// The page of tether serve: live view, the main settings as the camera
// confirms them, the shutter and the pictures of this run. Plain DOM, no
// framework; everything comes from the server's API (see the README), through
// page.js.
'use strict';

const MAIN_SETTINGS = [
  ['ExposureMode', 'Exposure mode'], ['Aperture', 'Aperture'], ['ShutterTime', 'Shutter time'],
  ['ExposCompens', 'Compensation'], ['Sensitivity', 'ISO'], ['WhiteBalance', 'White balance'],
  ['DriveMode', 'Drive mode'], ['FileFormat', 'File format'],
];
const BOUNDARY = '--brxframe';
const RETRY_MS = 1500;

const properties = new Map();
const pictures = new Map();
let connected = false;
let area = null;

// --- Camera and connection ---------------------------------------------------------

function showCamera(camera) {
  connected = camera.connected;
  $('camera').textContent = connected ? `${camera.model} (${camera.productIdHex})` : 'tether serve';
  showState(connected ? 'connected' : 'no camera', connected);
  $('shutter').disabled = !connected;
  if (camera.liveView && camera.liveView.area) showArea(camera.liveView.area);
}

async function loadEverything() {
  try {
    showCamera(await request('/api/camera'));
    // Another camera may lack a setting the last one had.
    document.querySelectorAll('#settings [data-property]').forEach((control) => {
      control.hidden = control.labels[0].hidden = true;
    });
    if (connected) (await request('/api/properties')).properties.forEach(showProperty);
    (await request('/api/pictures')).pictures.forEach(showPicture);
  } catch (error) {
    say(error.message);
  }
}

// --- Settings ------------------------------------------------------------------------------

function settingControl(name, label) {
  const id = `set-${name}`;
  const caption = Object.assign(document.createElement('label'), { htmlFor: id, textContent: label });
  const control = document.createElement('select');
  control.id = id;
  control.dataset.property = name;
  control.addEventListener('change', () => setProperty(name, control.value));
  caption.hidden = control.hidden = true;
  $('settings').append(caption, control);
}

// A setting without a list of choices is typed in.
function controlFor(property) {
  let control = $(`set-${property.name}`);
  const wanted = property.choices ? 'SELECT' : 'INPUT';
  if (control && control.tagName !== wanted) {
    const replacement = document.createElement(wanted.toLowerCase());
    replacement.id = control.id;
    replacement.dataset.property = property.name;
    replacement.addEventListener('change', () => setProperty(property.name, replacement.value));
    control.replaceWith(replacement);
    control = replacement;
  }
  return control;
}

function showProperty(property) {
  properties.set(property.name, property);
  showInTable(property);
  const control = controlFor(property);
  if (!control) return;
  control.hidden = control.labels[0].hidden = false;
  if (property.choices) {
    // A value the camera holds outside its list (a lens between stops) still shows.
    const texts = property.choices.map((choice) => choice.text);
    if (!texts.includes(property.text)) texts.unshift(property.text);
    if (texts.join('\n') !== [...control.options].map((option) => option.text).join('\n')) {
      control.replaceChildren(...texts.map((text) => new Option(text, text)));
    }
  }
  control.value = property.text;
  control.title = property.text;
}

function showInTable(property) {
  let row = document.querySelector(`#all tr[data-property="${property.name}"]`);
  if (!row) {
    row = $('all').insertRow();
    row.dataset.property = property.name;
    row.insertCell().textContent = property.name;
    row.insertCell();
  }
  row.cells[1].textContent = property.text;
}

async function setProperty(name, text) {
  const control = $(`set-${name}`);
  control.classList.remove('refused');
  control.classList.add('pending');
  try {
    showProperty(await request(`/api/properties/${name}`, {
      method: 'PUT', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ value: text }),
    }));
    say('');
  } catch (error) {
    control.classList.add('refused');
    say(error.message);
    if (error.body && error.body.name) showProperty(error.body);
    else if (properties.has(name)) showProperty(properties.get(name));
  } finally {
    control.classList.remove('pending');
  }
}

// --- Shutter and pictures --------------------------------------------------------------

async function release() {
  const shutter = $('shutter');
  shutter.classList.add('busy');
  try {
    await request('/api/release', { method: 'POST' });
    say('');
  } catch (error) {
    say(error.message);
  } finally {
    shutter.classList.remove('busy');
  }
}

// Newest first; a picture's entry grows as its files land.
function showPicture(picture) {
  let item = pictures.get(picture.id);
  if (!item) {
    item = document.createElement('li');
    item.dataset.picture = picture.id;
    item.innerHTML = '<a target="_blank" rel="noopener"><img alt=""><span class="name"></span> <span class="files"></span></a>';
    item.querySelector('img').addEventListener('error', (event) => event.target.classList.add('broken'));
    pictures.set(picture.id, item);
    $('strip').prepend(item);
    $('picture-count').textContent = pictures.size;
  }
  const link = item.querySelector('a');
  const files = picture.files || [];
  const preferred = files.find((file) => /\.jpe?g$/i.test(file.name)) || files[0];
  if (preferred) link.href = address(preferred.url);
  item.querySelector('.name').textContent = picture.name || `picture ${picture.id}`;
  item.querySelector('.files').textContent = files.map((file) => file.name.split('.').pop()).join(' + ');
  const thumbnail = item.querySelector('img');
  if (picture.thumbnail && !thumbnail.getAttribute('src')) thumbnail.src = address(picture.thumbnail);
}

// --- Live view --------------------------------------------------------------------------------

const view = { frames: 0, shown: 0, second: 0, startedAt: 0 };

function showArea(next) {
  area = next;
  const cross = $('cross');
  cross.hidden = !area;
  if (!area) return;
  cross.style.left = `${((area.focusX - area.x) / area.width) * 100}%`;
  cross.style.top = `${((area.focusY - area.y) / area.height) * 100}%`;
  $('zoom').textContent = area.zoomLevel > 1 ? `Zoom ${area.zoomLevel}x` : 'Zoom';
}

function showFrame(bytes, number) {
  const frame = $('frame');
  const previous = frame.src;
  frame.src = URL.createObjectURL(new Blob([bytes], { type: 'image/jpeg' }));
  if (previous.startsWith('blob:')) URL.revokeObjectURL(previous);
  view.frames += 1;
  const now = performance.now();
  if (now - view.startedAt >= 1000) {
    $('rate').textContent = `${Math.round(((view.frames - view.second) * 1000) / (now - view.startedAt))} fps, frame ${view.frames}`;
    view.second = view.frames;
    view.startedAt = now;
  }
  frame.dataset.frames = view.frames;
  frame.dataset.frameNumber = number;
}

function indexOf(bytes, pattern, from) {
  for (let at = from; at <= bytes.length - pattern.length; at += 1) {
    let index = 0;
    while (index < pattern.length && bytes[at + index] === pattern[index]) index += 1;
    if (index === pattern.length) return at;
  }
  return -1;
}

// Parts as the server writes them: boundary, headers with Content-Length and
// X-Frame-Number, the frame.
function takeFrames(buffer, onFrame) {
  const encoder = new TextEncoder();
  const boundary = encoder.encode(BOUNDARY);
  const headerEnd = encoder.encode('\r\n\r\n');
  let start = 0;
  for (;;) {
    const part = indexOf(buffer, boundary, start);
    const body = part < 0 ? -1 : indexOf(buffer, headerEnd, part);
    if (body < 0) return buffer.subarray(start);
    const headers = new TextDecoder().decode(buffer.subarray(part, body));
    const length = Number((/content-length:\s*(\d+)/i.exec(headers) || [])[1]);
    const end = body + 4 + length;
    if (!Number.isFinite(length) || end > buffer.length) return buffer.subarray(part);
    onFrame(buffer.slice(body + 4, end), Number((/x-frame-number:\s*(\d+)/i.exec(headers) || [])[1]));
    start = end;
  }
}

async function readLiveView() {
  const response = await fetch(address('/api/liveview'));
  if (!response.ok) {
    const body = await response.json().catch(() => ({}));
    $('frame-note').textContent = body.error || 'no live view';
    return;
  }
  $('frame-note').textContent = 'live view';
  const reader = response.body.getReader();
  let buffer = new Uint8Array(0);
  for (;;) {
    const { value, done } = await reader.read();
    if (done) return;
    const joined = new Uint8Array(buffer.length + value.length);
    joined.set(buffer);
    joined.set(value, buffer.length);
    buffer = takeFrames(joined, showFrame);
  }
}

async function followLiveView() {
  for (;;) {
    try {
      await readLiveView();
    } catch (error) {
      $('frame-note').textContent = 'live view lost; trying again';
    }
    await new Promise((resume) => setTimeout(resume, RETRY_MS));
  }
}

function frameShown() {
  const frame = $('frame');
  frame.classList.remove('broken');
  $('frame-note').textContent = 'live view';
}

function frameBroken() {
  $('frame').classList.add('broken');
  $('frame-note').textContent = `live view: frame ${view.frames} is not a picture this browser can show`;
}

// A tap puts the focus cross there, in the units of the whole sensor.
function moveCross(event) {
  if (!area) return;
  const box = $('frame-box').getBoundingClientRect();
  const x = area.x + ((event.clientX - box.left) / box.width) * area.width;
  const y = area.y + ((event.clientY - box.top) / box.height) * area.height;
  command('LiveViewCrossPosGlobal', `${x.toFixed(4)}, ${y.toFixed(4)}`);
}

async function command(name, value) {
  try {
    await request(`/api/properties/${name}`, {
      method: 'PUT', headers: { 'Content-Type': 'application/json' },
      body: value === undefined ? '' : JSON.stringify({ value }),
    });
  } catch (error) {
    say(error.message);
  }
}

// --- The camera's card: a page at a time, thumbnails as they scroll into view -------------

const card = { shown: 0, total: 0, loading: false };

function sizeText(bytes) {
  return `${(bytes / 1e6).toFixed(1)} MB`;
}

function showCardFile(file) {
  const item = document.createElement('li');
  item.innerHTML = '<img alt="" loading="lazy"><a download></a> <span class="files"></span>';
  item.querySelector('img').src = address(file.thumbnail);
  item.querySelector('img').addEventListener('error', (event) => event.target.classList.add('broken'));
  const link = item.querySelector('a');
  link.href = address(file.url);
  link.download = file.name;
  link.textContent = file.name;
  item.querySelector('.files').textContent = `${file.captured} ${sizeText(file.size)}${file.delivered ? ' (here)' : ''}`;
  $('card-files').append(item);
}

function showCardRoom(room) {
  $('card-room').textContent = room && room.capacityBytes
    ? `${sizeText(room.freeBytes)} free of ${sizeText(room.capacityBytes)}`
      + (room.picturesLeft >= 0 ? `, ${room.picturesLeft} pictures left` : '')
    : '';
}

async function loadCardPage() {
  if (card.loading) return;
  card.loading = true;
  try {
    const page = await request(`/api/card?offset=${card.shown}`);
    page.files.forEach(showCardFile);
    card.shown += page.files.length;
    card.total = page.total;
    showCardRoom(page.room);
    $('card-more').hidden = card.shown >= card.total;
    $('card-note').textContent = `${card.total} files on the card`;
  } catch (error) {
    $('card-note').textContent = error.message;
  } finally {
    card.loading = false;
  }
}

function reloadCard() {
  card.shown = 0;
  $('card-files').replaceChildren();
  if ($('card').open) loadCardPage();
}

async function importNew() {
  try {
    const answer = await request('/api/card/import', { method: 'POST' });
    $('card-note').textContent = answer.importing.length
      ? `importing ${answer.importing.length} files` : 'every file is here already';
  } catch (error) {
    $('card-note').textContent = error.message;
  }
}

// --- Events --------------------------------------------------------------------------------------

function followEvents() {
  const events = new EventSource(address('/api/events'));
  events.addEventListener('open', loadEverything);
  events.addEventListener('error', () => showState('server unreachable', false));
  events.addEventListener('property', (event) => showProperty(JSON.parse(event.data)));
  events.addEventListener('picture', (event) => showPicture(JSON.parse(event.data)));
  events.addEventListener('liveview', (event) => showArea(JSON.parse(event.data)));
  events.addEventListener('card', (event) => showCardRoom(JSON.parse(event.data)));
  events.addEventListener('refused', (event) => say(JSON.parse(event.data).reason));
  events.addEventListener('connection', (event) => {
    showCamera(JSON.parse(event.data));
    reloadCard();
    if (connected) loadEverything();
  });
}

function start() {
  MAIN_SETTINGS.forEach(([name, label]) => settingControl(name, label));
  $('shutter').addEventListener('click', release);
  $('zoom').addEventListener('click', () => command('ToggleLiveViewZoom'));
  $('frame-box').addEventListener('click', moveCross);
  $('frame').addEventListener('load', frameShown);
  $('frame').addEventListener('error', frameBroken);
  $('card').addEventListener('toggle', () => { if ($('card').open && card.shown === 0) loadCardPage(); });
  $('card-more').addEventListener('click', loadCardPage);
  $('card-import').addEventListener('click', importNew);
  loadEverything();
  followEvents();
  followLiveView();
}

start();
