// The battle program as the page runs it, under node with a host of this
// test's own: the screen read back when it first waits for a key must be the
// terminal program's start-up screen, and Enter pressed every 20 ms from then
// on (skipping the typing of messages too) must play the battle to its end. Run: node --no-experimental-fetch battle_run_test.js BIN_DIR ASSETS_DIR SCREENS_DIR
"use strict";
const fs = require("fs");
const path = require("path");
const { AnsiScreen } = require("./ansi_screen.js");

const [bin, assets, screens] = process.argv.slice(2).map((p) => path.resolve(p));
const expected = fs.readFileSync(path.join(screens, "battle_start.txt"), "utf8").replace(/[ \n]+$/, "");

function fail(why) {
  console.error("FAIL: " + why);
  process.exit(1);
}

const screen = new AnsiScreen();
let waiting = "";
let wake = null;
let waits = 0;
let checked = false;
let lastEnter = 0;
const give = (bytes) => {
  waiting += bytes;
  if (wake) wake();
};
const host = {
  write(text) {
    screen.write(text);
    while (screen.reports.length) give(screen.reports.shift());
  },
  takeInput() {
    if (checked && performance.now() - lastEnter >= 20) {
      lastEnter = performance.now();
      waiting += "\r";
      waits++;
    }
    const bytes = waiting;
    waiting = "";
    return bytes;
  },
  waitInput(timeoutMs) {
    return new Promise((resolve) => {
      const timer = timeoutMs >= 0 ? setTimeout(() => done(), timeoutMs) : null;
      const done = () => {
        clearTimeout(timer);
        wake = null;
        resolve();
      };
      wake = done;
      if (timeoutMs >= 0 || waiting) return;
      // The program waits for the player: the first time at the command menu.
      if (!checked) {
        checked = true;
        const shown = screen.text().split("\n").map((r) => r.replace(/ +$/, "")).join("\n");
        if (shown !== expected) fail("start-up screen differs:\n" + shown + "\n--- expected:\n" + expected);
      }
      if (waits > 5000) fail("the battle does not end");
      setTimeout(() => give(""), 20);
    });
  },
  columns: () => 80,
  rows: () => 24,
};

const started = performance.now();
require(path.join(bin, "battle.js"))({
  arguments: ["--data", "/data", "--seed", "7"],
  rpg: host,
  preRun: [(m) => {
    m.FS.mkdir("/data");
    for (const f of fs.readdirSync(assets)) m.FS.writeFile("/data/" + f, fs.readFileSync(path.join(assets, f)));
  }],
  print: (line) => console.log(line),
  printErr: (line) => console.error(line),
  locateFile: (name) => path.join(bin, name),
  onAbort: (what) => fail("aborted: " + what),
  onExit: (status) => {
    if (!checked) fail("never waited for a key");
    if (status !== 0) fail("exit status " + status);
    const seconds = (performance.now() - started) / 1000;
    console.log(`whole battle: ${waits} keys, ${seconds.toFixed(1)} s`);
    process.exit(0);
  },
});
