#!/bin/sh
# The README's Neovim lines, as written: headless Neovim runs them as its
# init.lua, opens the built-in route and train descriptions and checks that
# one server serves both, that they are read as Windows-1252, and that the
# keys the lines set ask the server for hover and completion. Exit 77
# (skipped) without Neovim.
#
#   tools/lsp/readme_neovim_test.sh SCENARIO_TOOL README
set -eu
if [ $# -ne 2 ]; then
  echo "usage: $0 SCENARIO_TOOL README" >&2
  exit 2
fi
tool=$1
readme=$2
if ! command -v nvim >/dev/null 2>&1; then
  echo "SKIPPED: nvim is not installed"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The indented block after the line that introduces it, without its indent.
awk '/Neovim \(0\.7 or later\), in `init\.lua`:$/ { inside = 1; next }
     inside && /^    / { sub(/^    /, ""); print; seen = 1; next }
     inside && /^$/ { if (seen) print; next }
     inside && seen { exit }' "$readme" >"$work/init.lua"
if ! grep -q 'scenario_tool' "$work/init.lua"; then
  echo "FAIL: no Neovim lines found in $readme"
  exit 1
fi
"$tool" builtin "$work/line" >/dev/null
status=0
# As written: the lines run "scenario_tool" from the PATH.
PATH="$(cd "$(dirname "$tool")" && pwd):$PATH" LSP_TEST_DIR="$work/line" HOME="$work" \
  XDG_CONFIG_HOME="$work" XDG_DATA_HOME="$work" XDG_STATE_HOME="$work" \
  timeout 60 nvim --headless -u "$work/init.lua" -i NONE -n \
  -c "luafile $here/readme_neovim_test.lua" </dev/null || status=$?
exit "$status"
