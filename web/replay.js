// The buttons and the seek bar of a replay watched on the page: they hand
// the replay that runs the requests its keys would (app/page_replay.cpp),
// and show how far it got, as its status line does.

import { $, page } from "./shared.js";
import { typed } from "./host.js";

// The replay's commands by their numbers, in the program's order
// (recording/replay_controls.h).
const COMMANDS = { pause: 1, step_forward: 2, step_back: 3, faster: 4, slower: 5, to_time: 10 };
const BUTTONS = {
  "replay-pause": "pause",
  "replay-back": "step_back",
  "replay-forward": "step_forward",
  "replay-slower": "slower",
  "replay-faster": "faster",
};

let watched = null; // the run whose replay the controls work
let timer = 0;
let seeking = false; // the player holds the seek bar

const working = (run) => run && run === watched && run === page.current && !run.finished && run.ready;

function request(command, ms = 0) {
  if (!working(watched)) return;
  watched.module._rpg_replay_request(COMMANDS[command], ms);
  // A paused replay waits for a key: one it ignores (code 0) wakes it to take the request.
  typed("\0");
}

function status(run) {
  const words = run.module.UTF8ToString(run.module._rpg_replay_status()).split(" ");
  const [paused, speed, key, keys, word, turn, time, whole] = words;
  return { paused: paused === "1", speed, key, keys, word, turn, time: Number(time), whole: Number(whole) };
}

function clock(ms) {
  const seconds = Math.floor(ms / 1000);
  return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, "0")}`;
}

function show() {
  if (!working(watched)) {
    if (!watched || watched !== page.current || watched.finished) stopControls();
    return;
  }
  const s = status(watched);
  $("replay-pause").textContent = s.paused ? "Resume" : "Pause";
  $("replay-speed-shown").textContent = s.speed;
  const seek = $("replay-seek");
  seek.max = String(s.whole);
  if (!seeking) seek.value = String(s.time);
  const where = `${clock(s.time)} of ${clock(s.whole)}`;
  seek.setAttribute("aria-valuetext", where);
  $("replay-where").textContent = `${where}, key ${s.key} of ${s.keys}, ${s.word} ${s.turn}`;
  $("replay-controls").dataset.paused = String(s.paused);
}

function stopControls() {
  clearInterval(timer);
  timer = 0;
  watched = null;
  $("replay-controls").hidden = true;
  $("replay").hidden = true;
}

// The controls work `run`'s replay, until it ends or another run starts.
export function watchControls(run) {
  stopControls();
  watched = run;
  $("replay-controls").hidden = false;
  $("replay").hidden = false;
  timer = setInterval(show, 100);
}

export function setUpControls() {
  for (const [id, command] of Object.entries(BUTTONS)) {
    $(id).addEventListener("click", () => {
      request(command);
      show();
    });
  }
  const seek = $("replay-seek");
  seek.addEventListener("pointerdown", () => {
    seeking = true;
  });
  for (const done of ["pointerup", "pointercancel"]) {
    seek.addEventListener(done, () => {
      seeking = false;
    });
  }
  seek.addEventListener("change", () => {
    seeking = false;
    request("to_time", Number(seek.value));
  });
}
