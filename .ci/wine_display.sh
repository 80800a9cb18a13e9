# shellcheck shell=bash
# Shell functions shared by the scripts that run the Windows program under
# Wine: a virtual display, its files inside a work folder that the caller
# removes, and a fresh Wine prefix in the build folder (never ~/.wine). Source
# this file; the caller defines fail().

# Starts Xvfb on a free display, sets xvfb_pid and exports DISPLAY.
#   start_virtual_display WORK_FOLDER
start_virtual_display() {
  local work=$1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null \
    >"$work/xvfb.log" 2>&1 &
  # shellcheck disable=SC2034 # read by the caller's cleanup
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
  done
  [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  DISPLAY=:$(head -n 1 "$work/display")
  export DISPLAY
}

# Makes a fresh Wine prefix in PREFIX (an older one there is removed), quiet
# and without the .NET and HTML installers, and exports WINEPREFIX. Wine's
# own messages stay off (WINEDEBUG); the programs' output and status do not.
#   make_wine_prefix PREFIX
make_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ -d $WINEPREFIX ]]; then timeout 60 wineserver -k 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 300 wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot failed"
}

# Ends the Wine server of PREFIX and the programs it still runs.
#   stop_wine PREFIX
stop_wine() {
  if [[ -d $1 ]]; then WINEPREFIX=$1 timeout 60 wineserver -k 2>/dev/null || true; fi
}
