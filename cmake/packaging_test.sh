#!/usr/bin/env bash
# packaging_test.sh BUILD_DIR
#
# Installs the build into a fresh prefix and makes its .deb, and checks that
# both hold the programs (which run and say their version), the man pages
# and the format reference.
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/packaging_test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$work/prefix" --strip >/dev/null
for f in bin/scenario_compiler bin/scenario_tool bin/scenario_watch share/man/man1/scenario_compiler.1 \
  share/man/man1/scenario_tool.1 share/doc/scenario-compiler/README.md; do
  [[ -s $work/prefix/$f ]] || fail "cmake --install left out $f"
done
for program in scenario_compiler scenario_tool scenario_watch; do
  # --strip leaves no symbol table: the programs are a fraction of their
  # size in the build.
  if readelf -S "$work/prefix/bin/$program" | grep -q '\.symtab'; then
    fail "cmake --install --strip left $program unstripped"
  fi
done
for program in scenario_compiler scenario_tool; do
  version=$("$work/prefix/bin/$program" --version)
  [[ $version == "$program "[0-9]* ]] || fail "$program --version printed \"$version\""
done
grep -q '^\.SS watch' "$work/prefix/share/man/man1/scenario_tool.1" ||
  fail "the man page of scenario_tool lacks the watch command"
# The installed compiler with an argument writes nothing beside itself.
before=$(ls "$work/prefix/bin")
"$work/prefix/bin/scenario_compiler" --help >/dev/null
[[ $(ls "$work/prefix/bin") == "$before" ]] ||
  fail "scenario_compiler --help wrote beside itself: $(ls "$work/prefix/bin")"

cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >/dev/null
deb=$(ls "$work"/packages/*.deb)
listing=$(dpkg-deb -c "$deb")
for f in ./usr/bin/scenario_compiler ./usr/bin/scenario_tool ./usr/bin/scenario_watch \
  ./usr/share/man/man1/scenario_tool.1 ./usr/share/doc/scenario-compiler/README.md; do
  grep -q " $f\$" <<<"$listing" || fail "$(basename "$deb") lacks $f"
done
echo "installed and packaged: $(basename "$deb")"
