# Fills the page's folder afresh with only what is served. Called by the site
# target with SITE, PAGE (a list of the page's files), ICONS (the page's
# icons), WORKER (the service worker's script), PROGRAMS (the folder of
# battle.js/.wasm and field.js/.wasm), ASSETS and XTERM (the npm package).
file(REMOVE_RECURSE ${SITE})
file(MAKE_DIRECTORY ${SITE}/data ${SITE}/xterm ${SITE}/icons)
file(COPY ${PAGE} DESTINATION ${SITE})
file(COPY ${ICONS} DESTINATION ${SITE}/icons)
foreach(program battle field)
  foreach(suffix js wasm)
    if(NOT EXISTS ${PROGRAMS}/${program}.${suffix})
      message(FATAL_ERROR "${PROGRAMS}/${program}.${suffix} is missing")
    endif()
    file(COPY ${PROGRAMS}/${program}.${suffix} DESTINATION ${SITE})
  endforeach()
endforeach()
file(GLOB data ${ASSETS}/*.txt)
file(COPY ${data} DESTINATION ${SITE}/data)
# The module build of xterm.js (smaller than its UMD one), without the pointer
# to a source map that is not served.
file(READ ${XTERM}/lib/xterm.mjs code)
string(REGEX REPLACE "\n//# sourceMappingURL=[^\n]*\n?$" "\n" code "${code}")
file(WRITE ${SITE}/xterm/xterm.js "${code}")
file(COPY ${XTERM}/css/xterm.css DESTINATION ${SITE}/xterm)

# The service worker, last: it keeps every other file of the folder, under a
# name made from a digest of their names and contents, so that a site that
# changed in any file is kept afresh.
file(GLOB_RECURSE served RELATIVE ${SITE} ${SITE}/*)
list(SORT served)
set(digests "")
foreach(path IN LISTS served)
  file(SHA256 ${SITE}/${path} digest)
  string(APPEND digests "${path} ${digest}\n")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING ${version} 0 16 version)
list(JOIN served "\", \"" files)
file(READ ${WORKER} worker)
string(REPLACE "@SITE_VERSION@" "${version}" worker "${worker}")
string(REPLACE "@SITE_FILES@" "${files}" worker "${worker}")
file(WRITE ${SITE}/service-worker.js "${worker}")
