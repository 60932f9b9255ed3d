// The README's picture of the page (doc/web.png): the battle with --seed 7
// after one blow, in Debian's Chromium.
//
//   node tools/screenshot.mjs SITE OUT.png [WIDTH HEIGHT [QUERY]]
import { serve, launch, waitForScreen, sleep } from "./browser.mjs";

const [site, out, width = "1000", height = "620", query = "?seed=7"] = process.argv.slice(2);
if (!site || !out) {
  console.error("usage: node tools/screenshot.mjs SITE OUT.png [WIDTH HEIGHT [QUERY]]");
  process.exit(2);
}
const server = await serve(site);
const browser = await launch();
try {
  const context = await browser.newContext({ viewport: { width: Number(width), height: Number(height) } });
  const page = await context.newPage();
  await page.goto(server.url + query);
  if (query.includes("program=field")) {
    await waitForScreen(page, "●", { quietMs: 1500 });
  } else {
    await waitForScreen(page, /にげる[\s\S]*HP : 60 \/ 60/, { quietMs: 500 });
    for (const key of ["Enter", "Enter", "Enter"]) {
      await page.keyboard.press(key);
      await sleep(1500);
    }
    await waitForScreen(page, "ダメージ", { quietMs: 800 });
  }
  await page.screenshot({ path: out });
} finally {
  await browser.close();
  server.stop();
}
