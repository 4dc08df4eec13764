// The page in a real Chromium: songs given through the file input and through
// a drop, converted by the worker, the outcomes read from the list, every
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

// What the native command line makes of the same files: images by song
// name, failure lines by song name.
function nativeFolder(files) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "kvtram-native-"));
  for (const f of files) {
    fs.writeFileSync(Buffer.concat([Buffer.from(dir + "/"), f.diskName ?? Buffer.from(f.name)]), f.data);
  }
  return dir;
}

function nativeOutcome(files) {
  const dir = nativeFolder(files);
  const songs = files.filter((f) => /\.kv$/i.test(f.name)).map((f) => f.name);
  const run = spawnSync(native, ["convert", "-q", ...songs], {cwd: dir, env: {...process.env, LANG: "ja_JP.UTF-8"}});
  const failures = new Map();
  for (const line of run.stderr.toString().split("\n").filter(Boolean)) {
    failures.set(line.slice(0, line.indexOf(" : ")), line);
  }
  const images = new Map();
  for (const song of songs) {
    const image = song.slice(0, -3) + ".trm";
    if (fs.existsSync(path.join(dir, image))) images.set(song, fs.readFileSync(path.join(dir, image)));
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

async function convertAndCheck(page, files, converts) {
  await page.waitForSelector(`#outcomes li >> nth=${files.filter((f) => /\.kv$/i.test(f.name)).length - 1}`);
  await page.getByRole("button", {name: "変換"}).click();
  await page.waitForFunction((n) => document.body.dataset.done === String(n), converts, {timeout: 120000});
  const expected = nativeOutcome(files);
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
    assert.equal(entry.outcome, `${entry.path.slice(0, -3)}.trm : ${want.length} バイト`);
    const [download] = await Promise.all([
      page.waitForEvent("download"),
      page.getByRole("link", {name: `保存: ${entry.path.slice(0, -3)}.trm`}).click(),
    ]);
    const bytes = fs.readFileSync(await download.path());
    assert.ok(bytes.equals(want), `${entry.path}: the downloaded image differs from the native one`);
    images.set(entry.path.slice(0, -3) + ".trm", want);
  }
  const [zipDownload] = await Promise.all([page.waitForEvent("download"), page.locator("#zip").click()]);
  const zipped = unzipSync(fs.readFileSync(await zipDownload.path()));
  assert.deepEqual(Object.keys(zipped).sort(), [...images.keys()].sort());
  for (const [name, want] of images) assert.ok(Buffer.from(zipped[name]).equals(want), `${name} in the .zip differs`);
  return images.size;
}

test("the page converts picked and dropped songs as the command line does", async () => {
  const {server, address} = await serve();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "kvtram-chromium-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    acceptDownloads: true,
    locale: "ja-JP",
    viewport: {width: 900, height: 1000},
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
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
    // The dialog's start states.
    assert.equal(await page.getByLabel("PSG 音量減").inputValue(), "1");
    assert.equal(await page.getByLabel("FM 音量減").inputValue(), "1");
    assert.equal(await page.getByLabel("ループ").inputValue(), "2");
    assert.equal(await page.getByLabel("サンプリング計算厳密化(中音)").isChecked(), true);
    assert.equal(await page.getByLabel("サンプリング計算厳密化(高音)").isChecked(), false);

    await page.setInputFiles("#picker", sets.picked.map((f) => ({name: f.name, mimeType: "application/octet-stream",
                                                                 buffer: f.data})));
    assert.equal(await convertAndCheck(page, sets.picked, 1), 2);

    // A drop as the desktop makes it: a DataTransfer with the files.
    const dropped = sets.dropped.map((f) => ({name: f.name, bytes: [...f.data]}));
    const transfer = await page.evaluateHandle((files) => {
      const data = new DataTransfer();
      for (const f of files) data.items.add(new File([new Uint8Array(f.bytes)], f.name));
      return data;
    }, dropped);
    await page.dispatchEvent("#drop-zone", "drop", {dataTransfer: transfer});
    assert.equal(await convertAndCheck(page, sets.dropped, 2), 2);

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
    assert.deepEqual(errors, []);
    assert.deepEqual(fromElsewhere, []);
  } finally {
    await context.close();
    server.kill();
    fs.rmSync(profile, {recursive: true, force: true});
  }
});
