// The page of tether rig serve: every camera of the rig with its last
// thumbnail, state and settings, a shutter and a setting for all, and the
// collection shot by shot. Plain DOM, no framework; everything comes from
// the server's API (docs/rig.md), through page.js.
'use strict';

// Shown on every camera; any other setting only where it differs from the rig.
const MAIN_SETTINGS = ['ExposureMode', 'Aperture', 'ShutterTime', 'ExposCompens', 'Sensitivity', 'WhiteBalance'];

const element = (tag, properties = {}) => Object.assign(document.createElement(tag), properties);

function post(path, body) {
  return request(path, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
}

// --- The cameras ----------------------------------------------------------------------

function showRig(rig) {
  $('rig').textContent = `rig ${rig.rig}`;
  const connected = rig.nodes.filter((node) => node.state === 'connected').length;
  $('camera-count').textContent = `${connected} of ${rig.nodes.length} connected`;
  $('shutter').disabled = connected === 0;
  showSettingNames(Object.keys(rig.settings).sort());
  const shown = new Set();
  rig.nodes.forEach((node) => {
    showNode(node);
    shown.add(node.label);
  });
  document.querySelectorAll('#nodes > li').forEach((item) => {
    if (!shown.has(item.dataset.label)) item.remove();
  });
  $('collection').hidden = !rig.collecting;
  if (rig.lastShot) showShot(rig.lastShot);
}

function nodeItem(label) {
  const existing = document.querySelector(`#nodes > li[data-label="${CSS.escape(label)}"]`);
  if (existing) return existing;
  const item = element('li', { className: 'node' });
  item.dataset.label = label;
  const image = element('img', { alt: `last picture of ${label}` });
  image.addEventListener('error', () => image.classList.add('broken'));
  image.addEventListener('load', () => image.classList.remove('broken'));
  const title = element('div', { className: 'title' });
  title.append(element('strong', { className: 'label', textContent: label }), element('span', { className: 'state' }));
  item.append(image, title, element('div', { className: 'camera' }), element('div', { className: 'picture' }),
    element('dl'));
  $('nodes').append(item);
  return item;
}

function showNode(node) {
  const item = nodeItem(node.label);
  item.className = `node ${node.state.replace(' ', '-')}`;
  const state = item.querySelector('.state');
  state.textContent = node.state;
  state.className = `state ${node.state === 'connected' ? 'online' : 'offline'}`;
  const camera = node.camera || {};
  item.querySelector('.camera').textContent = [camera.productId, camera.serialNumber].filter(Boolean).join(' ');
  const picture = node.lastPicture ? `${node.lastPicture.shot} / ${node.lastPicture.name}` : 'no picture yet';
  item.querySelector('.picture').textContent = picture;
  showThumbnail(item.querySelector('img'), node);
  showSettings(item.querySelector('dl'), node);
}

// Fetched again only when the node has another picture.
function showThumbnail(image, node) {
  const name = node.lastPicture ? node.lastPicture.name : '';
  if (image.dataset.picture === name) return;
  image.dataset.picture = name;
  if (node.thumbnail) image.src = address(`${node.thumbnail}?picture=${encodeURIComponent(name)}`);
  else image.removeAttribute('src');
}

function showSettings(list, node) {
  const names = MAIN_SETTINGS.filter((name) => name in node.settings);
  node.differing.forEach((name) => { if (!names.includes(name)) names.push(name); });
  list.replaceChildren(...names.flatMap((name) => {
    const differs = node.differing.includes(name);
    const value = element('dd', { textContent: node.settings[name] || 'none', className: differs ? 'differs' : '' });
    if (differs) value.title = 'differs from the rest of the rig';
    return [element('dt', { textContent: name }), value];
  }));
}

function showSettingNames(names) {
  const select = $('set-name');
  const current = [...select.options].map((option) => option.value);
  if (current.join() === names.join()) return;
  const chosen = select.value;
  select.replaceChildren(...names.map((name) => element('option', { value: name, textContent: name })));
  if (names.includes(chosen)) select.value = chosen;
}

// --- For all -----------------------------------------------------------------------------

function answerItem(answer, success) {
  return element('li', {
    textContent: `${answer.label}: ${answer.ok ? success(answer) : `refused: ${answer.error}`}`,
    className: answer.ok ? '' : 'refused',
  });
}

function showShot(shot) {
  $('shot').hidden = false;
  $('shot-name').textContent = shot.shot;
  const pressed = shot.nodes.filter((node) => node.ok).length;
  $('spread').textContent = shot.spreadMs === null ? 'nobody pressed'
    : `spread ${shot.spreadMs.toFixed(3)} ms over ${pressed} cameras`;
  $('presses').replaceChildren(...shot.nodes.map((node) => answerItem(node, (answer) => {
    const time = new Date(answer.pressed / 1000).toISOString().slice(11, 23);
    return `pressed at ${time}${String(answer.pressed % 1000).padStart(3, '0')} UTC (${answer.lateMs.toFixed(3)} ms after the time)`;
  })));
}

function showSet(set) {
  $('answers').hidden = false;
  $('answers-title').textContent = `${set.name} = ${set.value}`;
  $('answer-list').replaceChildren(...set.nodes.map((node) => answerItem(node, (answer) => `${set.name} = ${answer.text}`)));
}

async function shootAll() {
  const button = $('shutter');
  button.classList.add('busy');
  say('');
  try {
    showShot(await post('/api/shoot', { lead: Number($('lead').value) }));
  } catch (error) {
    say(error.message);
  } finally {
    button.classList.remove('busy');
  }
}

async function setAll(event) {
  event.preventDefault();
  say('');
  try {
    const set = await post('/api/set', { name: $('set-name').value, value: $('set-value').value });
    showSet(set);
    if (!set.ok) say(`${set.nodes.filter((node) => !node.ok).length} cameras refused`);
  } catch (error) {
    say(error.message);
  }
}

// --- The collection -----------------------------------------------------------------------

function showCollection(progress) {
  $('collection').hidden = false;
  const announced = progress.shots.reduce((sum, shot) => sum + shot.announced, 0);
  const collected = progress.shots.reduce((sum, shot) => sum + shot.collected, 0);
  $('collection-total').textContent = `${collected} of ${announced} files` +
    (progress.failures ? `, ${progress.failures} not as announced` : '');
  $('collection-shots').tBodies[0].replaceChildren(...progress.shots.map((shot) => {
    const row = element('tr', { className: shot.collected < shot.announced ? 'incomplete' : '' });
    row.dataset.shot = shot.shot;
    row.append(element('td', { textContent: shot.shot }),
      element('td', { textContent: `${shot.collected} / ${shot.announced}` }));
    return row;
  }));
}

// --- Start ---------------------------------------------------------------------------------

async function loadEverything() {
  try {
    const rig = await request('/api/rig');
    showRig(rig);
    showState('following', true);
    if (rig.collecting) showCollection(await request('/api/collection'));
  } catch (error) {
    say(error.message);
  }
}

function followEvents() {
  const events = new EventSource(address('/api/events'));
  events.addEventListener('open', loadEverything);
  events.addEventListener('error', () => showState('server unreachable', false));
  events.addEventListener('rig', (event) => showRig(JSON.parse(event.data)));
  events.addEventListener('shot', (event) => showShot(JSON.parse(event.data)));
  events.addEventListener('set', (event) => showSet(JSON.parse(event.data)));
  events.addEventListener('collection', (event) => showCollection(JSON.parse(event.data)));
}

function start() {
  $('shutter').addEventListener('click', shootAll);
  $('set-all').addEventListener('submit', setAll);
  loadEverything();
  followEvents();
}

start();
