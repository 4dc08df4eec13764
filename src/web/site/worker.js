// The page's worker: the WebAssembly converter runs here, one song after the
// other, so that the page stays responsive. Messages in: "drop" (the files),
// "convert" (the controls), "info" (one song and the controls). Messages out:
// "ready", "dropped", "starting", "finished", "done", "info".
"use strict";

// The page's language, which it chose from the browser's ("ja" or "en").
const japanese = new URLSearchParams(self.location.search).get("lang") === "ja";
let session = 0;
let batch = 0;

// The page's files live in a folder of their own per drop, the current folder,
// so that paths in messages read as the page shows them.
function freshFolder() {
  const FS = Module.FS;
  FS.chdir("/");
  if (batch > 0) removeTree("/drop" + batch);
  batch += 1;
  FS.mkdir("/drop" + batch);
  FS.chdir("/drop" + batch);
}

function removeTree(path) {
  const FS = Module.FS;
  for (const name of FS.readdir(path)) {
    if (name === "." || name === "..") continue;
    const child = path + "/" + name;
    if (FS.isDir(FS.stat(child).mode)) removeTree(child);
    else FS.unlink(child);
  }
  FS.rmdir(path);
}

function writeFile(path, data) {
  const FS = Module.FS;
  const parts = path.split("/");
  let folder = "";
  for (const part of parts.slice(0, -1)) {
    folder = folder ? folder + "/" + part : part;
    if (!FS.analyzePath(folder).exists) FS.mkdir(folder);
  }
  FS.writeFile(path, new Uint8Array(data));
}

function call(name, types, args) {
  return Module.ccall(name, "string", ["number"].concat(types), [session].concat(args));
}

function controlArgs(c) {
  return [c.psg, c.fm, c.loops, c.boxes];
}

var Module = {
  locateFile: (name) => name,
  onStarting: (index, count, path, text) => postMessage({type: "starting", index, count, path, text}),
  onFinished: (index, path, failure, image) => {
    let data = null;
    if (!failure) {
      data = Module.FS.readFile(image);
      Module.FS.unlink(image);
    }
    postMessage({type: "finished", index, path, failure, image, data}, data ? [data.buffer] : []);
  },
  onRuntimeInitialized: () => {
    session = Module._kvtram_web_open(japanese ? 1 : 0);
    postMessage({type: "ready", controls: JSON.parse(call("kvtram_web_controls", [], [])),
                 texts: JSON.parse(call("kvtram_web_texts", [], []))});
  },
};

onmessage = (event) => {
  const request = event.data;
  if (request.type === "drop") {
    freshFolder();
    const songs = [];
    for (const file of request.files) {
      writeFile(file.path, file.data);
      Module.ccall("kvtram_web_add", null, ["number", "string"], [session, file.path]);
      if (Module.ccall("kvtram_web_is_song", "number", ["string"], [file.path])) songs.push(file.path);
    }
    const message = call("kvtram_web_drop", [], []);
    postMessage({type: "dropped", songs: message ? [] : songs, message});
  } else if (request.type === "convert") {
    const message = call("kvtram_web_convert", ["string", "string", "string", "number"],
                         controlArgs(request.controls));
    postMessage({type: "done", message});
  } else if (request.type === "info") {
    const text = call("kvtram_web_info", ["string", "string", "string", "string", "number"],
                      [request.path].concat(controlArgs(request.controls)));
    postMessage({type: "info", path: request.path, text});
  }
};

importScripts("kvtram-web.js");
