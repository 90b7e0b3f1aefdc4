#!/usr/bin/env bash
# Coverage-guided fuzzing of every reader (tests/fuzz/README.md).
#
#   scripts/fuzz.sh [SECONDS]   the campaign: builds the harnesses with clang in build/fuzz, makes
#                               the seeds from the show's data, runs each harness SECONDS (default
#                               1800) or 10 million executions, one at a time, merges what it found
#                               into tests/fuzz/corpus/ and prints a table.
#   scripts/fuzz.sh --smoke [SECONDS]
#                               each harness SECONDS (default 30) from the checked-in corpus, two at
#                               a time; the corpus is left alone. Exit status 1 on any finding.
#
# Findings (crash-*, leak-*, timeout-*, oom-*) land in build/fuzz/work/findings/<harness>/; fix
# the reader and copy the input into tests/fuzz/regressions/<harness>/, which the replay tests run.
# HARNESSES="lzw pcx:600" limits a run to those harnesses; NAME:SECONDS gives one its own time.
# FUZZ_JOBS=2 runs the campaign's harnesses two at a time (default one; each takes one core).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=campaign
seconds=1800
jobs=${FUZZ_JOBS:-1}
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz: FUZZ_JOBS must be a positive number" >&2; exit 2; }
if [[ "${1:-}" == "--smoke" ]]; then
  mode=smoke
  seconds=${2:-30}
elif [[ -n "${1:-}" ]]; then
  seconds=$1
fi
[[ "$seconds" =~ ^[0-9]+$ && "$seconds" -gt 0 ]] || { echo "fuzz: SECONDS must be a positive number" >&2; exit 2; }

read -r -a entries <<<"${HARNESSES:-lzw texlib pcx model model_v1 remap wav module settings options}"
harnesses=()
declare -A secs_of
for e in "${entries[@]}"; do
  harnesses+=("${e%%:*}")
  secs_of[${e%%:*}]=$seconds
  if [[ $e == *:* ]]; then secs_of[${e%%:*}]=${e#*:}; fi
done
build=build/fuzz
work=$build/work
src=tests/fuzz

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBIR_FUZZ=ON \
  -DTAMBIR_TESTS=OFF -DTAMBIR_BENCH=OFF "${launcher[@]}" >/dev/null
if [[ $mode == smoke ]]; then
  cmake --build "$build" --target fuzz_harnesses
else
  cmake --build "$build" --target fuzz_all
fi

# The largest input each harness is given: the seeds' sizes, bounded for speed.
declare -A max_len=([lzw]=8192 [texlib]=131072 [pcx]=131072 [model]=262144 [model_v1]=262144
                    [remap]=4096 [wav]=65536 [module]=262144 [settings]=256 [options]=1024)

# The largest input kept in the checked-in corpus, where 64 KB would make it too large.
declare -A corpus_max=([texlib]=16384 [pcx]=16384 [wav]=16384 [model]=8192 [model_v1]=8192)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# run HARNESS SECONDS OUTDIR INDIRS...: one libFuzzer run; its log in $work/logs/HARNESS.log.
run() {
  local h=$1 secs=$2 out=$3
  shift 3
  local dict=()
  [[ -f $src/dict/$h.dict ]] && dict=(-dict="$src/dict/$h.dict")
  mkdir -p "$out" "$work/findings/$h" "$work/logs"
  rm -f "$work/findings/$h"/*
  nice -n 19 "$build/tests/fuzz/fuzz_$h" "$out" "$@" "${dict[@]}" -max_len="${max_len[$h]}" \
    -max_total_time="$secs" -runs=10000000 -timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix="$work/findings/$h/" >"$work/logs/$h.log" 2>&1
}

# Table row of a finished run: harness, executions, edges, corpus files and bytes, findings.
row() {
  local h=$1 dir=$2 log=$work/logs/$1.log
  local execs edges files bytes findings
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  files=$(find "$dir" -type f | wc -l)
  bytes=$(find "$dir" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  findings=$(find "$work/findings/$h" -type f | wc -l)
  printf '%-10s %12s %7s %7s %10s %9s\n' "$h" "${execs:-?}" "${edges:-?}" "$files" "$bytes" "$findings"
}

header() { printf '%-10s %12s %7s %7s %10s %9s\n' harness executions edges files bytes findings; }

status=0
if [[ $mode == smoke ]]; then
  rm -rf "$work/smoke"
  running=0
  for h in "${harnesses[@]}"; do
    if [[ $running -eq 2 ]]; then
      wait -n || true
      running=1
    fi
    run "$h" "${secs_of[$h]}" "$work/smoke/$h" "$src/corpus/$h" &
    running=$((running + 1))
  done
  wait || true
  header
  for h in "${harnesses[@]}"; do
    row "$h" "$src/corpus/$h"
    if [[ -n $(find "$work/findings/$h" -type f) ]]; then
      status=1
      echo "fuzz: $h found $(ls "$work/findings/$h"); its log: $work/logs/$h.log" >&2
    elif ! grep -q '^stat::number_of_executed_units' "$work/logs/$h.log"; then
      status=1
      echo "fuzz: $h did not run; its log: $work/logs/$h.log" >&2
    fi
  done
  exit $status
fi

# The campaign: seeds from the content builder's data and the test data set.
rm -rf "$work/seeds"
"$build/tests/fuzz/fuzz_seeds" "$build/data" "$work/seeds"
# One harness of the campaign: its run, then the merge into its corpus directory.
campaign_one() {
  local h=$1
  mkdir -p "$src/corpus/$h" "$work/seeds/$h"
  rm -rf "$work/run/$h"
  echo "fuzz: $h for ${secs_of[$h]}s ($(date -u +%H:%M:%S))" >&2
  run "$h" "${secs_of[$h]}" "$work/run/$h" "$src/corpus/$h" "$work/seeds/$h" || true
  # Merge: the smallest set of inputs with the coverage of all of them replaces the corpus. Inputs
  # above corpus_max bytes stay out of it (large seeds are made again by every campaign), which
  # keeps the checked-in corpus small.
  rm -rf "$work/merged/$h" "$work/small/$h"
  mkdir -p "$work/merged/$h" "$work/small/$h"
  find "$src/corpus/$h" "$work/run/$h" "$work/seeds/$h" -type f -size -$((${corpus_max[$h]:-65536} + 1))c \
    -exec cp -n -t "$work/small/$h" {} + 2>/dev/null || true
  nice -n 19 "$build/tests/fuzz/fuzz_$h" -merge=1 -max_len="${max_len[$h]}" -timeout=10 -rss_limit_mb=2048 \
    -close_fd_mask=3 "$work/merged/$h" "$work/small/$h" >"$work/logs/$h.merge.log" 2>&1 || true
  if [[ -n $(find "$work/merged/$h" -type f) ]]; then
    rm -rf "$src/corpus/$h"
    cp -r "$work/merged/$h" "$src/corpus/$h"
  fi
  echo "fuzz: $h done ($(date -u +%H:%M:%S))" >&2
}

start=$(date +%s)
running=0
for h in "${harnesses[@]}"; do
  if [[ $running -eq $jobs ]]; then
    wait -n || true
    running=$((running - 1))
  fi
  campaign_one "$h" &
  running=$((running + 1))
done
wait || true
echo
header
for h in "${harnesses[@]}"; do
  row "$h" "$src/corpus/$h"
  [[ -n $(find "$work/findings/$h" -type f) ]] && status=1
done
echo "campaign: $(( ($(date +%s) - start) / 60 )) minutes; corpus $(du -sb "$src/corpus" | cut -f1) bytes"
exit $status
