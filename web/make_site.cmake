# Fills the page's folder afresh with only what is served. Called by the site
# target with SITE, PAGE (a list of the page's files), PROGRAMS (the folder of
# battle.js/.wasm and field.js/.wasm), ASSETS and XTERM (the npm package).
file(REMOVE_RECURSE ${SITE})
file(MAKE_DIRECTORY ${SITE}/data ${SITE}/xterm)
file(COPY ${PAGE} DESTINATION ${SITE})
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
