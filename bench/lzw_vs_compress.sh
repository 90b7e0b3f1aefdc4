#!/bin/bash
# lzw_vs_compress.sh: the LZW coder (in process, bench_lzw) side by side with compress -b13 and
# uncompress of Debian's ncompress package (the same 9 to 13 bit codes) on the same three 8 MB
# inputs: English text, a texture library body, random bytes.
#
#   bench/lzw_vs_compress.sh [path/to/bench_lzw [path/to/trxtool]]
#                            (defaults build/tex-rel/bench/bench_lzw and trxtool beside it)
#
# Build bench_lzw optimised first:
#   cmake -S . -B build/tex-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBIR_BENCH=ON && ninja -C build/tex-rel bench_lzw
# The compress / uncompress figures include process start and writing the output to a file
# (uncompress to /dev/null); each is the best of five runs. MB = 2^20 bytes. A second table puts
# `trxtool lzw pack` / `lzw unpack` against them as whole processes on the same files, both
# writing a file; "uncompress" is whatever that name runs (gzip's script on Debian), "compress -d"
# is ncompress's own decoder. The machine should be quiet: the figures are best-of-five times.
set -euo pipefail

bench=${1:-build/tex-rel/bench/bench_lzw}
tool=${2:-$(dirname "$bench")/../tools/trxtool}
if [ ! -x "$bench" ]; then
    echo "lzw_vs_compress.sh: $bench not found; build it (see the top of this script)" >&2
    exit 1
fi
if ! command -v compress > /dev/null; then
    if [ "$(id -u)" = 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y ncompress > /dev/null
    else
        echo "lzw_vs_compress.sh: compress is missing; install it with: sudo apt-get install -y ncompress" >&2
        exit 1
    fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write-inputs "$work"

# Best time in seconds of five runs of a command.
best_of_5() {
    local best="" t0 t1 dt
    for _ in 1 2 3 4 5; do
        t0=$(date +%s%N)
        "$@"
        t1=$(date +%s%N)
        dt=$((t1 - t0))
        if [ -z "$best" ] || [ "$dt" -lt "$best" ]; then best=$dt; fi
    done
    echo "$best"
}

declare -A cpack cunpack csize
for input in text texture random; do
    cpack[$input]=$(best_of_5 sh -c "compress -b13 -c '$work/$input' > '$work/$input.Z'")
    csize[$input]=$(stat -c %s "$work/$input.Z")
    cunpack[$input]=$(best_of_5 sh -c "uncompress -c '$work/$input.Z' > /dev/null")
done

"$bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$work/bench.json" --benchmark_out_format=json > /dev/null 2>&1 || true

python3 - "$work/bench.json" "$(stat -c %s "$work/text")" \
    "${cpack[text]}" "${cunpack[text]}" "${csize[text]}" \
    "${cpack[texture]}" "${cunpack[texture]}" "${csize[texture]}" \
    "${cpack[random]}" "${cunpack[random]}" "${csize[random]}" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
size = int(sys.argv[2])
names = ["text", "texture", "random"]
ours = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    kind, arg = b["run_name"].split("/")[:2]
    ours[(kind, names[int(arg)])] = b
mb = 1 << 20
print("input     lzwc pack  compress -b13   lzwc unpack  uncompress   lzwc ratio  compress ratio")
for i, name in enumerate(names):
    cp, cu, cs = (int(x) for x in sys.argv[3 + 3 * i: 6 + 3 * i])
    p, u = ours.get(("BM_Pack", name)), ours.get(("BM_Unpack", name))
    pack = f"{p['bytes_per_second'] / mb:7.1f} MB/s" if p else "      -     "
    unpack = f"{u['bytes_per_second'] / mb:7.1f} MB/s" if u and "bytes_per_second" in u else "   no stream"
    ratio = p.get("ratio", -1) if p else -1
    ratio = f"{ratio:10.3f}" if ratio > 0 else "  raw (>1)"
    print(f"{name:8s} {pack}  {size / mb / (cp / 1e9):8.1f} MB/s  {unpack}  {size / mb / (cu / 1e9):6.1f} MB/s"
          f"  {ratio}  {cs / size:14.3f}")
print("compress / uncompress figures include process start; lzwc runs in process.")
PY

if [ -x "$tool" ]; then
    echo
    echo "whole processes, best of five (ms):"
    echo "input     trxtool pack  compress -b13   trxtool unpack  uncompress  compress -d"
    for input in text texture; do
        size=$(stat -c %s "$work/$input")
        "$tool" lzw pack "$work/$input" "$work/$input.lzw" > /dev/null
        tp=$(best_of_5 sh -c "'$tool' lzw pack '$work/$input' '$work/$input.lzw2' > /dev/null")
        tu=$(best_of_5 sh -c "'$tool' lzw unpack '$work/$input.lzw' '$work/$input.out' $size")
        cd_=$(best_of_5 sh -c "compress -d -c '$work/$input.Z' > '$work/$input.out2'")
        cu=$(best_of_5 sh -c "uncompress -c '$work/$input.Z' > '$work/$input.out3'")
        echo "$input $tp ${cpack[$input]} $tu $cu $cd_" |
            awk '{ printf "%-8s %12.1f %14.1f %16.1f %11.1f %12.1f\n", $1, $2/1e6, $3/1e6, $4/1e6, $5/1e6, $6/1e6 }'
    done
fi
