// What the browser scenarios (tests/web), the page's figures (bench/web) and
// its picture (tools/screenshot.mjs) share: a static server for the page's
// folder, Debian's Chromium through Playwright, the screen read back from
// xterm.js's rows, and waiting for what it shows.
import { spawn } from "node:child_process";
import { createServer } from "node:net";
import { setTimeout as sleep } from "node:timers/promises";
import { chromium } from "playwright-core";

export { sleep };

function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.once("error", reject);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// python3 -m http.server on 127.0.0.1 and a free port, serving `folder`.
export async function serve(folder) {
  const port = await freePort();
  const child = spawn("python3", ["-m", "http.server", "--bind", "127.0.0.1", "--directory", folder, String(port)], {
    stdio: ["ignore", "ignore", "pipe"],
  });
  let log = "";
  child.stderr.on("data", (chunk) => {
    log += chunk;
  });
  const url = `http://127.0.0.1:${port}/`;
  for (let i = 0; i < 100; ++i) {
    try {
      const response = await fetch(url);
      if (response.ok) return { url, log: () => log, stop: () => child.kill() };
    } catch {
      /* not listening yet */
    }
    if (child.exitCode !== null) break;
    await sleep(50);
  }
  child.kill();
  throw new Error(`the static server did not start: ${log}`);
}

// Debian's Chromium, headless; launchPersistent keeps a profile in `folder`
// (a profile of its own is what installing the page needs).
const chromiumOptions = () => ({
  executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--font-render-hinting=none"],
});
export const launch = () => chromium.launch(chromiumOptions());
export const launchPersistent = (folder, options) =>
  chromium.launchPersistentContext(folder, { ...chromiumOptions(), ...options });

// The terminal's rows as text (trailing blanks dropped) and, per character,
// whether it is drawn bold.
export async function readScreen(page) {
  return page.evaluate(() =>
    [...document.querySelectorAll(".xterm-rows > div")].map((row) => {
      const cells = [];
      for (const node of row.childNodes) {
        const bold = node.nodeType === 1 && node.classList.contains("xterm-bold");
        for (const ch of node.textContent) cells.push([ch === "\u00a0" ? " " : ch, bold]);
      }
      while (cells.length && cells[cells.length - 1][0] === " " && !cells[cells.length - 1][1]) cells.pop();
      return { text: cells.map((c) => c[0]).join(""), cells };
    }),
  );
}

export const screenText = (screen) => screen.map((row) => row.text).join("\n");

// Asks `check` (it may be async) every `intervalMs` until it gives something
// other than undefined, null or false, and gives that; after `timeoutMs`
// throws `what` (a text, or a function giving it, called then).
export async function waitUntil(check, what, { timeoutMs = 15000, intervalMs = 50 } = {}) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const result = await check();
    if (result !== undefined && result !== null && result !== false) return result;
    if (Date.now() > deadline) throw new Error(typeof what === "function" ? what() : what);
    await sleep(intervalMs);
  }
}

// Waits until the screen shows `what` (a string or a RegExp) and has not
// changed for `quietMs`; gives the screen.
export async function waitForScreen(page, what, { timeoutMs = 15000, quietMs = 300 } = {}) {
  let last = null;
  let since = Date.now();
  return waitUntil(
    async () => {
      const screen = await readScreen(page);
      const text = screenText(screen);
      if (text !== last) {
        last = text;
        since = Date.now();
      }
      const found = typeof what === "string" ? text.includes(what) : what.test(text);
      return found && Date.now() - since >= quietMs && screen;
    },
    () => `the screen did not show ${what} within ${timeoutMs} ms; it shows:\n${last}`,
    { timeoutMs },
  );
}

// The page, opened and showing its first frame.
export async function openPage(browser, url, { viewport = { width: 1280, height: 800 }, hasTouch = false } = {}) {
  const context = await browser.newContext({ viewport, hasTouch, isMobile: false });
  const page = await context.newPage();
  const problems = [];
  page.on("pageerror", (error) => problems.push(error.message));
  // Everything comes from the page's own server: nothing from another site
  // (a blob: is the page's own, a recording offered for download).
  const origin = new URL(url).origin;
  page.on("request", (request) => {
    if (!request.url().startsWith(origin) && !/^(data|blob):/.test(request.url()))
      problems.push(`fetched ${request.url()}`);
  });
  await page.goto(url);
  return { page, context, problems };
}

// Presses `key` and waits until the screen (characters and boldness) changes.
export async function pressAndWait(page, key, { timeoutMs = 15000 } = {}) {
  const before = JSON.stringify(await readScreen(page));
  await page.keyboard.press(key);
  let screen = null;
  return waitUntil(
    async () => {
      screen = await readScreen(page);
      return JSON.stringify(screen) !== before && screen;
    },
    () => `the screen did not change after ${key}:\n${screenText(screen)}`,
    { timeoutMs, intervalMs: 20 },
  );
}
