// Where the ending box stands: under the last row the program wrote, so that
// its last screen (the missing-file notice, the battle's last message) stays
// readable beside the box; over the fewest rows it can when the program wrote
// to the bottom.

import { $, page } from "./shared.js";

// The bottom of the lowest row that holds text, in the stage's pixels.
function textBottom(stage) {
  const term = page.term;
  const buffer = term.buffer.active;
  let last = -1;
  for (let y = 0; y < term.rows; ++y) {
    const line = buffer.getLine(buffer.viewportY + y);
    if (line && line.translateToString(true).trim() !== "") last = y;
  }
  const screen = term.element.querySelector(".xterm-screen").getBoundingClientRect();
  return screen.top - stage.top + ((last + 1) * screen.height) / term.rows;
}

export function placeEnding() {
  const box = $("ending");
  if (box.hidden || !page.term) return;
  const stage = $("stage").getBoundingClientRect();
  box.style.top = ""; // at the bottom, as tall as its words
  const top = Math.min(textBottom(stage), stage.height - box.offsetHeight);
  box.style.top = `${Math.max(0, Math.ceil(top))}px`;
}
