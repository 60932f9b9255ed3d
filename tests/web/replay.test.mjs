// A recording watched on the page, worked by its buttons and seek bar: a step
// forward and back returns the same screen, and the seek bar's end shows the
// ending the recording reaches when played through at once; its link opened
// in another page plays to that ending too, and its asciicast is offered.
import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { join } from "node:path";
import { readFile } from "node:fs/promises";
import { openPage, readScreen, screenText, waitForScreen, waitUntil } from "../../tools/browser.mjs";
import { browserSuite, endingShown } from "./scenario.mjs";

const recording = join(import.meta.dirname, "../recordings/battle_lost.txt");
const lost = "バトルに負けました。";
const gameRows = async (page) => screenText((await readScreen(page)).slice(0, 19));
const paused = (page) => page.evaluate(() => document.getElementById("replay-controls").dataset.paused === "true");

async function readAll(stream) {
  let text = "";
  for await (const part of stream) text += part;
  return text;
}

async function seekToEnd(page) {
  await waitUntil(() => page.evaluate(() => Number(document.getElementById("replay-seek").max) > 0), "no length");
  await page.$eval("#replay-seek", (seek) => {
    seek.value = seek.max;
    seek.dispatchEvent(new Event("change"));
  });
}

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
    await through.page.click("#share");
    const link = await waitUntil(() => through.page.$eval("#share-link", (shown) => shown.dataset.link), "no link");
    assert.ok(link.length < 4096 && link.startsWith(suite.server.url), `the link: ${link.length} bytes`);
    const [download] = await Promise.all([through.page.waitForEvent("download"), through.page.click("#cast")]);
    const cast = (await readAll(await download.createReadStream())).split("\n");
    assert.equal(JSON.parse(cast[0]).version, 2);
    assert.ok(
      cast.slice(1, -1).every((line) => JSON.parse(line)[1] === "o"),
      cast.slice(0, 3).join("\n"),
    );
    // The longest battle recorded, its link as short.
    const longest = await readFile(join(import.meta.dirname, "../recordings/battle_item_refusals.txt"), "latin1");
    const code = await through.page.evaluate(async (text) => {
      const { encodeRecording } = await import("./share.js");
      return encodeRecording(Uint8Array.from(text, (c) => c.charCodeAt(0)));
    }, longest);
    assert.ok(suite.server.url.length + 5 + code.length < 4096, `the longest battle's link: ${code.length} bytes`);
    await through.context.close();

    const linked = await openPage(suite.browser, link);
    await linked.page.waitForSelector("#replay-controls:not([hidden])");
    await seekToEnd(linked.page); // it plays at the recorded pace
    await endingShown(linked.page);
    await waitForScreen(linked.page, lost);
    assert.equal(await gameRows(linked.page), ending, "the link's run ended otherwise");
    assert.deepEqual(linked.problems, []);
    await linked.context.close();
    for (const code of ["AAAA", "bm90IGEgcmVjb3JkaW5n", link.slice(link.indexOf("#rec=") + 5, -40)]) {
      const bad = await openPage(suite.browser, `${suite.server.url}#rec=${code}`);
      const said = await waitUntil(() => bad.page.$eval("#status", (p) => !p.hidden && p.textContent), "nothing said");
      assert.ok(/^The link's recording cannot be watched: [^\n]+$/.test(said), said);
      assert.ok(await bad.page.$eval("#replay-controls", (c) => c.hidden), "a bad link played");
      await bad.context.close();
    }

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
      await seekToEnd(page);
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
