// Keeps the site's files in the browser, so that after one visit the page
// starts and plays with the network gone. The build writes the site's files
// and a digest of them into this script: a new version of the site is a new
// script, which the browser installs at the next visit; it keeps the new files
// under their own name and drops the old ones once it takes over.
const VERSION = "@SITE_VERSION@";
const FILES = ["@SITE_FILES@"];
const PREFIX = "pawn-battle-";
const KEPT = PREFIX + VERSION;

self.addEventListener("install", (event) => {
  event.waitUntil(
    caches
      .open(KEPT)
      .then((cache) => cache.addAll(["./", ...FILES].map((file) => new Request(file, { cache: "reload" }))))
      .then(() => self.skipWaiting()),
  );
});

self.addEventListener("activate", (event) => {
  event.waitUntil(
    caches
      .keys()
      .then((names) =>
        Promise.all(names.filter((n) => n.startsWith(PREFIX) && n !== KEPT).map((n) => caches.delete(n))),
      )
      .then(() => self.clients.claim()),
  );
});

// The kept files first (the page by its path, whatever its address asks for);
// anything else from the network.
self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (request.method !== "GET" || new URL(request.url).origin !== self.location.origin) return;
  const navigation = request.mode === "navigate";
  event.respondWith(
    caches
      .open(KEPT)
      .then((cache) => cache.match(navigation ? "./" : request, { ignoreSearch: navigation }))
      .then((kept) => kept ?? fetch(request)),
  );
});
