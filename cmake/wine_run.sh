#!/bin/sh
# wine_run.sh PREFIX PROGRAM.exe [ARGUMENT...]
#
# Runs a Windows test program under Wine for CTest: in the Wine prefix
# PREFIX of the build's own (made on first use), never the user's ~/.wine,
# with Wine's own messages off. A WINEPREFIX or WINEDEBUG already set, as
# .ci/windows.sh sets them, is kept.
prefix=$1
shift
export WINEPREFIX="${WINEPREFIX:-$prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
