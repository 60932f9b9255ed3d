// The player's own data files in the page: a missing file, a file the game
// cannot use (the terminal program's message), and a huge one.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { readFileSync, truncateSync } from "node:fs";
import { join } from "node:path";
import { openPage, waitForScreen, waitUntil } from "../../tools/browser.mjs";
import { tmuxSession } from "./terminal.mjs";
import { bin, browserSuite, dataSet, heroWith, endingShown, menuShown, rowsUnderEnding } from "./scenario.mjs";

describe("own data files", () => {
  const suite = browserSuite();

  // Own data without the pawn's file: the missing-file notice, its end after
  // 30 s, then the sample data again.
  it("own data with a missing file", async () => {
    const data = dataSet({ "Pawn_Status_Info.txt": null });
    const { page, context } = await openPage(suite.browser, suite.server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-files", data.files);
      await page.waitForFunction(() => document.getElementById("data-state").textContent.startsWith("Own data"));
      const state = await page.textContent("#data-state");
      assert.ok(state.includes("Missing: Pawn_Status_Info.txt"), `the missing file is not named: ${state}`);
      await waitForScreen(page, "ファイルが存在しないため情報の初期化に失敗しました。");
      const started = Date.now();
      const ending = await endingShown(page);
      assert.ok(Date.now() - started > 25000, "the notice did not stay for its 30 seconds");
      assert.ok(ending.status === "255" && ending.text.includes("missing"), `ending: ${JSON.stringify(ending)}`);
      // The notice stays readable beside the ending.
      assert.deepEqual(await rowsUnderEnding(page), [], "the ending box covers the notice");
      await waitForScreen(page, "ファイルが存在しないため情報の初期化に失敗しました。", { quietMs: 0 });
      await page.click("#data-sample");
      await waitForScreen(page, menuShown);
    } finally {
      data.remove();
      await context.close();
    }
  });

  // Own data with a hero whose defence is 0: the terminal program's one-line
  // refusal, on the page; the sample data comes back untouched.
  it("own data with a bad file", async () => {
    const data = dataSet({ "Hero_Status_Info.txt": heroWith(1, "60 12 0 6 6 10") });
    const errors = join(data.folder, "errors.txt");
    const terminal = tmuxSession(["sh", "-c", `'${join(bin, "battle")}' --data '${data.folder}' 2>'${errors}'`]);
    const { page, context } = await openPage(suite.browser, suite.server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-folder", data.folder);
      const ending = await endingShown(page);
      // The terminal program's refusal, once it has written it.
      const expected = await waitUntil(() => {
        try {
          return readFileSync(errors, "utf8").trim();
        } catch {
          return null; // not yet
        }
      }, "the terminal program wrote no refusal");
      assert.ok(expected.startsWith("battle: "), `the terminal program said ${JSON.stringify(expected)}`);
      assert.ok(
        ending.status === "1" && ending.detail.trim() === expected,
        `the page said ${JSON.stringify(ending)}, the terminal ${JSON.stringify(expected)}`,
      );
      await page.click("#data-sample");
      await waitForScreen(page, menuShown);
    } finally {
      terminal.stop();
      data.remove();
      await context.close();
    }
  });

  // A 100 MB file under a data file's name: only its first MiB is read, and
  // the page answers at once.
  it("a huge data file", async () => {
    const data = dataSet();
    const hero = join(data.folder, "Hero_Status_Info.txt");
    truncateSync(hero, 100 * 1024 * 1024); // the sample hero, then zero bytes up to 100 MB
    const { page, context } = await openPage(suite.browser, suite.server.url);
    try {
      await waitForScreen(page, menuShown);
      const started = Date.now();
      const others = data.files.filter((f) => f.name !== "Hero_Status_Info.txt").map((f) => join(data.folder, f.name));
      await page.setInputFiles("#data-files", [hero, ...others]);
      await page.waitForFunction(() => document.getElementById("data-state").textContent.includes("first MiB"));
      const state = await page.textContent("#data-state");
      assert.ok(state.includes("Hero_Status_Info.txt"), `state: ${state}`);
      const answer = await page.evaluate(
        () =>
          new Promise((done) => {
            const asked = performance.now();
            setTimeout(() => done(performance.now() - asked), 0);
          }),
      );
      assert.ok(answer < 100, `the page took ${answer} ms to answer`);
      await waitForScreen(page, menuShown);
      assert.ok(Date.now() - started < 10000, "the huge file held the start up");
    } finally {
      data.remove();
      await context.close();
    }
  });
});
