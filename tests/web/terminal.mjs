// The terminal program beside the page, for comparison: run in tmux, its
// screen read back like the page's, and the two compared cell by cell.
import { execFileSync } from "node:child_process";
import { readScreen, screenText, waitUntil } from "../../tools/browser.mjs";

// The page's names of keys (Playwright's) as tmux's.
const TMUX_KEYS = { ArrowDown: "Down", ArrowUp: "Up", ArrowLeft: "Left", ArrowRight: "Right" };

// Runs `command` (an argument vector) in a detached tmux pane of 80 x 24 in
// the C.UTF-8 locale; gives what drives it. Keys by tmux's names or the page's.
export function tmuxSession(command, { cwd } = {}) {
  const name = `rpg-web-${process.pid}-${Math.floor(Math.random() * 1e9)}`;
  const quoted = command.map((word) => `'${word.replaceAll("'", "'\\''")}'`).join(" ");
  const env = { ...process.env, LANG: "C.UTF-8", LC_ALL: "C.UTF-8", TERM: "xterm-256color" };
  const tmux = (...args) => execFileSync("tmux", ["-L", name, ...args], { env, cwd, encoding: "utf8" });
  tmux("-f", "/dev/null", "new-session", "-d", "-x", "80", "-y", "24", "-s", "rpg", `${quoted}; sleep 600`);
  tmux("set-option", "-g", "status", "off");
  return {
    keys: (...keys) => tmux("send-keys", "-t", "rpg", ...keys.map((key) => TMUX_KEYS[key] ?? key)),
    screen: () => parseCapture(tmux("capture-pane", "-p", "-e", "-N", "-t", "rpg")),
    stop: () => {
      try {
        tmux("kill-server");
      } catch {
        /* already gone */
      }
    },
  };
}

// capture-pane -e output: text with SGR sequences; gives rows like readScreen's.
function parseCapture(output) {
  const rows = output.replace(/\n$/, "").split("\n");
  let bold = false;
  return rows.map((line) => {
    const cells = [];
    for (let i = 0; i < line.length;) {
      const sgr = /^\x1b\[([0-9;]*)m/.exec(line.slice(i, i + 32));
      if (sgr) {
        for (const code of (sgr[1] || "0").split(";")) {
          if (code === "1") bold = true;
          else if (code === "0" || code === "" || code === "22") bold = false;
        }
        i += sgr[0].length;
        continue;
      }
      const ch = String.fromCodePoint(line.codePointAt(i));
      cells.push([ch, bold]);
      i += ch.length;
    }
    while (cells.length && cells[cells.length - 1][0] === " " && !cells[cells.length - 1][1]) cells.pop();
    return { text: cells.map((c) => c[0]).join(""), cells };
  });
}

// Differences of two screens, cell by cell (character and boldness), as text.
export function compareScreens(expected, actual) {
  const out = [];
  for (let y = 0; y < Math.max(expected.length, actual.length); ++y) {
    const e = expected[y]?.cells ?? [];
    const a = actual[y]?.cells ?? [];
    for (let x = 0; x < Math.max(e.length, a.length); ++x) {
      const [ec, eb] = e[x] ?? [" ", false];
      const [ac, ab] = a[x] ?? [" ", false];
      if (ec !== ac || (eb !== ab && ec !== " ")) {
        out.push(
          `row ${y + 1}, character ${x + 1}: terminal ${JSON.stringify(ec)}${eb ? " bold" : ""}, ` +
            `page ${JSON.stringify(ac)}${ab ? " bold" : ""}`,
        );
        break;
      }
    }
  }
  return out.join("\n");
}

// Waits until the page and the terminal have settled and agree; gives the
// page's screen, or throws the difference.
export async function agree(page, terminal, what, { timeoutMs = 15000, quietMs = 400 } = {}) {
  let last = "";
  let since = Date.now();
  let mine = [];
  let theirs = [];
  let differences = "";
  return waitUntil(
    async () => {
      mine = await readScreen(page);
      theirs = terminal.screen();
      const both = screenText(mine) + "\n--\n" + screenText(theirs);
      if (both !== last) {
        last = both;
        since = Date.now();
      }
      differences = compareScreens(theirs, mine);
      return !differences && Date.now() - since >= quietMs && mine;
    },
    () =>
      `${what}: the page differs from the terminal:\n${differences}\n` +
      `page:\n${screenText(mine)}\nterminal:\n${screenText(theirs)}`,
    { timeoutMs },
  );
}
