// The terminal: an xterm.js grid of 80 x 24 whose font grows and shrinks with
// the window, and the terminal's too-small notice while the window is too small
// to read what the game uses.

import { $, page, showFailure, describe } from "./shared.js";

export const COLUMNS = 80;
export const ROWS = 24;
const MIN_FONT_PX = 8; // below this the screen is not readable
// A Latin monospace font first, so that symbols of ambiguous width such as "●"
// are drawn one cell wide as the terminal lays them out; then a CJK one.
const FONT_FAMILY =
  '"DejaVu Sans Mono", "Noto Sans Mono", Menlo, Consolas, "Noto Sans Mono CJK JP", ' +
  '"Noto Sans CJK JP", "Hiragino Kaku Gothic ProN", "Yu Gothic", "MS Gothic", monospace';

// The terminal in its place, or null when xterm.js could not be loaded (said on the page).
export async function openTerminal() {
  let Terminal;
  try {
    ({ Terminal } = await import("./xterm/xterm.js"));
  } catch (error) {
    showFailure(`The terminal could not be loaded: ${describe(error)}`);
    return null;
  }
  const term = new Terminal({
    cols: COLUMNS,
    rows: ROWS,
    scrollback: 0,
    fontFamily: FONT_FAMILY,
    fontSize: 16,
    cursorBlink: false,
    allowTransparency: false,
    drawBoldTextInBrightColors: true,
    theme: { background: "#000000", foreground: "#d0d0d0" },
  });
  term.open($("terminal"));
  return term;
}

function cellSize() {
  const screen = page.term.element.querySelector(".xterm-screen");
  return { width: screen.offsetWidth / COLUMNS, height: screen.offsetHeight / ROWS };
}

// The largest font whose grid fits the stage; then the notice, when what the
// game uses is not readable (the program's facts tell how much room that is).
export function fit() {
  const term = page.term;
  const stage = $("stage");
  const width = stage.clientWidth;
  const height = stage.clientHeight;
  if (width === 0 || height === 0) return;
  let size = term.options.fontSize;
  let cell = cellSize();
  if (cell.width === 0) return;
  // Cells grow with the font; the first guess is corrected by measuring.
  let guess = Math.floor(size * Math.min(width / (cell.width * COLUMNS), height / (cell.height * ROWS)));
  guess = Math.max(MIN_FONT_PX, Math.min(guess, 64));
  for (let tries = 0; tries < 4 && guess !== size; ++tries) {
    term.options.fontSize = size = guess;
    cell = cellSize();
    if ((cell.width * COLUMNS > width || cell.height * ROWS > height) && guess > MIN_FONT_PX) --guess;
  }
  // The grid stays 80 x 24; what the game uses must be readable, else the
  // terminal's notice says how much room it needs.
  const columns = Math.floor(width / cell.width);
  const rows = Math.floor(height / cell.height);
  const small = $("small");
  const facts = page.facts;
  const tooSmall = facts !== null && (columns < facts.minColumns || rows < facts.minRows);
  small.hidden = !tooSmall;
  if (tooSmall) small.textContent = facts.roomNotice(Math.min(columns, COLUMNS), Math.min(rows, ROWS));
}
