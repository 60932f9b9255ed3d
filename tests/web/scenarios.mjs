// The page in Debian's Chromium, played as a player would, its screen read
// back from xterm.js and compared with the terminal program's screen (in tmux)
// for the same data, seed and keys.
//
//   node tests/web/scenarios.mjs SITE TERMINAL_BIN [NAME...]
//
// SITE is the page's folder (build/web/site), TERMINAL_BIN the folder of the
// Linux programs (build/play/bin); NAMEs pick scenarios by part of their name.
import { mkdtempSync, writeFileSync, readFileSync, readdirSync, rmSync, truncateSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import {
  serve,
  launch,
  openPage,
  readScreen,
  screenText,
  waitForScreen,
  tmuxSession,
  compareScreens,
  sleep,
} from "./lib.mjs";

const [siteArg, binArg, ...only] = process.argv.slice(2);
if (!siteArg || !binArg) {
  console.error("usage: node tests/web/scenarios.mjs SITE TERMINAL_BIN [NAME...]");
  process.exit(2);
}
const site = resolve(siteArg);
const bin = resolve(binArg);
const assets = resolve(dirname(fileURLToPath(import.meta.url)), "../../assets");

const sampleFiles = () =>
  readdirSync(assets)
    .filter((name) => name.endsWith(".txt"))
    .map((name) => ({ name, mimeType: "text/plain", buffer: readFileSync(join(assets, name)) }));
const cp932 = new TextDecoder("shift_jis");

// A copy of the sample data with some files changed or left out, as a folder
// (for the terminal program) and as a list of files (for the page).
function dataSet(changes = {}) {
  const folder = mkdtempSync(join(tmpdir(), "rpg-web-data-"));
  const files = [];
  for (const file of sampleFiles()) {
    if (changes[file.name] === null) continue;
    const buffer = changes[file.name] ?? file.buffer;
    writeFileSync(join(folder, file.name), buffer);
    files.push({ ...file, buffer });
  }
  return { folder, files, remove: () => rmSync(folder, { recursive: true, force: true }) };
}

// The sample hero with one line of numbers replaced (lines count from 0).
function heroWith(line, numbers) {
  const text = readFileSync(join(assets, "Hero_Status_Info.txt"));
  const lines = cp932.decode(text).split("\n");
  lines[line] = numbers;
  const name = text.subarray(0, text.indexOf(0x0a)); // the name stays in Shift-JIS
  return Buffer.concat([name, Buffer.from(`\n${lines.slice(1).join("\n")}`, "latin1")]);
}

// A hero fast enough that running away always succeeds.
const fastHero = () => dataSet({ "Hero_Status_Info.txt": heroWith(1, "60 12 8 6 6 60") });

const pageKeys = {
  Enter: "Enter",
  Down: "ArrowDown",
  Up: "ArrowUp",
  Left: "ArrowLeft",
  Right: "ArrowRight",
  Space: " ",
};

// The page and the terminal program side by side, driven by the same keys.
async function sideBySide(browser, program, { query = "", args = [], data = assets, files = null } = {}) {
  const terminal = tmuxSession([join(bin, program), "--data", data, ...args]);
  const opened = await openPage(browser, `${server.url}?program=${program}${query}`);
  if (files) await opened.page.setInputFiles("#data-files", files);
  return {
    ...opened,
    terminal,
    async press(key) {
      await opened.page.keyboard.press(pageKeys[key] ?? key);
      terminal.keys(key);
    },
    // Waits until both screens have settled and agree; throws the difference.
    async agree(what, { timeoutMs = 15000, quietMs = 400 } = {}) {
      const deadline = Date.now() + timeoutMs;
      let last = "";
      let since = Date.now();
      for (;;) {
        const mine = await readScreen(opened.page);
        const theirs = terminal.screen();
        const both = screenText(mine) + "\n--\n" + screenText(theirs);
        if (both !== last) {
          last = both;
          since = Date.now();
        }
        const differences = compareScreens(theirs, mine);
        if (!differences && Date.now() - since >= quietMs) return mine;
        if (Date.now() > deadline) {
          throw new Error(
            `${what}: the page differs from the terminal:\n${differences}\n` +
              `page:\n${screenText(mine)}\nterminal:\n${screenText(theirs)}`,
          );
        }
        await sleep(50);
      }
    },
    async close() {
      terminal.stop();
      await opened.context.close();
    },
  };
}

async function endingShown(page) {
  await page.waitForSelector("#ending:not([hidden])", { timeout: 45000 });
  return page.evaluate(() => ({
    text: document.getElementById("ending-text").textContent,
    detail: document.getElementById("ending-detail").textContent,
    status: document.getElementById("ending").dataset.status,
  }));
}

// The column of `ch` in a row of the screen, full-width characters counting two.
function columnOf(row, ch) {
  let column = 0;
  for (const c of row.text) {
    if (c === ch) return column;
    column += /[\u1100-\u115f\u2e80-\ua4cf\uac00-\ud7a3\uf900-\ufaff\ufe30-\ufe4f\uff00-\uff60\uffe0-\uffe6]/.test(c)
      ? 2
      : 1;
  }
  return -1;
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

const closingPrompt = "このまま終了するには何かを入力してください...";
const menuShown = /にげる[\s\S]*HP : 60 \/ 60/;

const scenarios = {
  // The start-up screen cell by cell; the page measures the ambiguous width
  // through xterm.js (narrow), the terminal is told.
  async "battle start-up screen as on the terminal"(browser) {
    const both = await sideBySide(browser, "battle", {
      query: "&seed=7",
      args: ["--seed", "7", "--ambiguous", "narrow"],
    });
    try {
      await waitForScreen(both.page, menuShown);
      const screen = await both.agree("start-up");
      check(
        screen[1].text.includes("たたかう") && screen[0].cells.some(([ch, bold]) => ch === "＿" && bold),
        "the first command's frame is not drawn bright",
      );
      check(both.problems.length === 0, `page errors: ${both.problems}`);
    } finally {
      await both.close();
    }
  },

  // たたかう, the target, the first skill, its message and the three pawns'
  // answers, back to the command menu: the same seed plays the same turn.
  async "one fight turn with a seed, key by key as on the terminal"(browser) {
    const both = await sideBySide(browser, "battle", {
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
      check(/HP : \d+ \/ 60/.test(text) && !text.includes("HP : 60 / 60"), "the pawns did not strike back");
    } finally {
      await both.close();
    }
  },

  async "item list"(browser) {
    const both = await sideBySide(browser, "battle", {
      query: "&seed=3",
      args: ["--seed", "3", "--ambiguous", "narrow"],
    });
    try {
      await both.agree("start-up");
      for (const key of ["Down", "Down", "Enter"]) await both.press(key);
      const screen = await both.agree("the item list");
      const text = screenText(screen);
      for (const word of ["________Item________", "ポーション", "プロテイン", "バックラー", "×"]) {
        check(text.includes(word), `the item list lacks ${word}`);
      }
      await both.press("Down");
      await both.agree("the next item");
      await both.press("Left");
      await both.agree("back to the command menu");
    } finally {
      await both.close();
    }
  },

  // Running away ends the battle: the closing key, how it ended, and play
  // again without reloading.
  async "running away, the closing key and play again"(browser) {
    const data = fastHero();
    const both = await sideBySide(browser, "battle", {
      query: "&seed=5",
      args: ["--seed", "5", "--ambiguous", "narrow"],
      data: data.folder,
      files: data.files,
    });
    try {
      await both.agree("start-up");
      for (const key of ["Down", "Down", "Down", "Enter"]) await both.press(key);
      const screen = await both.agree("running away");
      check(screenText(screen).includes("にげることに成功しました。"), "not escaped");
      check(screenText(screen).includes(closingPrompt), "no closing prompt");
      await both.page.evaluate(() => {
        window.samePage = true;
      });
      await both.page.keyboard.press("x");
      const ending = await endingShown(both.page);
      check(ending.status === "0" && ending.text === "The battle is over.", `ending: ${JSON.stringify(ending)}`);
      await both.page.click("#again");
      await waitForScreen(both.page, menuShown);
      check(await both.page.evaluate(() => window.samePage === true), "play again reloaded the page");
      check(await both.page.isHidden("#ending"), "the ending stays over the new battle");
      await both.page.keyboard.press("ArrowDown");
      await waitForScreen(both.page, /にげる/);
    } finally {
      await both.close();
      data.remove();
    }
  },

  // A whole battle with the touch keys only, on a phone held sideways: they
  // send exactly what the keyboard sends.
  async "touch keys on a phone in landscape"(browser) {
    const context = await browser.newContext({ viewport: { width: 844, height: 390 }, hasTouch: true, isMobile: true });
    const page = await context.newPage();
    const data = fastHero();
    const terminal = tmuxSession([join(bin, "battle"), "--data", data.folder, "--seed", "5", "--ambiguous", "narrow"]);
    try {
      await page.goto(`${server.url}?seed=5&bench=1`);
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-files", data.files);
      await waitForScreen(page, menuShown);
      for (const id of ["key-up", "key-down", "key-left", "key-right", "key-enter", "key-space"]) {
        const box = await page.locator(`#${id}`).boundingBox();
        check(box && box.width >= 44 && box.height >= 44, `${id} is too small for a thumb: ${JSON.stringify(box)}`);
        check(box.x + box.width <= 844 && box.y + box.height <= 390, `${id} is off the screen`);
      }
      const terminalBox = await page.locator(".xterm-screen").boundingBox();
      check(terminalBox.height >= 24 * 9, `the terminal is squeezed: ${JSON.stringify(terminalBox)}`);
      // ↓ three times to "にげる", ↑ and ↓ from the keyboard, ↑ and ↓ again by touch, Enter.
      for (let i = 0; i < 3; ++i) await page.tap("#key-down");
      await page.keyboard.press("ArrowUp");
      await page.keyboard.press("ArrowDown");
      await page.tap("#key-up");
      await page.tap("#key-down");
      await page.tap("#key-enter");
      terminal.keys("Down", "Down", "Down", "Up", "Down", "Up", "Down", "Enter");
      const mine = await waitForScreen(page, closingPrompt);
      await sleep(300);
      const differences = compareScreens(terminal.screen(), await readScreen(page));
      check(!differences, `the touch-played battle differs from the terminal's:\n${differences}`);
      check(screenText(mine).includes("にげることに成功しました。"), "not escaped");
      // What reached the program, less the terminal's answer to the width probe.
      const keys = (await page.evaluate(() => window.rpgBench.keys.map(([, bytes]) => bytes))).filter(
        (bytes) => !/^\x1b\[\d+;\d+R$/.test(bytes),
      );
      const [down, up] = [keys[4], keys[3]];
      check(/^\x1b[[O]B$/.test(down) && /^\x1b[[O]A$/.test(up), `the keyboard sent ${JSON.stringify(keys)}`);
      check(
        JSON.stringify(keys) === JSON.stringify([down, down, down, up, down, up, down, "\r"]),
        `the touch keys sent other codes than the keyboard: ${JSON.stringify(keys)}`,
      );
      await page.tap("#key-space");
      const ending = await endingShown(page);
      check(ending.status === "0", `ending: ${JSON.stringify(ending)}`);
      check((await page.evaluate(() => window.rpgBench.keys.at(-1)[1])) === " ", "Space did not send a blank");
    } finally {
      terminal.stop();
      data.remove();
      await context.close();
    }
  },

  // The field: the map as on the terminal, a step of the hero.
  async "field map and a hero step"(browser) {
    const both = await sideBySide(browser, "field", { query: "&ambiguous=narrow", args: ["--ambiguous", "narrow"] });
    try {
      const screen = await both.agree("the field", { timeoutMs: 20000, quietMs: 600 });
      check(columnOf(screen[16], "●") === 46, "the hero is not where its file puts it");
      await both.press("Left");
      const after = await both.agree("one step left");
      check(columnOf(after[16], "●") === 44, "the hero did not take one step left");
      check(await both.page.isVisible("#restart"), "the field has no restart");
    } finally {
      await both.close();
    }
  },

  // The pawn comes for a hero that stands near it; Restart begins afresh.
  async "field chase and restart"(browser) {
    const data = dataSet({ "Hero_Status_Info.txt": heroWith(6, "14 3") });
    const { page, context } = await openPage(browser, `${server.url}?program=field`);
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
      await sleep(4000); // the wipe (1.1 s), then the chase
      const seen = [];
      for (const text of await page.evaluate(() => window.pawnRows)) {
        const column = columnOf({ text: text.replaceAll("\u00a0", " ") }, "兵");
        if (column >= 0 && column !== seen.at(-1)) seen.push(column);
      }
      // Step by step to the right, two columns a step, until it stands on the hero.
      const from = seen.lastIndexOf(8);
      const walk = seen.slice(from);
      check(
        from >= 0 && JSON.stringify(walk) === JSON.stringify([8, 10, 12, 14]),
        `the pawn did not walk to the hero: columns ${seen}`,
      );
      await page.click("#restart");
      const screen = await waitForScreen(page, "●", { quietMs: 0, timeoutMs: 20000 });
      check(screen.length === 24, "no screen after the restart");
    } finally {
      data.remove();
      await context.close();
    }
  },

  // Own data without the pawn's file: the missing-file notice, its end after
  // 30 s, then the sample data again.
  async "own data with a missing file"(browser) {
    const data = dataSet({ "Pawn_Status_Info.txt": null });
    const { page, context } = await openPage(browser, server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-files", data.files);
      await page.waitForFunction(() => document.getElementById("data-state").textContent.startsWith("Own data"));
      check(
        (await page.textContent("#data-state")).includes("Missing: Pawn_Status_Info.txt"),
        "the missing file is not named",
      );
      await waitForScreen(page, "ファイルが存在しないため情報の初期化に失敗しました。");
      const started = Date.now();
      const ending = await endingShown(page);
      check(Date.now() - started > 25000, "the notice did not stay for its 30 seconds");
      check(ending.status === "255" && ending.text.includes("missing"), `ending: ${JSON.stringify(ending)}`);
      await page.click("#data-sample");
      await waitForScreen(page, menuShown);
    } finally {
      data.remove();
      await context.close();
    }
  },

  // Own data with a hero whose defence is 0: the terminal program's one-line
  // refusal, on the page; the sample data comes back untouched.
  async "own data with a bad file"(browser) {
    const data = dataSet({ "Hero_Status_Info.txt": heroWith(1, "60 12 0 6 6 10") });
    const errors = join(data.folder, "errors.txt");
    const terminal = tmuxSession(["sh", "-c", `'${join(bin, "battle")}' --data '${data.folder}' 2>'${errors}'`]);
    const { page, context } = await openPage(browser, server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-folder", data.folder);
      const ending = await endingShown(page);
      let expected = "";
      for (let i = 0; i < 50 && !expected; ++i, await sleep(100)) {
        try {
          expected = readFileSync(errors, "utf8").trim();
        } catch {
          /* not yet */
        }
      }
      check(expected.startsWith("battle: "), `the terminal program said ${JSON.stringify(expected)}`);
      check(
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
  },

  // A 100 MB file under a data file's name: only its first MiB is read, and
  // the page answers at once.
  async "a huge data file"(browser) {
    const data = dataSet();
    const hero = join(data.folder, "Hero_Status_Info.txt");
    truncateSync(hero, 100 * 1024 * 1024); // the sample hero, then zero bytes up to 100 MB
    const { page, context } = await openPage(browser, server.url);
    try {
      await waitForScreen(page, menuShown);
      const started = Date.now();
      await page.setInputFiles("#data-files", [
        hero,
        ...data.files.filter((f) => f.name !== "Hero_Status_Info.txt").map((f) => join(data.folder, f.name)),
      ]);
      await page.waitForFunction(() => document.getElementById("data-state").textContent.includes("first MiB"));
      const state = await page.textContent("#data-state");
      check(state.includes("Hero_Status_Info.txt"), `state: ${state}`);
      const answer = await page.evaluate(
        () =>
          new Promise((done) => {
            const asked = performance.now();
            setTimeout(() => done(performance.now() - asked), 0);
          }),
      );
      check(answer < 100, `the page took ${answer} ms to answer`);
      await waitForScreen(page, menuShown);
      check(Date.now() - started < 10000, "the huge file held the start up");
    } finally {
      data.remove();
      await context.close();
    }
  },

  // Errors of the page itself are said in words; a window too small to read
  // gets the terminal's notice.
  async "a wasm that fails to load, and a window too small"(browser) {
    const context = await browser.newContext({ viewport: { width: 1000, height: 700 } });
    const page = await context.newPage();
    try {
      await page.route("**/battle.wasm", (route) => route.fulfill({ status: 404, body: "" }));
      await page.goto(server.url);
      await page.waitForSelector("#failure:not([hidden])");
      const failure = await page.textContent("#failure");
      check(/could not be loaded: battle\.wasm/.test(failure), `failure: ${failure}`);
      await page.unroute("**/battle.wasm");
      await page.goto(server.url);
      await waitForScreen(page, menuShown);
      check(await page.isHidden("#failure"), "the failure stays");
      await page.setViewportSize({ width: 300, height: 200 });
      await page.waitForSelector("#small:not([hidden])");
      const small = await page.textContent("#small");
      check(/^Please make the terminal at least 80 x 19 \(now \d+ x \d+\)\.$/.test(small), `notice: ${small}`);
      await page.setViewportSize({ width: 1000, height: 700 });
      await page.waitForSelector("#small", { state: "hidden" });
    } finally {
      await context.close();
    }
  },
  // A battle recorded with the switch, then watched at full speed: the same
  // screen at the end and the same ending; a bad recording gets its one-line error.
  async "record a battle, watch it, and a bad recording"(browser) {
    const data = fastHero();
    const { page, context, problems } = await openPage(browser, server.url);
    try {
      await waitForScreen(page, menuShown);
      await page.setInputFiles("#data-files", data.files);
      await waitForScreen(page, menuShown);
      await page.check("#record");
      await page.click("#restart");
      await waitForScreen(page, menuShown);
      await page.focus(".xterm-helper-textarea");
      for (const key of ["ArrowDown", "ArrowUp", "ArrowDown", "ArrowDown", "ArrowDown", "Enter"]) {
        await page.keyboard.press(key);
        await sleep(150);
      }
      await waitForScreen(page, closingPrompt);
      await page.keyboard.press("x");
      const recorded = await endingShown(page);
      const screen = screenText(await readScreen(page));
      const text = await page.evaluate(async () => {
        const link = document.getElementById("recording");
        return link.hidden ? null : (await fetch(link.href)).text();
      });
      check(recorded.status === "0" && text !== null, `no recording offered: ${JSON.stringify(recorded)}`);
      // Six keys, five of them arrows of two codes each, and the closing key.
      const keys = text.split("\n").filter((line) => line.startsWith("key ")).length;
      check(keys === 12 && /\nend 0 /.test(text), `the recording is not the run's:\n${text}`);

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
      check(watched.status === recorded.status, `the replay ended otherwise: ${JSON.stringify(watched)}`);
      check(await page.isHidden("#recording"), "a replay offers a recording");
      const again = screenText(await readScreen(page));
      check(again === screen, `the replay's last screen differs:\n${again}\n---- recorded:\n${screen}`);

      const bad = await nextEnding({
        name: "bad.txt",
        mimeType: "text/plain",
        buffer: Buffer.from("not a recording\n"),
      });
      const lines = bad.detail.split("\n").filter((line) => line !== "");
      check(
        bad.status === "1" && lines.length === 1 && lines[0].includes("rec.txt"),
        `a bad recording: ${JSON.stringify(bad)}`,
      );
      check(problems.length === 0, `page errors: ${problems}`);
    } finally {
      data.remove();
      await context.close();
    }
  },
};

const server = await serve(site);
const browser = await launch();
let failed = 0;
try {
  for (const [name, scenario] of Object.entries(scenarios)) {
    if (only.length && !only.some((word) => name.includes(word))) continue;
    const started = Date.now();
    try {
      await scenario(browser);
      console.log(`ok    ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
    } catch (error) {
      ++failed;
      console.log(`FAIL  ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)\n${error.stack ?? error}`);
    }
  }
} finally {
  await browser.close();
  server.stop();
}
console.log(failed ? `${failed} scenario(s) failed` : "all scenarios passed");
process.exit(failed ? 1 : 0);
