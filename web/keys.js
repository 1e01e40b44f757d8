// keys.js: the player's keys on the page. The start card lists what each key does, labelled
// as the player's own keyboard prints it; its Controls panel changes a binding (pick an action,
// press a key) and keeps it in localStorage, in options.conf's words, for the next visit. The
// game itself reads the bindings; this only shows and stores them.
'use strict';

const storageKey = 'velloran.keys';  // { action: ['US key name', ...] }
const keyList = document.getElementById('keys');
const controlsPanel = document.getElementById('controls');
const controlsNote = document.getElementById('controls-note');
const labels = new Map();      // code -> what the player's layout prints on it
const codeOfName = new Map();  // US key name -> code
let actions = [];              // [{ name, description, keys: [US names] }]
let capturing = null;          // the action waiting for its new key

function storedKeys() {
  try {
    return JSON.parse(localStorage.getItem(storageKey)) || {};
  } catch (e) {
    return {};
  }
}

// What the player's keyboard prints on a key, else its US name.
function labelOf(name) {
  const label = labels.get(codeOfName.get(name));
  return label && /^[\x21-\x7e]+$/.test(label) ? label.toUpperCase() : name;
}

// The game's bindings as the card shows them.
function readBindings() {
  actions = [];
  for (const line of Module.ccall('velloran_bindings', 'string', [], []).split('\n')) {
    if (!line) continue;
    const [name, description, keys] = line.split('\t');
    if (name.startsWith('='))
      codeOfName.set(name.slice(1), description);
    else
      actions.push({name, description, keys: keys ? keys.split(',') : []});
  }
}

function render() {
  const keysOf = (a) => a.keys.map(labelOf).join(' or ') || '-';
  keyList.textContent = actions.map((a) => `${keysOf(a)} ${a.description}`).join(' \u00b7 ');
  controlsPanel.replaceChildren(...actions.map((a) => {
    const row = document.createElement('button');
    row.dataset.action = a.name;
    row.textContent = capturing === a.name ? `${a.description}: press a key (Escape: keep)` :
                                             `${a.description}: ${keysOf(a)}`;
    row.onclick = (event) => {
      event.stopPropagation();
      capturing = a.name;
      controlsNote.textContent = '';
      render();
    };
    return row;
  }));
  const reset = document.createElement('button');
  reset.textContent = 'Reset to defaults';
  reset.onclick = (event) => {
    event.stopPropagation();
    localStorage.removeItem(storageKey);
    applyStoredKeys();
  };
  controlsPanel.append(reset);
}

// The stored bindings handed to the game, then shown.
function applyStoredKeys() {
  const stored = storedKeys();
  const text =
      Object.entries(stored).map(([action, keys]) => `${action} = ${keys.join(', ')}`).join('\n');
  const notes = Module.ccall('velloran_set_bindings', 'string', ['string'], [text]);
  if (notes) console.warn(notes);
  for (const [code, key] of labels)
    Module.ccall('velloran_key_label', null, ['string', 'string'], [code, key]);
  readBindings();
  render();
}

// The key pressed for the action being changed: it becomes that action's one key, and leaves
// the action that had it (unless it was that action's only key).
function captureKey(event) {
  event.preventDefault();
  const action = capturing;
  capturing = null;
  const name = [...codeOfName].find(([, code]) => code === event.code)?.[0];
  if (event.code !== 'Escape' && !name) controlsNote.textContent = 'That key cannot be used.';
  if (event.code === 'Escape' || !name) {
    render();
    return;
  }
  learnLabel(event);
  const stored = storedKeys();
  const owner = actions.find((a) => a.name !== action && a.keys.includes(name));
  if (owner && owner.keys.length === 1) {
    controlsNote.textContent =
        `${labelOf(name)} is the only key of "${owner.description}"; give it another first.`;
    render();
    return;
  }
  if (owner) stored[owner.name] = owner.keys.filter((k) => k !== name);
  stored[action] = [name];
  localStorage.setItem(storageKey, JSON.stringify(stored));
  applyStoredKeys();
}

// A key's label, learnt from the key itself, for the card and the game's help panel.
function learnLabel(event) {
  // A modifier changes what a key types, not what it is labelled.
  if (event.shiftKey || event.altKey || event.ctrlKey || event.metaKey) return;
  if (event.key.length !== 1 || labels.get(event.code) === event.key) return;
  labels.set(event.code, event.key);
  if (Module._velloran_key_label)
    Module.ccall('velloran_key_label', null, ['string', 'string'], [event.code, event.key]);
  if (phase === 'ready') render();
}

// Where the browser tells the layout, every label is known before the first key.
if (navigator.keyboard && navigator.keyboard.getLayoutMap) {
  navigator.keyboard.getLayoutMap().then((map) => {
    for (const [code, key] of map) learnLabel({code, key});
  }, () => {});
}

controlsPanel.addEventListener('click', (event) => event.stopPropagation());
document.getElementById('controls-button').addEventListener('click', (event) => {
  event.stopPropagation();
  controlsPanel.hidden = !controlsPanel.hidden;
});
