// The field in the page: the pawn's chase, and Restart (the map and the
// hero's step as on the terminal are in core.test.mjs).
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { openPage, waitForScreen, waitUntil } from "../../tools/browser.mjs";
import { browserSuite, dataSet, heroWith, columnOf } from "./scenario.mjs";

// The columns the pawn stood at in row 4, one entry per move, from the rows
// kept by the page's observer.
async function pawnColumns(page) {
  const seen = [];
  for (const text of await page.evaluate(() => window.pawnRows)) {
    const column = columnOf({ text: text.replaceAll("\u00a0", " ") }, "兵");
    if (column >= 0 && column !== seen.at(-1)) seen.push(column);
  }
  return seen;
}

describe("the field in the page", () => {
  const suite = browserSuite();

  // The pawn comes for a hero that stands near it; Restart begins afresh.
  it("field chase and restart", async () => {
    const data = dataSet({ "Hero_Status_Info.txt": heroWith(6, "14 3") });
    const { page, context } = await openPage(suite.browser, `${suite.server.url}?program=field`);
    try {
      await waitForScreen(page, "●", { quietMs: 0 });
      // Every change of the pawn's row is kept, however fast the pawn walks.
      await page.evaluate(() => {
        window.pawnRows = [];
        const rows = document.querySelector(".xterm-rows");
        new MutationObserver(() => window.pawnRows.push(rows.children[3].textContent)).observe(rows, {
          childList: true,
          subtree: true,
          characterData: true,
        });
      });
      await page.setInputFiles("#data-files", data.files);
      // The wipe, then the chase: until the pawn stands on the hero (column
      // 14) after setting out from column 8, and the screen has settled.
      let columns = [];
      await waitUntil(
        async () => {
          columns = await pawnColumns(page);
          return columns.lastIndexOf(8) >= 0 && columns.lastIndexOf(14) > columns.lastIndexOf(8);
        },
        () => `the pawn did not walk from column 8 to the hero: columns ${columns}`,
        { timeoutMs: 20000 },
      );
      await waitForScreen(page, "兵", { quietMs: 500 });
      // Step by step to the right, two columns a step, until it stands on the hero.
      const seen = await pawnColumns(page);
      const from = seen.lastIndexOf(8);
      assert.ok(from >= 0, `the pawn did not set out from column 8: columns ${seen}`);
      assert.deepEqual(seen.slice(from), [8, 10, 12, 14], `the pawn did not walk to the hero: columns ${seen}`);
      await page.click("#restart");
      const screen = await waitForScreen(page, "●", { quietMs: 0, timeoutMs: 20000 });
      assert.equal(screen.length, 24, "no screen after the restart");
    } finally {
      data.remove();
      await context.close();
    }
  });
});
