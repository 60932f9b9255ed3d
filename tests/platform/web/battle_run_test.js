// The battle program as the page runs it, under node with a host of this
// test's own: the screen when it first waits for a key must be the terminal
// program's start-up screen, and Enter every 20 ms from then on (skipping the
// typing of messages too) must play the battle to its end.
// Run: node --no-experimental-fetch battle_run_test.js BIN_DIR ASSETS_DIR SCREENS_DIR
"use strict";
const fs = require("fs");
const path = require("path");
const { AnsiScreen } = require("./ansi_screen.js");

const [bin, assets, screens] = process.argv.slice(2).map((p) => path.resolve(p));
const expected = fs.readFileSync(path.join(screens, "battle_start.txt"), "utf8").replace(/[ \n]+$/, "");
const fail = (why) => {
  console.error("FAIL: " + why);
  process.exit(1);
};

const screen = new AnsiScreen();
let waiting = "";
let wake = () => {};
let keys = 0;
let lastKey = -1;
const host = {
  write(text) {
    screen.write(text);
    if (screen.reports.length) waiting += screen.reports.splice(0).join("");
    wake();
  },
  takeInput() {
    if (lastKey >= 0 && performance.now() - lastKey >= 20) {
      lastKey = performance.now();
      waiting += "\r";
      if (++keys > 5000) fail("the battle does not end");
    }
    const bytes = waiting;
    waiting = "";
    return bytes;
  },
  waitInput(timeoutMs) {
    return new Promise((resolve) => {
      wake = resolve;
      if (waiting) return resolve();
      if (timeoutMs >= 0) return setTimeout(resolve, timeoutMs);
      if (lastKey < 0) {
        // the first wait for the player: the command menu
        if (screen.text() !== expected)
          fail("start-up screen differs:\n" + screen.text() + "\n--- expected:\n" + expected);
        lastKey = 0;
      }
      setTimeout(resolve, 20);
    });
  },
  columns: () => 80,
  rows: () => 24,
};

const started = performance.now();
require(path.join(bin, "battle.js"))({
  arguments: ["--data", "/data", "--seed", "7"],
  rpg: host,
  preRun: [
    (m) => {
      m.FS.mkdir("/data");
      for (const f of fs.readdirSync(assets)) m.FS.writeFile("/data/" + f, fs.readFileSync(path.join(assets, f)));
    },
  ],
  printErr: (line) => console.error(line),
  locateFile: (name) => path.join(bin, name),
  onAbort: (what) => fail("aborted: " + what),
  onExit: (status) => {
    if (lastKey < 0 || status !== 0) fail(lastKey < 0 ? "never waited for a key" : "exit status " + status);
    console.log(`whole battle: ${keys} keys, ${((performance.now() - started) / 1000).toFixed(1)} s`);
  },
});
