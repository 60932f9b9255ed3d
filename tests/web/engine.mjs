// One interface over the three browser engines the page is played in:
// Chromium (Playwright), Firefox ESR (Puppeteer over WebDriver BiDi) and
// WebKitGTK (Selenium with WebKitWebDriver and MiniBrowser, on an X display).
// All are Debian's; nothing is downloaded. RPG_BROWSER names the engine
// (chromium by default).
//
//   engine = await launchEngine(name)   name, version, open(url), close()
//   page = await engine.open(url)       goto(url), evaluate(fn, arg), press(key),
//                                       keyboard.press(key), setFiles(selector, files),
//                                       click(selector), screenshot() (a PNG), close()
//
// A page's evaluate and keyboard.press are those tools/browser.mjs reads the
// screen with and waits on; files are { name, buffer }.
import { spawn } from "node:child_process";
import { createServer } from "node:net";
import { launch, sleep } from "../../tools/browser.mjs";

export const engineName = process.env.RPG_BROWSER ?? "chromium";
const VIEWPORT = { width: 1280, height: 800 };

// The chosen files put into a file input by the page's own script, as a
// player's choice would (Firefox's and WebKit's drivers can not fill a hidden
// input of several files).
function chooseFiles(selector, files) {
  const input = document.querySelector(selector);
  const chosen = new DataTransfer();
  for (const { name, bytes } of files) {
    const data = Uint8Array.from(atob(bytes), (c) => c.charCodeAt(0));
    chosen.items.add(new File([data], name, { type: "text/plain" }));
  }
  input.files = chosen.files;
  input.dispatchEvent(new Event("change", { bubbles: true }));
}
// A call of `fn` with `args` (JSON), as a script's text.
const call = (fn, ...args) => `(${fn})(${args.map((a) => JSON.stringify(a)).join(", ")})`;
const filesScript = (selector, files) =>
  call(
    chooseFiles,
    selector,
    files.map((f) => ({ name: f.name, bytes: Buffer.from(f.buffer).toString("base64") })),
  );
const clickScript = (selector) => call((s) => document.querySelector(s).click(), selector);

async function chromium() {
  const browser = await launch();
  return {
    version: browser.version(),
    async open(url) {
      const context = await browser.newContext({ viewport: VIEWPORT });
      const page = await context.newPage();
      await page.goto(url);
      return {
        goto: (to) => page.goto(to),
        evaluate: (fn, arg) => page.evaluate(fn, arg),
        press: (key) => page.keyboard.press(key),
        setFiles: (selector, files) =>
          page.setInputFiles(
            selector,
            files.map((f) => ({ ...f, mimeType: "text/plain" })),
          ),
        click: (selector) => page.click(selector),
        screenshot: () => page.screenshot(),
        close: () => context.close(),
      };
    },
    close: () => browser.close(),
  };
}

async function firefox() {
  const { default: puppeteer } = await import("puppeteer-core");
  const browser = await puppeteer.launch({
    browser: "firefox",
    executablePath: process.env.FIREFOX ?? "/usr/bin/firefox-esr",
    headless: true,
    protocol: "webDriverBiDi",
  });
  return {
    version: await browser.version(),
    async open(url) {
      const context = await browser.createBrowserContext();
      const page = await context.newPage();
      await page.setViewport(VIEWPORT);
      await page.goto(url);
      return {
        goto: (to) => page.goto(to),
        evaluate: (fn, arg) => page.evaluate(fn, arg),
        press: (key) => page.keyboard.press(key),
        setFiles: (selector, files) => page.evaluate(filesScript(selector, files)),
        click: (selector) => page.evaluate(clickScript(selector)),
        screenshot: async () => Buffer.from(await page.screenshot()),
        close: () => context.close(),
      };
    },
    close: () => browser.close(),
  };
}

const freePort = () =>
  new Promise((resolve, reject) => {
    const server = createServer();
    server.once("error", reject);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });

// WebKitWebDriver on a free port, and one MiniBrowser session, whose window
// each page takes in turn.
async function webkit() {
  const { Builder, Key } = await import("selenium-webdriver");
  const port = await freePort();
  const driverProcess = spawn(process.env.WEBKIT_WEBDRIVER ?? "/usr/bin/WebKitWebDriver", [`--port=${port}`], {
    stdio: "ignore",
  });
  let driver = null;
  for (let tries = 0; !driver; ++tries) {
    try {
      driver = await new Builder()
        .usingServer(`http://127.0.0.1:${port}`)
        .withCapabilities({
          browserName: "MiniBrowser",
          "webkitgtk:browserOptions": {
            binary: process.env.MINIBROWSER ?? "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser",
            args: ["--automation"],
          },
        })
        .build();
    } catch (error) {
      if (tries > 50) throw error;
      await sleep(100);
    }
  }
  await driver.manage().window().setRect(VIEWPORT);
  const keys = { Enter: Key.ENTER, ArrowDown: Key.ARROW_DOWN, ArrowUp: Key.ARROW_UP, ArrowLeft: Key.ARROW_LEFT };
  keys.ArrowRight = Key.ARROW_RIGHT;
  // A function called with `arg`, or an expression's text, as the other drivers take them.
  const script = (text) => driver.executeScript(`return ${text};`);
  const run = (fn, arg) =>
    typeof fn === "string" ? script(fn) : driver.executeScript(`return (${fn})(arguments[0]);`, arg);
  return {
    version: (await driver.getCapabilities()).get("browserVersion"),
    async open(url) {
      await driver.get(url);
      return {
        goto: (to) => driver.get(to),
        evaluate: run,
        press: async (key) => (await driver.switchTo().activeElement()).sendKeys(keys[key] ?? key),
        setFiles: (selector, files) => script(filesScript(selector, files)),
        click: (selector) => script(clickScript(selector)),
        screenshot: async () => Buffer.from(await driver.takeScreenshot(), "base64"),
        close: () => driver.get("about:blank"),
      };
    },
    async close() {
      await driver.quit();
      driverProcess.kill();
    },
  };
}

const ENGINES = { chromium, firefox, webkit };

export async function launchEngine(name = engineName) {
  const engine = await ENGINES[name]();
  const open = engine.open;
  engine.name = name;
  // keyboard.press, as Playwright's and Puppeteer's pages have it.
  engine.open = async (url) => {
    const page = await open(url);
    page.keyboard = { press: page.press };
    return page;
  };
  return engine;
}
