# Sourced by the CI scripts: install_packages NAME... installs the Debian
# packages among those named that are not installed yet (without the packages
# they merely recommend when NO_RECOMMENDS=1).
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    local options=(-y -qq)
    [ "${NO_RECOMMENDS:-0}" = 1 ] && options+=(--no-install-recommends)
    DEBIAN_FRONTEND=noninteractive apt-get install "${options[@]}" "${missing[@]}"
  fi
}
