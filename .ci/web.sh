#!/usr/bin/env bash
# Continuous integration of the browser build: build the page's folder with
# emscripten and run the unit tests under node (the `web` workflow), then play
# the page in Debian's Chromium against the terminal programs.
set -euo pipefail
cd "$(dirname "$0")/.."

. .ci/packages.sh
install_packages cmake ninja-build g++ pkg-config libncurses-dev tmux python3 emscripten nodejs chromium \
  fonts-noto-cjk fonts-dejavu-core
# Debian's own nodejs comes without npm; a nodejs from elsewhere brings its own.
command -v npm >/dev/null || install_packages npm
# Emscripten's tools load modules (acorn) that Debian keeps here.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

echo "== Web: the page's folder, and the unit tests under node =="
cmake --workflow --preset web
test -f build/web/site/index.html

echo "== Web: the terminal programs the page is compared with =="
# Those of the README's test command when it ran before; else the play build.
terminal_bin=build/bin
if [ ! -x "$terminal_bin/battle" ] || [ ! -x "$terminal_bin/field" ]; then
  cmake --workflow --preset play >/dev/null
  terminal_bin=build/play/bin
fi

echo "== Web: the page in Chromium =="
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
node tests/web/scenarios.mjs build/web/site "$terminal_bin"
