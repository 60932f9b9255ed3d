// The page's figures, from its own time stamps (?bench=1 keeps one per write
// of the program, per key event and per key that reached the program), in
// Debian's Chromium on the local static server. Prints one table.
//
//   node bench/web/bench.mjs SITE [--check]     (needs `npm ci` at the top)
//
// --check makes it exit 1 when a figure misses its target.
import { readdirSync, statSync } from "node:fs";
import { join, resolve } from "node:path";
import { serve, launch, waitForScreen, sleep } from "../../tools/browser.mjs";
import { median, percentile, menu, writes, open, startUp, messageTyped } from "./pacing.mjs";

const args = process.argv.slice(2);
const site = resolve(args.find((a) => !a.startsWith("--")) ?? "build/web/site");
const checking = args.includes("--check");
const rows = [];
const row = (figure, measured, target, met) => rows.push({ figure, measured, target, met });

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

// The page's weight: what the battle loads (with what its service worker keeps,
// the whole folder once), and the whole folder, as served (no compression).
async function weight(browser, url) {
  const context = await browser.newContext();
  const page = await context.newPage();
  const served = new Set();
  context.on("requestfinished", (request) => {
    const path = decodeURIComponent(new URL(request.url()).pathname).replace(/^\//, "") || "index.html";
    served.add(path);
  });
  await page.goto(url);
  await waitForScreen(page, menu, { quietMs: 500 });
  await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
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
  await startUp(browser, `${server.url}?seed=7&bench=1`, 5, row);
  await messageTyped(browser, `${server.url}?seed=5&bench=1`, 5, row);
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
