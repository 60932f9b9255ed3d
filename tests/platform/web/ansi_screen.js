// A small screen that takes what the web console writes (cursor moves,
// erasing, UTF-8 text; looks are ignored) the way xterm.js does with its
// default widths, so that a test can read the rows back and answer ESC [ 6 n.
"use strict";

const wide = [
  [0x1100, 0x115f],
  [0x2e80, 0x303e],
  [0x3041, 0x33ff],
  [0x3400, 0x4dbf],
  [0x4e00, 0x9fff],
  [0xa000, 0xa4cf],
  [0xac00, 0xd7a3],
  [0xf900, 0xfaff],
  [0xfe30, 0xfe4f],
  [0xff00, 0xff60],
  [0xffe0, 0xffe6],
];
const widthOf = (c) => (wide.some(([a, b]) => c >= a && c <= b) ? 2 : 1);

class AnsiScreen {
  constructor(columns = 80, rows = 24) {
    Object.assign(this, { columns, rows, x: 0, y: 0, reports: [] });
    this.cells = Array.from({ length: rows }, () => Array(columns).fill(" "));
  }
  write(text) {
    for (let i = 0; i < text.length;) {
      const csi = /^\x1b\[([0-9;?]*)([@-~])/.exec(text.slice(i, i + 16));
      if (csi) {
        this.csi(
          csi[1]
            .replace("?", "")
            .split(";")
            .map((p) => parseInt(p || "0", 10)),
          csi[2],
        );
        i += csi[0].length;
        continue;
      }
      const c = text.codePointAt(i);
      i += c > 0xffff ? 2 : 1;
      if (c === 13) this.x = 0;
      else this.put(String.fromCodePoint(c), widthOf(c));
    }
  }
  csi(n, final) {
    if (final === "H") {
      this.y = Math.min(Math.max((n[0] || 1) - 1, 0), this.rows - 1);
      this.x = Math.min(Math.max((n[1] || 1) - 1, 0), this.columns - 1);
    } else if (final === "J" && n[0] === 2) {
      for (const row of this.cells) row.fill(" ");
    } else if (final === "K") {
      this.cells[this.y].fill(" ", this.x);
    } else if (final === "n" && n[0] === 6) {
      this.reports.push(`\x1b[${this.y + 1};${this.x + 1}R`);
    }
  }
  put(ch, width) {
    if (this.x + width > this.columns) [this.x, this.y] = [0, Math.min(this.y + 1, this.rows - 1)];
    this.cells[this.y][this.x] = ch;
    if (width === 2) this.cells[this.y][this.x + 1] = "";
    this.x = Math.min(this.x + width, this.columns);
  }
  text() {
    return this.cells
      .map((row) => row.join("").replace(/ +$/, ""))
      .join("\n")
      .replace(/\n+$/, "");
  }
}

module.exports = { AnsiScreen };
