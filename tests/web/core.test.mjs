// The page's core in each browser engine (RPG_BROWSER: chromium, firefox or
// webkit, through engine.mjs): the battle's start-up, a whole battle, the
// field, own data and a recording watched, each screen compared with the
// terminal program's as the other scenarios compare Chromium's.
import { describe, it, before, after } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { serve, readScreen, screenText, waitForScreen, waitUntil, pressAndWait } from "../../tools/browser.mjs";
import { launchEngine, engineName } from "./engine.mjs";
import { tmuxSession, agree } from "./terminal.mjs";
import {
  assets,
  bin,
  site,
  dataSet,
  heroWith,
  fastHero,
  columnOf,
  closingPrompt,
  endingShown,
  menuShown,
  misplaced,
} from "./scenario.mjs";

const failed = (page) => page.evaluate(() => !document.getElementById("failure").hidden);

describe(`the page's core in ${engineName}`, () => {
  let server = null;
  let engine = null;
  before(async () => {
    server = await serve(site);
    engine = await launchEngine();
    console.log(`${engine.name} ${engine.version}`);
  });
  after(async () => {
    await engine?.close();
    server?.stop();
  });

  // The page and the terminal program side by side, driven by the same keys.
  async function alongside(program, { query = "", args = [], data = null } = {}) {
    const terminal = tmuxSession([join(bin, program), "--data", data ? data.folder : assets, ...args]);
    const page = await engine.open(`${server.url}?program=${program}${query}`);
    if (data) {
      await waitForScreen(page, program === "battle" ? menuShown : "●");
      await page.setFiles("#data-files", data.files);
    }
    return {
      page,
      async press(key) {
        await page.press(key);
        terminal.keys(key);
      },
      agree: (what, options) => agree(page, terminal, what, options),
      async close() {
        terminal.stop();
        await page.close();
      },
    };
  }

  it("the battle's start-up screen as on the terminal", async () => {
    const both = await alongside("battle", {
      query: "&seed=7&ambiguous=narrow",
      args: ["--seed", "7", "--ambiguous", "narrow"],
    });
    try {
      const screen = await both.agree("start-up");
      assert.ok(
        screen[0].cells.some(([ch, bold]) => ch === "＿" && bold),
        "the first command's frame is not bright",
      );
      assert.equal(await failed(both.page), false);
    } finally {
      await both.close();
    }
  });

  // Running away: the closing key, how it ended, and play again.
  it("a whole battle, its end and play again", async () => {
    const data = fastHero();
    const both = await alongside("battle", {
      query: "&seed=5&ambiguous=narrow",
      args: ["--seed", "5", "--ambiguous", "narrow"],
      data,
    });
    try {
      await both.agree("start-up on the chosen data");
      for (const key of ["ArrowDown", "ArrowDown", "ArrowDown", "Enter"]) await both.press(key);
      const text = screenText(await both.agree("running away"));
      assert.ok(text.includes("にげることに成功しました。") && text.includes(closingPrompt), text);
      assert.deepEqual(await misplaced(both.page), [], "characters off their columns");
      await both.page.evaluate(() => {
        window.samePage = true;
      });
      await both.press("x");
      const end = await endingShown(both.page);
      assert.ok(end.status === "0" && end.text === "The battle is over.", JSON.stringify(end));
      await both.page.click("#again");
      await waitForScreen(both.page, menuShown);
      const again = await both.page.evaluate(() => [window.samePage, document.getElementById("ending").hidden]);
      assert.deepEqual(again, [true, true], "play again reloaded the page, or the ending stays");
    } finally {
      await both.close();
      data.remove();
    }
  });

  it("the field and a hero step as on the terminal", async () => {
    const both = await alongside("field", { query: "&ambiguous=narrow", args: ["--ambiguous", "narrow"] });
    try {
      const screen = await both.agree("the field", { timeoutMs: 20000, quietMs: 600 });
      assert.equal(columnOf(screen[16], "●"), 46, "the hero is not where its file puts it");
      await both.press("ArrowLeft");
      assert.equal(columnOf((await both.agree("one step left"))[16], "●"), 44, "the hero did not step left");
    } finally {
      await both.close();
    }
  });

  // A hero whose defence is 0: the terminal program's one-line refusal, on the page.
  it("own data the game cannot use", async () => {
    const data = dataSet({ "Hero_Status_Info.txt": heroWith(1, "60 12 0 6 6 10") });
    const errors = join(data.folder, "errors.txt");
    const terminal = tmuxSession(["sh", "-c", `'${join(bin, "battle")}' --data '${data.folder}' 2>'${errors}'`]);
    const page = await engine.open(server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setFiles("#data-files", data.files);
      const end = await endingShown(page);
      const expected = await waitUntil(() => {
        try {
          return readFileSync(errors, "utf8").trim();
        } catch {
          return null; // not yet written
        }
      }, "the terminal program wrote no refusal");
      assert.ok(expected.startsWith("battle: ") && end.status === "1", `the terminal said ${expected}`);
      assert.equal(end.detail.trim(), expected);
    } finally {
      terminal.stop();
      data.remove();
      await page.close();
    }
  });

  // Recorded with the switch, then watched at once: the same last screen and
  // end; a bad recording gets its one-line error.
  it("a battle recorded, then watched, and a bad recording", async () => {
    const data = fastHero();
    const page = await engine.open(server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setFiles("#data-files", data.files);
      await waitForScreen(page, menuShown);
      await page.click("#record");
      await page.click("#restart");
      await waitForScreen(page, menuShown);
      for (const key of ["ArrowDown", "ArrowUp", "ArrowDown", "ArrowDown", "ArrowDown", "Enter"]) {
        await pressAndWait(page, key);
      }
      await waitForScreen(page, closingPrompt);
      await page.press("x");
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
      await page.click("#record");
      // The next ending told is the replay's, however soon it comes.
      const watch = async (name, buffer) => {
        await page.evaluate(() => {
          document.getElementById("replay-speed").value = "max";
          document.getElementById("ending").hidden = true;
        });
        await page.setFiles("#replay-file", [{ name, buffer }]);
        return endingShown(page);
      };
      const watched = await watch("rec.txt", Buffer.from(text));
      assert.equal(watched.status, recorded.status, `the replay ended otherwise: ${JSON.stringify(watched)}`);
      assert.ok(await page.evaluate(() => document.getElementById("recording").hidden), "a replay offers a recording");
      // Drawn at the engine's next frames.
      const again = await waitForScreen(page, closingPrompt, { quietMs: 500 }).catch(() => readScreen(page));
      // The game's 19 rows; under them the replay's status line stays.
      const game = (text) => text.split("\n").slice(0, 19).join("\n");
      assert.equal(game(screenText(again)), game(screen), "the replay's last screen differs");
      const bad = await watch("bad.txt", Buffer.from("not a recording\n"));
      const lines = bad.detail.split("\n").filter((line) => line !== "");
      assert.ok(bad.status === "1" && lines.length === 1 && lines[0].includes("rec.txt"), JSON.stringify(bad));
    } finally {
      data.remove();
      await page.close();
    }
  });
});
