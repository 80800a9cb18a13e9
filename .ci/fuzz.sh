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
#
# Long mode, to fuzz for hours across many runs:
#   bash .ci/fuzz.sh --long [FOLDER]
# grows each target's corpus in FOLDER (default ~/.cache/scenario-fuzz, never
# in the repository) from the seeds and what earlier runs found, runs every
# target for FUZZ_SECONDS (default 3600) on FUZZ_JOBS processes (default: one
# per core), and keeps a running count of executions per target in
# FOLDER/<target>/executions, printed at the end. Findings go to
# FOLDER/<target>/findings/; copy one into fuzz/corpus/<target>/ as
# regression_<what> and the test run replays it from then on.
# FUZZ_TARGETS (blank-separated) narrows either mode to some targets.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=smoke
store=
if [[ "${1:-}" == "--long" ]]; then
  mode=long
  store="${2:-${HOME:-/root}/.cache/scenario-fuzz}"
elif [[ $# -gt 0 ]]; then
  echo "usage: bash .ci/fuzz.sh [--long [FOLDER]]" >&2
  exit 2
fi

bash .ci/install_missing.sh clang libclang-rt-14-dev cmake ninja-build libcli11-dev \
  nlohmann-json3-dev

cmake --workflow --preset fuzz </dev/null

targets=(field_reader_fuzz route_fuzz train_fuzz compile_pass_fuzz compiled_reader_fuzz lsp_fuzz decompile_fuzz)
if [[ -n "${FUZZ_TARGETS:-}" ]]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
fi

if [[ "$mode" == long ]]; then
  seconds="${FUZZ_SECONDS:-3600}"
  jobs="${FUZZ_JOBS:-$(nproc)}"
  for t in "${targets[@]}"; do
    dir="$store/$t"
    mkdir -p "$dir/corpus" "$dir/findings" "$dir/logs"
    cp -Rn "fuzz/corpus/$t/." "$dir/corpus/"
    echo "== fuzzing $t for ${seconds} s on $jobs processes, corpus $dir/corpus"
    status=0
    build/fuzz/bin/"$t" -fork="$jobs" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
      -dict=fuzz/keywords.dict -print_final_stats=1 -ignore_crashes=1 \
      -artifact_prefix="$dir/findings/" "$dir/corpus" </dev/null >"$dir/logs/last" 2>&1 || status=$?
    # In fork mode the workers' counts add up in the "#N" status lines.
    runs="$(grep -oE '^#[0-9]+' "$dir/logs/last" | tail -n 1 | tr -d '#')"
    runs="${runs:-0}"
    total=$(( $(cat "$dir/executions" 2>/dev/null || echo 0) + runs ))
    echo "$total" >"$dir/executions"
    echo "$t: $runs executions in ${seconds} s ($((runs / seconds)) per second), $total in all"
    if ((status != 0)) || compgen -G "$dir/findings/*" >/dev/null; then
      echo "!! $t has findings in $dir/findings (exit $status)"
    fi
  done
  exit 0
fi

seconds="${FUZZ_SECONDS:-50}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

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
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb|Done)' \
      "$work/$t/log" || true
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
