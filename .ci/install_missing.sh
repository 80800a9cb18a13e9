#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not there
# yet; non-interactive, with no standard input, bounded in time.
#   bash .ci/install_missing.sh PACKAGE...
set -euo pipefail
missing=()
for p in "$@"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  timeout 600 apt-get update -q </dev/null
  timeout 1200 apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi
