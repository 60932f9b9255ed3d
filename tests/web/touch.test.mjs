// A whole battle with the touch keys only, on a phone held sideways: they
// send exactly what the keyboard sends.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { join } from "node:path";
import { screenText, waitForScreen } from "../../tools/browser.mjs";
import { tmuxSession, agree } from "./terminal.mjs";
import { bin, browserSuite, fastHero, endingShown, closingPrompt, menuShown } from "./scenario.mjs";

describe("the touch keys", () => {
  const suite = browserSuite();

  it("touch keys on a phone in landscape", async () => {
    const context = await suite.browser.newContext({
      viewport: { width: 844, height: 390 },
      hasTouch: true,
      isMobile: true,
    });
    const page = await context.newPage();
    const data = fastHero();
    const terminal = tmuxSession([join(bin, "battle"), "--data", data.folder, "--seed", "5", "--ambiguous", "narrow"]);
    try {
      await page.goto(`${suite.server.url}?seed=5&bench=1`);
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-files", data.files);
      await waitForScreen(page, menuShown);
      for (const id of ["key-up", "key-down", "key-left", "key-right", "key-enter", "key-space"]) {
        const box = await page.locator(`#${id}`).boundingBox();
        assert.ok(box && box.width >= 44 && box.height >= 44, `${id} is too small for a thumb: ${JSON.stringify(box)}`);
        assert.ok(box.x + box.width <= 844 && box.y + box.height <= 390, `${id} is off the screen`);
      }
      const terminalBox = await page.locator(".xterm-screen").boundingBox();
      assert.ok(terminalBox.height >= 24 * 9, `the terminal is squeezed: ${JSON.stringify(terminalBox)}`);
      // ↓ three times to "にげる", ↑ and ↓ from the keyboard, ↑ and ↓ again by touch, Enter.
      for (let i = 0; i < 3; ++i) await page.tap("#key-down");
      await page.keyboard.press("ArrowUp");
      await page.keyboard.press("ArrowDown");
      await page.tap("#key-up");
      await page.tap("#key-down");
      await page.tap("#key-enter");
      terminal.keys("Down", "Down", "Down", "Up", "Down", "Up", "Down", "Enter");
      await waitForScreen(page, closingPrompt);
      const mine = await agree(page, terminal, "the touch-played battle");
      assert.ok(screenText(mine).includes("にげることに成功しました。"), "not escaped");
      // What reached the program, less the terminal's answer to the width probe.
      const keys = (await page.evaluate(() => window.rpgBench.keys.map(([, bytes]) => bytes))).filter(
        (bytes) => !/^\x1b\[\d+;\d+R$/.test(bytes),
      );
      const [down, up] = [keys[4], keys[3]];
      assert.ok(/^\x1b[[O]B$/.test(down) && /^\x1b[[O]A$/.test(up), `the keyboard sent ${JSON.stringify(keys)}`);
      assert.deepEqual(keys, [down, down, down, up, down, up, down, "\r"], "the touch keys sent other codes");
      await page.tap("#key-space");
      const ending = await endingShown(page);
      assert.equal(ending.status, "0", `ending: ${JSON.stringify(ending)}`);
      assert.equal(await page.evaluate(() => window.rpgBench.keys.at(-1)[1]), " ", "Space did not send a blank");
    } finally {
      terminal.stop();
      data.remove();
      await context.close();
    }
  });
});
