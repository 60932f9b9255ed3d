// The page's figures, from its own time stamps (?bench=1 keeps one per write
// of the program, per key event and per key that reached the program), in
// Debian's Chromium on the local static server. Prints one table.
//
//   node bench/web/bench.mjs SITE [--check]     (needs `npm ci` in tests/web)
//
// --check makes it exit 1 when a figure misses its target.
import { readdirSync, readFileSync, statSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { serve, launch, waitForScreen, sleep } from "../../tools/browser.mjs";

const args = process.argv.slice(2);
const site = resolve(args.find((a) => !a.startsWith("--")) ?? "build/web/site");
const checking = args.includes("--check");
const rows = [];
const row = (figure, measured, target, met) => rows.push({ figure, measured, target, met });

const median = (values) => {
  const s = [...values].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const percentile = (values, p) => {
  const s = [...values].sort((a, b) => a - b);
  return s[Math.min(s.length - 1, Math.ceil((p / 100) * s.length) - 1)];
};
// The sample data with a hero fast enough that running away always succeeds.
const assets = resolve(dirname(fileURLToPath(import.meta.url)), "../../assets");
function fastHeroFiles() {
  return readdirSync(assets)
    .filter((name) => name.endsWith(".txt"))
    .map((name) => {
      let buffer = readFileSync(join(assets, name));
      if (name === "Hero_Status_Info.txt") {
        const lines = buffer.toString("latin1").split("\n");
        lines[1] = "60 12 8 6 6 60";
        buffer = Buffer.from(lines.join("\n"), "latin1");
      }
      return { name, mimeType: "text/plain", buffer };
    });
}
const menu = /にげる[\s\S]*HP : 60 \/ 60/;
const writes = (page) =>
  page.evaluate(() => window.rpgBench.writes.map(({ at, text, parsed, frame }) => ({ at, text, parsed, frame })));

async function open(browser, url) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  const page = await context.newPage();
  await page.goto(url);
  return { context, page };
}

// Start-up: from the first frame of the screen (the first write of "＿") to
// the last write before the command menu waits, against its pauses: 100 ms,
// 4 x 100, 18 x 30 and 3 x 10, less the last marker's pause (1060 ms).
// Navigation to the first frame: the animation frame after xterm.js took in
// that first write, from the navigation's start.
async function startUp(browser, url, runs) {
  const ratios = { cold: [], warm: [] };
  const firstFrames = [];
  let counted = "";
  const measure = async (page, kind) => {
    await waitForScreen(page, menu, { quietMs: 1000 });
    const log = await writes(page);
    const first = log.findIndex((w) => w.text.includes("＿"));
    const last = log.length - 1;
    ratios[kind].push((log[last].at - log[first].at) / 1060);
    counted = `${last - first + 1} writes, ${first} before the first frame`;
    return log[first];
  };
  for (let run = 0; run < runs; ++run) {
    const { context, page } = await open(browser, url);
    firstFrames.push((await measure(page, "cold")).frame);
    // Play again: a new instance of the program, the page and its files already loaded.
    await page.evaluate(() => {
      window.rpgBench.writes = [];
    });
    await page.click("#restart");
    await measure(page, "warm");
    await context.close();
  }
  for (const [kind, name] of [
    ["cold", "first load"],
    ["warm", "play again"],
  ]) {
    const m = median(ratios[kind]);
    row(
      `pacing: battle start-up, ${name} (1060 ms of pauses)`,
      `${m.toFixed(4)} (median of ${runs}: ` +
        `${Math.min(...ratios[kind]).toFixed(4)} to ${Math.max(...ratios[kind]).toFixed(4)}; ${counted})`,
      "1.00 to 1.02",
      m >= 0.999 && m <= 1.02,
    );
  }
  const f = median(firstFrames);
  row(
    "navigation to the first frame (local server)",
    `median ${f.toFixed(0)} ms of ${runs}, ` +
      `${Math.min(...firstFrames).toFixed(0)} to ${Math.max(...firstFrames).toFixed(0)} ms`,
    "<= 1000 ms",
    f <= 1000,
  );
}

// One message typed, a byte per 50 ms: "主人公の「にげる」.........." (28 bytes),
// from the write that completes its first character to the one that completes
// its last, 26 pauses apart (1300 ms).
async function messageTyped(browser, url, runs) {
  const ratios = [];
  const message = "主人公の「にげる」..........";
  for (let run = 0; run < runs; ++run) {
    const { context, page } = await open(browser, url);
    await waitForScreen(page, menu, { quietMs: 200 });
    await page.setInputFiles("#data-files", fastHeroFiles());
    await waitForScreen(page, menu, { quietMs: 500 });
    for (let i = 0; i < 3; ++i) await page.keyboard.press("ArrowDown");
    await sleep(300);
    const from = (await writes(page)).length;
    await page.keyboard.press("Enter");
    await waitForScreen(page, "このまま終了するには", { quietMs: 500 });
    const log = (await writes(page)).slice(from);
    let at = 0;
    const times = [];
    for (let length = 1; length <= message.length; ++length) {
      const shown = message.slice(0, length);
      while (at < log.length && !log[at].text.includes(shown)) ++at;
      if (at === log.length) break;
      times.push(log[at].at);
    }
    if (times.length === message.length) ratios.push((times.at(-1) - times[0]) / 1300);
    await context.close();
  }
  if (ratios.length === 0) {
    row(
      "pacing: one message typed (28 bytes, 1300 ms)",
      "the message was not found in the writes",
      "1.00 to 1.02",
      false,
    );
    return;
  }
  const m = median(ratios);
  row(
    "pacing: one message typed (28 bytes, 1300 ms)",
    `${m.toFixed(4)} (median of ${ratios.length}: ` +
      `${Math.min(...ratios).toFixed(4)} to ${Math.max(...ratios).toFixed(4)})`,
    "1.00 to 1.02",
    m >= 0.999 && m <= 1.02,
  );
}

// The command menu: the main thread's busy time over 4 s with no key, then
// ↓ and ↑ alternately, each key event to the program's first write after it.
async function commandMenu(browser, url) {
  const { context, page } = await open(browser, url);
  await waitForScreen(page, menu, { quietMs: 1000 });
  const cdp = await context.newCDPSession(page);
  await cdp.send("Performance.enable");
  const metric = async () => {
    const { metrics } = await cdp.send("Performance.getMetrics");
    const get = (name) => metrics.find((m) => m.name === name).value;
    return { busy: get("TaskDuration"), at: get("Timestamp") };
  };
  const before = await metric();
  await sleep(4000);
  const after = await metric();
  const busy = (100 * (after.busy - before.busy)) / (after.at - before.at);
  row("main-thread busy time: battle at the command menu, 4 s", `${busy.toFixed(3)} %`, "< 1 %", busy < 1);

  const latencies = [];
  for (let i = 0; i < 200; ++i) {
    const from = (await writes(page)).length;
    const keyEvents = await page.evaluate(() => window.rpgBench.keydowns.length);
    await page.keyboard.press(i % 2 ? "ArrowUp" : "ArrowDown");
    await page.waitForFunction((n) => window.rpgBench.writes.length > n, from);
    const [key, write] = await page.evaluate(
      ([k, n]) => [window.rpgBench.keydowns[k], window.rpgBench.writes[n].at],
      [keyEvents, from],
    );
    latencies.push(write - key);
    await sleep(20 + Math.random() * 60);
  }
  const p99 = percentile(latencies, 99);
  row(
    "key latency: command menu, down/up (200 keys)",
    `median ${median(latencies).toFixed(2)} ms, ` + `p99 ${p99.toFixed(2)} ms`,
    "p99 < 16 ms",
    p99 < 16,
  );
  await context.close();
}

// The page's weight: what the battle loads, and the whole folder, as served
// (no compression).
async function weight(browser, url) {
  const context = await browser.newContext();
  const page = await context.newPage();
  const served = new Set();
  page.on("requestfinished", (request) => {
    const path = decodeURIComponent(new URL(request.url()).pathname).replace(/^\//, "") || "index.html";
    served.add(path);
  });
  await page.goto(url);
  await waitForScreen(page, menu, { quietMs: 500 });
  await context.close();
  // python's server sends the files as they are, so the files' sizes are what was served.
  const bytes = [...served].reduce((sum, path) => sum + statSync(join(site, path)).size, 0);
  const files = served.size;
  const sizes = (dir) =>
    readdirSync(dir).reduce((sum, name) => {
      const path = join(dir, name);
      return sum + (statSync(path).isDirectory() ? sizes(path) : statSync(path).size);
    }, 0);
  const total = sizes(site);
  const mb = (n) => (n / 1e6).toFixed(2);
  row(
    "page weight: the battle as loaded (uncompressed)",
    `${mb(bytes)} MB in ${files} files`,
    "<= 1.5 MB",
    bytes <= 1.5e6,
  );
  row("page weight: the whole folder (both programs)", `${mb(total)} MB`, "-", true);
}

const server = await serve(site);
const browser = await launch();
try {
  await weight(browser, server.url);
  await startUp(browser, `${server.url}?seed=7&bench=1`, 5);
  await messageTyped(browser, `${server.url}?seed=5&bench=1`, 5);
  await commandMenu(browser, `${server.url}?seed=7&bench=1`);
} finally {
  await browser.close();
  server.stop();
}

const width = (key) => Math.max(key.length, ...rows.map((r) => r[key].length));
const [a, b, c] = ["figure", "measured", "target"].map(width);
console.log(`| ${"Figure".padEnd(a)} | ${"Measured".padEnd(b)} | ${"Target".padEnd(c)} |`);
console.log(`|${"-".repeat(a + 2)}|${"-".repeat(b + 2)}|${"-".repeat(c + 2)}|`);
for (const r of rows) {
  console.log(`| ${r.figure.padEnd(a)} | ${r.measured.padEnd(b)} | ${r.target.padEnd(c)} |${r.met ? "" : " MISSED"}`);
}
process.exit(checking && rows.some((r) => !r.met) ? 1 : 0);
