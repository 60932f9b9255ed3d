// Sharing a run's recording: as an asciicast that other terminal players
// play, made by the program itself replaying the recording without a
// terminal; and as a link to this page with the recording in its fragment,
// deflated (the browser's CompressionStream, raw DEFLATE) and written in
// base64url, which an address keeps as it is.

import { $, describe, programName } from "./shared.js";
import { instantiate, loadProgram } from "./programs.js";
import { DATA_FOLDER, dataFiles, writeDataFiles } from "./data.js";
import { makeHost } from "./host.js";

// Nothing the programs accept as a recording unpacks to more.
export const LINK_LIMIT = 64 * 1024 * 1024;
const FRAGMENT = "#rec=";

let shared = null; // the recording the ending's buttons share

async function collect(stream, limit) {
  const reader = stream.getReader();
  const parts = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    size += value.length;
    if (size > limit) {
      reader.cancel().catch(() => {});
      throw new Error("the link's recording unpacks to more than 64 MiB");
    }
    parts.push(value);
  }
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const part of parts) {
    bytes.set(part, at);
    at += part.length;
  }
  return bytes;
}

// A recording that reaches its ending needs none of its progress lines
// ("mark ..."), which only take a run cut short nearly to where it stopped:
// the link leaves them out, and stays short even for a long battle.
function withoutProgress(bytes) {
  const lines = Array.from(bytes, (b) => String.fromCharCode(b))
    .join("")
    .split(/(?<=\n)/);
  if (!lines.some((line) => line.startsWith("end "))) return bytes;
  const kept = lines.filter((line) => !line.startsWith("mark ")).join("");
  return Uint8Array.from(kept, (c) => c.charCodeAt(0));
}

export async function encodeRecording(recording) {
  const bytes = withoutProgress(recording);
  const packed = await collect(new Blob([bytes]).stream().pipeThrough(new CompressionStream("deflate-raw")), Infinity);
  let binary = "";
  for (let i = 0; i < packed.length; i += 0x8000) binary += String.fromCharCode(...packed.subarray(i, i + 0x8000));
  return btoa(binary).replaceAll("+", "-").replaceAll("/", "_").replace(/=+$/, "");
}

// The recording a link's code carries, and the program that made it; a code
// that is none, is cut short or unpacks past `limit` is refused in words.
export async function decodeRecording(code, limit = LINK_LIMIT) {
  if (!/^[A-Za-z0-9_-]+$/.test(code) || code.length % 4 === 1) throw new Error("the link holds no recording");
  const binary = atob(code.replaceAll("-", "+").replaceAll("_", "/"));
  const packed = Uint8Array.from(binary, (c) => c.charCodeAt(0));
  let bytes;
  try {
    bytes = await collect(new Blob([packed]).stream().pipeThrough(new DecompressionStream("deflate-raw")), limit);
  } catch (error) {
    if (error.message.includes("64 MiB")) throw error;
    throw new Error("the link's recording is cut short or damaged");
  }
  const head = new TextDecoder().decode(bytes.subarray(0, 200));
  const program = /^rpg-recording \d+\nprogram (battle|field)\n/.exec(head);
  if (!program) throw new Error("the link holds no recording");
  return { bytes, program: program[1] };
}

// The recording in the page's address, if it has one: { bytes } to watch,
// or null. A link for the other program opens that program's page.
export async function linkedRecording() {
  if (!location.hash.startsWith(FRAGMENT)) return null;
  try {
    const { bytes, program } = await decodeRecording(location.hash.slice(FRAGMENT.length));
    if (program !== programName) {
      const address = new URLSearchParams(location.search);
      address.set("program", program);
      location.replace(`?${address}${location.hash}`);
      return null;
    }
    return { bytes };
  } catch (error) {
    $("status").hidden = false;
    $("status").textContent = `The link's recording cannot be watched: ${describe(error)}.`;
    return null;
  }
}

// The asciicast of a replay of `bytes` on the run's data, by the program
// replaying it without a terminal (--check), at the recorded pace.
async function castOf(bytes) {
  const [files, code] = await Promise.all([dataFiles(), loadProgram()]);
  return new Promise((resolve, reject) => {
    let module = null;
    const said = [];
    const options = {
      arguments: ["--data", DATA_FOLDER, "--replay", "/rec.txt", "--cast", "/rec.cast", "--check"],
      rpg: makeHost({}), // it draws nothing on the page
      preRun: [
        (m) => {
          module = m;
          writeDataFiles(m.FS, files);
          m.FS.writeFile("/rec.txt", bytes);
        },
      ],
      print: (line) => said.push(line),
      printErr: (line) => said.push(line),
      onExit: () => {
        try {
          resolve(module.FS.readFile("/rec.cast"));
        } catch {
          reject(new Error(said.join(" ") || "no asciicast was written"));
        }
      },
      onAbort: (what) => reject(new Error(describe(what))),
    };
    instantiate(code, options, reject).catch(reject);
  });
}

function download(bytes, name, type) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([bytes], { type }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// The ending's sharing buttons, for the recording of the run that ended
// (or the one it watched), or hidden with none.
export function offerSharing(bytes) {
  shared = bytes || null;
  $("cast").hidden = $("share").hidden = !shared;
  $("share-link").hidden = true;
}

export function setUpSharing() {
  $("cast").addEventListener("click", async () => {
    const bytes = shared;
    try {
      download(await castOf(bytes), `${programName}-replay.cast`, "application/x-asciicast");
    } catch (error) {
      $("share-link").hidden = false;
      $("share-link").textContent = `No asciicast: ${describe(error)}`;
    }
  });
  $("share").addEventListener("click", async () => {
    const address = `${location.origin}${location.pathname}${location.search}${FRAGMENT}${await encodeRecording(shared)}`;
    const shown = $("share-link");
    shown.hidden = false;
    shown.textContent = address;
    shown.dataset.link = address;
    if (navigator.clipboard) navigator.clipboard.writeText(address).catch(() => {});
  });
}
