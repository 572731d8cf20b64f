#!/bin/sh
# pageconv on a 200 MB print file, against cat copying the same file, in the same run.
set -eu
gen="$BENCH_BIN/genprint"
data="$BENCH_DIR/pageconv"
mkdir -p "$data"
mb=${PAGECONV_BENCH_MB:-200}
"$gen" "$data/bench.prt" "$mb"
size=$(wc -c < "$data/bench.prt")
cat "$data/bench.prt" > /dev/null  # both runs start from the page cache

now() { date +%s.%N; }
t0=$(now); cat "$data/bench.prt" > "$data/bench.cat"; t1=$(now)
"$BENCH_BIN/pageconv" "$data/bench.prt" "$data/bench.rtf"; t2=$(now)

awk -v s="$size" -v a="$t0" -v b="$t1" -v c="$t2" -v o="$(wc -c < "$data/bench.rtf")" 'BEGIN {
  cat = b - a; pc = c - b; mb = s / 1e6
  printf "input %.0f MB, RTF %.0f MB\n", mb, o / 1e6
  printf "cat       %7.3f s  %8.1f MB/s\n", cat, mb / cat
  printf "pageconv  %7.3f s  %8.1f MB/s  (%.2f x the time of cat; target 300 MB/s)\n", pc, mb / pc, pc / cat
}'
rm -f "$data/bench.prt" "$data/bench.cat" "$data/bench.rtf"
