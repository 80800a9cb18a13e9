#!/usr/bin/env bash
# Screenshot of the Windows program's window "Form1", taken under Wine on a
# virtual display, and a pixel test showing that the window holds dark text on
# a light background where its label "Attendere" stands.
#
#   .ci/windows_screenshot.sh [OUTPUT.png]
#   .ci/windows_screenshot.sh --build-only
#
# --build-only makes the screenshot build alone, on one core: .ci/windows.sh
# starts it beside the tests, which leave a core idle, and takes the
# screenshot afterwards.
#
# The program ends in a fraction of a second, too soon to be caught. So this
# script builds a screenshot copy of scenario_compiler.exe in
# build/windows-screenshot (SCENARIO_WINDOW_HOLD_MS: the painted window stays
# a few seconds before the work starts; the real builds never pause) and runs
# it in an empty folder. The picture goes to OUTPUT.png, by default
# build/windows-screenshot/Form1.png.
#
# Needs mingw-w64, Wine, Xvfb, x11-utils, ImageMagick and Wine's fonts (Debian:
# g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb x11-utils imagemagick;
# .ci/windows.sh installs them). Uses a display of its own and a fresh Wine
# prefix in build/windows-screenshot/wine-prefix, both removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=$root/build/windows-screenshot
build_only=
jobs=2
if [[ ${1:-} == --build-only ]]; then
  build_only=yes
  jobs=1
  shift
fi
out=${1:-$build/Form1.png}
hold_ms=6000
convert=/usr/bin/convert # ImageMagick's own, whatever else is on the PATH
import=/usr/bin/import
identify=/usr/bin/identify

fail() {
  echo "windows screenshot: $*" >&2
  exit 1
}
# shellcheck source=.ci/wine_display.sh
source "$root/.ci/wine_display.sh"

for tool in x86_64-w64-mingw32-g++-posix wine Xvfb xwininfo "$convert" "$import" "$identify"; do
  command -v "$tool" >/dev/null || fail "$tool is missing"
done

# ---- The screenshot build ------------------------------------------------------
# Its output is shown only when it fails.
mkdir -p "$build"
build_log=$build/screenshot-build.log
if ! {
  timeout 600 cmake -S "$root" -B "$build" -G Ninja \
    --toolchain "$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DSCENARIO_TESTS=OFF \
    -DSCENARIO_WINDOW_HOLD_MS=$hold_ms &&
    timeout 900 cmake --build "$build" --target scenario_compiler -j "$jobs"
} </dev/null >"$build_log" 2>&1; then
  cat "$build_log" >&2
  fail "the screenshot build failed"
fi
[[ -z $build_only ]] || exit 0

# ---- A display and a Wine prefix of our own ----------------------------------
work=$(mktemp -d /tmp/windows-screenshot.XXXXXX)
prefix=$build/wine-prefix
xvfb_pid=
cleanup() {
  stop_wine "$prefix"
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work" "$prefix"
}
trap cleanup EXIT

start_virtual_display "$work"
make_wine_prefix "$prefix"
# Wine's own fonts, for the title bar and its buttons. Not its MS Sans Serif:
# its largest size is 20 pixels, which Wine doubles into spaced-out letters;
# without it the font mapper gives the nearest sans-serif face, as it would on
# a system that has no MS Sans Serif.
if [[ -d /usr/share/wine/fonts ]]; then
  find /usr/share/wine/fonts -maxdepth 1 -type f \
    ! -name 'sserif*' ! -name 'ssee*' ! -name 'ssef*' ! -name 'ms_sans_serif*' \
    -exec cp {} "$WINEPREFIX/drive_c/windows/Fonts/" \;
fi
# No window manager runs on the virtual display: Wine draws the frame itself.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
  </dev/null >/dev/null 2>&1 || fail "cannot set up the Wine prefix"

# ---- The run and the screenshot -----------------------------------------------
mkdir "$work/run"
cp "$build/bin/scenario_compiler.exe" "$work/run/"
(cd "$work/run" && exec timeout 300 wine ./scenario_compiler.exe </dev/null >"$work/run.log" 2>&1) &
program=$!

found=
for _ in $(seq 600); do
  if xwininfo -name Form1 >/dev/null 2>&1; then
    found=yes
    break
  fi
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
[[ -n $found ]] || fail "the window Form1 did not appear"
sleep 1 # the one paint
mkdir -p "$(dirname "$out")"
"$import" -window Form1 "$out"
status=0
wait "$program" || status=$?
((status == 0)) || fail "scenario_compiler.exe ended with status $status: $(cat "$work/run.log")"

# ---- The pixel test -------------------------------------------------------------
# Form1's client area is 280 x 179 pixels at the bottom of the window, inside
# a frame as wide at the sides as at the bottom; Label1 covers 64,64 to
# 241,117 of it.
read -r width height < <("$identify" -format '%w %h\n' "$out")
((width >= 280 && height >= 179)) || fail "the picture is ${width}x$height, smaller than Form1"
border=$(((width - 280) / 2))
top=$((height - 179 - border))
client=(-crop "280x179+$border+$top" +repage -colorspace Gray -threshold 50%)
light=$("$convert" "$out" "${client[@]}" -format '%[fx:mean]' info:)
dark=$("$convert" "$out" "${client[@]}" -negate -format '%[fx:round(mean*w*h)]' info:)
box=$("$convert" "$out" "${client[@]}" -negate -format '%@' info:)
if [[ ! $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
  fail "no text found in Form1 ($out)"
fi
bw=${BASH_REMATCH[1]} bh=${BASH_REMATCH[2]} bx=${BASH_REMATCH[3]} by=${BASH_REMATCH[4]}
summary="window ${width}x$height, client area at $border,$top: light fraction $light, $dark dark pixels in ${bw}x$bh+$bx+$by"
awk -v l="$light" 'BEGIN { exit !(l >= 0.9) }' || fail "not a light background: $summary ($out)"
((dark >= 100)) || fail "too little dark text: $summary ($out)"
((bx >= 64 && by >= 64 && bx + bw <= 241 && by + bh <= 117)) ||
  fail "dark pixels outside Label1 (64,64 to 241,117): $summary ($out)"
echo "windows screenshot: $out"
echo "pixel test passed: $summary"
