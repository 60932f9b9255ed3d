// A small screen that takes what the web console writes (cursor moves,
// erasing, bold, UTF-8 text) the way xterm.js does with its default widths,
// so that a test can read the rows back.
"use strict";

const wide = [[0x1100, 0x115f], [0x2e80, 0x303e], [0x3041, 0x33ff], [0x3400, 0x4dbf], [0x4e00, 0x9fff],
  [0xa000, 0xa4cf], [0xac00, 0xd7a3], [0xf900, 0xfaff], [0xfe30, 0xfe4f], [0xff00, 0xff60], [0xffe0, 0xffe6]];
const widthOf = (c) => (wide.some(([a, b]) => c >= a && c <= b) ? 2 : 1);

class AnsiScreen {
  constructor(columns = 80, rows = 24) {
    this.columns = columns;
    this.rows = rows;
    this.cells = Array.from({ length: rows }, () => Array(columns).fill(" "));
    this.bold = Array.from({ length: rows }, () => Array(columns).fill(false));
    this.x = 0;
    this.y = 0;
    this.isBold = false;
    this.reports = [];  // cursor position reports asked for, in order
  }
  write(text) {
    for (let i = 0; i < text.length; ) {
      if (text[i] === "\x1b" && text[i + 1] === "[") {
        let j = i + 2;
        while (j < text.length && !/[@-~]/.test(text[j])) j++;
        this.csi(text.slice(i + 2, j), text[j]);
        i = j + 1;
      } else if (text[i] === "\r") {
        this.x = 0;
        i++;
      } else {
        const c = text.codePointAt(i);
        i += c > 0xffff ? 2 : 1;
        this.put(String.fromCodePoint(c), widthOf(c));
      }
    }
  }
  csi(params, final) {
    const n = params.replace("?", "").split(";").map((p) => parseInt(p || "0", 10));
    if (final === "H") {
      this.y = Math.min(Math.max((n[0] || 1) - 1, 0), this.rows - 1);
      this.x = Math.min(Math.max((n[1] || 1) - 1, 0), this.columns - 1);
    } else if (final === "J" && n[0] === 2) {
      for (let r = 0; r < this.rows; r++) this.clear(r, 0);
    } else if (final === "K") {
      this.clear(this.y, this.x);
    } else if (final === "m") {
      this.isBold = n.includes(1);
    } else if (final === "n" && n[0] === 6) {
      this.reports.push(`\x1b[${this.y + 1};${this.x + 1}R`);
    }
  }
  clear(row, from) {
    for (let x = from; x < this.columns; x++) {
      this.cells[row][x] = " ";
      this.bold[row][x] = false;
    }
  }
  put(ch, width) {
    if (this.x + width > this.columns) {
      this.x = 0;
      this.y = Math.min(this.y + 1, this.rows - 1);
    }
    this.cells[this.y][this.x] = ch;
    this.bold[this.y][this.x] = this.isBold;
    if (width === 2) this.cells[this.y][this.x + 1] = "";
    this.x = Math.min(this.x + width, this.columns);
  }
  row(r) {
    return this.cells[r].join("").replace(/ +$/, "");
  }
  text() {
    return this.cells.map((_, r) => this.row(r)).join("\n").replace(/\n+$/, "");
  }
}

module.exports = { AnsiScreen };
