// A recording watched on the page, worked by its buttons and seek bar: a step
// forward and back returns the same screen, and the seek bar's end shows the
// ending the recording reaches when played through at once.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { join } from "node:path";
import { openPage, readScreen, screenText, waitForScreen, waitUntil } from "../../tools/browser.mjs";
import { browserSuite, endingShown } from "./scenario.mjs";

const recording = join(import.meta.dirname, "../recordings/battle_lost.txt");
const lost = "バトルに負けました。";
const gameRows = async (page) => screenText((await readScreen(page)).slice(0, 19));
const paused = (page) => page.evaluate(() => document.getElementById("replay-controls").dataset.paused === "true");

async function watch(suite, speed) {
  const opened = await openPage(suite.browser, suite.server.url);
  await opened.page.selectOption("#replay-speed", speed);
  await opened.page.setInputFiles("#replay-file", recording);
  return opened;
}

describe("the replay's buttons and seek bar", () => {
  const suite = browserSuite();

  it("steps and seeks exactly", async () => {
    const through = await watch(suite, "max");
    await endingShown(through.page);
    await waitForScreen(through.page, lost);
    const ending = await gameRows(through.page);
    await through.context.close();

    const { page, context, problems } = await watch(suite, "1");
    try {
      await page.waitForSelector("#replay-controls:not([hidden])");
      await waitUntil(() => page.evaluate(() => Number(document.getElementById("replay-seek").max) > 0), "no length");
      await page.click("#replay-pause");
      await waitUntil(() => paused(page), "the replay did not pause");
      const half = await page.evaluate(() => Number(document.getElementById("replay-seek").max) / 2);
      await page.$eval(
        "#replay-seek",
        (seek, v) => {
          seek.value = String(v);
          seek.dispatchEvent(new Event("change"));
        },
        half,
      );
      await waitUntil(async () => /key [1-9]/.test(await page.textContent("#replay-where")), "the seek did not move");
      await new Promise((r) => setTimeout(r, 500));
      const before = await gameRows(page);
      await page.click("#replay-forward");
      await waitUntil(async () => (await gameRows(page)) !== before, "a step forward changed nothing");
      await page.click("#replay-back");
      await waitUntil(async () => (await gameRows(page)) === before, "a step back did not return the screen");
      await page.$eval("#replay-seek", (seek) => {
        seek.value = seek.max;
        seek.dispatchEvent(new Event("change"));
      });
      await page.click("#replay-pause"); // the end reached while paused holds until the replay goes on
      await endingShown(page);
      await waitForScreen(page, lost);
      assert.equal(await gameRows(page), ending);
      assert.deepEqual(problems, []);
    } finally {
      await context.close();
    }
  });
});
