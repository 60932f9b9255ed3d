// The page around the two games: it loads the program the address asks for,
// gives it the data files and an xterm.js terminal of 80 x 24, and offers the
// touch keys, own data files and "play again".

// The files the programs read by name from their data folder (test.txt is the field's map).
const DATA_FILES = [
  "Hero_Status_Info.txt", "Pawn_Status_Info.txt", "Knight_Status_Info.txt", "Bishop_Status_Info.txt",
  "Rook_Status_Info.txt", "Queen_Status_Info.txt", "King_Status_Info.txt", "SwordCut.txt", "Flame.txt",
  "BigRevolveSword.txt", "HellFlame.txt", "AbsoluteObedience.txt", "test.txt",
];
// Only this much of a chosen file is ever read: far more than any data file
// holds, and a 100 MB file chosen by mistake costs nothing.
const READ_LIMIT = 1 << 20;
const COLUMNS = 80;
const ROWS = 24;
const MIN_FONT_PX = 8;  // below this the screen is not readable
// A Latin monospace font first, so that symbols of ambiguous width such as "●"
// are drawn one cell wide as the terminal lays them out; then a CJK one.
const FONT_FAMILY = '"DejaVu Sans Mono", "Noto Sans Mono", Menlo, Consolas, "Noto Sans Mono CJK JP", ' +
  '"Noto Sans CJK JP", "Hiragino Kaku Gothic ProN", "Yu Gothic", "MS Gothic", monospace';

const PROGRAMS = {
  battle: { factory: "createBattle", title: "Pawn Battle: the battle", minColumns: 80, minRows: 19,
    other: "field", otherText: "Walk the field instead" },
  field: { factory: "createField", title: "Pawn Battle: the field", minColumns: 54, minRows: 19,
    other: "battle", otherText: "Fight the battle instead" },
};

const query = new URLSearchParams(location.search);
const programName = query.get("program") === "field" ? "field" : "battle";
const program = PROGRAMS[programName];
const benchmarking = query.get("bench") === "1";

const $ = (id) => document.getElementById(id);

// Where a run's recording is, in the program's own file system: written there
// by --record, or put there by the page for --replay.
const RECORDING = "/rec.txt";

// The command line of one run; everything the page passes to a program is
// built here. A replay takes its seed from the recording.
function buildArguments(settings) {
  const args = ["--data", "/data"];
  if (settings.replay) {
    args.push("--replay", RECORDING, "--speed", settings.replay.speed);
  } else {
    if (settings.seed !== null) args.push("--seed", settings.seed);
    if (settings.record) args.push("--record", RECORDING);
  }
  if (settings.ambiguous !== null) args.push("--ambiguous", settings.ambiguous);
  return args;
}

// record: the next run writes a recording; replay: { bytes, speed, name }, a
// recording chosen by the player, watched by the next run only.
const settings = { seed: query.get("seed"), ambiguous: query.get("ambiguous"), record: false, replay: null };

// What the page measures when asked (?bench=1): the time of every write of the
// program, of every key event and of what reached the program, read back by
// the benchmark.
const bench = { writes: [], keys: [], keydowns: [], runs: 0 };
if (benchmarking) {
  window.rpgBench = bench;
  document.addEventListener("keydown", (event) => bench.keydowns.push(event.timeStamp), true);
}

function showFailure(text) {
  const box = $("failure");
  box.textContent = text;
  box.hidden = false;
}

function describe(error) {
  if (error instanceof Error) return error.message;
  return String(error);
}

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

// ---- the terminal -------------------------------------------------------

let term = null;
let current = null;  // the run that owns the terminal and the keys

// xterm.js hands over what the keyboard typed as characters; the program reads
// bytes, as a UTF-8 terminal would send them.
const utf8 = new TextEncoder();
function asBytes(text) {
  let plain = true;
  for (let i = 0; i < text.length; ++i) if (text.charCodeAt(i) > 0x7f) { plain = false; break; }
  if (plain) return text;
  let bytes = "";
  for (const b of utf8.encode(text)) bytes += String.fromCharCode(b);
  return bytes;
}

function typed(bytes) {
  if (benchmarking) bench.keys.push([performance.now(), bytes]);
  if (!current) return;
  current.input += bytes;
  if (current.wake) current.wake();
}

// ---- fitting the 80 x 24 grid to the window -----------------------------

function cellSize() {
  const screen = term.element.querySelector(".xterm-screen");
  return { width: screen.offsetWidth / COLUMNS, height: screen.offsetHeight / ROWS };
}

// The terminal's own words, from the program when one is running.
function tooSmallText(columns, rows) {
  const module = current && current.module;
  if (module && typeof module._rpg_room_notice === "function" && typeof module.UTF8ToString === "function") {
    try {
      return module.UTF8ToString(module._rpg_room_notice(program.minColumns, program.minRows, columns, rows));
    } catch { /* a program that has ended: the same words from here */ }
  }
  return `Please make the terminal at least ${program.minColumns} x ${program.minRows} (now ${columns} x ${rows}).`;
}

function fit() {
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
  const tooSmall = columns < program.minColumns || rows < program.minRows;
  small.hidden = !tooSmall;
  if (tooSmall) small.textContent = tooSmallText(Math.min(columns, COLUMNS), Math.min(rows, ROWS));
}

// ---- the data files ------------------------------------------------------

let sample = null;   // a promise of name -> bytes, fetched once
let own = null;      // name -> bytes, chosen by the player; replaces the sample

function sampleData() {
  if (!sample) {
    sample = Promise.all(DATA_FILES.map(async (name) => {
      const response = await fetch(`data/${name}`);
      if (!response.ok) throw new Error(`data/${name}: ${response.status} ${response.statusText}`);
      return [name, new Uint8Array(await response.arrayBuffer())];
    })).then((files) => new Map(files));
    sample.catch(() => { sample = null; });  // asked again at the next run
  }
  return sample;
}

async function chooseOwnData(list) {
  // A folder brings its subfolders too: a file directly in it comes first.
  const picked = new Map();
  const depth = (file) => (file.webkitRelativePath || file.name).split("/").length;
  for (const file of list) {
    if (!DATA_FILES.includes(file.name)) continue;
    const seen = picked.get(file.name);
    if (!seen || depth(file) < depth(seen)) picked.set(file.name, file);
  }
  if (picked.size === 0) {
    $("data-state").textContent = `None of the ${list.length} chosen files has a data file's name ` +
      `(${DATA_FILES.slice(0, 2).join(", ")}, …): the data is unchanged.`;
    return;
  }
  const files = new Map();
  const cut = [];
  for (const [name, file] of picked) {
    if (file.size > READ_LIMIT) cut.push(name);
    files.set(name, new Uint8Array(await file.slice(0, READ_LIMIT).arrayBuffer()));
  }
  own = files;
  const missing = DATA_FILES.filter((name) => !files.has(name));
  let text = `Own data: ${files.size} of ${DATA_FILES.length} files.`;
  if (missing.length) text += ` Missing: ${missing.join(", ")}.`;
  if (cut.length) text += ` Only the first MiB of ${cut.join(", ")} is read.`;
  $("data-state").textContent = text;
  $("data-sample").hidden = false;
  start();
}

function useSampleData() {
  own = null;
  $("data-state").textContent = "Sample data.";
  $("data-sample").hidden = true;
  start();
}

// ---- loading the programs ------------------------------------------------

const loaded = {};  // program name -> a promise of { factory, wasm (a compiled WebAssembly.Module) }

function loadScript(src) {
  return new Promise((resolve, reject) => {
    const script = document.createElement("script");
    script.src = src;
    script.onload = resolve;
    script.onerror = () => reject(new Error(`${src} could not be loaded`));
    document.head.append(script);
  });
}

// The program's script and its compiled code, asked for once (and again after a failure).
function loadProgram(name) {
  if (!loaded[name]) {
    loaded[name] = Promise.all([
      loadScript(`${name}.js`),
      fetch(`${name}.wasm`).then((response) => {
        if (!response.ok) throw new Error(`${name}.wasm could not be loaded: ${response.status} ${response.statusText}`);
        return response.arrayBuffer();
      }).then((bytes) => WebAssembly.compile(bytes)),
    ]).then(([, wasm]) => {
      const factory = window[PROGRAMS[name].factory];
      if (typeof factory !== "function") throw new Error(`${name}.js does not define ${PROGRAMS[name].factory}`);
      return { factory, wasm };
    });
    loaded[name].catch(() => { delete loaded[name]; });
  }
  return loaded[name];
}

// ---- one run ---------------------------------------------------------------

// The object the program's console calls. A run that was replaced (a restart
// while it was running) is cut off: its writes are dropped and its next wait
// for a key never ends, so it stops there for good.
function makeHost(run) {
  const live = () => run === current;
  return {
    write(text) {
      if (!live()) return;
      if (benchmarking) {
        // When it was asked, when xterm.js had taken it in, and the frame after.
        const entry = { at: performance.now(), text, parsed: 0, frame: 0 };
        bench.writes.push(entry);
        term.write(text, () => {
          entry.parsed = performance.now();
          requestAnimationFrame((frame) => { entry.frame = frame; });
        });
        return;
      }
      term.write(text);
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
    columns: () => COLUMNS,
    rows: () => ROWS,
    ended() {},
  };
}

function endingText(status, run) {
  if (run.aborted) return "The program crashed.";
  switch (status) {
    case 0: return programName === "battle" ? "The battle is over." : "The field has ended.";
    case 1: return run.replaying ? "The program stopped: it cannot use the recording or the data."
      : "The program stopped: it cannot use the data.";
    case 2: return "The program refused the options in the page's address.";
    case 255: return "A data file is missing: the program ended after its notice.";
    default: return `The program ended with status ${status}.`;
  }
}

function finish(run, status) {
  if (run !== current || run.finished) return;
  run.finished = true;
  current = null;
  $("ending-text").textContent = endingText(status, run);
  $("ending-detail").textContent = run.errors.join("\n");
  offerRecording(run);
  $("ending").hidden = false;
  $("ending").dataset.status = String(status);
  $("again").focus();
}

// The recording of a run that wrote one, as a link to download it.
function offerRecording(run) {
  const link = $("recording");
  if (link.href) URL.revokeObjectURL(link.href);
  link.removeAttribute("href");
  link.hidden = true;
  if (!run.recording || !run.module) return;
  let bytes;
  try {
    bytes = run.module.FS.readFile(RECORDING);
  } catch {
    return;  // refused before it was made
  }
  link.href = URL.createObjectURL(new Blob([bytes], { type: "text/plain" }));
  link.download = `${programName}-recording.txt`;
  link.hidden = false;
}

async function watchRecording(file) {
  if (!file) return;
  const bytes = new Uint8Array(await file.slice(0, READ_LIMIT).arrayBuffer());
  settings.replay = { bytes, speed: $("replay-speed").value, name: file.name };
  $("replay-file").value = "";
  start();
}

async function start() {
  if (!term) return;  // the page is still setting up, and starts the first run itself
  const run = { input: "", wake: null, errors: [], finished: false, aborted: false,
    recording: settings.record && !settings.replay, replaying: settings.replay !== null };
  const args = buildArguments(settings);
  const replay = settings.replay;
  settings.replay = null;  // the next run plays again
  if (current && current.wake) current.wake();  // the old run's wait ends, and it stops for good
  current = run;
  $("ending").hidden = true;
  $("failure").hidden = true;
  term.reset();
  term.focus();
  let files;
  let code;
  try {
    [files, code] = await Promise.all([own ? Promise.resolve(own) : sampleData(), loadProgram(programName)]);
  } catch (error) {
    if (run === current) showFailure(`The game could not be loaded: ${describe(error)}`);
    return;
  }
  if (run !== current) return;
  if (benchmarking) ++bench.runs;
  code.factory({
    arguments: args,
    rpg: makeHost(run),
    preRun: [(module) => {
      run.module = module;
      module.FS.mkdir("/data");
      for (const [name, bytes] of files) module.FS.writeFile(`/data/${name}`, bytes);
      if (replay) module.FS.writeFile(RECORDING, replay.bytes);
    }],
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(code.wasm, imports).then((instance) => receive(instance, code.wasm),
        (error) => { if (run === current) showFailure(`The game could not be started: ${describe(error)}`); });
      return {};
    },
    print: (line) => run.errors.push(line),
    printErr: (line) => run.errors.push(line),
    onExit: (status) => finish(run, status),
    onAbort: (what) => {
      run.aborted = true;
      run.errors.push(describe(what));
      finish(run, -1);
    },
    locateFile: (name) => name,
  }).catch((error) => {
    if (run.finished || run !== current) return;
    run.aborted = true;
    run.errors.push(describe(error));
    finish(run, -1);
  });
}

// ---- the page --------------------------------------------------------------

function touchKey(button) {
  let code = button.dataset.key;
  // The arrows send what the keyboard sends, which depends on the cursor-key mode the program set.
  if (code.startsWith("\x1b[") && term.modes.applicationCursorKeysMode) code = `\x1bO${code.slice(2)}`;
  typed(code);
}

function setUpPage() {
  document.title = program.title;
  $("title").textContent = program.title;
  const other = new URLSearchParams(query);
  if (program.other === "battle") other.delete("program"); else other.set("program", program.other);
  const link = $("switch");
  link.href = other.size ? `?${other}` : location.pathname;
  link.textContent = program.otherText;
  if (programName === "field") {
    $("keys").textContent = "Arrow keys walk the hero (●); the enemy gives chase. The field has no end: " +
      "Restart begins it afresh.";
  }
  $("restart").addEventListener("click", () => start());
  $("again").addEventListener("click", () => start());
  $("data-folder").addEventListener("change", (event) => chooseOwnData([...event.target.files]).catch(
    (error) => { $("data-state").textContent = `The files could not be read: ${describe(error)}`; }));
  $("data-files").addEventListener("change", (event) => chooseOwnData([...event.target.files]).catch(
    (error) => { $("data-state").textContent = `The files could not be read: ${describe(error)}`; }));
  $("data-sample").addEventListener("click", useSampleData);
  $("record").addEventListener("change", (event) => { settings.record = event.target.checked; });
  $("replay-file").addEventListener("change", (event) => watchRecording(event.target.files[0]).catch(
    (error) => showFailure(`The recording could not be read: ${describe(error)}`)));
  for (const button of document.querySelectorAll("#touch button")) {
    // Sent on the press, keeping the keyboard's focus on the terminal; a
    // button worked from the keyboard (a click without a press) counts too.
    button.addEventListener("pointerdown", (event) => {
      event.preventDefault();
      touchKey(button);
    });
    button.addEventListener("click", (event) => {
      if (event.detail === 0) touchKey(button);
      else term.focus();
    });
  }
  $("stage").addEventListener("pointerdown", () => term && term.focus());
}

async function main() {
  if (typeof WebAssembly !== "object") return;  // said by the page's first script
  setUpPage();
  // The program and the data load while the terminal is set up; a failure is told by the first run.
  loadProgram(programName).catch(() => {});
  sampleData().catch(() => {});
  let Terminal;
  try {
    ({ Terminal } = await import("./xterm/xterm.js"));
  } catch (error) {
    showFailure(`The terminal could not be loaded: ${describe(error)}`);
    return;
  }
  term = new Terminal({
    cols: COLUMNS, rows: ROWS, scrollback: 0, fontFamily: FONT_FAMILY, fontSize: 16,
    cursorBlink: false, allowTransparency: false, drawBoldTextInBrightColors: true,
    theme: { background: "#000000", foreground: "#d0d0d0" },
  });
  term.open($("terminal"));
  term.onData((data) => typed(asBytes(data)));
  if (document.fonts) await document.fonts.ready;
  fit();
  new ResizeObserver(() => fit()).observe($("stage"));
  start();
}

main();
