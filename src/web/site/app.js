// The page: a shell over the converter in the worker, as the dialogs are over
// the dialog model. It gathers the dropped or picked files, reads the controls,
// and shows each song's outcome as the worker reports it.
"use strict";

const kListBox = 0;
const kEdit = 2;
const kLabel = 3;
const kEditIds = [1003, 1004, 1010];
const kBoxIds = [1005, 1006, 1007, 1008, 1009];  // bit 0 upwards, as the worker expects

// The browser's first language chooses the texts: Japanese for "ja...",
// English otherwise. The worker speaks it too (its failures and progress).
const preferred = (navigator.languages && navigator.languages[0]) || navigator.language || "";
const language = preferred.toLowerCase().startsWith("ja") ? "ja" : "en";
document.documentElement.lang = language;
const worker = new Worker("worker.js?lang=" + language);
const $ = (id) => document.getElementById(id);
let texts = {};  // the catalog's texts the page shows, by name
const outcomes = new Map();  // song path -> its list entry and image
let busy = false;
let zipUrl = null;

// A catalog text with {1}, {2}, ... filled in.
function fill(name, values) {
  return texts[name].replace(/\{([1-9])\}/g, (whole, n) => (n <= values.length ? String(values[n - 1]) : whole));
}

function applyTexts() {
  for (const element of document.querySelectorAll("[data-text]")) element.textContent = texts[element.dataset.text];
  for (const element of document.querySelectorAll("[data-text-label]")) {
    element.setAttribute("aria-label", texts[element.dataset.textLabel]);
  }
}

// Labels and start states from the dialog's template: the texts of the
// labels go to the control nearest below or beside them.
function applyControls(dialog) {
  $("caption").textContent = dialog.caption;
  document.title = dialog.caption;
  const labels = dialog.controls.filter((c) => c.kind === kLabel);
  const byId = new Map(dialog.controls.map((c) => [c.id, c]));
  const nearestLabel = (control) => {
    let best = null;
    let bestDistance = Infinity;
    for (const label of labels) {
      const distance = Math.hypot(label.x - control.x, label.y - control.y);
      if (distance < bestDistance) [best, bestDistance] = [label, distance];
    }
    return best ? best.text : "";
  };
  for (const element of document.querySelectorAll("[data-control]")) {
    const control = byId.get(Number(element.dataset.control));
    if (!control) continue;
    const labelled = control.kind === kEdit || control.kind === kListBox;
    element.textContent = labelled ? nearestLabel(control) : control.text;
  }
  for (const id of kEditIds) $("c" + id).value = dialog.start[id];
  for (const id of kBoxIds) $("c" + id).checked = dialog.start[id];
}

function readControls() {
  let boxes = 0;
  kBoxIds.forEach((id, bit) => { if ($("c" + id).checked) boxes |= 1 << bit; });
  return {psg: $("c1003").value, fm: $("c1004").value, loops: $("c1010").value, boxes};
}

function setBusy(state) {
  busy = state;
  $("convert").disabled = state || outcomes.size === 0;
  $("picker").disabled = state;
  for (const button of document.querySelectorAll("#outcomes button")) button.disabled = state;
}

// Every file of a drop, folders walked to the bottom, with its path below
// the dropped item.
async function filesOfEntry(entry, prefix, into) {
  if (entry.isFile) {
    const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
    into.push({path: prefix + entry.name, file});
  } else if (entry.isDirectory) {
    const reader = entry.createReader();
    for (;;) {
      const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
      if (batch.length === 0) break;
      for (const child of batch) await filesOfEntry(child, prefix + entry.name + "/", into);
    }
  }
}

async function takeFiles(items) {
  items.sort((a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0));
  const files = [];
  for (const item of items) files.push({path: item.path, data: await item.file.arrayBuffer()});
  worker.postMessage({type: "drop", files}, files.map((f) => f.data));
}

function clearOutcomes() {
  for (const entry of outcomes.values()) if (entry.url) URL.revokeObjectURL(entry.url);
  outcomes.clear();
  $("outcomes").replaceChildren();
  if (zipUrl) URL.revokeObjectURL(zipUrl);
  zipUrl = null;
  $("zip").hidden = true;
  $("report").hidden = true;
  $("progress").value = 0;
}

function baseName(path) {
  return path.slice(path.lastIndexOf("/") + 1);
}

function listSongs(songs) {
  clearOutcomes();
  for (const path of songs) {
    const item = document.createElement("li");
    const name = document.createElement("span");
    name.className = "path";
    name.textContent = path;
    const outcome = document.createElement("span");
    outcome.className = "outcome";
    const actions = document.createElement("span");
    actions.className = "actions";
    const size = document.createElement("button");
    size.type = "button";
    size.className = "small";
    size.textContent = texts.WebSize;
    size.setAttribute("aria-label", fill("WebSizeOf", [path]));
    size.addEventListener("click", () => {
      setBusy(true);
      worker.postMessage({type: "info", path, controls: readControls()});
    });
    actions.append(size);
    item.append(name, outcome, actions);
    $("outcomes").append(item);
    outcomes.set(path, {item, outcome, actions, url: null, image: null, data: null});
  }
  $("progress").max = Math.max(1, songs.length);
}

function finished(message) {
  const entry = outcomes.get(message.path);
  if (!entry) return;
  if (message.failure) {
    entry.item.className = "failed";
    entry.outcome.textContent = message.failure;
  } else {
    entry.item.className = "written";
    entry.outcome.textContent = fill("ImageListed", [message.image, message.data.length]);
    entry.image = message.image;
    entry.data = message.data;
    entry.url = URL.createObjectURL(new Blob([message.data], {type: "application/octet-stream"}));
    const link = document.createElement("a");
    link.href = entry.url;
    link.download = baseName(message.image);
    link.textContent = texts.WebSave;
    link.className = "download";
    link.setAttribute("aria-label", fill("WebSaveImage", [message.image]));
    entry.actions.prepend(link);
  }
  $("progress").value += 1;
}

function offerZip() {
  const files = {};
  for (const entry of outcomes.values()) if (entry.data) files[entry.image] = entry.data;
  if (Object.keys(files).length === 0) return;
  const zip = fflate.zipSync(files, {level: 6});
  zipUrl = URL.createObjectURL(new Blob([zip], {type: "application/zip"}));
  $("zip").href = zipUrl;
  $("zip").download = "kvtram.zip";
  $("zip").hidden = false;
}

worker.onmessage = (event) => {
  const message = event.data;
  switch (message.type) {
    case "ready":
      texts = message.texts;
      applyTexts();
      applyControls(message.controls);
      document.body.dataset.ready = "1";
      break;
    case "dropped":
      listSongs(message.songs);
      $("status").textContent = message.message;
      setBusy(false);
      break;
    case "starting":
      $("status").textContent = message.text;
      break;
    case "finished":
      finished(message);
      break;
    case "done":
      $("status").textContent = message.message;
      offerZip();
      setBusy(false);
      document.body.dataset.done = String(Number(document.body.dataset.done || 0) + 1);
      break;
    case "info":
      $("report-text").textContent = message.text;
      $("report").hidden = false;
      setBusy(false);
      break;
  }
};

$("options").addEventListener("submit", (event) => {
  event.preventDefault();
  if (busy || outcomes.size === 0) return;
  for (const entry of outcomes.values()) {
    entry.item.className = "";
    entry.outcome.textContent = "";
    entry.actions.querySelector(".download")?.remove();
    if (entry.url) URL.revokeObjectURL(entry.url);
    entry.url = entry.data = entry.image = null;
  }
  if (zipUrl) URL.revokeObjectURL(zipUrl);
  zipUrl = null;
  $("zip").hidden = true;
  $("progress").value = 0;
  setBusy(true);
  worker.postMessage({type: "convert", controls: readControls()});
});

$("picker").addEventListener("change", () => {
  const picked = Array.from($("picker").files, (file) => ({path: file.name, file}));
  if (picked.length > 0) takeFiles(picked);
  $("picker").value = "";
});

const zone = $("drop-zone");
zone.addEventListener("dragover", (event) => {
  event.preventDefault();
  zone.classList.add("over");
});
zone.addEventListener("dragleave", () => zone.classList.remove("over"));
zone.addEventListener("drop", async (event) => {
  event.preventDefault();
  zone.classList.remove("over");
  if (busy) return;
  const entries = Array.from(event.dataTransfer.items, (item) => item.webkitGetAsEntry()).filter(Boolean);
  const items = [];
  if (entries.length > 0) {
    for (const entry of entries) await filesOfEntry(entry, "", items);
  } else {
    for (const file of event.dataTransfer.files) items.push({path: file.name, file});
  }
  if (items.length > 0) takeFiles(items);
});
