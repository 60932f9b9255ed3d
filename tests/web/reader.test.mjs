// The screen-reader mode on the page, as a screen reader meets it: the
// accessibility tree holds the game's rows and, in a polite live region, each
// change of selection and each new message; a value of ?reader= other than 1
// is ignored and said so; the switch turns the mode on for a new run.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { openPage, waitForScreen, waitUntil } from "../../tools/browser.mjs";
import { browserSuite, menuShown } from "./scenario.mjs";

const spoken = (page) => page.$$eval("#spoken > *", (lines) => lines.map((line) => line.textContent));

// Waits until the live region's last line is `text`; gives all its lines.
async function said(page, text) {
  let last = [];
  return waitUntil(
    async () => {
      last = await spoken(page);
      return last.at(-1) === text && last;
    },
    () => `the page did not say ${text}; it said ${JSON.stringify(last)}`,
  );
}

describe("the screen-reader mode", () => {
  const suite = browserSuite();

  it("says the selection and the newest message; the tree holds them", async () => {
    const { page, context, problems } = await openPage(suite.browser, `${suite.server.url}?reader=1&seed=7`);
    try {
      await waitForScreen(page, menuShown);
      assert.equal(await page.getAttribute("#spoken", "aria-live"), "polite");
      assert.ok(await page.isChecked("#reader"), "the switch is off");
      await said(page, "たたかう");
      await page.keyboard.press("ArrowDown");
      await page.keyboard.press("ArrowDown");
      await said(page, "アイテム");
      await page.keyboard.press("ArrowDown");
      await page.keyboard.press("Enter");
      const message = "主人公の「にげる」..........";
      const lines = await waitUntil(async () => {
        const now = await spoken(page);
        return now.includes(message) && now;
      }, "the page did not say the message");
      assert.deepEqual(lines, ["たたかう", "ぼうぎょ", "アイテム", "にげる", message]);
      const tree = await page.locator("body").ariaSnapshot();
      // The live region, and xterm.js's rows of the screen, which a reader can walk.
      assert.match(tree, /- paragraph: 主人公の「にげる」\.{10}\n/, tree);
      assert.match(tree, /にげる\s+／/, `no row of the screen in the tree:\n${tree}`);
      // Nothing else speaks up: xterm.js's own echo of every character written is silent.
      assert.doesNotMatch(tree, /- text: .*たたかう/, tree);
      const live = await page.$$eval("[aria-live]:not([aria-live=off])", (regions) => regions.map((r) => r.id));
      assert.deepEqual(live, ["spoken"]);
      assert.deepEqual(problems, []);
    } finally {
      await context.close();
    }
  });

  it("another value is ignored and said so; the switch turns the mode on", async () => {
    const { page, context } = await openPage(suite.browser, `${suite.server.url}?reader=yes`);
    try {
      await waitForScreen(page, menuShown);
      assert.match(await page.textContent("#status"), /reader=yes is not known and was ignored/);
      assert.equal(await page.isChecked("#reader"), false);
      await page.keyboard.press("ArrowDown");
      await waitForScreen(page, menuShown);
      assert.deepEqual(await spoken(page), [], "said without the mode");
      assert.doesNotMatch(await page.locator("body").ariaSnapshot(), /にげる\s+／/, "the rows are in the tree");

      await page.check("#reader");
      await said(page, "たたかう");
      assert.match(page.url(), /[?&]reader=1(&|$)/);
      assert.ok(await page.isHidden("#status"), "the status line still speaks of the address");
      await page.locator(".xterm-helper-textarea").focus();
      await page.keyboard.press("ArrowDown");
      await said(page, "ぼうぎょ");
    } finally {
      await context.close();
    }
  });
});
