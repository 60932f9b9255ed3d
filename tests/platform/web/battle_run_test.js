// The battle program as the page runs it, under node with a host of this
// test's own: the screen when it first waits for a key must be the terminal
// program's start-up screen, and Enter every 20 ms from then on (skipping the
// typing of messages too) must play the battle to its end.
// The battle runs in a process of its own, which its end ends.
// Run: node --no-experimental-fetch battle_run_test.js BIN_DIR ASSETS_DIR SCREENS_DIR
"use strict";
const fs = require("fs");
const path = require("path");
const { spawnSync } = require("child_process");
const { test } = require("node:test");
const assert = require("node:assert/strict");
const { AnsiScreen } = require("./ansi_screen.js");

// Plays the battle, then writes one line: its exit status, the screen at its
// first wait for the player and the number of Enters it took, as JSON.
function playBattle(bin, assets) {
  const report = (what) => fs.writeSync(1, JSON.stringify(what) + "\n");
  const reject = (error) => {
    report({ error: error.message });
    process.exit(1);
  };
  const screen = new AnsiScreen();
  let firstWait = null;
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
        if (++keys > 5000) reject(new Error("the battle does not end"));
      }
      const bytes = waiting;
      waiting = "";
      return bytes;
    },
    waitInput(timeoutMs) {
      return new Promise((done) => {
        wake = done;
        if (waiting) return done();
        if (timeoutMs >= 0) return setTimeout(done, timeoutMs);
        if (lastKey < 0) {
          // the first wait for the player: the command menu
          firstWait = screen.text();
          lastKey = 0;
        }
        setTimeout(done, 20);
      });
    },
    columns: () => 80,
    rows: () => 24,
  };
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
    onAbort: (what) => reject(new Error("aborted: " + what)),
    onExit: (status) => report({ status, firstWait, keys }),
  });
}

// Run as the test, it plays the battle in a child of its own (--play), whose
// end ends it, and reads its line.
function runTest(bin, assets, screens) {
  test("the battle as the page runs it: the start-up screen, then Enter to the end", async () => {
    const expected = fs.readFileSync(path.join(screens, "battle_start.txt"), "utf8").replace(/[ \n]+$/, "");
    const started = performance.now();
    const run = spawnSync(process.execPath, [...process.execArgv, __filename, "--play", bin, assets], {
      encoding: "utf8",
      maxBuffer: 1 << 24,
      timeout: 150000,
    });
    const line = run.stdout.trim().split("\n").at(-1);
    const why = run.error ? run.error.message : `exit status ${run.status}, signal ${run.signal}`;
    assert.match(line, /^\{.*\}$/, `the battle's run gave no result (${why}):\n${run.stderr}`);
    const { status, firstWait, keys, error } = JSON.parse(line);
    assert.equal(error, undefined);
    assert.notEqual(firstWait, null, "never waited for a key");
    assert.equal(firstWait, expected, "the start-up screen differs");
    assert.equal(status, 0, "exit status");
    console.log(`whole battle: ${keys} keys, ${((performance.now() - started) / 1000).toFixed(1)} s`);
  });
}

const [mode, ...paths] = process.argv.slice(2);
if (mode === "--play") playBattle(...paths);
else runTest(...process.argv.slice(2).map((p) => path.resolve(p)));
