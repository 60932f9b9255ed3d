// An accessibility checker (axe-core) on the page: the battle at its command
// menu and after its end, and the field, in each of the page's modes.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { AxeBuilder } from "@axe-core/playwright";
import { openPage, waitForScreen } from "../../tools/browser.mjs";
import { browserSuite, fastHero, closingPrompt, endingShown, menuShown } from "./scenario.mjs";

// The page's modes, as what they add to its address; each is checked whole.
const MODES = [
  ["the usual page", ""],
  ["the screen-reader mode", "&reader=1"],
];

// axe's violations, one line each: the rule, its impact and where.
async function violations(page, what) {
  const { violations: found } = await new AxeBuilder({ page }).analyze();
  return found.map((v) => `${what}: ${v.id} (${v.impact}) at ${v.nodes.map((n) => n.target.join(" ")).join(", ")}`);
}

describe("no accessibility faults", () => {
  const suite = browserSuite();

  for (const [mode, query] of MODES) {
    it(`the battle and its end, ${mode}`, async () => {
      const data = fastHero();
      const { page, context } = await openPage(suite.browser, `${suite.server.url}?seed=5${query}`);
      try {
        await waitForScreen(page, menuShown);
        const found = await violations(page, "the command menu");
        await page.setInputFiles("#data-files", data.files);
        await waitForScreen(page, menuShown);
        for (const key of ["ArrowDown", "ArrowDown", "ArrowDown", "Enter"]) await page.keyboard.press(key);
        await waitForScreen(page, closingPrompt);
        await page.keyboard.press("x");
        await endingShown(page);
        found.push(...(await violations(page, "the ending")));
        assert.deepEqual(found, []);
      } finally {
        data.remove();
        await context.close();
      }
    });

    // On a phone held upright: the touch keys under the screen.
    it(`the field, ${mode}`, async () => {
      const url = `${suite.server.url}?program=field${query}`;
      const { page, context } = await openPage(suite.browser, url, {
        viewport: { width: 390, height: 844 },
        hasTouch: true,
      });
      try {
        await waitForScreen(page, "●");
        assert.deepEqual(await violations(page, "the field"), []);
      } finally {
        await context.close();
      }
    });
  }
});
