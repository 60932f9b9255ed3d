// The page around the two games: it loads the program the address asks for,
// runs it in an xterm.js terminal on the sample data or the player's own, and
// offers the touch keys, Restart and Play again, recording a run and watching
// a recording. Its parts: shared.js (what they all share), programs.js (the
// programs and the facts they tell), screen.js (the terminal fitted to the
// window), host.js (what the program talks to), data.js (the data files),
// runs.js (one run and its end) and ending.js (where the end is told).

import { $, describe, page, programName, readerAsked, readerWord, showFailure } from "./shared.js";
import { loadProgram, program } from "./programs.js";
import { fit, openTerminal } from "./screen.js";
import { asBytes, typed } from "./host.js";
import { chooseOwnData, prefetchData, useSampleData } from "./data.js";
import { settings, start, watchRecording } from "./runs.js";
import { placeEnding } from "./ending.js";
import { setUpControls } from "./replay.js";
import { linkedRecording, setUpSharing } from "./share.js";

// A program that ends unwinds its stack by throwing its exit status, which
// reaches the page as an uncaught error once onExit has told the ending.
const isExit = (what) => what && typeof what === "object" && what.name === "ExitStatus";
window.addEventListener("error", (event) => {
  if (isExit(event.error)) event.preventDefault();
  else showFailure(`The page failed: ${describe(event.error ?? event.message)}`);
});
window.addEventListener("unhandledrejection", (event) => {
  if (isExit(event.reason)) event.preventDefault();
  else showFailure(`The page failed: ${describe(event.reason)}`);
});

function touchKey(button) {
  let code = button.dataset.key;
  // The arrows send what the keyboard sends, which depends on the cursor-key mode the program set.
  if (code.startsWith("\x1b[") && page.term.modes.applicationCursorKeysMode) code = `\x1bO${code.slice(2)}`;
  typed(code);
}

function ownData(event) {
  chooseOwnData([...event.target.files]).then(
    (changed) => changed && start(),
    (error) => {
      $("data-state").textContent = `The files could not be read: ${describe(error)}`;
    },
  );
}

// The link to the other program keeps the address's other choices.
function linkOther() {
  const other = new URLSearchParams(location.search);
  if (program.other === "battle") other.delete("program");
  else other.set("program", program.other);
  $("switch").href = other.size ? `?${other}` : location.pathname;
}

// xterm.js's screen-reader mode: its rows, for a reader to walk, without its
// own live region, which would repeat assertively every character the
// program writes (each animation frame, each byte of a message typed) over
// what the program says in the page's polite one.
function terminalReaderMode(on) {
  page.term.options.screenReaderMode = on;
  const echo = page.term.element.querySelector(".live-region");
  if (echo) {
    echo.setAttribute("aria-live", "off");
    echo.setAttribute("aria-hidden", "true");
  }
}

// The screen-reader switch: xterm.js's own tree of the rows, the program's
// cursor and words, and the address (?reader=1) that keeps it; a new run.
function switchReader(on) {
  settings.reader = on;
  if (page.term) terminalReaderMode(on);
  const address = new URLSearchParams(location.search);
  if (on) address.set("reader", "1");
  else address.delete("reader");
  history.replaceState(null, "", address.size ? `?${address}` : location.pathname);
  linkOther();
  $("status").hidden = true;
  start();
}

function setUpPage() {
  document.title = program.title;
  $("title").textContent = program.title;
  linkOther();
  $("switch").textContent = program.otherText;
  $("reader").checked = readerAsked;
  if (readerWord !== null && !readerAsked) {
    $("status").hidden = false;
    $("status").textContent =
      `The address's reader=${readerWord} is not known and was ignored: reader=1 turns the screen-reader mode on.`;
  }
  $("reader").addEventListener("change", (event) => switchReader(event.target.checked));
  if (programName === "field") {
    $("keys").textContent =
      "Arrow keys walk the hero (●); the enemy gives chase. The field has no end: Restart begins it afresh.";
  }
  $("restart").addEventListener("click", () => start());
  $("again").addEventListener("click", () => start());
  $("data-folder").addEventListener("change", ownData);
  $("data-files").addEventListener("change", ownData);
  $("data-sample").addEventListener("click", () => {
    useSampleData();
    start();
  });
  $("record").addEventListener("change", (event) => {
    settings.record = event.target.checked;
  });
  $("replay-file").addEventListener("change", (event) =>
    watchRecording(event.target.files[0]).catch((error) =>
      showFailure(`The recording could not be read: ${describe(error)}`),
    ),
  );
  setUpControls();
  setUpSharing();
  for (const button of document.querySelectorAll("#touch button")) {
    // Sent on the press, keeping the keyboard's focus on the terminal; a
    // button worked from the keyboard (a click without a press) counts too.
    button.addEventListener("pointerdown", (event) => {
      event.preventDefault();
      touchKey(button);
    });
    button.addEventListener("click", (event) => {
      if (event.detail === 0) touchKey(button);
      else page.term.focus();
    });
  }
  $("stage").addEventListener("pointerdown", () => page.term && page.term.focus());
}

// The site kept by the browser for playing offline (service-worker.js), once
// the first run has drawn, so that keeping the rest does not hold up its start.
// Where no service worker can be registered (a page opened from a file, a
// browser without them) the page works as it does without one.
function keepSite() {
  if (!("serviceWorker" in navigator) || !location.protocol.startsWith("http")) return;
  navigator.serviceWorker.register("service-worker.js").catch(() => {});
}

async function main() {
  if (typeof WebAssembly !== "object") return; // said by the page's first script
  setUpPage();
  // The program and the data load while the terminal is set up; a failure is
  // told by the first run. The notice waits for the program's facts.
  loadProgram().then(
    ({ facts }) => {
      page.facts = facts;
      if (page.term) fit();
    },
    () => {},
  );
  prefetchData();
  const term = await openTerminal();
  if (!term) return;
  page.term = term;
  terminalReaderMode(settings.reader);
  term.onData((data) => typed(asBytes(data)));
  if (document.fonts) await document.fonts.ready;
  fit();
  new ResizeObserver(() => {
    fit();
    placeEnding();
  }).observe($("stage"));
  const drawn = term.onWriteParsed(() => {
    drawn.dispose();
    keepSite();
  });
  // A link with a recording in it watches that run first.
  const linked = await linkedRecording();
  if (linked) settings.replay = { bytes: linked.bytes, speed: $("replay-speed").value, name: "link" };
  start();
}

main();
