#!/bin/sh
# pageconv on a 200 MB print file, against cat copying the same file, in the same run: the median
# of three runs of each, every run writing a new file (so no run pays for emptying the last one's).
# Set PAGECONV_BENCH_MB for another size.
set -eu
gen="$BENCH_BIN/genprint"
data="$BENCH_DIR/pageconv"
mkdir -p "$data"
mb=${PAGECONV_BENCH_MB:-200}
"$gen" "$data/bench.prt" "$mb"
size=$(wc -c < "$data/bench.prt")
cat "$data/bench.prt" > /dev/null  # every run starts from the page cache

now() { date +%s.%N; }
# Prints the median of three timed runs of the command, whose last operand is its output file.
median3() {
  for run in 1 2 3; do
    rm -f "$data/bench.out"
    t0=$(now)
    "$@"
    t1=$(now)
    echo "$t0 $t1" | awk '{printf "%.4f\n", $2 - $1}'
  done | sort -n | sed -n 2p
}
cat_s=$(median3 sh -c 'cat "$1" > "$2"' sh "$data/bench.prt" "$data/bench.out")
pc_s=$(median3 "$BENCH_BIN/pageconv" "$data/bench.prt" "$data/bench.out")
out=$(wc -c < "$data/bench.out")

awk -v s="$size" -v o="$out" -v cat="$cat_s" -v pc="$pc_s" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  mb = s / 1e6
  printf "input %.0f MB, RTF %.0f MB, load %s (median of 3)\n", mb, o / 1e6, load
  printf "cat       %7.3f s  %8.1f MB/s\n", cat, mb / cat
  printf "pageconv  %7.3f s  %8.1f MB/s  (%.2f x the time of cat; goal 1200 MB/s)\n", pc, mb / pc, pc / cat
}'
rm -f "$data/bench.prt" "$data/bench.out"
