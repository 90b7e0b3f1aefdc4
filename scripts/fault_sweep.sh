#!/usr/bin/env bash
# Makes every allocation of the show's start-up fail in turn, one run of demo_null_faults each
# (the sanitizer build's null-device program with allocation faults; tests/fault_inject.cpp), and
# checks each run: exit status 0 (the show goes on with a gap), 1 (a model, remap table, texture
# upload or the lights could not be made) or 3 (a texture library could not be loaded), a message
# saying what failed, and no sanitizer report or leak. The program test
# ProgramFaults.EveryStepOfTheStartUpOutOfMemoryEndsWithAMessageOrAGap runs a subset of this on the
# test data set; this script runs all of it.
#
#   scripts/fault_sweep.sh [DATA_DIR [JOBS]]   (defaults: build/test/data, the show's own data; 2)
#
# Run scripts/test.sh (or build demo_null_faults in build/test) first. Exit status 1 when a run
# fails a check; those runs' messages are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
prog=$PWD/build/test/tests/demo_null_faults
data=${1:-build/test/data}
jobs=${2:-2}
if [[ ! -x $prog ]]; then
  echo "fault_sweep: $prog is missing; run scripts/test.sh or build the target demo_null_faults" >&2
  exit 2
fi
[[ -d $data ]] || { echo "fault_sweep: no data directory $data" >&2; exit 2; }
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "fault_sweep: JOBS must be a positive number" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TAMBIR_END_AFTER_STARTUP=1 prog data work

# The whole start-up once: how many allocations it makes.
(cd "$data" && "$prog" --headless -- 640 480 0 >/dev/null 2>"$work/whole.err") ||
  { cat "$work/whole.err" >&2; echo "fault_sweep: the start-up fails without a fault" >&2; exit 1; }
total=$(sed -n 's/^faults: \([0-9]*\) allocations in the start-up.*/\1/p' "$work/whole.err")
[[ -n $total ]] || { echo "fault_sweep: $prog printed no allocation count" >&2; exit 1; }

# One run: its number and exit status on stdout, its messages in $work/N.err.
one() {
  local n=$1 status=0
  (cd "$data" && TAMBIR_FAIL_ALLOC=$n "$prog" --headless -- 640 480 0 >/dev/null 2>"$work/$n.err") ||
    status=$?
  echo "$n $status"
}
export -f one
start=$(date +%s)
seq 1 "$total" | xargs -P "$jobs" -I{} bash -c 'one {}' >"$work/status"

# The file the start-up was reading when allocation N was made: the last one opened before it.
mapfile -t opens < <(sed -n 's/^faults: opened \(.*\) after allocation \([0-9]*\)$/\2 \1/p' "$work/whole.err")
file_of() {
  local name="" entry
  for entry in "${opens[@]}"; do
    [[ ${entry%% *} -lt $1 ]] && name=${entry#* }
  done
  echo "$name"
}

bad=0
silent_music=0
declare -A by_status
while read -r n status; do
  by_status[$status]=$((${by_status[$status]:-0} + 1))
  err=$work/$n.err
  problem=""
  if [[ $status != 0 && $status != 1 && $status != 3 ]]; then
    problem="exit status $status"
  elif grep -q -e 'Sanitizer' -e 'runtime error' "$err"; then
    problem="sanitizer report"
  elif [[ $(head -c 8 "$err") == "faults: " ]]; then
    # libopenmpt drops a sample whose memory it cannot get and says nothing: the song plays
    # without it. Counted apart, as the one gap the show cannot report.
    if [[ $status == 0 && $(file_of "$n") =~ \.(it|xm|s3m|mod)$ ]]; then
      silent_music=$((silent_music + 1))
    else
      problem="nothing said before the report"
    fi
  fi
  if [[ -n $problem ]]; then
    bad=$((bad + 1))
    echo "allocation $n of $total: $problem" >&2
    head -20 "$err" >&2
  fi
done <"$work/status"

summary=""
for s in $(printf '%s\n' "${!by_status[@]}" | sort -n); do summary+=" status $s: ${by_status[$s]};"; done
echo "fault_sweep: $total allocations in $data, each made to fail in $(( $(date +%s) - start )) s:${summary%;};"
echo "  $silent_music left a sample of a module out without a word (libopenmpt); $bad failed a check"
[[ $bad -eq 0 ]]
