// The two programs: what the page says of each, and their code, loaded once
// with the facts each tells of itself (its minimum room, the data files'
// names, the too-small notice's words), so that the page repeats none of them.

import { programName } from "./shared.js";

export const PROGRAMS = {
  battle: {
    factory: "createBattle",
    title: "Pawn Battle: the battle",
    other: "field",
    otherText: "Walk the field instead",
  },
  field: {
    factory: "createField",
    title: "Pawn Battle: the field",
    other: "battle",
    otherText: "Fight the battle instead",
  },
};

export const program = PROGRAMS[programName];

const loaded = {}; // program name -> a promise of { factory, wasm (a compiled WebAssembly.Module), facts }

function loadScript(src) {
  return new Promise((resolve, reject) => {
    const script = document.createElement("script");
    script.src = src;
    script.onload = resolve;
    script.onerror = () => reject(new Error(`${src} could not be loaded`));
    document.head.append(script);
  });
}

// The program's instance for `options`, on its compiled code; `failed` hears
// of an instance that could not be made.
export function instantiate(code, options, failed) {
  return code.factory({
    ...options,
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(code.wasm, imports).then((instance) => receive(instance, code.wasm), failed);
      return {};
    },
    locateFile: (name) => name,
  });
}

// The facts, from an instance of the program that does not run
// (app/page_facts.cpp exports them); it stays for the notice's words.
function readFacts(code) {
  return new Promise((resolve, reject) => {
    const options = { noInitialRun: true, print() {}, printErr() {} };
    instantiate(code, options, reject).then((module) => {
      const text = (pointer) => module.UTF8ToString(pointer);
      const minColumns = module._rpg_min_columns();
      const minRows = module._rpg_min_rows();
      resolve({
        minColumns,
        minRows,
        dataFiles: text(module._rpg_data_files()).split("\n"),
        roomNotice: (columns, rows) => text(module._rpg_room_notice(minColumns, minRows, columns, rows)),
      });
    }, reject);
  });
}

// The program's script, its compiled code and its facts, asked for once (and
// again after a failure).
export function loadProgram(name = programName) {
  if (!loaded[name]) {
    loaded[name] = Promise.all([
      loadScript(`${name}.js`),
      fetch(`${name}.wasm`)
        .then((response) => {
          if (!response.ok) {
            throw new Error(`${name}.wasm could not be loaded: ${response.status} ${response.statusText}`);
          }
          return response.arrayBuffer();
        })
        .then((bytes) => WebAssembly.compile(bytes)),
    ]).then(async ([, wasm]) => {
      const factory = window[PROGRAMS[name].factory];
      if (typeof factory !== "function") throw new Error(`${name}.js does not define ${PROGRAMS[name].factory}`);
      const code = { factory, wasm };
      return { ...code, facts: await readFacts(code) };
    });
    loaded[name].catch(() => {
      delete loaded[name];
    });
  }
  return loaded[name];
}
