// The page's pacing figures for bench.mjs: the battle's start-up (and the
// navigation to its first frame) and one message typed, from the page's own
// time stamps of the program's writes (?bench=1); with what the figures share.
import { readdirSync, readFileSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { waitForScreen, sleep } from "../../tools/browser.mjs";

export const median = (values) => {
  const s = [...values].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
export const percentile = (values, p) => {
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
export const menu = /にげる[\s\S]*HP : 60 \/ 60/;
export const writes = (page) =>
  page.evaluate(() => window.rpgBench.writes.map(({ at, text, parsed, frame }) => ({ at, text, parsed, frame })));

export async function open(browser, url) {
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
export async function startUp(browser, url, runs, row) {
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
export async function messageTyped(browser, url, runs, row) {
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
