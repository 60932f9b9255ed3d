// The battle in the page, screen for screen as the terminal program plays it
// with the same data, seed and keys.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { readScreen, screenText, waitForScreen } from "../../tools/browser.mjs";
import { browserSuite, sideBySide, fastHero, endingShown, closingPrompt, menuShown } from "./scenario.mjs";

describe("the battle in the page", () => {
  const suite = browserSuite();

  // The start-up screen cell by cell; the page measures the ambiguous width
  // through xterm.js (narrow), the terminal is told.
  it("battle start-up screen as on the terminal", async () => {
    const both = await sideBySide(suite, "battle", {
      query: "&seed=7",
      args: ["--seed", "7", "--ambiguous", "narrow"],
    });
    try {
      await waitForScreen(both.page, menuShown);
      const screen = await both.agree("start-up");
      assert.ok(
        screen[1].text.includes("たたかう") && screen[0].cells.some(([ch, bold]) => ch === "＿" && bold),
        "the first command's frame is not drawn bright",
      );
      assert.deepEqual(both.problems, [], "page errors");
    } finally {
      await both.close();
    }
  });

  // たたかう, the target, the first skill, its message and the three pawns'
  // answers, back to the command menu: the same seed plays the same turn.
  it("one fight turn with a seed, key by key as on the terminal", async () => {
    const both = await sideBySide(suite, "battle", {
      query: "&seed=7&ambiguous=narrow",
      args: ["--seed", "7", "--ambiguous", "narrow"],
    });
    try {
      await both.agree("start-up");
      for (let key = 1; key <= 7; ++key) {
        await both.press("Enter");
        await both.agree(`after Enter ${key}`);
      }
      const text = screenText(await readScreen(both.page));
      assert.ok(/HP : \d+ \/ 60/.test(text) && !text.includes("HP : 60 / 60"), "the pawns did not strike back");
    } finally {
      await both.close();
    }
  });

  it("item list", async () => {
    const both = await sideBySide(suite, "battle", {
      query: "&seed=3",
      args: ["--seed", "3", "--ambiguous", "narrow"],
    });
    try {
      await both.agree("start-up");
      for (const key of ["Down", "Down", "Enter"]) await both.press(key);
      const text = screenText(await both.agree("the item list"));
      for (const word of ["________Item________", "ポーション", "プロテイン", "バックラー", "×"]) {
        assert.ok(text.includes(word), `the item list lacks ${word}`);
      }
      await both.press("Down");
      await both.agree("the next item");
      await both.press("Left");
      await both.agree("back to the command menu");
    } finally {
      await both.close();
    }
  });

  // Running away ends the battle: the closing key, how it ended, and play
  // again without reloading.
  it("running away, the closing key and play again", async () => {
    const data = fastHero();
    const both = await sideBySide(suite, "battle", {
      query: "&seed=5",
      args: ["--seed", "5", "--ambiguous", "narrow"],
      data: data.folder,
      files: data.files,
    });
    try {
      await both.agree("start-up");
      for (const key of ["Down", "Down", "Down", "Enter"]) await both.press(key);
      const text = screenText(await both.agree("running away"));
      assert.ok(text.includes("にげることに成功しました。"), "not escaped");
      assert.ok(text.includes(closingPrompt), "no closing prompt");
      await both.page.evaluate(() => {
        window.samePage = true;
      });
      await both.page.keyboard.press("x");
      const ending = await endingShown(both.page);
      assert.ok(ending.status === "0" && ending.text === "The battle is over.", `ending: ${JSON.stringify(ending)}`);
      await both.page.click("#again");
      await waitForScreen(both.page, menuShown);
      assert.ok(await both.page.evaluate(() => window.samePage === true), "play again reloaded the page");
      assert.ok(await both.page.isHidden("#ending"), "the ending stays over the new battle");
      await both.page.keyboard.press("ArrowDown");
      await waitForScreen(both.page, /にげる/);
    } finally {
      await both.close();
      data.remove();
    }
  });
});
