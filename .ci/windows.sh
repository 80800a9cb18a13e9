#!/usr/bin/env bash
# The Windows build in CI: installs the cross compiler, Wine and a virtual
# display when missing; cross-compiles (preset windows, build/windows); runs
# scenario_compiler.exe under Wine in an empty folder and compares its six
# files byte for byte with those of the Linux build (build/default, built
# before this script runs); runs the tests of what differs on Windows (the
# file layer, window, message boxes, the program's ends and the compile pass)
# under Wine through CTest; packs the stripped programs into a .zip; takes
# the screenshot of the window and checks its pixels.
#
# Runs as root with no standard input. Every step is bounded in time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# ---- Stages and their timings ---------------------------------------------------
timings=()
stage_name=
stage_start=0
end_stage() {
  if [[ -n $stage_name ]]; then timings+=("$stage_name $(($(date +%s) - stage_start)) s"); fi
  stage_name=
}
stage() {
  end_stage
  stage_name=$1
  stage_start=$(date +%s)
  echo "== windows: $1"
}
fail() {
  echo "windows: $*" >&2
  exit 1
}
# shellcheck source=.ci/wine_display.sh
source "$root/.ci/wine_display.sh"

# ---- Packages -----------------------------------------------------------------
stage packages
bash .ci/install_missing.sh g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb x11-utils \
  imagemagick googletest libcli11-dev nlohmann-json3-dev unzip

# ---- Wine on a virtual display ----------------------------------------------------
stage "wine setup"
work=$(mktemp -d /tmp/windows-ci.XXXXXX)
# The prefix the tests use by default too (cmake/wine_run.sh): ctest --preset
# windows reruns them in it after this script.
prefix=$root/build/windows/wine-prefix
xvfb_pid=
screenshot_build=
cleanup() {
  local status=$?
  end_stage
  if [[ -n $screenshot_build ]]; then kill -- "-$screenshot_build" 2>/dev/null || true; fi
  stop_wine "$prefix"
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
  if ((${#timings[@]})); then
    echo "windows: stage timings: $(printf '%s, ' "${timings[@]}" | sed 's/, $//')"
  fi
  return $status
}
trap cleanup EXIT

start_virtual_display "$work"
make_wine_prefix "$prefix"
# A persistent server keeps Wine's own services up between the test programs:
# each starts in a fraction of a second instead of two, or of twenty when a
# window waits for them. Started before the prefix is made, it leaves them
# unreachable: so only once wineboot's server has gone.
timeout 60 wineserver -w
wineserver -p

# ---- Cross build ----------------------------------------------------------------
stage "cross build"
timeout 600 cmake --preset windows </dev/null
timeout 2400 cmake --build --preset windows -j 2 </dev/null
for exe in scenario_compiler.exe scenario_tool.exe; do
  [[ -f build/windows/bin/$exe ]] || fail "build/windows/bin/$exe was not built"
  if x86_64-w64-mingw32-objdump -p "build/windows/bin/$exe" | grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread)'; then
    fail "$exe needs a DLL of the compiler's run-time: it must be static"
  fi
done

# The screenshot build, on one core beside the comparison and the tests: they
# run one Wine program at a time and leave the other core idle.
# A session of its own, so that a failure stops the whole build with it.
setsid bash .ci/windows_screenshot.sh --build-only </dev/null >"$work/screenshot-build.log" 2>&1 &
screenshot_build=$!

# ---- The same six files as the Linux build ----------------------------------------
stage "byte comparison"
linux_exe=$root/build/default/bin/scenario_compiler
[[ -x $linux_exe ]] || fail "$linux_exe is missing: the Linux build must run first"
mkdir "$work/linux" "$work/windows"
cp "$linux_exe" "$work/linux/"
cp build/windows/bin/scenario_compiler.exe "$work/windows/"
status=0
(cd "$work/linux" && timeout 300 ./scenario_compiler </dev/null >/dev/null) || status=$?
((status == 0)) || fail "the Linux scenario_compiler ended with status $status"
status=0
(cd "$work/windows" && timeout 300 wine ./scenario_compiler.exe </dev/null) || status=$?
if ((status == 124)); then
  fail "scenario_compiler.exe did not end within 300 s; windows on the display:
$(xwininfo -root -children 2>/dev/null | grep '"' || true)"
fi
((status == 0)) || fail "scenario_compiler.exe ended under Wine with status $status"

files=(BRENTALVO_TRN4417_scheda_treno.txt BRENTALVO_TRN4417_rallentamenti.txt
  BRENTALVO_TRN4417_note.txt BRENTALVO_linea.dat BRENTALVO_TRN4417.sim BRENTALVO_TRN4417.dat)
# The names a run left in its folder, its executable aside.
listing() {
  local f
  for f in "$1"/* "$1"/.[!.]*; do
    [[ -e $f ]] || continue
    f=${f##*/}
    [[ $f == scenario_compiler* ]] || echo "$f"
  done
}
expected=$(printf '%s\n' "${files[@]}" | sort)
[[ $(listing "$work/linux" | sort) == "$expected" ]] ||
  fail "the Linux build left other files: $(listing "$work/linux" | tr '\n' ' ')"
[[ $(listing "$work/windows" | sort) == "$expected" ]] ||
  fail "the Windows build left other files: $(listing "$work/windows" | tr '\n' ' ')"
differ=0
for f in "${files[@]}"; do
  if ! cmp -s "$work/linux/$f" "$work/windows/$f"; then
    differ=1
    echo "windows: $f differs from the Linux build's" \
      "($(stat -c %s "$work/linux/$f") bytes on Linux, $(stat -c %s "$work/windows/$f") on Windows)." \
      "First differing bytes (offset from 1, Linux octal, Windows octal):" >&2
    cmp -l "$work/linux/$f" "$work/windows/$f" 2>&1 | head -n 10 >&2 || true
  fi
done
((differ == 0)) || fail "the Windows executable does not write the same bytes as the Linux one"
echo "windows: the six files are the same, byte for byte"

# ---- Unit tests under Wine ------------------------------------------------------
stage "unit tests"
timeout 1800 ctest --preset windows </dev/null

# ---- Package ------------------------------------------------------------------
stage package
timeout 300 cpack --config build/windows/CPackConfig.cmake -B "$work/packages" </dev/null >/dev/null
zip=$(ls "$work"/packages/*.zip)
listing=$(unzip -l "$zip")
for exe in scenario_compiler.exe scenario_tool.exe; do
  grep -q "/bin/$exe\$" <<<"$listing" || fail "$(basename "$zip") lacks bin/$exe"
done
if x86_64-w64-mingw32-objdump -h "$work/packages/_CPack_Packages/"*/ZIP/*/bin/scenario_tool.exe 2>/dev/null |
  grep -q debug_info; then
  fail "the packed scenario_tool.exe still has its debugging information"
fi
echo "windows: $(basename "$zip"), $(stat -c %s "$zip") bytes"

# ---- Screenshot ---------------------------------------------------------------
stage screenshot
status=0
wait "$screenshot_build" || status=$?
screenshot_build=
((status == 0)) || fail "the screenshot build failed: $(cat "$work/screenshot-build.log")"
timeout 900 bash .ci/windows_screenshot.sh </dev/null
end_stage
