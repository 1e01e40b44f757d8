// options.js: the start card's Settings panel: the three volumes and the HUD's size and outline,
// kept in localStorage in options.conf's words and handed to the game as soon as they change.
// On a portrait screen the page picks the HUD's size itself, unless the player chose one, so the
// HUD's smallest line stays readable.
'use strict';

const optionsKey = 'velloran.options';  // { volume: 80, hud_outline: 'on', ... }
const optionsPanel = document.getElementById('options');
const optionSliders = [
  {name: 'volume', label: 'Volume', min: 0, max: 100, step: 1, value: 100},
  {name: 'effects_volume', label: 'Effects', min: 0, max: 100, step: 1, value: 100},
  {name: 'ambience_volume', label: 'Ambience', min: 0, max: 100, step: 1, value: 100},
  {name: 'hud_scale', label: 'HUD size', min: 1, max: 2, step: 0.1, value: 1},
];
// The HUD's top line is 48 font pixels at width / 3000: this many CSS pixels per CSS pixel of
// the canvas's width at hud_scale 1.
const hudLinePerWidth = 48 / 3000;
const minHudLinePx = 12;

function storedOptions() {
  try {
    return JSON.parse(localStorage.getItem(optionsKey)) || {};
  } catch (e) {
    return {};
  }
}

// The HUD size the page picks when the player chose none: larger on a narrow portrait canvas.
function pageHudScale() {
  const canvas = document.getElementById('canvas');
  const width = canvas.clientWidth || innerWidth;
  if (innerHeight <= innerWidth || !width) return null;
  const scale = minHudLinePx / (hudLinePerWidth * width);
  return scale > 1 ? Math.min(2, Math.round(scale * 10) / 10) : null;
}

// The stored options handed to the game.
function applyStoredOptions() {
  if (!Module._velloran_set_options) return;
  const stored = storedOptions();
  if (stored.hud_scale === undefined && pageHudScale()) stored.hud_scale = pageHudScale();
  const text = Object.entries(stored).map(([name, value]) => `${name} = ${value}`).join('\n');
  const notes = Module.ccall('velloran_set_options', 'string', ['string'], [text]);
  if (notes) console.warn(notes);
}

function storeOption(name, value) {
  const stored = storedOptions();
  if (value === null)
    delete stored[name];
  else
    stored[name] = value;
  localStorage.setItem(optionsKey, JSON.stringify(stored));
  applyStoredOptions();
}

function renderOptions() {
  const stored = storedOptions();
  const rows = optionSliders.map((option) => {
    const row = document.createElement('label');
    const slider = document.createElement('input');
    Object.assign(slider, {type: 'range', min: option.min, max: option.max, step: option.step});
    slider.name = option.name;
    slider.value = stored[option.name] ?? option.value;
    const shown = document.createElement('span');
    shown.textContent = slider.value;
    slider.oninput = () => {
      shown.textContent = slider.value;
      storeOption(option.name, Number(slider.value));
    };
    row.append(`${option.label} `, slider, ' ', shown);
    return row;
  });
  const outline = document.createElement('label');
  const box = document.createElement('input');
  box.type = 'checkbox';
  box.name = 'hud_outline';
  box.checked = stored.hud_outline === 'on';
  box.onchange = () => storeOption('hud_outline', box.checked ? 'on' : null);
  outline.append(box, ' HUD outline');
  const reset = document.createElement('button');
  reset.textContent = 'Reset settings';
  reset.onclick = () => {
    localStorage.removeItem(optionsKey);
    applyStoredOptions();
    renderOptions();
  };
  optionsPanel.replaceChildren(...rows, outline, reset);
}

optionsPanel.addEventListener('click', (event) => event.stopPropagation());
optionsPanel.addEventListener('keydown', (event) => event.stopPropagation());
document.getElementById('options-button').addEventListener('click', (event) => {
  event.stopPropagation();
  optionsPanel.hidden = !optionsPanel.hidden;
});
renderOptions();
// Applied when the game is ready, and again when a turned screen changes the page's choice.
const pageReady = Module.velloranReady;
Module.velloranReady = () => {
  pageReady();
  applyStoredOptions();
};
addEventListener('resize', applyStoredOptions);
