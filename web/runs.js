// One run of the program: its command line, its instance on the page's host
// and data files, and its end told on the page, with its recording offered
// for download when it wrote one; and a recording chosen to be watched.

import { $, bench, benchmarking, describe, page, programName, query, readerAsked, showFailure } from "./shared.js";
import { instantiate, loadProgram } from "./programs.js";
import { DATA_FOLDER, dataFiles, READ_LIMIT, writeDataFiles } from "./data.js";
import { makeHost } from "./host.js";
import { placeEnding } from "./ending.js";
import { watchControls } from "./replay.js";
import { offerSharing } from "./share.js";

// Where a run's recording is, in the program's own file system: written there
// by --record, or put there by the page for --replay.
const RECORDING = "/rec.txt";

// record: the next run writes a recording; replay: { bytes, speed, name }, a
// recording chosen by the player, watched by the next run only; reader: the
// screen-reader mode.
export const settings = {
  seed: query.get("seed"),
  ambiguous: query.get("ambiguous"),
  record: false,
  replay: null,
  reader: readerAsked,
};

// The command line of one run; everything the page passes to a program is
// built here. A replay takes its seed from the recording.
function buildArguments() {
  const args = ["--data", DATA_FOLDER];
  if (settings.replay) {
    args.push("--replay", RECORDING, "--speed", settings.replay.speed);
  } else {
    if (settings.seed !== null) args.push("--seed", settings.seed);
    if (settings.record) args.push("--record", RECORDING);
  }
  if (settings.ambiguous !== null) args.push("--ambiguous", settings.ambiguous);
  if (settings.reader) args.push("--screen-reader");
  return args;
}

function endingText(status, run) {
  if (run.aborted) return "The program crashed.";
  switch (status) {
    case 0:
      return programName === "battle" ? "The battle is over." : "The field has ended.";
    case 1:
      return run.replaying
        ? "The program stopped: it cannot use the recording or the data."
        : "The program stopped: it cannot use the data.";
    case 2:
      return "The program refused the options in the page's address.";
    case 255:
      return "A data file is missing: the program ended after its notice.";
    default:
      return `The program ended with status ${status}.`;
  }
}

function finish(run, status) {
  if (run !== page.current || run.finished) return;
  run.finished = true;
  page.current = null;
  $("ending-text").textContent = endingText(status, run);
  $("ending-detail").textContent = run.errors.join("\n");
  offerSharing(offerRecording(run) || run.watched);
  $("ending").hidden = false;
  $("ending").dataset.status = String(status);
  placeEnding();
  $("again").focus();
}

// The recording of a run that wrote one, as a link to download it; its bytes.
function offerRecording(run) {
  const link = $("recording");
  if (link.href) URL.revokeObjectURL(link.href);
  link.removeAttribute("href");
  link.hidden = true;
  if (!run.recording || !run.module) return null;
  let bytes;
  try {
    bytes = run.module.FS.readFile(RECORDING);
  } catch {
    return null; // refused before it was made
  }
  link.href = URL.createObjectURL(new Blob([bytes], { type: "text/plain" }));
  link.download = `${programName}-recording.txt`;
  link.hidden = false;
  return bytes;
}

export async function watchRecording(file) {
  if (!file) return;
  const bytes = new Uint8Array(await file.slice(0, READ_LIMIT).arrayBuffer());
  settings.replay = { bytes, speed: $("replay-speed").value, name: file.name };
  $("replay-file").value = "";
  start();
}

export async function start() {
  if (!page.term) return; // the page is still setting up, and starts the first run itself
  const run = {
    input: "",
    wake: null,
    errors: [],
    finished: false,
    aborted: false,
    recording: settings.record && !settings.replay,
    replaying: settings.replay !== null,
    watched: settings.replay && settings.replay.bytes, // the recording it replays
  };
  const args = buildArguments();
  const replay = settings.replay;
  settings.replay = null; // the next run plays again
  if (page.current && page.current.wake) page.current.wake(); // the old run's wait ends, and it stops for good
  page.current = run;
  if (replay) watchControls(run);
  $("ending").hidden = true;
  $("failure").hidden = true;
  page.term.reset();
  page.term.focus();
  let files;
  let code;
  try {
    [files, code] = await Promise.all([dataFiles(), loadProgram()]);
  } catch (error) {
    if (run === page.current) showFailure(`The game could not be loaded: ${describe(error)}`);
    return;
  }
  if (run !== page.current) return;
  if (benchmarking) ++bench.runs;
  const options = {
    arguments: args,
    rpg: makeHost(run),
    preRun: [
      (module) => {
        run.module = module;
        writeDataFiles(module.FS, files);
        if (replay) module.FS.writeFile(RECORDING, replay.bytes);
      },
    ],
    onRuntimeInitialized: () => {
      run.ready = true; // its replay's controls can be called
    },
    print: (line) => run.errors.push(line),
    printErr: (line) => run.errors.push(line),
    onExit: (status) => finish(run, status),
    onAbort: (what) => {
      run.aborted = true;
      run.errors.push(describe(what));
      finish(run, -1);
    },
  };
  const failed = (error) => {
    if (run === page.current) showFailure(`The game could not be started: ${describe(error)}`);
  };
  instantiate(code, options, failed).catch((error) => {
    if (run.finished || run !== page.current) return;
    run.aborted = true;
    run.errors.push(describe(error));
    finish(run, -1);
  });
}
