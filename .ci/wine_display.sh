# shellcheck shell=bash
# Shell functions shared by the scripts that run the Windows program under
# Wine: a virtual display and a fresh Wine prefix, both inside a work folder
# that the caller removes. Source this file; the caller defines fail().

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

# Makes a Wine prefix in WORK_FOLDER/prefix, quiet and without the .NET and
# HTML installers, and exports WINEPREFIX.
#   make_wine_prefix WORK_FOLDER
make_wine_prefix() {
  export WINEPREFIX=$1/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  timeout 300 wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot failed"
}
