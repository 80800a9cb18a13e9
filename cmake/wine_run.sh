#!/bin/sh
# wine_run.sh PREFIX PROGRAM.exe [ARGUMENT...]
#
# Runs a Windows test program under Wine for CTest: in the Wine prefix
# PREFIX of the build's own, never the user's ~/.wine, with Wine's own
# messages off and without its .NET and HTML installers. The prefix is made
# quietly on first use. A WINEPREFIX, WINEDEBUG or WINEDLLOVERRIDES already
# set, as .ci/windows.sh sets them, is kept. The program's output and exit
# status are passed on unchanged.
prefix=$1
shift
export WINEPREFIX="${WINEPREFIX:-$prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # One maker at a time when CTest runs tests in parallel.
  flock "$WINEPREFIX.lock" sh -c \
    '[ -f "$WINEPREFIX/system.reg" ] || wineboot -i </dev/null >/dev/null 2>&1; wineserver -w'
fi
# A Wine server that outlives each test by a few seconds, and Wine's own
# services started by a first empty program: both away from CTest's pipes.
# Started by the test program, they would hold its output open until the
# server ends, three seconds after every test. An exit status of 0: no
# server was running (.ci/windows.sh keeps one of its own).
if wineserver -p10 </dev/null >/dev/null 2>&1; then
  wine cmd /c exit </dev/null >/dev/null 2>&1
fi
exec wine "$@"
