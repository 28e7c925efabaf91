# shellcheck shell=bash
# The start the comparison scripts share, sourced right after their `set -euo pipefail`: sets root (the checkout)
# and cli (NUBO_CLI, or the built nubo-cli) and ends the script when that nubo-cli is not there; gives
# install_missing and make_work.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="${NUBO_CLI:-$root/build/src/cli/nubo-cli}"

if [ ! -x "$cli" ]; then
  echo "$(basename "$0"): $cli not found; build first (scripts/setup.sh) or set NUBO_CLI" >&2
  exit 1
fi

# install_missing PACKAGE...: installs these Debian packages quietly with apt-get (through sudo when not root);
# with none named, does nothing.
install_missing() {
  [ $# -gt 0 ] || return 0
  local sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "$@" > /dev/null 2>&1
}

# make_work: a scratch folder, in work, removed when the script exits.
make_work() {
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
}
