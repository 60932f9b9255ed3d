// The data files the programs read by name from their data folder: the
// sample set, fetched once, or the player's own, which replaces it for the
// next runs. The names are the program's own (programs.js).

import { $ } from "./shared.js";
import { loadProgram } from "./programs.js";

// Only this much of a chosen file is ever read: far more than any data file
// holds, and a 100 MB file chosen by mistake costs nothing.
export const READ_LIMIT = 1 << 20;

let sample = null; // a promise of name -> bytes, fetched once
let own = null; // name -> bytes, chosen by the player; replaces the sample

function sampleData() {
  if (!sample) {
    sample = loadProgram()
      .then(({ facts }) =>
        Promise.all(
          facts.dataFiles.map(async (name) => {
            const response = await fetch(`data/${name}`);
            if (!response.ok) throw new Error(`data/${name}: ${response.status} ${response.statusText}`);
            return [name, new Uint8Array(await response.arrayBuffer())];
          }),
        ),
      )
      .then((files) => new Map(files));
    sample.catch(() => {
      sample = null; // asked again at the next run
    });
  }
  return sample;
}

// The files of the next run: name -> bytes.
export const dataFiles = () => (own ? Promise.resolve(own) : sampleData());

// Where a program finds them in its own file system (its --data).
export const DATA_FOLDER = "/data";

// Puts the files of a run into a program's file system before it starts.
export function writeDataFiles(fs, files) {
  fs.mkdir(DATA_FOLDER);
  for (const [name, bytes] of files) fs.writeFile(`${DATA_FOLDER}/${name}`, bytes);
}

// Fetches the sample data ahead of the first run; a failure is told by it.
export function prefetchData() {
  sampleData().catch(() => {});
}

// Keeps the chosen files that bear data files' names; true when they replace
// the data, false when none does (said on the page).
export async function chooseOwnData(list) {
  const names = (await loadProgram()).facts.dataFiles;
  // A folder brings its subfolders too: a file directly in it comes first.
  const picked = new Map();
  const depth = (file) => (file.webkitRelativePath || file.name).split("/").length;
  for (const file of list) {
    if (!names.includes(file.name)) continue;
    const seen = picked.get(file.name);
    if (!seen || depth(file) < depth(seen)) picked.set(file.name, file);
  }
  if (picked.size === 0) {
    $("data-state").textContent =
      `None of the ${list.length} chosen files has a data file's name ` +
      `(${names.slice(0, 2).join(", ")}, …): the data is unchanged.`;
    return false;
  }
  const files = new Map();
  const cut = [];
  for (const [name, file] of picked) {
    if (file.size > READ_LIMIT) cut.push(name);
    files.set(name, new Uint8Array(await file.slice(0, READ_LIMIT).arrayBuffer()));
  }
  own = files;
  const missing = names.filter((name) => !files.has(name));
  let text = `Own data: ${files.size} of ${names.length} files.`;
  if (missing.length) text += ` Missing: ${missing.join(", ")}.`;
  if (cut.length) text += ` Only the first MiB of ${cut.join(", ")} is read.`;
  $("data-state").textContent = text;
  $("data-sample").hidden = false;
  return true;
}

export function useSampleData() {
  own = null;
  $("data-state").textContent = "Sample data.";
  $("data-sample").hidden = true;
}
