// Errors of the page itself are said in words; a window too small to read
// gets the terminal's notice, with the program's minimum room.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { waitForScreen } from "../../tools/browser.mjs";
import { browserSuite, menuShown } from "./scenario.mjs";

describe("the page's own failures and room", () => {
  const suite = browserSuite();

  it("a wasm that fails to load, and a window too small", async () => {
    const context = await suite.browser.newContext({ viewport: { width: 1000, height: 700 } });
    const page = await context.newPage();
    try {
      await page.route("**/battle.wasm", (route) => route.fulfill({ status: 404, body: "" }));
      await page.goto(suite.server.url);
      await page.waitForSelector("#failure:not([hidden])");
      const failure = await page.textContent("#failure");
      assert.match(failure, /could not be loaded: battle\.wasm/);
      await page.unroute("**/battle.wasm");
      await page.goto(suite.server.url);
      await waitForScreen(page, menuShown);
      assert.ok(await page.isHidden("#failure"), "the failure stays");
      await page.setViewportSize({ width: 300, height: 200 });
      await page.waitForSelector("#small:not([hidden])");
      const small = await page.textContent("#small");
      assert.match(small, /^Please make the terminal at least 80 x 19 \(now \d+ x \d+\)\.$/);
      await page.setViewportSize({ width: 1000, height: 700 });
      await page.waitForSelector("#small", { state: "hidden" });
    } finally {
      await context.close();
    }
  });

  // The room the notice asks for is the program's own: the field's map is narrower.
  it("the field's notice asks for the field's room", async () => {
    const context = await suite.browser.newContext({ viewport: { width: 300, height: 200 } });
    const page = await context.newPage();
    try {
      await page.goto(`${suite.server.url}?program=field`);
      await page.waitForSelector("#small:not([hidden])");
      assert.match(await page.textContent("#small"), /^Please make the terminal at least 54 x 19 \(now \d+ x \d+\)\.$/);
    } finally {
      await context.close();
    }
  });
});
