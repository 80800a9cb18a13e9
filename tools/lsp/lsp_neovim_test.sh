#!/bin/sh
# The language server under a real editor: headless Neovim opens the
# built-in route description with a misspelt keyword, reads the server's
# warning back, fixes the row and reports how long the cleared diagnostics
# took. Exit 77 (skipped) without Neovim.
#
#   tools/lsp/lsp_neovim_test.sh SCENARIO_TOOL [SERVER COMMAND...]
#
# The server command defaults to "SCENARIO_TOOL lsp".
set -eu
if [ $# -lt 1 ]; then
  echo "usage: $0 SCENARIO_TOOL [SERVER COMMAND...]" >&2
  exit 2
fi
tool=$1
shift
if ! command -v nvim >/dev/null 2>&1; then
  echo "SKIPPED: nvim is not installed"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" builtin "$work" >/dev/null
route="$work/BRENTALVO_linea.txt"
# The first gradient row's keyword, misspelt.
sed -i '0,/^pendenza/s//pendenxa/' "$route"
if [ $# -gt 0 ]; then server="$*"; else server="$tool lsp"; fi
status=0
LSP_TEST_FILE="$route" LSP_TEST_CMD="$server" HOME="$work" XDG_CONFIG_HOME="$work" \
  XDG_DATA_HOME="$work" XDG_STATE_HOME="$work" \
  timeout 60 nvim --headless -u NONE -i NONE -n -c "luafile $here/lsp_neovim_test.lua" \
  </dev/null || status=$?
exit "$status"
