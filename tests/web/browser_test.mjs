// The page in a real Chromium: songs given through the file input, through
// a drop of files and through a drop of a folder, converted by the worker, the outcomes read from the list, every
// image and the .zip downloaded and compared byte for byte with the native
// command line's images of the same files.
//   node --test tests/web/browser_test.mjs
// with KVTRAM_SITE (build/web/site), KVTRAM_NATIVE (the native kvtram) and,
// optionally, KVTRAM_SCREENSHOT (where the picture of the page goes).
import {test} from "node:test";
import assert from "node:assert/strict";
import {spawn, spawnSync} from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import {fileURLToPath} from "node:url";
import {createRequire} from "node:module";

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, "../..");
const require = createRequire(import.meta.url);
const {chromium} = require(path.join(root, "node_modules/playwright-core"));
const {unzipSync} = require(path.join(root, "node_modules/fflate"));

const site = path.resolve(process.env.KVTRAM_SITE ?? path.join(root, "build/web/site"));
const native = path.resolve(process.env.KVTRAM_NATIVE ?? path.join(root, "build/release/src/cli/kvtram"));
const screenshot = process.env.KVTRAM_SCREENSHOT;
const examples = path.join(root, "examples");

// A copy of an example song whose header names another sample file (the
// name field: 8 bytes at 0x30, ended by a space).
function songNaming(source, nameBytes) {
  const song = Buffer.from(fs.readFileSync(path.join(examples, source)));
  const field = Buffer.alloc(8, 0x20);
  Buffer.from(nameBytes).copy(field);
  field.copy(song, 0x30);
  return song;
}

const pcm = fs.readFileSync(path.join(examples, "pcm.kv"));
const pcmSamples = fs.readFileSync(path.join(examples, "pcm.kvp"));
const drumsName = [0x83, 0x68, 0x83, 0x89, 0x83, 0x80];  // ドラム in Shift-JIS

// Each set: the files as the page gets them (name, bytes; on disk the name
// may be other bytes, as a Japanese system wrote them).
const sets = {
  picked: [
    {name: "fm_psg_scc.kv", data: fs.readFileSync(path.join(examples, "fm_psg_scc.kv"))},
    {name: "pcm.kv", data: pcm},
    {name: "pcm.kvp", data: pcmSamples},
    {name: "lost.kv", data: songNaming("pcm.kv", Buffer.from("lost"))},
  ],
  dropped: [
    {name: "drums.kv", data: songNaming("pcm.kv", drumsName)},
    {name: "ドラム.kvp", diskName: Buffer.concat([Buffer.from(drumsName), Buffer.from(".kvp")]),
     data: pcmSamples},
    {name: "Pcm.kv", data: pcm},
    {name: "PCM.KVP", data: pcmSamples},
    {name: "lost.kv", data: songNaming("pcm.kv", Buffer.from("lost"))},
  ],
};

// A folder as Chromium hands a dropped one to the page: no File in the
// transfer's items, only an entry, whose reader gives the children
// asynchronously, at most 100 a call, then an empty batch.
const folder = [
  {name: "songs/drums.kv", data: songNaming("pcm.kv", drumsName)},
  {name: "songs/ドラム.kvp", diskName: Buffer.concat([Buffer.from("songs/"), Buffer.from(drumsName), Buffer.from(".kvp")]),
   data: pcmSamples},
  {name: "songs/deeper/Pcm.kv", data: pcm},
  {name: "songs/deeper/PCM.KVP", data: pcmSamples},
];

const environments = {ja: "ja_JP.UTF-8", en: "C.UTF-8"};

// The page's text of a catalog entry (po/ja.po) in one language.
function catalogText(name, language) {
  const po = fs.readFileSync(path.join(root, "po/ja.po"), "utf8");
  const entry = new RegExp(`msgctxt "${name}"\nmsgid "(.*)"\nmsgstr "(.*)"`).exec(po);
  assert.ok(entry, name);
  return language === "ja" ? entry[2] : entry[1];
}

// What the native command line makes of the same files: images and listing
// lines by song name, failure lines by song name.
function nativeFolder(files) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "kvtram-native-"));
  for (const f of files) {
    fs.mkdirSync(path.dirname(path.join(dir, f.name)), {recursive: true});
    fs.writeFileSync(Buffer.concat([Buffer.from(dir + "/"), f.diskName ?? Buffer.from(f.name)]), f.data);
  }
  return dir;
}

function nativeOutcome(files, language) {
  const dir = nativeFolder(files);
  const songs = files.filter((f) => /\.kv$/i.test(f.name)).map((f) => f.name);
  const env = {...process.env, LANGUAGE: "", LC_ALL: "", LC_MESSAGES: "", LANG: environments[language]};
  const run = spawnSync(native, ["convert", ...songs], {cwd: dir, env});
  const failures = new Map();
  for (const line of run.stderr.toString().split("\n").filter(Boolean)) {
    failures.set(line.slice(0, line.indexOf(" : ")), line);
  }
  const listed = new Map();
  for (const line of run.stdout.toString().split("\n")) listed.set(line.slice(0, line.indexOf(" : ")), line);
  const images = new Map();
  for (const song of songs) {
    const image = song.slice(0, -3) + ".trm";
    if (fs.existsSync(path.join(dir, image))) {
      images.set(song, {bytes: fs.readFileSync(path.join(dir, image)), line: listed.get(image)});
    }
  }
  fs.rmSync(dir, {recursive: true});
  return {images, failures};
}

function serve() {
  return new Promise((resolve, reject) => {
    const server = spawn(path.join(root, "scripts/serve-web"), ["0", site], {stdio: ["ignore", "pipe", "inherit"]});
    server.stdout.on("data", (chunk) => {
      const address = /http:\/\/[0-9.:]+\//.exec(chunk.toString());
      if (address) resolve({server, address: address[0]});
    });
    server.on("exit", (code) => reject(new Error("serve-web ended with " + code)));
  });
}

async function outcomesOf(page) {
  return page.$$eval("#outcomes li", (items) => items.map((li) => ({
    path: li.querySelector(".path").textContent,
    state: li.className,
    outcome: li.querySelector(".outcome").textContent,
  })));
}

async function convertAndCheck(page, language, files, converts) {
  await page.waitForSelector(`#outcomes li >> nth=${files.filter((f) => /\.kv$/i.test(f.name)).length - 1}`);
  await page.getByRole("button", {name: catalogText("ButtonConvert", language)}).click();
  await page.waitForFunction((n) => document.body.dataset.done === String(n), converts, {timeout: 120000});
  const expected = nativeOutcome(files, language);
  const listed = await outcomesOf(page);
  assert.equal(listed.length, expected.images.size + expected.failures.size);
  const images = new Map();
  for (const entry of listed) {
    if (expected.failures.has(entry.path)) {
      assert.equal(entry.state, "failed", entry.path);
      assert.equal(entry.outcome, expected.failures.get(entry.path));
      continue;
    }
    const want = expected.images.get(entry.path);
    assert.ok(want, `${entry.path}: written by the page, not by the command line`);
    assert.equal(entry.state, "written");
    assert.equal(entry.outcome, want.line);
    const save = catalogText("WebSaveImage", language).replace("{1}", `${entry.path.slice(0, -3)}.trm`);
    const [download] = await Promise.all([
      page.waitForEvent("download"),
      page.getByRole("link", {name: save, exact: true}).click(),
    ]);
    const bytes = fs.readFileSync(await download.path());
    assert.ok(bytes.equals(want.bytes), `${entry.path}: the downloaded image differs from the native one`);
    images.set(entry.path.slice(0, -3) + ".trm", want.bytes);
  }
  const [zipDownload] = await Promise.all([page.waitForEvent("download"), page.locator("#zip").click()]);
  const zipped = unzipSync(fs.readFileSync(await zipDownload.path()));
  assert.deepEqual(Object.keys(zipped).sort(), [...images.keys()].sort());
  for (const [name, want] of images) assert.ok(Buffer.from(zipped[name]).equals(want), `${name} in the .zip differs`);
  return images.size;
}

// The page in Chromium with the browser's language; `check` gets the page.
async function withPage(locale, check) {
  const {server, address} = await serve();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "kvtram-chromium-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    acceptDownloads: true,
    locale,
    viewport: {width: 900, height: 1000},
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", `--lang=${locale}`],
  });
  const fromElsewhere = [];
  try {
    const page = await context.newPage();
    page.on("request", (request) => {
      if (!request.url().startsWith(address) && !request.url().startsWith("blob:")) fromElsewhere.push(request.url());
    });
    const errors = [];
    page.on("pageerror", (error) => errors.push(error.message));
    await page.goto(address);
    await page.waitForFunction(() => document.body.dataset.ready === "1");
    await check(page);
    assert.deepEqual(errors, []);
    assert.deepEqual(fromElsewhere, []);
  } finally {
    await context.close();
    server.kill();
    fs.rmSync(profile, {recursive: true, force: true});
  }
}

// Drops `files` onto the page as Chromium hands over a dropped folder: each
// top folder an item whose entry is a directory, walked by the page.
async function dropFolder(page, files) {
  const listed = files.map((f) => ({name: f.name, bytes: [...f.data]}));
  await page.evaluate((files) => {
    const later = (f) => setTimeout(f, 0);
    const folderEntry = (fullPath) => ({
      isFile: false, isDirectory: true, name: fullPath.slice(fullPath.lastIndexOf("/") + 1), fullPath,
      createReader() {
        const below = fullPath.slice(1) + "/";
        const children = new Map();
        for (const f of files) {
          if (!f.name.startsWith(below)) continue;
          const rest = f.name.slice(below.length);
          const child = rest.includes("/") ? rest.slice(0, rest.indexOf("/")) : rest;
          if (!children.has(child)) {
            children.set(child, rest.includes("/") ? folderEntry(fullPath + "/" + child)
                                                   : fileEntry(fullPath + "/" + child, f.bytes));
          }
        }
        const waiting = [...children.values()];
        return {readEntries(success) { later(() => success(waiting.splice(0, 100))); }};
      },
    });
    const fileEntry = (fullPath, bytes) => ({
      isFile: true, isDirectory: false, name: fullPath.slice(fullPath.lastIndexOf("/") + 1), fullPath,
      file(success) { later(() => success(new File([new Uint8Array(bytes)], this.name))); },
    });
    const tops = [...new Set(files.map((f) => f.name.slice(0, f.name.indexOf("/"))))];
    const items = tops.map((top) => ({kind: "file", type: "", getAsFile: () => null,
                                      webkitGetAsEntry: () => folderEntry("/" + top)}));
    const drop = new Event("drop", {bubbles: true, cancelable: true});
    Object.defineProperty(drop, "dataTransfer", {value: {items, files: [], types: ["Files"]}});
    document.getElementById("drop-zone").dispatchEvent(drop);
  }, listed);
}

test("the page converts picked and dropped songs and folders as the command line does", async () => {
  await withPage("ja-JP", async (page) => {
    // The dialog's start states, under the dialog's labels.
    assert.equal(await page.getByLabel(catalogText("LabelPsgVolume", "ja")).inputValue(), "1");
    assert.equal(await page.getByLabel("FM 音量減").inputValue(), "1");
    assert.equal(await page.getByLabel("ループ").inputValue(), "2");
    assert.equal(await page.getByLabel("サンプリング計算厳密化(中音)").isChecked(), true);
    assert.equal(await page.getByLabel("サンプリング計算厳密化(高音)").isChecked(), false);

    await page.setInputFiles("#picker", sets.picked.map((f) => ({name: f.name, mimeType: "application/octet-stream",
                                                                 buffer: f.data})));
    assert.equal(await convertAndCheck(page, "ja", sets.picked, 1), 2);

    // A drop as the desktop makes it: a DataTransfer with the files.
    const dropped = sets.dropped.map((f) => ({name: f.name, bytes: [...f.data]}));
    const transfer = await page.evaluateHandle((files) => {
      const data = new DataTransfer();
      for (const f of files) data.items.add(new File([new Uint8Array(f.bytes)], f.name));
      return data;
    }, dropped);
    await page.dispatchEvent("#drop-zone", "drop", {dataTransfer: transfer});
    assert.equal(await convertAndCheck(page, "ja", sets.dropped, 2), 2);

    // The size report of a song, as `kvtram info` prints it.
    await page.getByRole("button", {name: "サイズ: Pcm.kv"}).click();
    await page.waitForSelector("#report:not([hidden])");
    const report = await page.locator("#report-text").textContent();
    const dir = nativeFolder(sets.dropped);
    const info = spawnSync(native, ["info", "Pcm.kv"], {cwd: dir, env: {...process.env, LANG: "ja_JP.UTF-8"}});
    fs.rmSync(dir, {recursive: true});
    assert.match(report, /^Pcm\.kv\n {2}title/);
    assert.equal(report, info.stdout.toString());

    // Keyboard: the controls are reached by Tab.
    await page.locator("#picker").focus();
    await page.keyboard.press("Tab");
    assert.equal(await page.evaluate(() => document.activeElement.id), "c1003");

    if (screenshot) await page.screenshot({path: screenshot, fullPage: true});
  });
});

test("in English the page speaks English and walks a dropped folder", async () => {
  await withPage("en-US", async (page) => {
    assert.equal(await page.evaluate(() => document.documentElement.lang), "en");
    assert.equal(await page.locator("#zip").isVisible(), false, "nothing to save before a conversion");
    assert.equal(await page.getByLabel(catalogText("LabelPsgVolume", "en")).inputValue(), "1");
    // Both songs of the folder, and one whose sample file is missing: its failure in English.
    const files = [...folder, {name: "songs/lost.kv", data: songNaming("pcm.kv", Buffer.from("lost"))}];
    await dropFolder(page, files);
    assert.equal(await convertAndCheck(page, "en", files, 1), 2);
  });
});
