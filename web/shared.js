// What every part of the page shares: the address's choices, the run that owns
// the terminal, the benchmark's time stamps and the way failures are told.

export const $ = (id) => document.getElementById(id);

export const query = new URLSearchParams(location.search);
export const programName = query.get("program") === "field" ? "field" : "battle";
export const benchmarking = query.get("bench") === "1";
// ?reader=1: the screen-reader mode; another value is ignored, and said so.
export const readerWord = query.get("reader");
export const readerAsked = readerWord === "1";

// term: the xterm.js terminal, once set up; current: the run that owns it and
// the keys; facts: what the program tells of itself, once it is loaded.
export const page = { term: null, current: null, facts: null };

// What the page measures when asked (?bench=1): the time of every write of the
// program, of every key event and of what reached the program, read back by
// the benchmark.
export const bench = { writes: [], keys: [], keydowns: [], runs: 0 };
if (benchmarking) {
  window.rpgBench = bench;
  document.addEventListener("keydown", (event) => bench.keydowns.push(event.timeStamp), true);
}

export function showFailure(text) {
  const box = $("failure");
  box.textContent = text;
  box.hidden = false;
}

export function describe(error) {
  if (error instanceof Error) return error.message;
  return String(error);
}
