// What the browser scenarios share: the page's folder and the terminal
// programs (RPG_WEB_SITE, RPG_TERMINAL_BIN; by default those of the web and
// play presets), one static server and one Chromium per file of scenarios,
// data sets, and the page beside the terminal program driven by the same keys.
import { mkdtempSync, writeFileSync, readFileSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { before, after } from "node:test";
import { serve, launch, openPage, waitUntil } from "../../tools/browser.mjs";
import { tmuxSession, agree } from "./terminal.mjs";

const top = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
export const site = resolve(process.env.RPG_WEB_SITE ?? join(top, "build/web/site"));
export const bin = resolve(process.env.RPG_TERMINAL_BIN ?? join(top, "build/play/bin"));
export const assets = join(top, "assets");

// The server and the browser of the scenarios of one file (in its describe()).
export function browserSuite() {
  const suite = { server: null, browser: null };
  before(async () => {
    suite.server = await serve(site);
    suite.browser = await launch();
  });
  after(async () => {
    await suite.browser?.close();
    suite.server?.stop();
  });
  return suite;
}

const sampleFiles = () =>
  readdirSync(assets)
    .filter((name) => name.endsWith(".txt"))
    .map((name) => ({ name, mimeType: "text/plain", buffer: readFileSync(join(assets, name)) }));
const cp932 = new TextDecoder("shift_jis");

// A copy of the sample data with some files changed or left out, as a folder
// (for the terminal program) and as a list of files (for the page).
export function dataSet(changes = {}) {
  const folder = mkdtempSync(join(tmpdir(), "rpg-web-data-"));
  const files = [];
  for (const file of sampleFiles()) {
    if (changes[file.name] === null) continue;
    const buffer = changes[file.name] ?? file.buffer;
    writeFileSync(join(folder, file.name), buffer);
    files.push({ ...file, buffer });
  }
  return { folder, files, remove: () => rmSync(folder, { recursive: true, force: true }) };
}

// The sample hero with one line of numbers replaced (lines count from 0).
export function heroWith(line, numbers) {
  const text = readFileSync(join(assets, "Hero_Status_Info.txt"));
  const lines = cp932.decode(text).split("\n");
  lines[line] = numbers;
  const name = text.subarray(0, text.indexOf(0x0a)); // the name stays in Shift-JIS
  return Buffer.concat([name, Buffer.from(`\n${lines.slice(1).join("\n")}`, "latin1")]);
}

// A hero fast enough that running away always succeeds.
export const fastHero = () => dataSet({ "Hero_Status_Info.txt": heroWith(1, "60 12 8 6 6 60") });

const pageKeys = {
  Enter: "Enter",
  Down: "ArrowDown",
  Up: "ArrowUp",
  Left: "ArrowLeft",
  Right: "ArrowRight",
  Space: " ",
};

// The page and the terminal program side by side, driven by the same keys.
export async function sideBySide(suite, program, { query = "", args = [], data = assets, files = null } = {}) {
  const terminal = tmuxSession([join(bin, program), "--data", data, ...args]);
  const opened = await openPage(suite.browser, `${suite.server.url}?program=${program}${query}`);
  if (files) await opened.page.setInputFiles("#data-files", files);
  return {
    ...opened,
    terminal,
    async press(key) {
      await opened.page.keyboard.press(pageKeys[key] ?? key);
      terminal.keys(key);
    },
    agree: (what, options) => agree(opened.page, terminal, what, options),
    async close() {
      terminal.stop();
      await opened.context.close();
    },
  };
}

// The ending the page tells once its box shows (in any engine: by the page's script).
export const endingShown = (page) =>
  waitUntil(
    () =>
      page.evaluate(() => {
        const box = document.getElementById("ending");
        if (box.hidden) return null;
        const text = (id) => document.getElementById(id).textContent;
        return { text: text("ending-text"), detail: text("ending-detail"), status: box.dataset.status };
      }),
    "the page told no ending within 45 s",
    { timeoutMs: 45000 },
  );

// The column of `ch` in a row of the screen, full-width characters counting two.
export function columnOf(row, ch) {
  let column = 0;
  for (const c of row.text) {
    if (c === ch) return column;
    column += /[\u1100-\u115f\u2e80-\ua4cf\uac00-\ud7a3\uf900-\ufaff\ufe30-\ufe4f\uff00-\uff60\uffe0-\uffe6]/.test(c)
      ? 2
      : 1;
  }
  return -1;
}

export const closingPrompt = "このまま終了するには何かを入力してください...";
export const menuShown = /にげる[\s\S]*HP : 60 \/ 60/;

// The rows of the program's last screen that the ending box stands over
// (empty when it leaves them all readable), as text.
export function rowsUnderEnding(page) {
  return page.evaluate(() => {
    const box = document.getElementById("ending").getBoundingClientRect();
    const covered = [];
    for (const row of document.querySelectorAll(".xterm-rows > div")) {
      if (row.textContent.replaceAll("\u00a0", " ").trim() === "") continue;
      const r = row.getBoundingClientRect();
      const overlap = Math.min(r.bottom, box.bottom) - Math.max(r.top, box.top);
      if (overlap > 0.5 && box.width > 0) covered.push(row.textContent.trim());
    }
    return covered;
  });
}

// Every character whose glyph does not start within a quarter of a cell of
// its column (full-width ones counting two), as text.
export const misplaced = (page) =>
  page.evaluate(() => {
    const screen = document.querySelector(".xterm-screen").getBoundingClientRect();
    const cell = screen.width / 80;
    const wide = /[\u1100-\u115f\u2e80-\ua4cf\uac00-\ud7a3\uf900-\ufaff\ufe30-\ufe4f\uff00-\uff60\uffe0-\uffe6]/;
    const out = [];
    [...document.querySelectorAll(".xterm-rows > div")].forEach((row, y) => {
      let column = 0;
      const walker = document.createTreeWalker(row, NodeFilter.SHOW_TEXT);
      for (let node = walker.nextNode(); node; node = walker.nextNode()) {
        let offset = 0;
        for (const ch of node.data) {
          if (ch.trim() !== "" && ch !== "\u00a0") {
            const range = document.createRange();
            range.setStart(node, offset);
            range.setEnd(node, offset + ch.length);
            const off = (range.getBoundingClientRect().left - screen.left) / cell - column;
            if (Math.abs(off) > 0.25) out.push(`row ${y + 1}, column ${column + 1} "${ch}": ${off.toFixed(2)} cells`);
          }
          column += wide.test(ch) ? 2 : 1;
          offset += ch.length;
        }
      }
    });
    return out;
  });
