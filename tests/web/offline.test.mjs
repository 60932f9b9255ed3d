// The page installable and kept by the browser: Chromium finds nothing that
// keeps it from being installed; after one visit a reload with the network
// gone plays a battle; a new version of the site replaces the kept one at the
// next visit; a service worker that cannot be registered changes nothing.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import {
  launchPersistent,
  openPage,
  pressAndWait,
  screenText,
  serve,
  waitForScreen,
  waitUntil,
} from "../../tools/browser.mjs";
import { browserSuite, menuShown, site } from "./scenario.mjs";

// Waits until the service worker controls the page; gives the kept caches' names.
async function kept(page) {
  await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, { timeout: 20000 });
  return page.evaluate(() => caches.keys());
}

describe("installable and offline", () => {
  const suite = browserSuite();

  it("no installability errors", async () => {
    const profile = mkdtempSync(join(tmpdir(), "rpg-web-profile-"));
    const context = await launchPersistent(profile, { viewport: { width: 1280, height: 800 } });
    try {
      const page = context.pages()[0] ?? (await context.newPage());
      await page.goto(suite.server.url);
      await waitForScreen(page, menuShown);
      await kept(page);
      const cdp = await context.newCDPSession(page);
      const { installabilityErrors } = await cdp.send("Page.getInstallabilityErrors");
      assert.deepEqual(installabilityErrors, []);
      const { errors, parsed } = await cdp.send("Page.getAppManifest");
      assert.ok(parsed && errors.length === 0, `the manifest: ${JSON.stringify(errors)}`);
    } finally {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    }
  });

  it("after one visit, a battle with the network gone", async () => {
    const { page, context, problems } = await openPage(suite.browser, `${suite.server.url}?seed=7`);
    try {
      await waitForScreen(page, menuShown);
      assert.equal((await kept(page)).length, 1, "not one cache kept");
      await context.setOffline(true);
      await page.reload();
      await waitForScreen(page, menuShown);
      // たたかう, the target, the skill, its message and the pawns' answers.
      for (let key = 1; key <= 7; ++key) await pressAndWait(page, "Enter");
      await waitForScreen(page, /HP : \d+ \/ 60/, { quietMs: 1000 });
      const text = screenText(await waitForScreen(page, "HP", { quietMs: 500 }));
      assert.ok(!text.includes("HP : 60 / 60"), `the pawns did not strike back:\n${text}`);
      assert.deepEqual(problems, [], "page errors");
    } finally {
      await context.close();
    }
  });

  // A copy of the site, changed between two visits as a new build changes it.
  it("a new version replaces the kept one at the next visit", async () => {
    const folder = mkdtempSync(join(tmpdir(), "rpg-web-site-"));
    cpSync(site, folder, { recursive: true });
    const server = await serve(folder);
    const { page, context } = await openPage(suite.browser, server.url);
    try {
      await waitForScreen(page, menuShown);
      const [first] = await kept(page);
      const worker = join(folder, "service-worker.js");
      writeFileSync(worker, readFileSync(worker, "utf8").replace(/const VERSION = "\w+"/, 'const VERSION = "next"'));
      writeFileSync(join(folder, "page.css"), `${readFileSync(join(folder, "page.css"), "utf8")}/* next */\n`);
      await page.reload();
      await waitForScreen(page, menuShown);
      let names = [];
      await waitUntil(
        async () => (names = await page.evaluate(() => caches.keys())).join() === "pawn-battle-next",
        () => `the kept caches: ${names}`,
        { timeoutMs: 20000 },
      );
      await page.reload();
      const css = await page.evaluate(async () => (await fetch("page.css")).text());
      assert.ok(first !== "pawn-battle-next" && css.includes("/* next */"), "the new page.css is not served");
    } finally {
      await context.close();
      server.stop();
      rmSync(folder, { recursive: true, force: true });
    }
  });

  it("a service worker that cannot be registered", async () => {
    const context = await suite.browser.newContext({ viewport: { width: 1280, height: 800 } });
    const page = await context.newPage();
    const problems = [];
    page.on("pageerror", (error) => problems.push(error.message));
    try {
      await context.route("**/service-worker.js", (route) => route.fulfill({ status: 404, body: "" }));
      await page.goto(suite.server.url);
      await waitForScreen(page, menuShown);
      await pressAndWait(page, "ArrowDown");
      assert.ok(await page.isHidden("#failure"), "a failure is shown");
      assert.equal(await page.evaluate(() => navigator.serviceWorker.controller), null);
      assert.deepEqual(problems, []);
    } finally {
      await context.close();
    }
  });
});
