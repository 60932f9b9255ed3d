// A battle recorded with the switch, then watched at full speed: the same
// screen at the end and the same ending; a bad recording gets its one-line error.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { openPage, pressAndWait, readScreen, screenText, waitForScreen } from "../../tools/browser.mjs";
import { browserSuite, fastHero, endingShown, closingPrompt, menuShown } from "./scenario.mjs";

describe("recordings in the page", () => {
  const suite = browserSuite();

  it("record a battle, watch it, and a bad recording", async () => {
    const data = fastHero();
    const { page, context, problems } = await openPage(suite.browser, suite.server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-files", data.files);
      await waitForScreen(page, menuShown);
      await page.check("#record");
      await page.click("#restart");
      await waitForScreen(page, menuShown);
      await page.focus(".xterm-helper-textarea");
      // Each key once the screen has answered the one before.
      for (const key of ["ArrowDown", "ArrowUp", "ArrowDown", "ArrowDown", "ArrowDown", "Enter"]) {
        await pressAndWait(page, key);
      }
      await waitForScreen(page, closingPrompt);
      await page.keyboard.press("x");
      const recorded = await endingShown(page);
      const screen = screenText(await readScreen(page));
      const text = await page.evaluate(async () => {
        const link = document.getElementById("recording");
        return link.hidden ? null : (await fetch(link.href)).text();
      });
      assert.ok(recorded.status === "0" && text !== null, `no recording offered: ${JSON.stringify(recorded)}`);
      // Six keys, five of them arrows of two codes each, and the closing key.
      const keys = text.split("\n").filter((line) => line.startsWith("key ")).length;
      assert.ok(keys === 12 && /\nend 0 /.test(text), `the recording is not the run's:\n${text}`);

      await page.uncheck("#record");
      await page.selectOption("#replay-speed", "max");
      // The next ending told is the replay's, however soon it comes.
      const nextEnding = async (file) => {
        await page.evaluate(() => {
          document.getElementById("ending-text").textContent = "";
        });
        await page.setInputFiles("#replay-file", file);
        await page.waitForFunction(() => document.getElementById("ending-text").textContent !== "", null, {
          timeout: 45000,
        });
        return endingShown(page);
      };
      const watched = await nextEnding({ name: "rec.txt", mimeType: "text/plain", buffer: Buffer.from(text) });
      assert.equal(watched.status, recorded.status, `the replay ended otherwise: ${JSON.stringify(watched)}`);
      assert.ok(await page.isHidden("#recording"), "a replay offers a recording");
      const again = screenText(await readScreen(page));
      assert.equal(again, screen, "the replay's last screen differs");

      const bad = await nextEnding({
        name: "bad.txt",
        mimeType: "text/plain",
        buffer: Buffer.from("not a recording\n"),
      });
      const lines = bad.detail.split("\n").filter((line) => line !== "");
      assert.ok(
        bad.status === "1" && lines.length === 1 && lines[0].includes("rec.txt"),
        `a bad recording: ${JSON.stringify(bad)}`,
      );
      assert.deepEqual(problems, [], "page errors");
    } finally {
      data.remove();
      await context.close();
    }
  });
});
