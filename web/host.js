// The host the program's console talks to (Module.rpg: write, takeInput,
// waitInput, columns, rows, and say in the screen-reader mode), and the keys
// typed for it.

import { $, bench, benchmarking, page } from "./shared.js";
import { COLUMNS, ROWS } from "./screen.js";

// xterm.js hands over what the keyboard typed as characters; the program reads
// bytes, as a UTF-8 terminal would send them.
const utf8 = new TextEncoder();
export function asBytes(text) {
  let plain = true;
  for (let i = 0; i < text.length; ++i) {
    if (text.charCodeAt(i) > 0x7f) {
      plain = false;
      break;
    }
  }
  if (plain) return text;
  let bytes = "";
  for (const b of utf8.encode(text)) bytes += String.fromCharCode(b);
  return bytes;
}

export function typed(bytes) {
  if (benchmarking) bench.keys.push([performance.now(), bytes]);
  const run = page.current;
  if (!run) return;
  run.input += bytes;
  if (run.wake) run.wake();
}

// What the program says to a screen reader goes into the polite live region,
// a line each, of which the last few are kept.
const SAID_KEPT = 6;
function sayAloud(text) {
  const region = $("spoken");
  const line = document.createElement("p");
  line.textContent = text;
  region.append(line);
  while (region.childElementCount > SAID_KEPT) region.firstElementChild.remove();
}

// The object the program's console calls. A run that was replaced (a restart
// while it was running) is cut off: its writes are dropped and its next wait
// for a key never ends, so it stops there for good.
export function makeHost(run) {
  const live = () => run === page.current;
  return {
    write(text) {
      if (!live()) return;
      if (benchmarking) {
        // When it was asked, when xterm.js had taken it in, and the frame after.
        const entry = { at: performance.now(), text, parsed: 0, frame: 0 };
        bench.writes.push(entry);
        page.term.write(text, () => {
          entry.parsed = performance.now();
          requestAnimationFrame((frame) => {
            entry.frame = frame;
          });
        });
        return;
      }
      page.term.write(text);
    },
    takeInput() {
      if (!live()) return "";
      const input = run.input;
      run.input = "";
      return input;
    },
    waitInput(timeoutMs) {
      if (!live()) return new Promise(() => {});
      if (run.input) return Promise.resolve();
      return new Promise((resolve) => {
        let timer = 0;
        run.wake = () => {
          clearTimeout(timer);
          run.wake = null;
          resolve();
        };
        if (timeoutMs >= 0) timer = setTimeout(run.wake, timeoutMs);
      });
    },
    say(text) {
      if (live()) sayAloud(text);
    },
    columns: () => COLUMNS,
    rows: () => ROWS,
    ended() {},
  };
}
