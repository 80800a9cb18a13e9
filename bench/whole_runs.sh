#!/usr/bin/env bash
# whole_runs.sh BIN_DIR [RUNS]
#
# Times the programs as whole processes, start to exit, against their floor:
# scenario_floor (bench/floor_writer.cc) doing the same file work and
# nothing else, in a folder of its own. Each measurement is RUNS pairs
# (default 30) of one product run and one floor run, the order alternating
# from pair to pair so that neither always follows the other; the figures
# are the medians, and the ratio is median product over median floor.
#
#   built-in run      a copy of scenario_compiler in a folder of its own,
#                     started with no arguments (five texts written, two
#                     read back and deleted, three compiled files written);
#   largest compile   scenario_tool compile of the 1000000 m scenario's
#                     descriptions (bench/largest_scenario.h), written once;
#   by length         the same compile at 10000 m, 100000 m and 1000000 m;
#   largest decompile scenario_tool decompile of the largest compile's set,
#                     which writes the two descriptions and proves them by
#                     compiling them again in memory, paired with that
#                     compile itself (the ratio is decompile over compile).
#
# Each run is timed by scenario_run_timer (fork, exec, wait4): wall time and
# the process's peak resident size. BIN_DIR holds scenario_compiler,
# scenario_tool and the three bench helpers (build/bench/bin). The work
# folder is made beside BIN_DIR, on the disk the programs normally write
# to, and removed at the end.
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: whole_runs.sh BIN_DIR [RUNS]" >&2
  exit 2
fi
bin=$(cd "$1" && pwd)
runs=${2:-30}
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "whole_runs.sh: RUNS must be a positive number" >&2
  exit 2
fi
for program in scenario_compiler scenario_tool scenario_floor scenario_run_timer \
  scenario_descriptions; do
  if [[ ! -x $bin/$program ]]; then
    echo "whole_runs.sh: $bin/$program is missing; build it first" >&2
    exit 2
  fi
done

work=$(mktemp -d "$bin/../whole_runs.XXXXXX")
trap 'rm -rf "$work"' EXIT

line=BRENTALVO
train=TRN4417
route_text=${line}_linea.txt
train_text=${line}_${train}-.txt
compiled=("${line}_linea.dat" "${line}_${train}.sim" "${line}_${train}.dat")
documents=("${line}_${train}_note.txt" "${line}_${train}_rallentamenti.txt"
  "${line}_${train}_scheda_treno.txt")

size_of() { stat -c %s "$1"; }

# set:NAME:BYTES,... for the compiled files found in folder $1, and for the
# documents too when $2 is "documents".
compiled_set() {
  local parts=() name names=("${compiled[@]}")
  [[ ${2:-} == documents ]] && names=("${documents[@]}" "${compiled[@]}")
  for name in "${names[@]}"; do parts+=("$name:$(size_of "$1/$name")"); done
  local IFS=,
  echo "set:${parts[*]}"
}

# One timed run; prints the timer's line. A run that fails stops everything:
# its figures would measure something else.
timed() {
  local out
  out=$("$bin/scenario_run_timer" "$@")
  if [[ ${out##* } != 0 ]]; then
    echo "whole_runs.sh: exit status ${out##* } from: $*" >&2
    exit 1
  fi
  echo "$out"
}

# Checks that the floor in $1 left what the product left in $2: the named
# files, of the same sizes, and no temporary. A floor that wrote other
# sizes would make the ratio meaningless.
same_files() {
  local floor_dir=$1 product_dir=$2 name
  shift 2
  for name in "$@"; do
    if [[ ! -f $floor_dir/$name ]] || [[ $(size_of "$floor_dir/$name") != $(size_of "$product_dir/$name") ]]; then
      echo "whole_runs.sh: $floor_dir/$name differs in size from $product_dir/$name" >&2
      exit 1
    fi
  done
  if compgen -G "$floor_dir/.*.partial-*" >/dev/null || compgen -G "$product_dir/.*.partial-*" >/dev/null; then
    echo "whole_runs.sh: a replacement's temporary was left in $floor_dir or $product_dir" >&2
    exit 1
  fi
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
quartiles() { sort -g | awk '{ v[NR] = $1 } END { printf "%.2f-%.2f", v[int((NR + 3) / 4)], v[int((3 * NR + 3) / 4)] }'; }

# paired NAME -- PRODUCT... -- FLOOR...
# Runs $runs pairs after one unmeasured run of each, and sets the results:
# product_s, floor_s (medians), ratio, spread (middle half of the pairs'
# own ratios), peak_kib (the product's largest peak resident size).
paired() {
  local name=$1
  shift 2
  local product=() floor=()
  while [[ $1 != -- ]]; do
    product+=("$1")
    shift
  done
  shift
  floor=("$@")
  timed "${product[@]}" >/dev/null
  timed "${floor[@]}" >/dev/null
  local log="$work/$name.runs" i p f
  : >"$log"
  for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
      p=$(timed "${product[@]}")
      f=$(timed "${floor[@]}")
    else
      f=$(timed "${floor[@]}")
      p=$(timed "${product[@]}")
    fi
    echo "$p $f" >>"$log"
  done
  product_s=$(awk '{ print $1 }' "$log" | median)
  floor_s=$(awk '{ print $8 }' "$log" | median)
  ratio=$(awk -v p="$product_s" -v f="$floor_s" 'BEGIN { printf "%.2f", p / f }')
  spread=$(awk '{ print $1 / $8 }' "$log" | quartiles)
  peak_kib=$(awk 'BEGIN { m = 0 } $4 > m { m = $4 } END { print m }' "$log")
  floor_peak_kib=$(awk 'BEGIN { m = 0 } $11 > m { m = $11 } END { print m }' "$log")
}

ms() { awk -v s="$1" 'BEGIN { printf "%7.1f ms", s * 1000 }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }

report() {
  printf '  %-28s %s, floor %s: ratio %s (middle half of pairs %s)\n' "$1" \
    "$(ms "$product_s")" "$(ms "$floor_s")" "$ratio" "$spread"
}

# The load the runs shared the machine with, at the start and at the end.
load_average() { cut -d ' ' -f 1-3 /proc/loadavg; }
load_at_start=$(load_average)

echo
echo "Whole processes against their floor ($runs pairs each, medians; this machine is shared):"

# --- The built-in run -------------------------------------------------------
product_dir=$work/builtin/product
floor_dir=$work/builtin/floor
texts_dir=$work/builtin/texts
mkdir -p "$product_dir" "$floor_dir"
cp "$bin/scenario_compiler" "$product_dir/"
# The five texts as the compiler writes them, for their sizes.
"$bin/scenario_tool" builtin "$texts_dir" >/dev/null
"$bin/scenario_run_timer" --in "$product_dir" "$product_dir/scenario_compiler" >/dev/null
# The floor: the two descriptions written, read back and deleted, never
# synced; the six files kept replaced durably as one set, one folder sync.
floor_steps=()
for name in "$route_text" "$train_text"; do
  floor_steps+=("transient:$name:$(size_of "$texts_dir/$name")")
done
floor_steps+=("read:$route_text" "delete:$route_text" "read:$train_text" "delete:$train_text")
floor_steps+=("$(compiled_set "$product_dir" documents)")

paired builtin -- "$bin/scenario_run_timer" --in "$product_dir" "$product_dir/scenario_compiler" \
  -- "$bin/scenario_run_timer" "$bin/scenario_floor" "$floor_dir" "${floor_steps[@]}"
same_files "$floor_dir" "$product_dir" "${compiled[@]}" "${documents[@]}"
if [[ -e $floor_dir/$route_text || -e $floor_dir/$train_text ]]; then
  echo "whole_runs.sh: the floor left a description in $floor_dir" >&2
  exit 1
fi
report "built-in run (2.2 MB out)"
builtin_ratio=$ratio
builtin_peak=$peak_kib
builtin_line=$(size_of "$product_dir/${compiled[0]}")

# --- The compile at three lengths, the largest last ------------------------
declare -A by_length
for length in 10000 100000 1000000; do
  in_dir=$work/length_$length/descriptions
  product_dir=$work/length_$length/product
  floor_dir=$work/length_$length/floor
  mkdir -p "$floor_dir"
  "$bin/scenario_descriptions" "$in_dir" "$length" >/dev/null
  # The compiled files only, as the floor writes them (no driver's documents).
  compile=("$bin/scenario_tool" compile --route "$in_dir/$route_text" --train "$in_dir/$train_text"
    --out "$product_dir" --no-documents)
  "${compile[@]}" >/dev/null
  paired "length_$length" -- "$bin/scenario_run_timer" "${compile[@]}" \
    -- "$bin/scenario_run_timer" "$bin/scenario_floor" "$floor_dir" \
    "read:$in_dir/$route_text" "read:$in_dir/$train_text" "$(compiled_set "$product_dir")"
  same_files "$floor_dir" "$product_dir" "${compiled[@]}"
  line_bytes=$(size_of "$product_dir/${compiled[0]}")
  by_length[$length]="$product_s $floor_s $ratio $line_bytes $peak_kib $floor_peak_kib"
done
report "largest compile (20.4 MB out)"
largest_ratio=$ratio
largest_peak=$peak_kib
largest_line=$line_bytes

largest_set=$product_dir
largest_compile=("${compile[@]}")

# --- The decompile of the largest set, against its compile ------------------
# The descriptions go into a folder of their own, replaced on every run; a
# round trip that is not exact ends with status 1, which stops the script.
decompile_dir=$work/decompile
decompile=("$bin/scenario_tool" decompile "$largest_set" --out "$decompile_dir" --force)
"${decompile[@]}" >/dev/null
paired decompile -- "$bin/scenario_run_timer" "${decompile[@]}" \
  -- "$bin/scenario_run_timer" "${largest_compile[@]}"
decompile_s=$product_s
decompile_compile_s=$floor_s
decompile_ratio=$ratio
decompile_spread=$spread
decompile_peak=$peak_kib

echo
echo "The compile by route length (scenario_tool compile, whole process, medians):"
printf '  %9s  %10s  %10s  %5s  %9s  %11s  %10s\n' length compile floor ratio "line file" \
  "peak memory" "floor's"
for length in 10000 100000 1000000; do
  read -r p f r bytes peak floor_peak <<<"${by_length[$length]}"
  printf '  %7d m  %s  %s  %5s  %6.1f MB  %11s  %10s\n' "$length" "$(ms "$p")" "$(ms "$f")" "$r" \
    "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$(mib "$peak")" "$(mib "$floor_peak")"
done

echo
echo "The decompile of the largest set (scenario_tool decompile, whole process, medians):"
printf '  decompile and proof %s, its compile %s: ratio %s (middle half of pairs %s), peak memory %s\n' \
  "$(ms "$decompile_s")" "$(ms "$decompile_compile_s")" "$decompile_ratio" "$decompile_spread" \
  "$(mib "$decompile_peak")"

verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r + 0 <= g + 0) ? "met" : "MISSED" }'; }
times_line() { awk -v k="$1" -v b="$2" 'BEGIN { printf "%.2f", k * 1024 / b }'; }
largest_memory=$(times_line "$largest_peak" "$largest_line")
echo
echo "Goals (whole processes, this run):"
printf '  built-in run / its floor      %5s   goal <= 1.25  %s\n' "$builtin_ratio" \
  "$(verdict "$builtin_ratio" 1.25)"
printf '  largest compile / its floor   %5s   goal <= 1.25  %s\n' "$largest_ratio" \
  "$(verdict "$largest_ratio" 1.25)"
printf '  peak memory of the largest compile %s, %s x its %s line file   goal < 2   %s\n' \
  "$(mib "$largest_peak")" "$largest_memory" "$(mib $((largest_line / 1024)))" \
  "$(awk -v r="$largest_memory" 'BEGIN { print (r < 2) ? "met" : "MISSED" }')"
printf '  largest decompile / its compile %5s   goal <= 2     %s\n' "$decompile_ratio" \
  "$(verdict "$decompile_ratio" 2)"
printf '  (built-in run: peak memory %s, %s x its %s line file)\n' "$(mib "$builtin_peak")" \
  "$(times_line "$builtin_peak" "$builtin_line")" "$(mib $((builtin_line / 1024)))"
echo "  (load average, 1, 5 and 15 minutes: $load_at_start at the start, $(load_average) at the end)"
