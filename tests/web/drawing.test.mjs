// Every cell drawn where the grid puts it: the message window's top border (a
// row of "￣", which stands at the top of its glyphs' box) on phones held either
// way, every character at its column on rows with "。", and the ending box
// beside the program's last screen rather than over it.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { devices } from "playwright-core";
import { waitForScreen, readScreen } from "../../tools/browser.mjs";
import {
  browserSuite,
  fastHero,
  closingPrompt,
  menuShown,
  columnOf,
  endingShown,
  misplaced,
  rowsUnderEnding,
} from "./scenario.mjs";

const PHONES = ["iPhone 13", "iPhone 13 landscape", "Pixel 7", "Pixel 7 landscape"];

// The screen's grid in CSS pixels.
const grid = (page) =>
  page.evaluate(() => {
    const r = document.querySelector(".xterm-screen").getBoundingClientRect();
    return { left: r.left, top: r.top, cell: r.width / 80, row: r.height / 24 };
  });

// The share of the pixel columns of a screenshot that hold a lit pixel,
// counted in the page (it decodes the picture).
const litShare = (page, png) =>
  page.evaluate(async (data) => {
    const picture = await createImageBitmap(await (await fetch(`data:image/png;base64,${data}`)).blob());
    const canvas = new OffscreenCanvas(picture.width, picture.height).getContext("2d");
    canvas.drawImage(picture, 0, 0);
    const { data: rgba, width, height } = canvas.getImageData(0, 0, picture.width, picture.height);
    let lit = 0;
    for (let x = 0; x < width; ++x) {
      let found = false;
      for (let y = 0; y < height && !found; ++y) found = rgba[4 * (y * width + x)] > 100;
      if (found) ++lit;
    }
    return lit / width;
  }, png.toString("base64"));

describe("every cell drawn where the grid puts it", () => {
  const suite = browserSuite();

  for (const phone of PHONES) {
    it(`the message window's top border on ${phone}`, async () => {
      const context = await suite.browser.newContext({ ...devices[phone] });
      const page = await context.newPage();
      try {
        await page.goto(`${suite.server.url}?seed=5`);
        const screen = await waitForScreen(page, menuShown);
        const y = screen.findIndex((row) => row.text.includes("￣".repeat(20)));
        assert.ok(y >= 0, "no top border in the text");
        const from = columnOf(screen[y], "￣");
        const to = from + 2 * screen[y].text.split("").filter((c) => c === "￣").length;
        const g = await grid(page);
        const clip = { x: g.left + from * g.cell, y: g.top + y * g.row, width: (to - from) * g.cell, height: g.row };
        const share = await litShare(page, await page.screenshot({ clip }));
        assert.ok(share > 0.6, `row ${y + 1}, columns ${from + 1} to ${to}: ${(100 * share).toFixed(0)} % drawn`);
      } finally {
        await context.close();
      }
    });
  }

  for (const [where, options] of [
    ["a desktop window", { viewport: { width: 1280, height: 800 } }],
    ["a phone held sideways", devices["iPhone 13 landscape"]],
  ]) {
    it(`every character at its column, "。" too, and the ending under the last screen, in ${where}`, async () => {
      const data = fastHero();
      const context = await suite.browser.newContext({ ...options });
      const page = await context.newPage();
      try {
        await page.goto(`${suite.server.url}?seed=5`);
        await waitForScreen(page, menuShown);
        assert.deepEqual(await misplaced(page), [], "the start-up screen");
        await page.setInputFiles("#data-files", data.files);
        await waitForScreen(page, menuShown);
        for (const key of ["ArrowDown", "ArrowDown", "ArrowDown", "Enter"]) await page.keyboard.press(key);
        const screen = await waitForScreen(page, closingPrompt);
        assert.ok(
          screen.some((row) => row.text.includes("しました。")),
          "no message with 。",
        );
        assert.deepEqual(await misplaced(page), [], "the message ending in 。");
        await page.keyboard.press("x");
        await endingShown(page);
        assert.deepEqual(await rowsUnderEnding(page), [], "the ending box covers the last screen");
        assert.ok(
          (await readScreen(page)).some((row) => row.text.includes("しました。")),
          "the last screen went",
        );
      } finally {
        data.remove();
        await context.close();
      }
    });
  }
});
