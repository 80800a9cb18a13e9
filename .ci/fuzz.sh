#!/usr/bin/env bash
# Fuzz smoke stage: builds the fuzz targets (clang, libFuzzer, AddressSanitizer
# with leak checking, UndefinedBehaviorSanitizer) and runs each one for a
# bounded time, starting from a copy of its seed corpus in a temporary folder
# (the repository's corpus never grows here). Fails on any crash, sanitizer
# report, leak, broken invariant or input that runs past the time limit; the
# failing input is printed in base64 so that it can be replayed:
#   base64 -d > crash && build/fuzz/bin/<target> crash
#
# FUZZ_SECONDS sets each target's run time (default 50).
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install_missing.sh clang libclang-rt-14-dev cmake ninja-build libcli11-dev \
  nlohmann-json3-dev

cmake --workflow --preset fuzz </dev/null

seconds="${FUZZ_SECONDS:-50}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

targets=(field_reader_fuzz route_fuzz train_fuzz compile_pass_fuzz compiled_reader_fuzz lsp_fuzz decompile_fuzz)
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/artifacts"
  cp -R "fuzz/corpus/$t/." "$work/$t/corpus/"
  echo "== fuzzing $t for ${seconds} s"
  # -timeout: one input may take that many seconds at most (a hang fails).
  if build/fuzz/bin/"$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
      -dict=fuzz/keywords.dict -print_final_stats=1 \
      -artifact_prefix="$work/$t/artifacts/" "$work/$t/corpus" \
      </dev/null >"$work/$t/log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$work/$t/log" || true
    grep -E ' cov: ' "$work/$t/log" | tail -n 1 || true
  else
    failed+=("$t")
    echo "!! $t failed:"
    tail -n 60 "$work/$t/log"
    for a in "$work/$t/artifacts"/*; do
      [[ -f "$a" ]] || continue
      echo "-- input $(basename "$a") ($(stat -c %s "$a") bytes), base64:"
      base64 "$a" | head -c 20000 || true
      echo
    done
  fi
done

if ((${#failed[@]})); then
  echo "fuzz smoke stage failed: ${failed[*]}"
  exit 1
fi
echo "fuzz smoke stage: ${#targets[@]} targets, no finding"
