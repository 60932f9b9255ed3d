// The battle in the page, screen for screen as the terminal program plays it
// with the same data, seed and keys (its start-up and a whole battle are in
// core.test.mjs, played in every engine).
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { readScreen, screenText } from "../../tools/browser.mjs";
import { browserSuite, sideBySide } from "./scenario.mjs";

describe("the battle in the page", () => {
  const suite = browserSuite();

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
});
