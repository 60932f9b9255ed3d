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

// The glyphs that reach furthest above and below the baseline. The CJK font's
// "￣" stands at the top of its em box, higher than a row of the Latin font's
// own height leaves room for at small sizes (at 10 px it stood above its row,
// whose overflow is cut, and was not drawn at all); "_" and "|" reach the Latin
// font's bottom.
const REACHING = ["￣", "＿", "_", "|", "兵"];

// The rows' height, as a multiple of the font's height as xterm.js takes it,
// and how far to move the glyphs down in them so that every glyph stands
// inside its row: a row as tall as their reach, the baseline (which the browser
// puts half the row's leading below the top, rounded down) moved to centre them.
function rowFor(size) {
  const context = document.createElement("canvas").getContext("2d");
  context.font = `${size}px ${FONT_FAMILY}`;
  let above = 0;
  let below = 0;
  for (const ch of REACHING) {
    const ink = context.measureText(ch); // in whole pixels
    above = Math.max(above, Math.ceil(ink.actualBoundingBoxAscent));
    below = Math.max(below, Math.ceil(ink.actualBoundingBoxDescent));
  }
  const { fontBoundingBoxAscent: ascent, fontBoundingBoxDescent: descent } = context.measureText("W");
  if (!(ascent > 0)) return { lineHeight: 1, lift: 0 }; // without the font's metrics, xterm.js's rows
  const row = Math.max(Math.ceil(ascent + descent), above + below);
  const baseline = Math.floor((row - ascent - descent) / 2) + ascent;
  const lift = Math.floor((row - above - below) / 2) - (baseline - above);
  // xterm.js rounds the font's height up, and the row down, in device pixels.
  const dpr = window.devicePixelRatio || 1;
  return { lineHeight: Math.max(1, (Math.ceil(row * dpr) + 0.01) / Math.ceil((ascent + descent) * dpr)), lift };
}

function setFontSize(size) {
  const { lineHeight, lift } = rowFor(size);
  page.term.element.style.setProperty("--glyph-lift", `${lift}px`);
  if (page.term.options.lineHeight !== lineHeight) page.term.options.lineHeight = lineHeight;
  if (page.term.options.fontSize !== size) page.term.options.fontSize = size;
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
  setFontSize(size); // the device's pixels may have changed
  let cell = cellSize();
  if (cell.width === 0) return;
  // Cells grow with the font; the first guess is corrected by measuring.
  let guess = Math.floor(size * Math.min(width / (cell.width * COLUMNS), height / (cell.height * ROWS)));
  guess = Math.max(MIN_FONT_PX, Math.min(guess, 64));
  for (let tries = 0; tries < 4 && guess !== size; ++tries) {
    setFontSize((size = guess));
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
