// What the browser scenarios and the page's benchmark share: a static server
// for the page's folder, Debian's Chromium through Playwright, the screen read
// back from xterm.js's rows, and the terminal program's screen from tmux.
import { spawn, execFileSync } from "node:child_process";
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

export async function launch() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--font-render-hinting=none"],
  });
}

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

// Waits until the screen shows `what` (a string or a RegExp) and has not
// changed for `quietMs`; gives the screen.
export async function waitForScreen(page, what, { timeoutMs = 15000, quietMs = 300 } = {}) {
  const deadline = Date.now() + timeoutMs;
  let last = null;
  let since = Date.now();
  for (;;) {
    const screen = await readScreen(page);
    const text = screenText(screen);
    if (text !== last) {
      last = text;
      since = Date.now();
    }
    const found = typeof what === "string" ? text.includes(what) : what.test(text);
    if (found && Date.now() - since >= quietMs) return screen;
    if (Date.now() > deadline) {
      throw new Error(`the screen did not show ${what} within ${timeoutMs} ms; it shows:\n${text}`);
    }
    await sleep(50);
  }
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

// ---- the terminal program, for comparison --------------------------------

// Runs `command` (an argument vector) in a detached tmux pane of 80 x 24 in
// the C.UTF-8 locale; gives what drives it.
export function tmuxSession(command, { cwd } = {}) {
  const name = `rpg-web-${process.pid}-${Math.floor(Math.random() * 1e9)}`;
  const quoted = command.map((word) => `'${word.replaceAll("'", "'\\''")}'`).join(" ");
  const env = { ...process.env, LANG: "C.UTF-8", LC_ALL: "C.UTF-8", TERM: "xterm-256color" };
  const tmux = (...args) => execFileSync("tmux", ["-L", name, ...args], { env, cwd, encoding: "utf8" });
  tmux("-f", "/dev/null", "new-session", "-d", "-x", "80", "-y", "24", "-s", "rpg", `${quoted}; sleep 600`);
  tmux("set-option", "-g", "status", "off");
  return {
    keys: (...keys) => tmux("send-keys", "-t", "rpg", ...keys),
    screen: () => parseCapture(tmux("capture-pane", "-p", "-e", "-N", "-t", "rpg")),
    stop: () => {
      try {
        tmux("kill-server");
      } catch {
        /* already gone */
      }
    },
  };
}

// capture-pane -e output: text with SGR sequences; gives rows like readScreen's.
function parseCapture(output) {
  const rows = output.replace(/\n$/, "").split("\n");
  let bold = false;
  return rows.map((line) => {
    const cells = [];
    for (let i = 0; i < line.length;) {
      const sgr = /^\x1b\[([0-9;]*)m/.exec(line.slice(i, i + 32));
      if (sgr) {
        for (const code of (sgr[1] || "0").split(";")) {
          if (code === "1") bold = true;
          else if (code === "0" || code === "" || code === "22") bold = false;
        }
        i += sgr[0].length;
        continue;
      }
      const ch = String.fromCodePoint(line.codePointAt(i));
      cells.push([ch, bold]);
      i += ch.length;
    }
    while (cells.length && cells[cells.length - 1][0] === " " && !cells[cells.length - 1][1]) cells.pop();
    return { text: cells.map((c) => c[0]).join(""), cells };
  });
}

export async function waitForTmux(session, what, { timeoutMs = 15000, quietMs = 300 } = {}) {
  const deadline = Date.now() + timeoutMs;
  let last = null;
  let since = Date.now();
  for (;;) {
    const screen = session.screen();
    const text = screenText(screen);
    if (text !== last) {
      last = text;
      since = Date.now();
    }
    const found = typeof what === "string" ? text.includes(what) : what.test(text);
    if (found && Date.now() - since >= quietMs) return screen;
    if (Date.now() > deadline) throw new Error(`the terminal did not show ${what}; it shows:\n${text}`);
    await sleep(50);
  }
}

// Differences of two screens, cell by cell (character and boldness), as text.
export function compareScreens(expected, actual) {
  const out = [];
  for (let y = 0; y < Math.max(expected.length, actual.length); ++y) {
    const e = expected[y]?.cells ?? [];
    const a = actual[y]?.cells ?? [];
    for (let x = 0; x < Math.max(e.length, a.length); ++x) {
      const [ec, eb] = e[x] ?? [" ", false];
      const [ac, ab] = a[x] ?? [" ", false];
      if (ec !== ac || (eb !== ab && ec !== " ")) {
        out.push(
          `row ${y + 1}, character ${x + 1}: terminal ${JSON.stringify(ec)}${eb ? " bold" : ""}, ` +
            `page ${JSON.stringify(ac)}${ab ? " bold" : ""}`,
        );
        break;
      }
    }
  }
  return out.join("\n");
}
