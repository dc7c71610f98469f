// What the pages of tether serve and tether rig serve share: the server's
// API, with the token the page was opened with, and the page's state line
// and message.
'use strict';

const token = new URLSearchParams(location.search).get('token');
const $ = (id) => document.getElementById(id);

// Every address carries the token when the page was opened with one.
function address(path) {
  return token ? `${path}${path.includes('?') ? '&' : '?'}token=${encodeURIComponent(token)}` : path;
}

async function request(path, options = {}) {
  const response = await fetch(address(path), options);
  const body = await response.json().catch(() => ({}));
  if (!response.ok) throw Object.assign(new Error(body.error || response.statusText), { body });
  return body;
}

function say(text) {
  $('message').textContent = text || '';
}

function showState(text, good) {
  const state = $('state');
  state.textContent = text;
  state.className = `state ${good ? 'online' : 'offline'}`;
}
